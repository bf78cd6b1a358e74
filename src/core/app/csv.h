#pragma once

// The program's CSV files: fields joined by the user's list separator (written as a whole text,
// split at its first character when read), lines ended as each file needs them. Everything read
// is untrusted: a line longer than the stated bound refuses the whole file rather than being cut
// (a cut line would shift the numbering of every line after it).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/number_format.h"

namespace qv {

inline constexpr std::string_view kCrLf = "\r\n";

// Builds a file's text field by field.
class CsvWriter {
public:
    explicit CsvWriter(const NumberFormat& format) : format_(format) {}

    // A text field followed by the separator. Line breaks and separator characters inside it
    // would split the row, so each becomes a blank.
    CsvWriter& field(std::string_view text);
    // A number field ("%lf" with the user's decimal separator) followed by the separator.
    CsvWriter& number(double value);
    // A number with `decimals` decimals ("%.<decimals>lf", the user's decimal separator)
    // followed by the separator.
    CsvWriter& number(double value, int decimals);
    // A text field as the last of its line: no separator after it.
    CsvWriter& last(std::string_view text);
    // A number field as the last of its line.
    CsvWriter& lastNumber(double value);
    // Ends the line (CR LF unless the file says otherwise).
    CsvWriter& endLine(std::string_view lineEnd = kCrLf);

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    const NumberFormat& format_;
    std::string out_;
};

struct CsvLimits {
    std::size_t maxLineBytes = 4096;
    std::size_t maxLines = 1000;
};

// A file read into lines of fields.
struct CsvTable {
    std::vector<std::vector<std::string>> lines;

    // Field `column` of line `line` (both from 0); empty when absent.
    std::string_view at(std::size_t line, std::size_t column) const;
    std::size_t fieldCount(std::size_t line) const {
        return line < lines.size() ? lines[line].size() : 0;
    }
};

enum class CsvError { None, LineTooLong, TooManyLines, NoSeparator };

struct CsvReadResult {
    CsvTable table;
    CsvError error = CsvError::None;
    std::size_t errorLine = 0;  // 1-based line of the error
    bool ok() const { return error == CsvError::None; }
};

// Splits `text` into lines at LF (a CR before it is dropped) and each line into fields at the
// first character of `listSeparator`. A zero byte ends nothing: it stays in its field.
CsvReadResult readCsv(std::string_view text, std::string_view listSeparator,
                      const CsvLimits& limits = {});

}  // namespace qv
