#include "core/tiles/set_files.h"

#include <algorithm>

#include "core/app/string_ids.h"
#include "core/files/file_lines.h"
#include "core/files/record_file.h"
#include "core/tiles/diagnosis_record.h"

namespace qv {

namespace {

constexpr std::size_t kTargetSerialLine = 2;
constexpr std::size_t kSampleSerialLine = 3;
constexpr std::size_t kFirstTargetLine = 6;
constexpr std::size_t kFirstSampleLine = 10;
constexpr std::size_t kLastLine = kFirstSampleLine + kAngleCount - 1;

std::string atLine(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

// The serial of a header line whose key is string `keyId`.
std::optional<std::string> serialLine(const std::vector<std::string>& fields,
                                      const StringTable& texts, int keyId) {
    const auto value = headerValue(fields);
    if (!value || !isKey(fields.front(), texts, keyId)) return std::nullopt;
    return trimmedSerial(*value);
}

// One angle's row: its label first, then at least 31 numbers.
bool spectrumLine(const std::vector<std::string>& fields, int angle, const NumberFormat& format,
                  AngleSpectrum& out) {
    if (fields.empty() || fields.front() != std::to_string(kAngleDegrees[angle])) return false;
    for (std::size_t i = 1; i < fields.size() && out.size() < kSpectrumPoints; ++i) {
        const auto v = format.readFile(fields[i]);
        if (!v) return false;
        out.push_back(*v);
    }
    return out.size() == kSpectrumPoints;
}

void header(CsvWriter& w, const SetReport& r) {
    w.field(set_key::kDate).last(resultTimestamp(r.time)).endLine();
    w.field(set_key::kSet).last(r.set.name).endLine();
    w.field(set_key::kReference).last(r.targetSerial).endLine();
    w.field(set_key::kUnderCorrection).last(r.sampleSerial).endLine();
    w.field(set_key::kFormula).last(r.deltaELabel).endLine();
    w.field(set_key::kMeanThreshold).number(r.limits.meanThreshold, 2).endLine();
    w.field("Largest threshold").number(r.limits.largestThreshold, 2).endLine();
    if (r.limits.productTolerance)
        w.field("Product tolerance").number(*r.limits.productTolerance, 2).endLine();
    w.endLine();
}

void tileRows(CsvWriter& w, const SetReport& r) {
    w.field("Tile").field("Angle").field("dE");
    if (r.predicted) w.field("dE predicted");
    if (r.after) w.field("dE after");
    w.endLine();
    for (std::size_t t = 0; t < r.measured.deltaE.size(); ++t)
        for (int a = 0; a < kAngleCount; ++a) {
            w.field(t < r.set.tiles.size() ? r.set.tiles[t] : std::to_string(t + 1))
                .field(std::to_string(kAngleDegrees[a]))
                .number(r.measured.deltaE[t][a]);
            for (const auto* other : {&r.predicted, &r.after})
                if (*other && t < (*other)->deltaE.size()) w.number((*other)->deltaE[t][a]);
            w.endLine();
        }
    w.endLine();
}

void summaryRows(CsvWriter& w, const SetReport& r, const SetAgreement& s) {
    w.field("Angle").field("Mean").field("Largest").field("Largest tile").field("RMS");
    if (r.limits.productTolerance) w.field("Mean / product tolerance");
    w.last("Verdict").endLine();
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleAgreement& g = s.angles[a];
        w.field(std::to_string(kAngleDegrees[a])).number(g.mean).number(g.largest);
        w.field(g.largestTile < r.set.tiles.size() ? r.set.tiles[g.largestTile] : "");
        w.number(g.rms);
        if (r.limits.productTolerance) w.number(g.shareOfTolerance.value_or(0.0));
        w.last(g.passed ? "PASSED" : "FAILED").endLine();
    }
    w.endLine();
}

}  // namespace

JudgementFileRead readJudgementFile(std::string_view text, const NumberFormat& format,
                                    const StringTable& texts, const CsvLimits& limits) {
    JudgementFileRead out;
    const CsvReadResult csv = readLeadingLines(text, kLastLine, format, limits);
    if (!csv.ok()) {
        out.problem =
            atLine(std::max<std::size_t>(csv.errorLine, 1), "not a CSV line the program reads");
        return out;
    }
    const auto& lines = csv.table.lines;
    if (lines.size() < kLastLine) {
        out.problem = atLine(lines.size() + 1, "the file ends before the sample's 75° line");
        return out;
    }
    const auto target = serialLine(lines[kTargetSerialLine - 1], texts, kStrTargetSerialLabel);
    const auto sample = serialLine(lines[kSampleSerialLine - 1], texts, kStrSampleSerialLabel);
    if (!target || !sample) {
        out.problem = atLine(target ? kSampleSerialLine : kTargetSerialLine,
                             "not the serial line of a judgement file");
        return out;
    }
    out.targetSerial = *target;
    out.sampleSerial = *sample;
    for (int a = 0; a < kAngleCount; ++a)
        for (const auto& [first, spectra] : {std::pair{kFirstTargetLine, &out.spectra.target},
                                             std::pair{kFirstSampleLine, &out.spectra.sample}}) {
            const std::size_t line = first + a;
            if (!spectrumLine(lines[line - 1], a, format, (*spectra)[a])) {
                out.problem = atLine(line, "not the " + std::to_string(kAngleDegrees[a]) +
                                               "° line with 31 reflectances");
                return out;
            }
        }
    return out;
}

std::string formatSetFile(const SetReport& r, const NumberFormat& format) {
    CsvWriter w(format);
    header(w, r);
    tileRows(w, r);
    summaryRows(w, r, r.after ? *r.after : r.measured);
    w.field("Set").last((r.after ? r.after->passed : r.measured.passed) ? "PASSED" : "FAILED");
    w.endLine();
    return w.take();
}

CorrectionFile correctionFile(const TileSpectra& pair, const std::string& sampleSerial,
                              const LocalTime& time, const StringTable& texts,
                              const NumberFormat& format) {
    const BlocksResult blocks = buildCoefficientBlocks(pair.target, pair.sample);
    if (!blocks.ok()) return {{}, blocks.outOfRange};
    const CoefficientRecord record{time, sampleSerial, "TILE SET FIT", blocks.blocks,
                                   {},   pair.target,  pair.sample};
    return {formatRecordFile(record, texts, format), std::nullopt};
}

SavedFile writeSetFile(FileStore& files, const std::string& folder, const SetReport& r,
                       const NumberFormat& format) {
    return saveResultFile(files, folder, "TileSet_" + resultTimestamp(r.time),
                          formatSetFile(r, format));
}

CheckRecord setRecord(const SetReport& r, const SavedFile& file) {
    CheckRecord c = emptyRecord(RecordKind::TileSet, r.time);
    c.serial = r.sampleSerial;
    c.instrumentType = r.sampleType;
    c.referenceSerial = r.targetSerial;
    c.threshold = r.limits.meanThreshold;
    c.formula = r.deltaELabel;
    const SetAgreement& last = r.after ? *r.after : r.measured;
    c.passed = last.passed;
    for (int a = 0; a < kAngleCount; ++a) {
        c.angles[a].deltaE = last.angles[a].mean;
        c.angles[a].rms = last.angles[a].rms;
        if (r.after) c.angles[a].beforeDeltaE = r.measured.angles[a].mean;
    }
    c.comment = r.set.name;
    c.readings = static_cast<int>(r.measured.deltaE.size());  // tiles behind the means
    if (r.diagnosis) c.diagnosis = diagnosisRecord(*r.diagnosis);
    // The tiles as the set's figure was read: again after the correction when they were.
    if (c.diagnosis)
        for (int a = 0; a < kAngleCount; ++a)
            for (std::size_t t = 0; t < (*c.diagnosis)[a].tiles.size(); ++t)
                if (t < last.labDifference.size())
                    (*c.diagnosis)[a].tiles[t].read = last.labDifference[t][a];
    if (file.ok()) c.files.push_back(file.path);
    return c;
}

SetFiled fileAndRecord(FileStore& files, const std::string& folder, const SetReport& report,
                       const NumberFormat& format, Logbook* logbook) {
    SetFiled out;
    out.file = writeSetFile(files, folder, report, format);
    if (logbook) out.record = logbook->record(setRecord(report, out.file));
    return out;
}

}  // namespace qv
