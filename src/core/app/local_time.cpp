#include "core/app/local_time.h"

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

}  // namespace qv
