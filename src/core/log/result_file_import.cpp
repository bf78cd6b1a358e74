#include "core/log/result_file_import.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "core/app/csv.h"
#include "core/app/string_ids.h"
#include "core/app/thresholds.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/files/extended_repeatability_file.h"
#include "core/files/file_lines.h"
#include "core/tiles/set_files.h"

namespace qv {

namespace {

using Fields = std::vector<std::string>;
using Rows = std::array<std::vector<double>, kAngleCount>;

// A row of measurements 2 and 3 or of the sample holds at least the colour difference.
constexpr std::size_t kWithDifference = kDifferenceElement + 1;
constexpr std::size_t kWithCoordinates = kCoordinateElement + 3;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// A file's lines numbered from 1, as the reasons name them.
class Lines {
public:
    explicit Lines(const CsvTable& table) : t_(table) {}
    std::size_t count() const { return t_.lines.size(); }
    const Fields& at(std::size_t line) const {
        static const Fields kNoFields;
        return line >= 1 && line <= count() ? t_.lines[line - 1] : kNoFields;
    }
    std::string_view field(std::size_t line, std::size_t column) const {
        return t_.at(line - 1, column);
    }
    bool blank(std::size_t line) const { return at(line).size() == 1 && at(line)[0].empty(); }
    bool keyed(std::size_t line, const StringTable& texts, int id) const {
        return isKey(field(line, 0), texts, id);
    }
    std::string serial(std::size_t line) const { return trimmedSerial(field(line, 1)); }

private:
    const CsvTable& t_;
};

ResultFileRead notOurs(std::size_t line, const std::string& what) {
    return {std::nullopt, false, "line " + std::to_string(line) + ": " + what};
}

ResultFileRead check(CheckRecord record) {
    return {std::move(record), true, {}};
}

}  // namespace

std::optional<NumberFormat> resultFileFormat(std::string_view text, const NumberFormat& user,
                                             const StringTable& texts) {
    for (const std::string& key : {texts.text(kStrDateLabel), std::string(set_key::kDate)}) {
        if (key.empty() || text.size() <= key.size() || !text.starts_with(key)) continue;
        const char separator = text[key.size()];
        if (!user.listSeparator.empty() && separator == user.listSeparator.front()) return user;
        if (separator == ',' || separator == ';')
            return NumberFormat(separator == ',' ? '.' : ',', std::string(1, separator));
    }
    return std::nullopt;
}

namespace {

// One angle's row: its label, then numbers, each followed by the separator (the last may
// stand alone). Nothing when a field is no number or fewer than `least` are there.
std::optional<std::vector<double>> angleRow(const Fields& fields, int angle,
                                            const NumberFormat& format, std::size_t least) {
    if (fields.empty() || fields[0] != std::to_string(kAngleDegrees[angle])) return std::nullopt;
    std::vector<double> values;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (i + 1 == fields.size() && fields[i].empty()) break;
        const auto v = format.readFile(fields[i]);
        if (!v) return std::nullopt;
        values.push_back(*v);
    }
    return values.size() >= least ? std::optional(std::move(values)) : std::nullopt;
}

// A block: its heading (string `titleId`) on `heading`, the three angle rows after it. Empty
// when it stands there; otherwise why not.
std::string block(const Lines& lines, std::size_t heading, int titleId, const StringTable& texts,
                  const NumberFormat& format, std::size_t least, Rows& rows) {
    if (!lines.keyed(heading, texts, titleId))
        return "line " + std::to_string(heading) + ": not the heading " + texts.text(titleId);
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t line = heading + 1 + static_cast<std::size_t>(a);
        auto values = angleRow(lines.at(line), a, format, least);
        if (!values)
            return "line " + std::to_string(line) + ": not the " +
                   std::to_string(kAngleDegrees[a]) + "° row with " + std::to_string(least) +
                   " numbers";
        rows[a] = std::move(*values);
    }
    return {};
}

// The formula in the colour-difference heading, "dE (dE*ab)"; empty when it names none.
std::string formulaOf(std::string_view heading, const StringTable& texts) {
    const std::string prefix = texts.text(kStrDeltaEColumn) + " (";
    if (heading.size() <= prefix.size() || !heading.starts_with(prefix) || !heading.ends_with(')'))
        return {};
    return std::string(heading.substr(prefix.size(), heading.size() - prefix.size() - 1));
}

ResultFileRead repeatability(const Lines& lines, CheckRecord r, const StringTable& texts,
                             const NumberFormat& format) {
    r.kind = RecordKind::Repeatability;
    r.serial = lines.serial(2);
    if (r.serial.empty()) return notOurs(2, "no serial");
    constexpr std::array<std::pair<std::size_t, int>, 3> kBlocks = {
        {{5, kStrFirstBlock}, {9, kStrSecondBlock}, {13, kStrThirdBlock}}};
    std::array<Rows, 3> rows;
    for (std::size_t k = 0; k < kBlocks.size(); ++k) {
        const auto [heading, title] = kBlocks[k];
        const std::size_t least = k == 0 ? kSpectrumPoints : kWithDifference;
        if (auto why = block(lines, heading, title, texts, format, least, rows[k]); !why.empty())
            return {std::nullopt, false, why};
    }
    for (int a = 0; a < kAngleCount; ++a) {
        // Measurement 1's coordinates, the larger of the two differences from it.
        const std::vector<double>& first = rows[0][a];
        if (first.size() >= kWithCoordinates)
            r.angles[a].lab = {first[kCoordinateElement], first[kCoordinateElement + 1],
                               first[kCoordinateElement + 2]};
        r.angles[a].deltaE = decisiveDifference(
            std::array{rows[1][a][kDifferenceElement], rows[2][a][kDifferenceElement]});
    }
    if (!lines.at(9).empty()) r.formula = formulaOf(lines.at(9).back(), texts);
    return check(std::move(r));
}

ResultFileRead judgement(const Lines& lines, CheckRecord r, const StringTable& texts,
                         const NumberFormat& format) {
    r.kind = RecordKind::InterInstrument;
    r.referenceSerial = lines.serial(2);
    r.serial = lines.serial(3);
    if (r.referenceSerial.empty() || r.serial.empty())
        return notOurs(r.referenceSerial.empty() ? 2 : 3, "no serial");
    Rows target;
    Rows sample;
    for (auto why : {block(lines, 5, kStrTargetBlock, texts, format, kSpectrumPoints, target),
                     block(lines, 9, kStrSampleBlock, texts, format, kWithDifference, sample)})
        if (!why.empty()) return {std::nullopt, false, why};
    for (int a = 0; a < kAngleCount; ++a) {
        const std::vector<double>& s = sample[a];
        r.angles[a].lab = {s[kCoordinateElement], s[kCoordinateElement + 1],
                           s[kCoordinateElement + 2]};
        r.angles[a].deltaE = s[kDifferenceElement];
    }
    // A verification adds the differences before the correction below the table.
    constexpr std::size_t kBeforeLine = 14;
    if (!lines.keyed(kBeforeLine, texts, kStrBeforeCorrection)) return check(std::move(r));
    r.kind = RecordKind::Verification;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto dE = format.readFile(lines.field(kBeforeLine, static_cast<std::size_t>(a) + 1));
        if (!dE) return notOurs(kBeforeLine, "not three colour differences before correction");
        r.angles[a].beforeDeltaE = *dE;
    }
    return check(std::move(r));
}

ResultFileRead recordFile(const Lines& lines, CheckRecord r, const StringTable& texts) {
    r.kind = RecordKind::EntryWrite;
    r.serial = lines.serial(2);
    if (r.serial.empty()) return notOurs(2, "no serial");
    if (!lines.blank(4) || !lines.keyed(5, texts, kStrRecordReflectanceHeading))
        return notOurs(lines.blank(4) ? 5 : 4, "not where a coefficient record has its blocks");
    r.instrumentType = "53";  // only type 53 instruments take entries
    r.comment = std::string(lines.field(3, 1));
    return check(std::move(r));
}

// The set's header lines up to the first blank one; `line` ends on it.
std::string setHeader(const Lines& lines, std::size_t& line, CheckRecord& r,
                      const NumberFormat& format) {
    for (line = 2; line <= lines.count() && !lines.blank(line); ++line) {
        const std::string_view key = lines.field(line, 0);
        const std::string_view value = lines.field(line, 1);
        if (key == set_key::kSet) r.comment = std::string(value);
        if (key == set_key::kReference) r.referenceSerial = trimmedSerial(value);
        if (key == set_key::kUnderCorrection) r.serial = trimmedSerial(value);
        if (key == set_key::kFormula) r.formula = std::string(value);
        if (key == set_key::kMeanThreshold) r.threshold = format.readFile(value).value_or(kNone);
    }
    if (r.serial.empty() || std::isnan(r.threshold))
        return "line " + std::to_string(line) +
               ": the set's header lacks its instrument or "
               "mean threshold";
    return {};
}

// The tile rows after their heading; per angle the mean of the measured column goes to
// `measured`. `line` ends on the blank line after them.
std::string setTiles(const Lines& lines, std::size_t& line, const NumberFormat& format,
                     std::array<double, kAngleCount>& measured, bool& readAgain) {
    if (lines.field(++line, 0) != "Tile")
        return "line " + std::to_string(line) + ": not the heading of the tile rows";
    for (const std::string& column : lines.at(line)) readAgain = readAgain || column == "dE after";
    std::array<double, kAngleCount> sum{};
    std::array<int, kAngleCount> count{};
    for (++line; line <= lines.count() && !lines.blank(line); ++line) {
        const std::string_view label = lines.field(line, 1);
        int a = 0;
        while (a < kAngleCount && label != std::to_string(kAngleDegrees[a])) ++a;
        const auto dE = format.readFile(lines.field(line, 2));
        if (a == kAngleCount || !dE)
            return "line " + std::to_string(line) + ": not a tile's row with its angle and dE";
        sum[a] += *dE;
        ++count[a];
    }
    for (int a = 0; a < kAngleCount; ++a) measured[a] = count[a] > 0 ? sum[a] / count[a] : kNone;
    return {};
}

// The summary per angle and the set's verdict after the tile rows.
std::string setSummary(const Lines& lines, std::size_t line, const NumberFormat& format,
                       CheckRecord& r) {
    if (lines.field(++line, 0) != "Angle" || lines.field(line, 1) != "Mean")
        return "line " + std::to_string(line) + ": not the heading of the set's summary";
    for (int a = 0; a < kAngleCount; ++a) {
        const auto mean = format.readFile(lines.field(++line, 1));
        if (lines.field(line, 0) != std::to_string(kAngleDegrees[a]) || !mean)
            return "line " + std::to_string(line) + ": not the " +
                   std::to_string(kAngleDegrees[a]) + "° summary row";
        r.angles[a].deltaE = *mean;
    }
    line += 2;  // past the blank line
    const std::string_view verdict = lines.field(line, 1);
    if (lines.field(line, 0) != "Set" || (verdict != "PASSED" && verdict != "FAILED"))
        return "line " + std::to_string(line) + ": not the set's verdict";
    r.passed = verdict == "PASSED";
    return {};
}

ResultFileRead tileSet(const Lines& lines, CheckRecord r, const NumberFormat& format) {
    r.kind = RecordKind::TileSet;
    std::size_t line = 0;
    std::array<double, kAngleCount> measured{};
    bool readAgain = false;
    std::string why = setHeader(lines, line, r, format);
    if (why.empty()) why = setTiles(lines, line, format, measured, readAgain);
    if (why.empty()) why = setSummary(lines, line, format, r);
    if (!why.empty()) return {std::nullopt, false, why};
    // Read again after a correction, the summary is of the new readings; the measured ones
    // are what the correction started from.
    if (readAgain)
        for (int a = 0; a < kAngleCount; ++a) r.angles[a].beforeDeltaE = measured[a];
    return check(std::move(r));
}

// The series over many readings is read whole by its own reader; the record is the one the
// check makes.
ResultFileRead extendedRepeatability(std::string_view text, const NumberFormat& format) {
    ExtendedFileRead read = readExtendedFile(text, format);
    if (!read.report) return {std::nullopt, false, read.problem};
    return check(extendedRecord(*read.report, {}));
}

}  // namespace

ResultFileRead recordFromResultFile(std::string_view text, const NumberFormat& userFormat,
                                    const StringTable& texts) {
    if (text.empty()) return notOurs(1, "the file is empty");
    const auto format = resultFileFormat(text, userFormat, texts);
    if (!format) return notOurs(1, "not the date line of a result file");
    const CsvReadResult csv = readCsv(text, format->listSeparator);
    if (!csv.ok())
        return notOurs(csv.errorLine,
                       "more or longer lines than a result file of this program has");
    const Lines lines(csv.table);
    const auto time = fromResultTimestamp(lines.field(1, 1));
    if (!time || lines.at(1).size() != 2) return notOurs(1, "not the date line of a result file");
    const CheckRecord r = emptyRecord(RecordKind::Repeatability, *time);
    if (lines.keyed(2, texts, kStrTargetSerialLabel)) {
        if (lines.keyed(3, texts, kStrSampleSerialLabel))
            return judgement(lines, r, texts, *format);
        if (lines.serial(2).empty()) return notOurs(2, "no serial");
        if (!lines.keyed(5, texts, kStrTargetBlock))
            return notOurs(5, "not the target block of a target measurement");
        return {std::nullopt, true, "a target measurement, not a check"};
    }
    if (lines.keyed(2, texts, kStrInstrumentLabel))
        return lines.keyed(3, texts, kStrCommentLabel) ? recordFile(lines, r, texts)
                                                       : repeatability(lines, r, texts, *format);
    if (lines.field(2, 0) == set_key::kSet) return tileSet(lines, r, *format);
    if (lines.field(2, 0) == extended_key::kReadings) return extendedRepeatability(text, *format);
    return notOurs(2, "no header key of a result file of this program");
}

std::string contentDigest(std::string_view bytes) {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kPrime;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<std::size_t>(i)] = kDigits[hash & 15];
    return out;
}

}  // namespace qv
