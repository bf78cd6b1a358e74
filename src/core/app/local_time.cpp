#include "core/app/local_time.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace qv {

LocalTime localTimeOf(std::int64_t calendarSeconds) {
    const std::time_t t = static_cast<std::time_t>(calendarSeconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

std::string resultTimestamp(const LocalTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d%02d%02d_%02d%02d%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buffer;
}

std::string isoDateTime(const LocalTime& t) {
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return out;
}

std::optional<LocalTime> fromResultTimestamp(std::string_view s) {
    constexpr std::size_t kChars = 15;
    constexpr std::size_t kTimeMark = 8;  // the '_' between date and time
    if (s.size() != kChars || s[kTimeMark] != '_') return std::nullopt;
    const auto number = [s](std::size_t at, std::size_t digits) {
        int v = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (s[i] < '0' || s[i] > '9') return -1;
            v = 10 * v + (s[i] - '0');
        }
        return v;
    };
    const LocalTime t{number(0, 4), number(4, 2),  number(6, 2),
                      number(9, 2), number(11, 2), number(13, 2)};
    const bool valid = t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
                       t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
                       t.second >= 0 && t.second <= 59;
    return valid ? std::optional(t) : std::nullopt;
}

std::string logbookTime(const LocalTime& t) {
    char out[80];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  std::max(t.hour, 0), std::max(t.minute, 0), std::max(t.second, 0));
    return out;
}

std::string calendarDate(const LocalTime& t) {
    return logbookTime(t).substr(0, 10);
}

long long daysFromCivil(const LocalTime& t) {
    const int y = t.year - (t.month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

LocalTime civilFromDays(long long days) {
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return LocalTime{year, month, day};
}

LocalTime fromLogbookTime(const std::string& s) {
    LocalTime t;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second) != 6)
        return {};
    return t;
}

}  // namespace qv
