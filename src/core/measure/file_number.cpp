#include "core/measure/file_number.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace qv {

namespace {
constexpr int kFileDecimals = 6;
constexpr int kDisplayDecimals = 2;

// Fixed-point text with a point, as printf writes it in the C locale.
std::string fixed(double value, int decimals) {
    // Room for the largest double in fixed notation (309 digits) and the decimals.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

std::string withDecimal(std::string text, char decimalSeparator) {
    const std::size_t point = text.find('.');
    if (point != std::string::npos) text[point] = decimalSeparator;
    return text;
}
}  // namespace

std::string formatFileNumber(double value, const NumberFormat& format) {
    return withDecimal(fixed(value, kFileDecimals), format.decimalSeparator);
}

std::string formatDisplayNumber(double value, char decimalSeparator) {
    if (std::isnan(value)) return kEmptyField;
    return withDecimal(fixed(value, kDisplayDecimals), decimalSeparator);
}

double roundedToTwoDecimals(double value) {
    if (!std::isfinite(value)) return value;
    const std::string text = fixed(value, kDisplayDecimals);
    double rounded = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

LocalTime localTimeOf(std::int64_t calendarSeconds) {
    const std::time_t t = static_cast<std::time_t>(calendarSeconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace qv
