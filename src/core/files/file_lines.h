#pragma once

// What the coefficient and registration file readers share: the lines they look at, header
// values and serials, spectrum lines, and why reading ended early.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/csv.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"

namespace qv {

// Why a reader stopped before the last line it looks at.
enum class ReadStop {
    None,         // every line it looks at was read
    ShortSerial,  // a serial of fewer than kMinSerialChars characters
    RefusedKey,   // a header key this kind of file must not hold
    EmptyField,   // an empty field before the last one of a spectrum line (registration)
    EmptyLine,    // an empty spectrum line (registration)
};

inline constexpr std::size_t kMinSerialChars = 8;

// The first `lineCount` lines of `text` split into fields. Lines after them are never looked
// at, so they can neither refuse the file nor cost anything.
CsvReadResult readLeadingLines(std::string_view text, std::size_t lineCount,
                               const NumberFormat& format, const CsvLimits& limits);

// A header line's value: the text between the first and the second separator, or everything
// after the first; nothing when the line has no separator.
std::optional<std::string_view> headerValue(const std::vector<std::string>& fields);

// Whether `key` is the text of string `id`; a text the table lacks matches no key.
bool isKey(std::string_view key, const StringTable& texts, int id);

// A serial as it is kept: blanks, tabs, carriage returns and line feeds around it removed.
std::string trimmedSerial(std::string_view value);

enum class EmptyField { ReadAsZero, EndsReading };

// Appends the numbers of one spectrum line to `out`. Every field but the last is skipped when
// it is the angle label ("25", "45", "75") and read leniently otherwise; an empty one reads as
// 0.0 or, with EndsReading, adds nothing. The last field (the whole line when there is no
// separator) is always read, an empty one as 0.0. Returns whether an empty field stood before
// the last.
bool appendSpectrumLine(const std::vector<std::string>& fields, int angleDegrees,
                        const NumberFormat& format, EmptyField empty, AngleSpectrum& out);

}  // namespace qv
