#pragma once

// What the file readers share: the lines they look at, header values and serials, spectrum
// lines, the date line and the blocks of angle rows of the result files, the separators a
// result file was written with, and why reading ended early.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/csv.h"
#include "core/app/local_time.h"
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

// What a reader of one kind of result file hands back: the file's contents, or why not, in
// English, naming the line where the file stops matching its layout. Nothing is half read.
template <class Contents>
struct FileRead {
    std::optional<Contents> contents;
    std::string problem;
    bool ok() const { return contents.has_value(); }
};

// "line 12: " and what is wrong there.
std::string atLine(std::size_t line, const std::string& what);

// The files whose keys are English whatever the string table holds (the tile set's, the series
// over many readings) begin with this date key; the others with string kStrDateLabel.
inline constexpr std::string_view kEnglishDateKey = "Date";

// A copy whose readings were standardised to a master says so under this key, with the profile,
// on a line the readings as taken leave blank.
inline constexpr std::string_view kStandardisedKey = "Standardised";

// The separators a result file was written with: its list separator follows the date key on the
// first line. The user's own when they agree; otherwise the pair that goes with it; nothing
// when the first line is no date line.
std::optional<NumberFormat> resultFileFormat(std::string_view text, const NumberFormat& user,
                                             const StringTable& texts);

// Line 1 of a result file: the date key and the time stamp, nothing else. Nothing when the
// line is not that or the time stamp names no real time.
std::optional<LocalTime> resultDateLine(const CsvTable& table);

// One angle's row of a result file: its label, then numbers, each followed by the separator
// (the last may stand alone). Nothing when the label is another angle's or a field is no number.
std::optional<AngleSpectrum> angleRow(const std::vector<std::string>& fields, int angle,
                                      const NumberFormat& format);

// A block of a result file: its heading on line `heading` (from 1), whose first field is string
// `titleId`, and the three angle rows after it, each with at least `least` numbers; with
// `mayBeEmpty`, a row holding no number stands for a spectrum the file does not have.
struct BlockAt {
    std::size_t heading;
    int titleId;
    std::size_t least = kSpectrumPoints;
    bool mayBeEmpty = false;
};
// Empty when the block stands there whole (its rows in `out`); otherwise why not, with its line.
std::string readBlock(const CsvTable& table, const BlockAt& block, const StringTable& texts,
                      const NumberFormat& format, ThreeAngles& out);

}  // namespace qv
