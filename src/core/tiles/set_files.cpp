#include "core/tiles/set_files.h"

#include <algorithm>

#include "core/app/string_ids.h"
#include "core/files/file_lines.h"
#include "core/files/record_file.h"
#include "core/tiles/diagnosis_record.h"

namespace qv {

namespace {

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

TileSpectra judgedTile(const JudgementFile& file) {
    TileSpectra out;
    for (int a = 0; a < kAngleCount; ++a)
        for (const auto& [from, to] : {std::pair{&file.target[a], &out.target[a]},
                                       std::pair{&file.sample[a], &out.sample[a]}})
            to->assign(from->begin(), from->begin() + std::min<std::ptrdiff_t>(kSpectrumPoints,
                                                                               std::ssize(*from)));
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
    if (logbook) out.record = logbook->recordMarked(setRecord(report, out.file));
    return out;
}

bool isSetFile(const CsvTable& head, const StringTable&) {
    return head.at(1, 0) == set_key::kSet;
}

namespace {

bool blank(const CsvTable& t, std::size_t line) {
    return t.fieldCount(line - 1) == 1 && t.at(line - 1, 0).empty();
}

// The header lines up to the first blank one; `line` ends on it.
std::string setHeader(const CsvTable& t, std::size_t& line, const NumberFormat& format,
                      SetFile& f) {
    std::optional<double> threshold;
    for (line = 2; line <= t.lines.size() && !blank(t, line); ++line) {
        const std::string_view key = t.at(line - 1, 0);
        const std::string_view value = t.at(line - 1, 1);
        if (key == set_key::kSet) f.setName = std::string(value);
        if (key == set_key::kReference) f.targetSerial = trimmedSerial(value);
        if (key == set_key::kUnderCorrection) f.sampleSerial = trimmedSerial(value);
        if (key == set_key::kFormula) f.deltaELabel = std::string(value);
        if (key == set_key::kMeanThreshold) threshold = format.readFile(value);
    }
    if (f.sampleSerial.empty() || !threshold)
        return atLine(line, "the set's header lacks its instrument or mean threshold");
    f.meanThreshold = *threshold;
    return {};
}

// The tile rows after their heading; `line` ends on the blank line after them.
std::string setTiles(const CsvTable& t, std::size_t& line, const NumberFormat& format, SetFile& f) {
    if (t.at(++line - 1, 0) != "Tile") return atLine(line, "not the heading of the tile rows");
    for (const std::string& column : t.lines[line - 1])
        f.readAgain = f.readAgain || column == "dE after";
    for (++line; line <= t.lines.size() && !blank(t, line); ++line) {
        const std::string_view label = t.at(line - 1, 1);
        int a = 0;
        while (a < kAngleCount && label != std::to_string(kAngleDegrees[a])) ++a;
        const auto dE = format.readFile(t.at(line - 1, 2));
        if (a == kAngleCount || !dE) return atLine(line, "not a tile's row with its angle and dE");
        f.tiles.push_back({std::string(t.at(line - 1, 0)), a, *dE});
    }
    return {};
}

// The summary per angle and the set's verdict after the tile rows.
std::string setSummary(const CsvTable& t, std::size_t line, const NumberFormat& format,
                       SetFile& f) {
    ++line;
    if (t.at(line - 1, 0) != "Angle" || t.at(line - 1, 1) != "Mean")
        return atLine(line, "not the heading of the set's summary");
    for (int a = 0; a < kAngleCount; ++a) {
        const auto mean = format.readFile(t.at(++line - 1, 1));
        if (t.at(line - 1, 0) != std::to_string(kAngleDegrees[a]) || !mean)
            return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) + "° summary row");
        f.mean[a] = *mean;
    }
    line += 2;  // past the blank line
    const std::string_view verdict = t.at(line - 1, 1);
    if (t.at(line - 1, 0) != "Set" || (verdict != "PASSED" && verdict != "FAILED"))
        return atLine(line, "not the set's verdict");
    f.passed = verdict == "PASSED";
    return {};
}

}  // namespace

FileRead<SetFile> readSetFile(std::string_view text, const NumberFormat& format, const StringTable&,
                              const CsvLimits& limits) {
    const CsvReadResult csv = readCsv(text, format.listSeparator, limits);
    if (!csv.ok())
        return {{},
                atLine(std::max<std::size_t>(csv.errorLine, 1),
                       "more or longer lines than a set's file has")};
    const CsvTable& t = csv.table;
    SetFile f;
    const auto time = resultDateLine(t);
    if (!time) return {{}, atLine(1, "not the date line of a result file")};
    f.time = *time;
    std::size_t line = 0;
    std::string why = setHeader(t, line, format, f);
    if (why.empty()) why = setTiles(t, line, format, f);
    if (why.empty()) why = setSummary(t, line, format, f);
    if (!why.empty()) return {{}, why};
    return {std::move(f), {}};
}

}  // namespace qv
