// String-table texts are written as fields, never used as formats.
#include "core/files/validation_files.h"

#include <algorithm>

#include "core/app/csv.h"
#include "core/app/string_ids.h"
#include "core/colour/evaluated_spectrum.h"

namespace qv {

namespace {

// The block heading: title, the wavelength columns and the three coordinate columns, each
// followed by the separator.
void blockHeading(CsvWriter& w, const StringTable& texts, int titleId) {
    w.field(texts.text(titleId));
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.field(texts.text(kStrCoordinate1Column))
        .field(texts.text(kStrCoordinate2Column))
        .field(texts.text(kStrCoordinate3Column));
}

void angleRow(CsvWriter& w, int angle, const AngleSpectrum& values, bool separatorAfterLast) {
    w.field(std::to_string(kAngleDegrees[angle]));
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i + 1 == values.size() && !separatorAfterLast)
            w.lastNumber(values[i]);
        else
            w.number(values[i]);
    }
    w.endLine();
}

void dateLine(CsvWriter& w, const StringTable& texts, const LocalTime& time) {
    w.field(texts.text(kStrDateLabel)).last(resultTimestamp(time)).endLine();
}

}  // namespace

std::string formatTargetFile(const ThreeAngles& target, const std::string& targetSerial,
                             const LocalTime& time, const StringTable& texts,
                             const NumberFormat& format) {
    CsvWriter w(format);
    dateLine(w, texts, time);
    w.field(texts.text(kStrTargetSerialLabel)).last(targetSerial).endLine().endLine().endLine();
    blockHeading(w, texts, kStrTargetBlock);
    w.endLine();
    for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, target[a], false);
    return w.take();
}

std::string formatJudgementFile(const ThreeAngles& target, const ThreeAngles& sample,
                                const std::string& targetSerial, const std::string& sampleSerial,
                                const LocalTime& time, const StringTable& texts,
                                const NumberFormat& format,
                                const std::optional<std::array<double, kAngleCount>>& before,
                                const std::string& standardisedBy) {
    CsvWriter w(format);
    dateLine(w, texts, time);
    w.field(texts.text(kStrTargetSerialLabel)).last(targetSerial).endLine();
    w.field(texts.text(kStrSampleSerialLabel)).last(sampleSerial).endLine();
    if (!standardisedBy.empty()) w.field(kStandardisedKey).last(standardisedBy);
    w.endLine();
    blockHeading(w, texts, kStrTargetBlock);
    w.endLine();
    for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, target[a], true);
    blockHeading(w, texts, kStrSampleBlock);
    w.last(texts.text(kStrDeltaEColumn)).endLine();
    for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, sample[a], true);
    if (before) {
        // Below the table, so that every line above stays where the layout has it.
        w.endLine();
        w.field(texts.text(kStrBeforeCorrection));
        for (double dE : *before) w.number(dE);
        w.endLine();
    }
    return w.take();
}

SavedFile writeTargetFile(FileStore& files, const std::string& dataFolder,
                          const ThreeAngles& target, const std::string& targetSerial,
                          const LocalTime& time, const StringTable& texts,
                          const NumberFormat& format) {
    return saveResultFile(files, dataFolder,
                          texts.text(kStrTargetFilePrefix) + resultTimestamp(time),
                          formatTargetFile(target, targetSerial, time, texts, format));
}

SavedFile writeJudgementFile(FileStore& files, const std::string& dataFolder,
                             const ThreeAngles& target, const ThreeAngles& sample,
                             const std::string& targetSerial, const std::string& sampleSerial,
                             const LocalTime& time, const StringTable& texts,
                             const NumberFormat& format,
                             const std::optional<std::array<double, kAngleCount>>& before) {
    return saveResultFile(files, dataFolder,
                          texts.text(kStrJudgementFilePrefix) + resultTimestamp(time),
                          formatJudgementFile(target, sample, targetSerial, sampleSerial, time,
                                              texts, format, before));
}

namespace {

namespace layout = validation_layout;

// The serial of header line `line` under string `keyId`; empty when the key is another.
std::string serialUnder(const CsvTable& t, std::size_t line, const StringTable& texts, int keyId) {
    return isKey(t.at(line - 1, 0), texts, keyId) ? trimmedSerial(t.at(line - 1, 1))
                                                  : std::string();
}

// The date line and the lines up to `last`, read as CSV; empty when they are there.
std::string leadingLines(std::string_view text, std::size_t last, const NumberFormat& format,
                         const CsvLimits& limits, CsvTable& table, LocalTime& time) {
    CsvReadResult csv = readLeadingLines(text, last, format, limits);
    if (!csv.ok())
        return atLine(std::max<std::size_t>(csv.errorLine, 1), "not a CSV line the program reads");
    const auto date = resultDateLine(csv.table);
    if (!date) return atLine(1, "not the date line of a result file");
    time = *date;
    table = std::move(csv.table);
    return {};
}

}  // namespace

bool isTargetFile(const CsvTable& head, const StringTable& texts) {
    return isKey(head.at(1, 0), texts, kStrTargetSerialLabel) &&
           !isKey(head.at(2, 0), texts, kStrSampleSerialLabel);
}

bool isJudgementFile(const CsvTable& head, const StringTable& texts) {
    return isKey(head.at(1, 0), texts, kStrTargetSerialLabel) &&
           isKey(head.at(2, 0), texts, kStrSampleSerialLabel);
}

FileRead<TargetFile> readTargetFile(std::string_view text, const NumberFormat& format,
                                    const StringTable& texts, const CsvLimits& limits) {
    TargetFile file;
    CsvTable t;
    if (auto why = leadingLines(text, layout::kTargetLastLine, format, limits, t, file.time);
        !why.empty())
        return {{}, why};
    file.targetSerial = serialUnder(t, layout::kTargetSerialLine, texts, kStrTargetSerialLabel);
    if (file.targetSerial.empty())
        return {{}, atLine(layout::kTargetSerialLine, "not the serial line of a target file")};
    if (auto why =
            readBlock(t, {layout::kTargetHeading, kStrTargetBlock}, texts, format, file.target);
        !why.empty())
        return {{}, why};
    return {std::move(file), {}};
}

namespace {

// The line below the table of a verification: whether it is there and, when it holds three
// differences, what they are. A line that cannot even be split is taken as one that says so
// and holds none: it is not read whole.
void readBefore(std::string_view text, const NumberFormat& format, const StringTable& texts,
                const CsvLimits& limits, JudgementFile& file) {
    const CsvReadResult csv = readLeadingLines(text, layout::kBeforeLine, format, limits);
    file.verifies =
        !csv.ok() || isKey(csv.table.at(layout::kBeforeLine - 1, 0), texts, kStrBeforeCorrection);
    if (!csv.ok() || !file.verifies) return;
    std::array<double, kAngleCount> before{};
    for (int a = 0; a < kAngleCount; ++a) {
        const auto dE = format.readFile(csv.table.at(layout::kBeforeLine - 1, std::size_t(a) + 1));
        if (!dE) return;
        before[a] = *dE;
    }
    file.beforeCorrection = before;
}

}  // namespace

FileRead<JudgementFile> readJudgementFile(std::string_view text, const NumberFormat& format,
                                          const StringTable& texts, const CsvLimits& limits) {
    JudgementFile file;
    CsvTable t;
    if (auto why =
            leadingLines(text, layout::kSampleHeading + kAngleCount, format, limits, t, file.time);
        !why.empty())
        return {{}, why};
    file.targetSerial = serialUnder(t, layout::kTargetSerialLine, texts, kStrTargetSerialLabel);
    file.sampleSerial = serialUnder(t, layout::kSampleSerialLine, texts, kStrSampleSerialLabel);
    if (file.targetSerial.empty() || file.sampleSerial.empty())
        return {{},
                atLine(file.targetSerial.empty() ? layout::kTargetSerialLine
                                                 : layout::kSampleSerialLine,
                       "not the serial line of a judgement file")};
    const BlockAt sample{layout::kSampleHeading, kStrSampleBlock};
    for (auto why :
         {readBlock(t, {layout::kTargetHeading, kStrTargetBlock}, texts, format, file.target),
          readBlock(t, sample, texts, format, file.sample)})
        if (!why.empty()) return {{}, why};
    if (t.at(layout::kStandardisedLine - 1, 0) == kStandardisedKey)
        file.standardisedBy = std::string(t.at(layout::kStandardisedLine - 1, 1));
    readBefore(text, format, texts, limits, file);
    return {std::move(file), {}};
}

}  // namespace qv
