#pragma once

// Every number the program writes or reads as text, in one place, independent of the
// process-wide C locale. Three audiences:
// - files: six decimals with the user's decimal separator, read back with it or with a point;
// - the screen: two decimals with the user's decimal separator, one rule for -0.00;
// - the instrument and the settings: always a point.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qv {

// An empty field on screen or in a file, where no value could be computed.
inline constexpr const char* kEmptyField = "---";

// How numbers and fields are written in files and shown on screen for this user.
struct NumberFormat {
    NumberFormat() = default;
    // The list separator that goes with the decimal separator where the platform says no more.
    explicit NumberFormat(char decimal);
    NumberFormat(char decimal, std::string list)
        : decimalSeparator(decimal), listSeparator(std::move(list)) {}

    char decimalSeparator = '.';
    std::string listSeparator = ",";

    // "%lf": six decimals, the user's separator.
    std::string file(double value) const;
    // "%.<decimals>lf" as printf writes it (the sign of -0.00 kept), the user's separator.
    std::string file(double value, int decimals) const;
    // A whole file field as a number: blanks around it allowed, the user's separator or a
    // point; nothing when the field is not exactly one finite number.
    std::optional<double> readFile(std::string_view field) const;
    // A field of a file made by other tools, read as atof reads it: the leading number
    // (blanks, sign, digits, the user's separator or a point, exponent), the rest ignored;
    // 0.0 when there is none or it is not finite.
    double readLenient(std::string_view field) const;
    // "%.2lf" with the user's separator; NaN as the empty field; no "-0.00".
    std::string display(double value) const;
    // Any fixed number of decimals with the user's separator (the same -0 rule as display).
    std::string fixed(double value, int decimals) const;
    // Up to 15 significant digits, no trailing zeros ("%.15g"), the user's separator.
    std::string general(double value) const;
};

// The list separator that goes with a decimal separator where the platform says no more:
// ";" beside a decimal comma, "," otherwise.
std::string defaultListSeparator(char decimalSeparator);

// Fixed decimals with a point. A text that would read as minus zero ("-0.00") loses its sign.
std::string formatFixed(double value, int decimals);
// `value` with up to 15 significant digits and no trailing zeros ("%.15g"), with a point.
std::string formatGeneral(double value);
// An instrument value: "%4.2lf" with a point whatever the locale (the sign of -0.00 kept, as
// printf writes it).
std::string instrumentNumber(double value);

// The value rounded to two decimals the way "%.2lf" followed by reading back leaves it.
double roundedToTwoDecimals(double value);

// Settings and dialog fields, read as the C library would read them with a point.
// The leading decimal number of `text` as atoi reads it (blanks, sign, digits); 0 when there
// is none. Saturates instead of overflowing.
long leadingInt(std::string_view text);
// The leading number of `text` as atof reads it; 0.0 when there is none.
double leadingDouble(std::string_view text);
// The whole text (blanks around it allowed) as one finite number written with `decimal` or a
// point; nothing otherwise.
std::optional<double> wholeNumber(std::string_view text, char decimal);

}  // namespace qv
