#include "core/files/file_lines.h"

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

}  // namespace qv
