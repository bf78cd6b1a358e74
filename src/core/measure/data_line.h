#pragma once

#include <string_view>

#include "core/colour/spectrum.h"

namespace qv {

// A number as the instrument writes it: always with a decimal point, whatever the user's
// locale. Leading blanks are skipped and conversion stops at the first character that cannot
// continue the number; a field without a number gives 0.0.
double parseInstrumentNumber(std::string_view field);

// The 31 reflectances (percent) of one data line: fields 2 to 32 of the comma-separated line.
// Field 1 and fields after 32 are ignored; a missing or non-numeric field gives 0.0, so the
// result always holds exactly 31 values.
AngleSpectrum parseDataLine(std::string_view line);

}  // namespace qv
