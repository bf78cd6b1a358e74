#include "core/app/number_format.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

namespace qv {

namespace {
constexpr int kFileDecimals = 6;
constexpr int kDisplayDecimals = 2;
// Room for the largest double in fixed notation (309 digits) and the decimals.
constexpr std::size_t kFixedBufferBytes = 400;
// A number field longer than this is no number the program wrote.
constexpr std::size_t kMaxNumberChars = 64;

std::string_view skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return text.substr(i);
}

std::string_view trimBlanks(std::string_view text) {
    text = skipBlanks(text);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Fixed-point text with a point, exactly as printf writes it in the C locale.
std::string printfFixed(double value, int decimals) {
    char buffer[kFixedBufferBytes];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return kEmptyField;
    return std::string(buffer, result.ptr);
}

std::string withSeparator(std::string number, char decimalSeparator) {
    const std::size_t point = number.find('.');
    if (point != std::string::npos) number[point] = decimalSeparator;
    return number;
}
}  // namespace

NumberFormat::NumberFormat(char decimal)
    : decimalSeparator(decimal), listSeparator(defaultListSeparator(decimal)) {}

std::string NumberFormat::file(double value) const {
    return file(value, kFileDecimals);
}

std::string NumberFormat::file(double value, int decimals) const {
    return withSeparator(printfFixed(value, decimals), decimalSeparator);
}

std::optional<double> NumberFormat::readFile(std::string_view field) const {
    return wholeNumber(field, decimalSeparator);
}

double NumberFormat::readLenient(std::string_view field) const {
    // Only the characters a decimal number is made of go to the conversion, with the user's
    // separator as a point: so "nan", "inf" and hexadecimal read as 0.0 and a point is
    // understood whatever the user's separator.
    std::string number;
    for (char c : skipBlanks(field)) {
        if (c == decimalSeparator) c = '.';
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '+' && c != '-' &&
            c != 'e' && c != 'E')
            break;
        number += c;
    }
    const double value = leadingDouble(number);
    return std::isfinite(value) ? value : 0.0;
}

std::string NumberFormat::display(double value) const {
    if (std::isnan(value)) return kEmptyField;
    return fixed(value, kDisplayDecimals);
}

std::string NumberFormat::fixed(double value, int decimals) const {
    return withSeparator(formatFixed(value, decimals), decimalSeparator);
}

std::string NumberFormat::general(double value) const {
    return withSeparator(formatGeneral(value), decimalSeparator);
}

std::string defaultListSeparator(char decimalSeparator) {
    return decimalSeparator == ',' ? ";" : ",";
}

std::string formatFixed(double value, int decimals) {
    std::string text = printfFixed(value, decimals);
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);  // printf("%.2f", -0.001) gives "-0.00"; nobody wants to read that
    return text;
}

std::string formatGeneral(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (result.ec != std::errc()) return kEmptyField;
    return std::string(buffer, result.ptr);
}

std::string instrumentNumber(double value) {
    std::string text = printfFixed(value, kDisplayDecimals);
    // "%4.2lf": at least four characters, padded with blanks on the left.
    if (text.size() < 4) text.insert(0, 4 - text.size(), ' ');
    return text;
}

double roundedToTwoDecimals(double value) {
    if (!std::isfinite(value)) return value;
    const double rounded = leadingDouble(printfFixed(value, kDisplayDecimals));
    return rounded == 0.0 ? 0.0 : rounded;  // no minus zero, as on screen
}

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

std::optional<double> wholeNumber(std::string_view text, char decimal) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.size() > kMaxNumberChars) return std::nullopt;
    char buffer[kMaxNumberChars];
    for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = text[i] == decimal ? '.' : text[i];
    const char* end = buffer + text.size();
    double value = 0.0;
    const auto result = std::from_chars(buffer, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace qv
