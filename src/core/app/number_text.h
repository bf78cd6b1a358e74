#pragma once

#include <string>
#include <string_view>

namespace qv {

// Numbers in settings and dialog fields, independent of the process-wide C locale.

// The leading decimal number of `text` as atoi reads it (blanks, sign, digits); 0 when there
// is none. Saturates instead of overflowing.
long leadingInt(std::string_view text);

// The leading number of `text` as atof reads it with a decimal point; 0.0 when there is none.
double leadingDouble(std::string_view text);

// `value` with exactly `decimals` digits after the point ("%.2lf").
std::string formatFixed(double value, int decimals);

// `value` with up to 15 significant digits and no trailing zeros ("%.15g").
std::string formatGeneral(double value);

// Replaces the point of a formatted number by `decimalSeparator`.
std::string withSeparator(std::string number, char decimalSeparator);

}  // namespace qv
