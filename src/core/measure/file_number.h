#pragma once

#include <cstdint>
#include <string>

#include "core/app/file_store.h"

namespace qv {

// A number in a file as "%lf" writes it (fixed point, six decimals), with the user's decimal
// separator whatever the process locale.
std::string formatFileNumber(double value, const NumberFormat& format);

// Local calendar time, broken down. Fields that cannot be determined are 0 (date) or -1 (time).
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = -1;
    int minute = -1;
    int second = -1;
};
LocalTime localTimeOf(std::int64_t calendarSeconds);

}  // namespace qv
