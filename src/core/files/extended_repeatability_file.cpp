// The result file of the repeatability check over many readings. Numbers are written and read
// through the number format; whatever the file says is untrusted until every line is in place.
#include "core/files/extended_repeatability_file.h"

#include <cmath>
#include <limits>

#include "core/files/file_lines.h"

namespace qv {

namespace {

namespace key = extended_key;

constexpr std::size_t kHeaderLines = 7;
constexpr std::size_t kReadingColumns = 2 + 3 + kSpectrumPoints;  // reading, angle, Lab, R
constexpr std::size_t kSummaryColumns = 1 + 3 + 5;  // angle, mean Lab, MCDM, sd Lab, largest
constexpr std::string_view kYes = "yes";
constexpr std::string_view kNo = "no";
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

void value(CsvWriter& w, double v, bool last = false) {
    if (std::isfinite(v))
        last ? w.lastNumber(v) : w.number(v);
    else
        last ? w.last(kEmptyField) : w.field(kEmptyField);
}

void header(CsvWriter& w, const ExtendedReport& r) {
    w.field(key::kDate).last(resultTimestamp(r.time)).endLine();
    w.field(key::kReadings).last(std::to_string(r.readings)).endLine();
    w.field(key::kInstrument).last(r.serial).endLine();
    w.field(key::kType).last(r.instrumentType).endLine();
    w.field(key::kHandling).last(r.handling ? kYes : kNo).endLine();
    w.field(key::kSpecimen).last(r.specimen).endLine();
    w.field(key::kFormula).last(r.formula).endLine();
    w.endLine();
}

void readingRows(CsvWriter& w, const ExtendedReport& r) {
    w.field(key::kReadingColumn).field(key::kAngleColumn).field("L*").field("a*").field("b*");
    for (int nm = kStartNm; nm < kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.last(std::to_string(kEndNm) + "nm").endLine();
    for (std::size_t k = 0; k < r.lab.size(); ++k)
        for (int a = 0; a < kAngleCount; ++a) {
            w.field(std::to_string(k + 1)).field(std::to_string(kAngleDegrees[a]));
            for (double c : r.lab[k][a]) value(w, c);
            const AngleSpectrum* s = k < r.spectra.size() ? &r.spectra[k][a] : nullptr;
            for (int j = 0; j < kSpectrumPoints; ++j)
                value(w, s && std::size_t(j) < s->size() ? (*s)[j] : kNone,
                      j + 1 == kSpectrumPoints);
            w.endLine();
        }
    w.endLine();
}

void summaryRows(CsvWriter& w, const ExtendedReport& r) {
    w.field(key::kAngleColumn).field("Mean L*").field("Mean a*").field("Mean b*").field("MCDM");
    w.field("sd L*").field("sd a*").field("sd b*").last("Largest").endLine();
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread& s = r.spread[a];
        w.field(std::to_string(kAngleDegrees[a]));
        for (double c : s.mean) value(w, c);
        value(w, s.mcdm);
        for (double c : s.sd) value(w, c);
        value(w, s.largest, true);
        w.endLine();
    }
}

}  // namespace

std::string formatExtendedFile(const ExtendedReport& report, const NumberFormat& format) {
    CsvWriter w(format);
    header(w, report);
    readingRows(w, report);
    summaryRows(w, report);
    return w.take();
}

SavedFile writeExtendedFile(FileStore& files, const std::string& dataFolder,
                            const ExtendedReport& report, const NumberFormat& format) {
    return saveResultFile(files, dataFolder,
                          std::string(kExtendedFilePrefix) + resultTimestamp(report.time),
                          formatExtendedFile(report, format));
}

namespace {

// A file's lines numbered from 1, and the values of its fields.
class Lines {
public:
    Lines(const CsvTable& table, const NumberFormat& format) : t_(table), f_(format) {}
    std::size_t count() const { return t_.lines.size(); }
    const std::vector<std::string>& at(std::size_t line) const { return t_.lines[line - 1]; }
    bool blank(std::size_t line) const { return at(line).size() == 1 && at(line)[0].empty(); }
    // The value of a header line `key,value`; nothing when the line is another.
    std::optional<std::string> keyed(std::size_t line, std::string_view key) const {
        const auto& fields = at(line);
        if (fields.size() != 2 || fields[0] != key) return std::nullopt;
        return fields[1];
    }
    // A number, or NaN written as the empty field.
    std::optional<double> number(std::string_view field) const {
        if (field == kEmptyField) return kNone;
        return f_.readFile(field);
    }

private:
    const CsvTable& t_;
    const NumberFormat& f_;
};

// The header's seven lines into `r`; empty when they stand there, otherwise why not.
std::string readHeader(const Lines& lines, ExtendedReport& r) {
    if (lines.count() < kHeaderLines + 1) return atLine(lines.count() + 1, "the header ends early");
    const std::string_view keys[kHeaderLines] = {key::kDate,   key::kReadings, key::kInstrument,
                                                 key::kType,   key::kHandling, key::kSpecimen,
                                                 key::kFormula};
    std::string values[kHeaderLines];
    for (std::size_t i = 0; i < kHeaderLines; ++i) {
        auto v = lines.keyed(i + 1, keys[i]);
        if (!v) return atLine(i + 1, "not the header line " + std::string(keys[i]));
        values[i] = std::move(*v);
    }
    const auto time = fromResultTimestamp(values[0]);
    if (!time) return atLine(1, "not a time stamp");
    r.time = *time;
    const auto n = wholeNumber(values[1], '.');
    if (!n || *n != std::floor(*n) || *n < 2 || *n > kMaxReadingsInFile)
        return atLine(2,
                      "not a number of readings from 2 to " + std::to_string(kMaxReadingsInFile));
    r.readings = static_cast<int>(*n);
    r.serial = trimmedSerial(values[2]);
    if (r.serial.empty()) return atLine(3, "no serial");
    r.instrumentType = values[3];
    if (values[4] != kYes && values[4] != kNo) return atLine(5, "neither yes nor no");
    r.handling = values[4] == kYes;
    r.specimen = values[5];
    r.formula = values[6];
    if (!lines.blank(kHeaderLines + 1)) return atLine(kHeaderLines + 1, "not a blank line");
    return {};
}

// One reading's row of angle `a` into `r`.
bool readingRow(const Lines& lines, std::size_t line, std::size_t k, int a, ExtendedReport& r) {
    const auto& fields = lines.at(line);
    if (fields.size() != kReadingColumns || fields[0] != std::to_string(k + 1) ||
        fields[1] != std::to_string(kAngleDegrees[a]))
        return false;
    for (int c = 0; c < 3; ++c) {
        const auto v = lines.number(fields[2 + std::size_t(c)]);
        if (!v) return false;
        r.lab[k][a][c] = *v;
    }
    AngleSpectrum& s = r.spectra[k][a];
    for (std::size_t j = 5; j < kReadingColumns; ++j) {
        // The instrument's reflectances are always numbers; only a colour may be missing.
        const auto v = lines.number(fields[j]);
        if (!v || !std::isfinite(*v)) return false;
        s.push_back(*v);
    }
    return true;
}

std::string readReadings(const Lines& lines, std::size_t& line, ExtendedReport& r) {
    const auto& heading = lines.at(line);
    if (heading.size() != kReadingColumns || heading[0] != key::kReadingColumn)
        return atLine(line, "not the heading of the readings");
    const auto n = static_cast<std::size_t>(r.readings);
    r.lab.assign(n, ReadingLab{});
    r.spectra.assign(n, ThreeAngles{});
    for (std::size_t k = 0; k < n; ++k)
        for (int a = 0; a < kAngleCount; ++a)
            if (!readingRow(lines, ++line, k, a, r))
                return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) +
                                        "° row of reading " + std::to_string(k + 1));
    if (!lines.blank(++line)) return atLine(line, "not a blank line");
    return {};
}

std::string readSummary(const Lines& lines, std::size_t& line, ExtendedReport& r) {
    const auto& heading = lines.at(++line);
    if (heading.size() != kSummaryColumns || heading[0] != key::kAngleColumn)
        return atLine(line, "not the heading of the summary");
    for (int a = 0; a < kAngleCount; ++a) {
        const auto& fields = lines.at(++line);
        if (fields.size() != kSummaryColumns || fields[0] != std::to_string(kAngleDegrees[a]))
            return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) + "° summary");
        std::array<double, kSummaryColumns - 1> v{};
        for (std::size_t i = 0; i < v.size(); ++i) {
            const auto x = lines.number(fields[i + 1]);
            // Differences and standard deviations are never below zero.
            if (!x || (i >= 3 && *x < 0.0))
                return atLine(line, "not a number in column " + std::to_string(i + 2));
            v[i] = *x;
        }
        AngleSpread& s = r.spread[a];
        s.readings = r.readings;
        s.mean = {v[0], v[1], v[2]};
        s.mcdm = v[3];
        s.sd = {v[4], v[5], v[6]};
        s.largest = v[7];
        s.rms = std::numeric_limits<double>::quiet_NaN();  // not kept in the file
    }
    return {};
}

}  // namespace

bool isExtendedFile(const CsvTable& head, const StringTable&) {
    return head.at(1, 0) == key::kReadings;
}

FileRead<ExtendedReport> readExtendedFile(std::string_view text, const NumberFormat& format,
                                          const CsvLimits& limits) {
    const CsvReadResult csv = readLeadingLines(text, kMaxExtendedFileLines + 1, format, limits);
    if (!csv.ok())
        return {std::nullopt, atLine(csv.errorLine, "more or longer lines than the file has")};
    const Lines lines(csv.table, format);
    ExtendedReport r;
    if (auto why = readHeader(lines, r); !why.empty()) return {std::nullopt, why};
    // Header, blank, heading, the readings' rows, blank, heading, the summary's rows.
    const std::size_t expected = kHeaderLines + 2 + 3 * std::size_t(r.readings) + 2 + 3;
    if (lines.count() != expected)
        return {std::nullopt, atLine(std::min(lines.count(), expected) + 1,
                                     lines.count() < expected ? "the file ends early"
                                                              : "more lines than its readings")};
    std::size_t line = kHeaderLines + 2;
    if (auto why = readReadings(lines, line, r); !why.empty()) return {std::nullopt, why};
    if (auto why = readSummary(lines, line, r); !why.empty()) return {std::nullopt, why};
    return {std::move(r), {}};
}

CheckRecord extendedRecord(const ExtendedReport& report, const std::string& file) {
    CheckRecord c = emptyRecord(RecordKind::ExtendedRepeatability, report.time);
    c.serial = report.serial;
    c.instrumentType = report.instrumentType;
    c.formula = report.formula;
    c.readings = report.readings;
    c.handling = report.handling;
    c.specimen = report.specimen;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread& s = report.spread[a];
        c.angles[a].lab = s.mean;
        c.angles[a].deltaE = s.mcdm;
        c.angles[a].sd = s.sd;
        c.angles[a].largest = s.largest;
        c.angles[a].rms = s.rms;
    }
    if (!file.empty()) c.files.push_back(file);
    return c;
}

}  // namespace qv
