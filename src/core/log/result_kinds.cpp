#include "core/log/result_kinds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/app/thresholds.h"
#include "core/colour/evaluated_spectrum.h"

namespace qv {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// A module's reader with its contents in the table's type.
template <class Contents, FileRead<Contents> (*Read)(std::string_view, const NumberFormat&,
                                                     const StringTable&, const CsvLimits&)>
FileRead<ResultContents> readAs(std::string_view text, const NumberFormat& format,
                                const StringTable& texts, const CsvLimits& limits) {
    FileRead<Contents> read = Read(text, format, texts, limits);
    if (!read.contents) return {{}, std::move(read.problem)};
    return {ResultContents(std::move(*read.contents)), {}};
}

// The extended series' reader takes no string table: its keys are English.
FileRead<ExtendedReport> readExtended(std::string_view text, const NumberFormat& format,
                                      const StringTable&, const CsvLimits& limits) {
    return readExtendedFile(text, format, limits);
}

FileRead<CheckRecord> made(CheckRecord record) {
    return {std::move(record), {}};
}

// "measurement 2 45": a block's name and the angle.
std::string sampleName(const std::string& block, int angle) {
    return block + " " + std::to_string(kAngleDegrees[angle]);
}

// A row's 31 reflectances (the coordinates and differences after them are no spectrum); a row
// the file left empty adds nothing.
void addRows(ResultSpectra& out, const std::string& block, const ThreeAngles& rows,
             const std::string& serial) {
    for (int a = 0; a < kAngleCount; ++a) {
        if (rows[a].size() < std::size_t(kSpectrumPoints)) continue;
        out.samples.push_back({sampleName(block, a),
                               {rows[a].begin(), rows[a].begin() + kSpectrumPoints},
                               block,
                               a,
                               serial});
    }
}

ThreeAngles seriesBlock(const RepeatSeries& series, int k) {
    ThreeAngles rows;
    for (int a = 0; a < kAngleCount; ++a) rows[a] = series[std::size_t(kAngleCount * k + a)];
    return rows;
}

void addSeries(ResultSpectra& out, const RepeatSeries& series, const std::string& serial) {
    for (int k = 0; k < 3; ++k)
        addRows(out, "measurement " + std::to_string(k + 1), seriesBlock(series, k), serial);
}

// L*, a*, b* after a row's reflectances; nothing when the row stops before them.
LabTriple coordinatesOf(const AngleSpectrum& row) {
    if (row.size() < kCoordinateElement + 3) return {kNone, kNone, kNone};
    return {row[kCoordinateElement], row[kCoordinateElement + 1], row[kCoordinateElement + 2]};
}

// --- repeatability: measurement 1's coordinates, the larger difference of 2 and 3 from it.

FileRead<CheckRecord> repeatabilityRecord(const ResultContents& c) {
    const auto& f = std::get<RepeatabilityFile>(c);
    if (!f.standardisedBy.empty())
        return {{},
                atLine(repeatability_layout::kStandardisedLine,
                       "a standardised copy of a repeatability check, not a check")};
    CheckRecord r = emptyRecord(RecordKind::Repeatability, f.time);
    r.serial = f.serial;
    r.formula = f.formula;
    for (std::size_t row = kAngleCount; row < f.series.size(); ++row)
        if (f.series[row].size() <= kDifferenceElement)
            return {{},
                    atLine(repeatability_layout::kBlockHeadings[row / kAngleCount] + 1 +
                               row % kAngleCount,
                           "not the " + std::to_string(kAngleDegrees[row % kAngleCount]) +
                               "° row with its colour difference")};
    for (int a = 0; a < kAngleCount; ++a) {
        r.angles[a].lab = coordinatesOf(f.series[std::size_t(a)]);
        r.angles[a].deltaE = decisiveDifference(
            std::array{f.series[std::size_t(kAngleCount + a)][kDifferenceElement],
                       f.series[std::size_t(2 * kAngleCount + a)][kDifferenceElement]});
    }
    return made(std::move(r));
}

ResultSpectra repeatabilitySpectra(const ResultContents& c) {
    const auto& f = std::get<RepeatabilityFile>(c);
    ResultSpectra out{f.serial, {}, f.standardisedBy};
    addSeries(out, f.series, f.serial);
    for (NamedSpectrum& s : out.samples) s.standardised = !f.standardisedBy.empty();
    return out;
}

// --- target: a measurement, not a check.

ResultSpectra targetSpectra(const ResultContents& c) {
    const auto& f = std::get<TargetFile>(c);
    ResultSpectra out{f.targetSerial, {}, {}};
    addRows(out, "target", f.target, f.targetSerial);
    return out;
}

// --- judgement: the sample's coordinates and difference; a verification adds the differences
// before the correction.

FileRead<CheckRecord> judgementRecord(const ResultContents& c) {
    const auto& f = std::get<JudgementFile>(c);
    CheckRecord r =
        emptyRecord(f.verifies ? RecordKind::Verification : RecordKind::InterInstrument, f.time);
    r.referenceSerial = f.targetSerial;
    r.serial = f.sampleSerial;
    // A standardised copy holds no reading as taken: the check was recorded from the original.
    if (!f.standardisedBy.empty())
        return {{},
                atLine(validation_layout::kStandardisedLine,
                       "a standardised copy of a judgement, not a check")};
    if (f.verifies && !f.beforeCorrection)
        return {{},
                atLine(validation_layout::kBeforeLine,
                       "not three colour differences before correction")};
    for (int a = 0; a < kAngleCount; ++a) {
        if (f.sample[a].size() <= kDifferenceElement)
            return {{},
                    atLine(validation_layout::kSampleHeading + 1 + std::size_t(a),
                           "not the " + std::to_string(kAngleDegrees[a]) +
                               "° row with its colour difference")};
        r.angles[a].lab = coordinatesOf(f.sample[a]);
        r.angles[a].deltaE = f.sample[a][kDifferenceElement];
        if (f.beforeCorrection) r.angles[a].beforeDeltaE = (*f.beforeCorrection)[a];
    }
    return made(std::move(r));
}

ResultSpectra judgementSpectra(const ResultContents& c) {
    const auto& f = std::get<JudgementFile>(c);
    ResultSpectra out{
        "target " + f.targetSerial + ", sample " + f.sampleSerial, {}, f.standardisedBy};
    addRows(out, "target", f.target, f.targetSerial);
    addRows(out, "sample", f.sample, f.sampleSerial);
    // Only the sample is read through the profile; the target is the master's as read.
    for (NamedSpectrum& s : out.samples)
        s.standardised = !f.standardisedBy.empty() && s.specimen == "sample";
    return out;
}

// --- coefficient record: the entry write it was left by.

FileRead<CheckRecord> recordFileRecord(const ResultContents& c) {
    const auto& f = std::get<CoefficientRecord>(c);
    CheckRecord r = emptyRecord(RecordKind::EntryWrite, f.time);
    r.serial = f.sampleSerial;
    r.instrumentType = "53";  // only type 53 instruments take entries
    r.comment = f.comment;
    return made(std::move(r));
}

ResultSpectra recordFileSpectra(const ResultContents& c) {
    const auto& f = std::get<CoefficientRecord>(c);
    ResultSpectra out{f.sampleSerial, {}, {}};
    addSeries(out, f.repeatSeries, f.sampleSerial);
    // The file does not say which instrument read the target.
    addRows(out, "target", f.target, {});
    addRows(out, "sample", f.sample, f.sampleSerial);
    return out;
}

// --- tile set: the summary's means; read again after a correction, the measured tiles' mean
// is what the correction started from.

FileRead<CheckRecord> setFileRecord(const ResultContents& c) {
    const auto& f = std::get<SetFile>(c);
    CheckRecord r = emptyRecord(RecordKind::TileSet, f.time);
    r.comment = f.setName;
    r.referenceSerial = f.targetSerial;
    r.serial = f.sampleSerial;
    r.formula = f.deltaELabel;
    r.threshold = f.meanThreshold;
    r.passed = f.passed;
    std::array<double, kAngleCount> sum{};
    std::array<int, kAngleCount> count{};
    for (const SetFileTile& t : f.tiles) {
        sum[t.angle] += t.deltaE;
        ++count[t.angle];
    }
    for (int a = 0; a < kAngleCount; ++a) {
        r.angles[a].deltaE = f.mean[a];
        if (f.readAgain) r.angles[a].beforeDeltaE = count[a] > 0 ? sum[a] / count[a] : kNone;
    }
    return made(std::move(r));
}

// --- over many readings: the record the check itself makes.

FileRead<CheckRecord> extendedFileRecord(const ResultContents& c) {
    return made(extendedRecord(std::get<ExtendedReport>(c), {}));
}

ResultSpectra extendedSpectra(const ResultContents& c) {
    const auto& f = std::get<ExtendedReport>(c);
    ResultSpectra out{f.serial, {}, {}};
    for (std::size_t k = 0; k < f.spectra.size(); ++k)
        addRows(out, "reading " + std::to_string(k + 1), f.spectra[k], f.serial);
    return out;
}

// --- profile: the record the profile verb makes; the terms and stage stay in the file.

FileRead<CheckRecord> profileFileRecord(const ResultContents& c) {
    return made(profileRecord(std::get<ProfileFile>(c), {}));
}

constexpr ResultKindRow kRows[] = {
    {"Repeatability file",
     RecordKind::Repeatability,
     {},
     &isRepeatabilityFile,
     &readAs<RepeatabilityFile, &readRepeatabilityFile>,
     &repeatabilityRecord,
     &repeatabilitySpectra},
    {"Target file", std::nullopt, "a target measurement, not a check", &isTargetFile,
     &readAs<TargetFile, &readTargetFile>, nullptr, &targetSpectra},
    {"Judgement file",
     RecordKind::InterInstrument,
     {},
     &isJudgementFile,
     &readAs<JudgementFile, &readJudgementFile>,
     &judgementRecord,
     &judgementSpectra},
    {"Coefficient record file",
     RecordKind::EntryWrite,
     {},
     &isRecordFile,
     &readAs<CoefficientRecord, &readRecordFile>,
     &recordFileRecord,
     &recordFileSpectra},
    {"Tile set file",
     RecordKind::TileSet,
     {},
     &isSetFile,
     &readAs<SetFile, &readSetFile>,
     &setFileRecord,
     nullptr},
    {"Repeatability file over many readings",
     RecordKind::ExtendedRepeatability,
     {},
     &isExtendedFile,
     &readAs<ExtendedReport, &readExtended>,
     &extendedFileRecord,
     &extendedSpectra},
    {"Profile file",
     RecordKind::Profile,
     {},
     &isProfileFile,
     &readAs<ProfileFile, &readProfileFile>,
     &profileFileRecord,
     nullptr},
};

}  // namespace

std::span<const ResultKindRow> resultKinds() {
    return kRows;
}

KnownResultFile knownResultFile(std::string_view text, const NumberFormat& user,
                                const StringTable& texts) {
    KnownResultFile out;
    if (text.empty()) {
        out.problem = atLine(1, "the file is empty");
        return out;
    }
    const auto format = resultFileFormat(text, user, texts);
    if (!format) {
        out.problem = atLine(1, "not the date line of a result file");
        return out;
    }
    out.format = *format;
    const CsvReadResult head = readLeadingLines(text, 3, *format, {});
    if (!head.ok()) {
        out.problem =
            atLine(std::max<std::size_t>(head.errorLine, 1), "not a CSV line the program reads");
        return out;
    }
    const auto row = std::find_if(std::begin(kRows), std::end(kRows), [&](const ResultKindRow& k) {
        return k.detect(head.table, texts);
    });
    if (row == std::end(kRows))
        out.problem = atLine(2, "no header key of a result file of this program");
    else
        out.kind = &*row;
    return out;
}

LocalTime resultTime(const ResultContents& contents) {
    return std::visit([](const auto& c) { return c.time; }, contents);
}

}  // namespace qv
