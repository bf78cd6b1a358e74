#include "core/app/csv.h"

namespace qv {

namespace {
// A field with line breaks and separator characters replaced by blanks: either would split
// the row.
std::string csvSafe(std::string_view text, std::string_view separator) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n' || separator.find(c) != std::string_view::npos) c = ' ';
    return out;
}
}  // namespace

CsvWriter& CsvWriter::field(std::string_view text) {
    out_ += csvSafe(text, format_.listSeparator);
    out_ += format_.listSeparator;
    return *this;
}

CsvWriter& CsvWriter::number(double value) {
    out_ += format_.file(value);
    out_ += format_.listSeparator;
    return *this;
}

CsvWriter& CsvWriter::number(double value, int decimals) {
    out_ += format_.file(value, decimals);
    out_ += format_.listSeparator;
    return *this;
}

CsvWriter& CsvWriter::last(std::string_view text) {
    out_ += csvSafe(text, format_.listSeparator);
    return *this;
}

CsvWriter& CsvWriter::lastNumber(double value) {
    out_ += format_.file(value);
    return *this;
}

CsvWriter& CsvWriter::endLine(std::string_view lineEnd) {
    out_ += lineEnd;
    return *this;
}

std::string_view CsvTable::at(std::size_t line, std::size_t column) const {
    if (line >= lines.size() || column >= lines[line].size()) return {};
    return lines[line][column];
}

namespace {
std::vector<std::string> splitFields(std::string_view line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t at = line.find(separator); at != std::string_view::npos;
         at = line.find(separator, start)) {
        fields.emplace_back(line.substr(start, at - start));
        start = at + 1;
    }
    fields.emplace_back(line.substr(start));
    return fields;
}
}  // namespace

CsvReadResult readCsv(std::string_view text, std::string_view listSeparator,
                      const CsvLimits& limits) {
    CsvReadResult result;
    if (listSeparator.empty()) {
        result.error = CsvError::NoSeparator;
        return result;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        const std::size_t number = result.table.lines.size() + 1;
        if (line.size() > limits.maxLineBytes || number > limits.maxLines) {
            result.error =
                line.size() > limits.maxLineBytes ? CsvError::LineTooLong : CsvError::TooManyLines;
            result.errorLine = number;
            result.table.lines.clear();
            return result;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        result.table.lines.push_back(splitFields(line, listSeparator.front()));
        start = end + 1;
    }
    return result;
}

}  // namespace qv
