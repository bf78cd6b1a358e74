// String-table texts are written as fields, never used as formats.
#include "core/files/validation_files.h"

#include "core/app/csv.h"
#include "core/app/string_ids.h"

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
                                const std::optional<std::array<double, kAngleCount>>& before) {
    CsvWriter w(format);
    dateLine(w, texts, time);
    w.field(texts.text(kStrTargetSerialLabel)).last(targetSerial).endLine();
    w.field(texts.text(kStrSampleSerialLabel)).last(sampleSerial).endLine().endLine();
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

}  // namespace qv
