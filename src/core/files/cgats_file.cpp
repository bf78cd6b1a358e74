#include "core/files/cgats_file.h"

#include <algorithm>
#include <cmath>

#include "core/app/number_format.h"

namespace qv {

namespace {

constexpr std::string_view kNumberOfFields = "NUMBER_OF_FIELDS";
constexpr std::string_view kNumberOfSets = "NUMBER_OF_SETS";
constexpr int kDecimals = 6;

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A line's tokens, a string kept whole with its quotes; a '#' outside a string begins a
// comment. False when a string is left open.
bool tokens(std::string_view line, std::vector<std::string>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            out.emplace_back(line.substr(i, close + 1 - i));
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' &&
                   line[end] != '\r' && line[end] != '"')
                ++end;
            out.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

std::optional<std::size_t> count(std::string_view token) {
    if (token.empty() || token.size() > 9) return std::nullopt;
    std::size_t n = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + std::size_t(c - '0');
    }
    return n;
}

enum class Part { Identifier, Header, Fields, Data, After };

struct Reader {
    CgatsTable table;
    Part part = Part::Identifier;
    std::optional<std::size_t> statedSets;
    std::vector<std::string> pending;  // a set's tokens until it is whole

    // Empty when the line was taken; otherwise what is wrong with it.
    std::string take(const std::vector<std::string>& t) {
        if (t.empty()) return {};
        switch (part) {
            case Part::Identifier:
                if (t.size() != 1 || t[0].front() == '"') return "not a CGATS identifier";
                table.identifier = t[0];
                part = Part::Header;
                return {};
            case Part::Header:
                return header(t);
            case Part::Fields:
                for (std::size_t i = 0; i < t.size(); ++i) {
                    if (t[i] == "END_DATA_FORMAT") {
                        part = Part::Header;
                        if (i + 1 < t.size()) return "something after END_DATA_FORMAT";
                        return table.fields.empty() ? "no field names" : "";
                    }
                    table.fields.push_back(t[i]);
                }
                return {};
            case Part::Data:
                return data(t);
            case Part::After:
                return "a second table: only one is read";
        }
        return {};
    }

    std::string header(const std::vector<std::string>& t) {
        if (t[0] == "BEGIN_DATA_FORMAT") {
            if (!table.fields.empty()) return "a second field list";
            part = Part::Fields;
            return t.size() == 1 ? "" : "field names on the BEGIN_DATA_FORMAT line";
        }
        if (t[0] == "BEGIN_DATA") {
            if (table.fields.empty()) return "data before the field names";
            part = Part::Data;
            return t.size() == 1 ? "" : "values on the BEGIN_DATA line";
        }
        if (t[0].front() == '"') return "a string where a keyword belongs";
        std::string value;
        for (std::size_t i = 1; i < t.size(); ++i) value += (i > 1 ? " " : "") + t[i];
        if (t[0] == kNumberOfSets) {
            statedSets = count(value);
            return statedSets ? "" : "NUMBER_OF_SETS is not a count";
        }
        if (t[0] != kNumberOfFields) table.keywords.emplace_back(t[0], value);
        return {};
    }

    std::string data(const std::vector<std::string>& t) {
        for (std::size_t i = 0; i < t.size(); ++i) {
            const std::string& token = t[i];
            if (token == "END_DATA") {
                part = Part::After;
                if (i + 1 < t.size()) return "something after END_DATA";
                if (!pending.empty()) return "a set of fewer values than there are fields";
                if (statedSets && *statedSets != table.sets.size())
                    return "NUMBER_OF_SETS says " + std::to_string(*statedSets) +
                           ", the data holds " + std::to_string(table.sets.size());
                return {};
            }
            pending.push_back(token);
            if (pending.size() == table.fields.size())
                table.sets.push_back(std::move(pending)), pending = {};
        }
        return {};
    }
};

}  // namespace

std::string cgatsQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (c == '"' || u < 0x20 || u == 0x7f) ? ' ' : c;
    }
    return out + "\"";
}

std::string cgatsUnquoted(std::string_view token) {
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"')
        return std::string(token.substr(1, token.size() - 2));
    return std::string(token);
}

FileRead<CgatsTable> readCgats(std::string_view text, const CsvLimits& limits) {
    Reader reader;
    std::vector<std::string> t;
    std::size_t line = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (++line > limits.maxLines) return {{}, atLine(line, "more lines than a table may have")};
        if (raw.size() > limits.maxLineBytes) return {{}, atLine(line, "a line too long")};
        if (!tokens(trimmed(raw), t)) return {{}, atLine(line, "a string left open")};
        if (std::string why = reader.take(t); !why.empty()) return {{}, atLine(line, why)};
    }
    if (reader.part != Part::After)
        return {{},
                atLine(std::max<std::size_t>(line, 1), reader.part == Part::Identifier
                                                           ? "no CGATS identifier"
                                                           : "no END_DATA: the table stops early")};
    return {std::move(reader.table), {}};
}

std::string formatCgats(const CgatsTable& table) {
    std::string out;
    const auto line = [&out](const std::string& text) {
        out += text;
        out += kCrLf;
    };
    line(table.identifier);
    for (const auto& [key, value] : table.keywords) line(value.empty() ? key : key + " " + value);
    line(std::string(kNumberOfFields) + " " + std::to_string(table.fields.size()));
    line("BEGIN_DATA_FORMAT");
    std::string fields;
    for (const std::string& f : table.fields) fields += (fields.empty() ? "" : " ") + f;
    line(fields);
    line("END_DATA_FORMAT");
    line(std::string(kNumberOfSets) + " " + std::to_string(table.sets.size()));
    line("BEGIN_DATA");
    for (const auto& set : table.sets) {
        std::string row;
        for (const std::string& v : set) row += (row.empty() ? "" : " ") + v;
        line(row);
    }
    line("END_DATA");
    return out;
}

std::optional<std::string> cgatsKeyword(const CgatsTable& table, std::string_view name) {
    for (const auto& [key, value] : table.keywords)
        if (key == name) return cgatsUnquoted(value);
    return std::nullopt;
}

void setCgatsKeyword(CgatsTable& table, const std::string& name, std::string_view value,
                     bool declare) {
    for (auto& [key, v] : table.keywords)
        if (key == name) {
            v = cgatsQuoted(value);
            return;
        }
    if (declare) table.keywords.emplace_back("KEYWORD", cgatsQuoted(name));
    table.keywords.emplace_back(name, cgatsQuoted(value));
}

std::string cgatsSpectralField(int nm) {
    return "SPEC_" + std::to_string(nm);
}

namespace {

std::optional<std::size_t> fieldIndex(const CgatsTable& table, std::string_view name) {
    for (std::size_t i = 0; i < table.fields.size(); ++i)
        if (table.fields[i] == name) return i;
    return std::nullopt;
}

// The factor from the file's values to percent: SPECTRAL_NORM is the value a whole reflects.
std::optional<double> toPercent(const CgatsTable& table) {
    const auto norm = cgatsKeyword(table, "SPECTRAL_NORM");
    if (!norm) return 1.0;
    const auto value = wholeNumber(*norm, '.');
    if (!value || !std::isfinite(*value) || *value <= 0.0) return std::nullopt;
    return 100.0 / *value;
}

std::optional<int> angleOfName(std::string_view name) {
    const std::size_t blank = name.find_last_of(' ');
    const std::string_view last = blank == std::string_view::npos ? name : name.substr(blank + 1);
    for (int a = 0; a < kAngleCount; ++a)
        if (last == std::to_string(kAngleDegrees[a])) return a;
    return std::nullopt;
}

std::string setAt(std::size_t set, const std::string& what) {
    return "set " + std::to_string(set + 1) + ": " + what;
}

}  // namespace

FileRead<std::vector<CgatsSpectrum>> cgatsSpectra(const CgatsTable& table) {
    std::vector<std::size_t> columns;
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) {
        const auto at = fieldIndex(table, cgatsSpectralField(nm));
        if (!at) return {{}, "no field " + cgatsSpectralField(nm)};
        columns.push_back(*at);
    }
    const auto scale = toPercent(table);
    if (!scale) return {{}, "SPECTRAL_NORM is not a positive number"};
    const auto nameAt = fieldIndex(table, "SAMPLE_NAME") ? fieldIndex(table, "SAMPLE_NAME")
                                                         : fieldIndex(table, "SAMPLE_ID");
    if (!nameAt) return {{}, "no SAMPLE_NAME nor SAMPLE_ID"};
    std::vector<CgatsSpectrum> out;
    for (std::size_t s = 0; s < table.sets.size(); ++s) {
        CgatsSpectrum spectrum{s, cgatsUnquoted(table.sets[s][*nameAt]), 0, {}};
        const auto angle = angleOfName(spectrum.name);
        if (!angle) return {{}, setAt(s, "\"" + spectrum.name + "\" names no angle (25, 45, 75)")};
        spectrum.angle = *angle;
        for (std::size_t c : columns) {
            const auto v = wholeNumber(table.sets[s][c], '.');
            if (!v || !std::isfinite(*v))
                return {{}, setAt(s, table.fields[c] + " is not a number")};
            spectrum.reflectances.push_back(*v * *scale);
        }
        out.push_back(std::move(spectrum));
    }
    return {std::move(out), {}};
}

void setCgatsSpectrum(CgatsTable& table, const CgatsSpectrum& spectrum) {
    const double scale = toPercent(table).value_or(1.0);
    auto& set = table.sets.at(spectrum.set);
    for (std::size_t i = 0; i < spectrum.reflectances.size() && i < std::size_t(kSpectrumPoints);
         ++i)
        set[*fieldIndex(table, cgatsSpectralField(kStartNm + int(i) * kStepNm))] =
            formatFixed(spectrum.reflectances[i] / scale, kDecimals);
}

}  // namespace qv
