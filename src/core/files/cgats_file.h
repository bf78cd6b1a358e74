#pragma once

// CGATS text, the exchange form colour tools read spectral data in: an identifier, keyword
// lines, the names of the fields, then one set of values per line. The table keeps every token
// as the file wrote it (a string with its quotes), so that a copy changes no more than what its
// maker means to change.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/app/csv.h"
#include "core/colour/spectrum.h"
#include "core/files/file_lines.h"

namespace qv {

struct CgatsTable {
    std::string identifier;  // "CTI3", "CGATS.17", ...
    // Keyword lines in the file's order, the value as written ("\"QV-L70s\"", "3"); a
    // declaration of an own keyword is ("KEYWORD", "\"NAME\"").
    std::vector<std::pair<std::string, std::string>> keywords;
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> sets;  // each as many tokens as there are fields
};

// Spectra standardised to a master say so under this keyword, with the profile, so that they are
// never standardised again.
inline constexpr std::string_view kCgatsStandardisedKeyword = "STANDARDISED";

// A CGATS string is quoted: a quote or a control character inside it becomes a blank.
std::string cgatsQuoted(std::string_view text);
// A token without its quotes.
std::string cgatsUnquoted(std::string_view token);

// The first table of a file. Refused, naming the line, when the identifier, the field names or
// the data are missing, a set holds another number of values than there are fields, a string
// is left open, the file holds a second table, or it is longer than `limits` allow.
FileRead<CgatsTable> readCgats(std::string_view text, const CsvLimits& limits = {});
// The table as text, CR LF after each line; NUMBER_OF_FIELDS and NUMBER_OF_SETS are written
// from the fields and the sets, whatever the keywords say.
std::string formatCgats(const CgatsTable& table);

// A keyword's value without its quotes; nothing when the table has no such keyword.
std::optional<std::string> cgatsKeyword(const CgatsTable& table, std::string_view name);
// Sets a keyword's value (quoted), declaring it first when CGATS does not define it.
void setCgatsKeyword(CgatsTable& table, const std::string& name, std::string_view value,
                     bool declare);

// One set's reflectances at 400 to 700 nm by 10 nm, in percent, and its angle.
struct CgatsSpectrum {
    std::size_t set = 0;  // its place in the table
    std::string name;     // SAMPLE_NAME, else SAMPLE_ID
    int angle = 0;        // index into kAngleDegrees
    AngleSpectrum reflectances;
};

// The field names the reflectances are read from and written to: SPEC_400 ... SPEC_700.
std::string cgatsSpectralField(int nm);

// Every set's spectrum. A set names its angle by the last word of its name ("sample 45",
// "measurement 2 75"), as the program's export writes them; values are percent unless
// SPECTRAL_NORM says they are fractions of another whole. Refused, naming the set, when a field
// of 400 to 700 nm is missing, a value is not a number, or a name ends in no angle.
FileRead<std::vector<CgatsSpectrum>> cgatsSpectra(const CgatsTable& table);
// Writes a spectrum back into its set, in the table's own scale, six decimals.
void setCgatsSpectrum(CgatsTable& table, const CgatsSpectrum& spectrum);

}  // namespace qv
