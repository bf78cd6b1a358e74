#pragma once

#include <cstdint>
#include <string>

#include "core/app/file_store.h"

namespace qv {

// A number in a file as "%lf" writes it (fixed point, six decimals), with the user's decimal
// separator whatever the process locale.
std::string formatFileNumber(double value, const NumberFormat& format);

// A value on screen: two decimals ("%.2lf") with the user's decimal separator; a value that is
// not a number shows as an empty field, "---".
std::string formatDisplayNumber(double value, char decimalSeparator);
inline constexpr const char* kEmptyField = "---";

// The value cut to two decimals the way "%.2lf" followed by reading back would leave it.
double roundedToTwoDecimals(double value);

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
