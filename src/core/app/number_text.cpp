#include "core/app/number_text.h"

#include <cctype>
#include <charconv>
#include <climits>

namespace qv {

namespace {
std::string_view skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return text.substr(i);
}
}  // namespace

long leadingInt(std::string_view text) {
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const int digit = c - '0';
        if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

double leadingDouble(std::string_view text) {
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
        // "--1" and "-+1" are no numbers for atof either.
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument) return 0.0;
    return negative ? -value : value;
}

std::string formatFixed(double value, int decimals) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "---";
    std::string text(buffer, result.ptr);
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);  // printf("%.2f", -0.001) gives "-0.00"; nobody wants to read that
    return text;
}

std::string formatGeneral(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (result.ec != std::errc()) return "---";
    return std::string(buffer, result.ptr);
}

std::string withSeparator(std::string number, char decimalSeparator) {
    for (char& c : number) {
        if (c == '.') c = decimalSeparator;
    }
    return number;
}

}  // namespace qv
