#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

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

// "20260314_091502": year, month, day, hour, minute, second, as result file names and
// headings carry it.
std::string resultTimestamp(const LocalTime& time);
// And back: nothing unless it is a valid time in that form.
std::optional<LocalTime> fromResultTimestamp(std::string_view stamp);

// "YYYY-MM-DD hh:mm:ss", as the logbook keeps times (they sort as text), and back (an empty
// time for anything else).
std::string logbookTime(const LocalTime& time);
LocalTime fromLogbookTime(const std::string& text);

// "2026-12-07T15:04:05", as exchange formats for other colour tools want it.
std::string isoDateTime(const LocalTime& time);

// "YYYY-MM-DD", the day alone.
std::string calendarDate(const LocalTime& time);
// Days since 1970-01-01 of the time's civil date (proleptic Gregorian), so that dates subtract.
long long daysFromCivil(const LocalTime& time);
// And back: the civil date of a day number, its time not determined.
LocalTime civilFromDays(long long days);

}  // namespace qv
