#include "core/files/file_lines.h"

#include "core/app/string_ids.h"

namespace qv {

CsvReadResult readLeadingLines(std::string_view text, std::size_t lineCount,
                               const NumberFormat& format, const CsvLimits& limits) {
    std::size_t end = 0;
    for (std::size_t line = 0; line < lineCount && end < text.size(); ++line) {
        const std::size_t lf = text.find('\n', end);
        end = lf == std::string_view::npos ? text.size() : lf + 1;
    }
    return readCsv(text.substr(0, end), format.listSeparator, limits);
}

std::optional<std::string_view> headerValue(const std::vector<std::string>& fields) {
    if (fields.size() < 2) return std::nullopt;
    return fields[1];
}

bool isKey(std::string_view key, const StringTable& texts, int id) {
    const std::string text = texts.text(id);
    return !text.empty() && key == text;
}

std::string trimmedSerial(std::string_view value) {
    constexpr std::string_view kWhite = " \t\r\n";
    const std::size_t first = value.find_first_not_of(kWhite);
    if (first == std::string_view::npos) return {};
    return std::string(value.substr(first, value.find_last_not_of(kWhite) - first + 1));
}

bool appendSpectrumLine(const std::vector<std::string>& fields, int angleDegrees,
                        const NumberFormat& format, EmptyField empty, AngleSpectrum& out) {
    const std::string label = std::to_string(angleDegrees);
    bool sawEmpty = false;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        if (fields[i] == label) continue;
        if (fields[i].empty()) {
            sawEmpty = true;
            if (empty == EmptyField::EndsReading) continue;
        }
        out.push_back(format.readLenient(fields[i]));
    }
    if (!fields.empty()) out.push_back(format.readLenient(fields.back()));
    return sawEmpty;
}

std::string atLine(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

std::optional<NumberFormat> resultFileFormat(std::string_view text, const NumberFormat& user,
                                             const StringTable& texts) {
    for (const std::string& key : {texts.text(kStrDateLabel), std::string(kEnglishDateKey)}) {
        if (key.empty() || text.size() <= key.size() || !text.starts_with(key)) continue;
        const char separator = text[key.size()];
        if (!user.listSeparator.empty() && separator == user.listSeparator.front()) return user;
        if (separator == ',' || separator == ';')
            return NumberFormat(separator == ',' ? '.' : ',', std::string(1, separator));
    }
    return std::nullopt;
}

std::optional<LocalTime> resultDateLine(const CsvTable& table) {
    if (table.fieldCount(0) != 2) return std::nullopt;
    return fromResultTimestamp(table.at(0, 1));
}

std::optional<AngleSpectrum> angleRow(const std::vector<std::string>& fields, int angle,
                                      const NumberFormat& format) {
    if (fields.empty() || fields[0] != std::to_string(kAngleDegrees[angle])) return std::nullopt;
    AngleSpectrum values;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (i + 1 == fields.size() && fields[i].empty()) break;
        const auto v = format.readFile(fields[i]);
        if (!v) return std::nullopt;
        values.push_back(*v);
    }
    return values;
}

std::string readBlock(const CsvTable& table, const BlockAt& block, const StringTable& texts,
                      const NumberFormat& format, ThreeAngles& out) {
    if (!isKey(table.at(block.heading - 1, 0), texts, block.titleId))
        return atLine(block.heading, "not the heading " + texts.text(block.titleId));
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t line = block.heading + 1 + static_cast<std::size_t>(a);
        static const std::vector<std::string> kNoFields;
        auto values =
            angleRow(line <= table.lines.size() ? table.lines[line - 1] : kNoFields, a, format);
        const bool whole =
            values && (values->size() >= block.least || (block.mayBeEmpty && values->empty()));
        if (!whole)
            return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) + "° row with " +
                                    std::to_string(block.least) + " numbers");
        out[a] = std::move(*values);
    }
    return {};
}

}  // namespace qv
