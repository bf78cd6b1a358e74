#include "core/measure/file_number.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace qv {

namespace {
constexpr int kFileDecimals = 6;
}  // namespace

std::string formatFileNumber(double value, const NumberFormat& format) {
    // Room for the largest double in fixed notation (309 digits) and six decimals.
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                         std::chars_format::fixed, kFileDecimals);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) text[point] = format.decimalSeparator;
    return text;
}

LocalTime localTimeOf(std::int64_t calendarSeconds) {
    const std::time_t t = static_cast<std::time_t>(calendarSeconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace qv
