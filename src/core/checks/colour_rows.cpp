#include "core/checks/colour_rows.h"

#include <array>
#include <charconv>
#include <cmath>

#include "core/app/number_format.h"
#include "core/colour/tristimulus.h"

namespace qv {

namespace {

constexpr std::size_t kSpectrumFields = 1 + kColourPoints;
constexpr std::size_t kLabPairFields = 6;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool blankLine(std::string_view s) {
    return trim(s).empty();
}

// The separator a row uses: tab, then semicolon, then comma; 0 when it has none of them.
char separatorOf(std::string_view line) {
    for (char c : {'\t', ';', ','}) {
        if (line.find(c) != std::string_view::npos) return c;
    }
    return 0;
}

std::vector<std::string_view> splitOn(std::string_view line, char sep) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(sep, start);
        fields.push_back(trim(line.substr(start, end - start)));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    // A trailing separator (as spreadsheets write) adds no field.
    while (!fields.empty() && fields.back().empty()) fields.pop_back();
    return fields;
}

std::vector<std::string_view> splitOnBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

std::string quoted(std::string_view field) {
    constexpr std::size_t kShown = 24;
    if (field.size() > kShown) return "'" + std::string(field.substr(0, kShown)) + "...'";
    return "'" + std::string(field) + "'";
}

// A heading names its columns: several fields and not one number among the values.
bool noneNumeric(const std::vector<std::string_view>& fields, std::size_t from, bool comma) {
    if (fields.size() < 2) return false;
    for (std::size_t i = from; i < fields.size(); ++i) {
        if (parseDecimal(fields[i], comma)) return false;
    }
    return true;
}

// "ID, 400, 410, ..., 700": a heading of wavelengths.
bool wavelengthHeading(const std::vector<std::string_view>& fields, bool comma) {
    if (fields.size() != kSpectrumFields) return false;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const auto v = parseDecimal(fields[i], comma);
        if (!v || *v != double(kColourStartNm + kColourStepNm * int(i - 1))) return false;
    }
    return true;
}

}  // namespace

std::optional<double> parseDecimal(std::string_view field, bool commaDecimal) {
    return wholeNumber(field, commaDecimal ? ',' : '.');
}

std::string formatFixed4(double value) {
    return formatFixed(value, 4);
}

ColourRowConverter::ColourRowConverter(ColourTable table, DeltaEFormula formula)
    : table_(table), formula_(formula) {}

RowOutcome ColourRowConverter::error(const std::string& what) {
    ++errors_;
    return {RowOutcome::Kind::Error, "line " + std::to_string(line_) + ": " + what};
}

RowOutcome ColourRowConverter::feed(std::string_view line) {
    ++line_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (blankLine(line)) return {};
    const char sep = separatorOf(line);
    const bool commaDecimal = sep != ',';
    std::vector<std::string_view> fields;
    if (sep != 0) {
        fields = splitOn(line, sep);
    } else if (table_ == ColourTable::LabPairs) {
        fields = splitOnBlanks(line);
    } else {
        fields = {trim(line)};
    }

    const bool firstRow = !seenRow_;
    seenRow_ = true;
    if (table_ == ColourTable::Spectra) {
        if (firstRow &&
            (noneNumeric(fields, 1, commaDecimal) || wavelengthHeading(fields, commaDecimal))) {
            return {};
        }
        return spectrumRow(fields, commaDecimal);
    }
    if (firstRow && noneNumeric(fields, 0, commaDecimal)) return {};
    return labPairRow(fields, commaDecimal);
}

RowOutcome ColourRowConverter::spectrumRow(const std::vector<std::string_view>& fields,
                                           bool commaDecimal) {
    if (fields.size() != kSpectrumFields) {
        return error("expected an identifier and 31 reflectances, found " +
                     std::to_string(fields.empty() ? 0 : fields.size() - 1) + " values");
    }
    if (fields[0].empty()) return error("the identifier is empty");
    std::array<double, kColourPoints> reflectance{};
    for (std::size_t i = 0; i < reflectance.size(); ++i) {
        const auto v = parseDecimal(fields[i + 1], commaDecimal);
        if (!v) {
            return error("reflectance at " +
                         std::to_string(kColourStartNm + kColourStepNm * int(i)) + " nm " +
                         quoted(fields[i + 1]) + " is not a number");
        }
        reflectance[i] = *v;
    }
    const Lab lab = spectrumToLab(reflectance);
    if (!std::isfinite(lab.L) || !std::isfinite(lab.a) || !std::isfinite(lab.b)) {
        return error("the reflectances give no finite L*a*b*");
    }
    ++results_;
    return {RowOutcome::Kind::Result, std::string(fields[0]) + '\t' + formatFixed4(lab.L) + '\t' +
                                          formatFixed4(lab.a) + '\t' + formatFixed4(lab.b)};
}

RowOutcome ColourRowConverter::labPairRow(const std::vector<std::string_view>& fields,
                                          bool commaDecimal) {
    if (fields.size() != kLabPairFields) {
        return error("expected 6 numbers (L1 a1 b1 L2 a2 b2), found " +
                     std::to_string(fields.size()) + " fields");
    }
    std::array<double, kLabPairFields> v{};
    for (std::size_t i = 0; i < v.size(); ++i) {
        const auto number = parseDecimal(fields[i], commaDecimal);
        if (!number) {
            return error("field " + std::to_string(i + 1) + " " + quoted(fields[i]) +
                         " is not a number");
        }
        v[i] = *number;
    }
    const double difference = deltaE(formula_, {v[0], v[1], v[2]}, {v[3], v[4], v[5]});
    if (!std::isfinite(difference)) return error("the colours give no finite difference");
    ++results_;
    return {RowOutcome::Kind::Result, formatFixed4(difference)};
}

}  // namespace qv
