// The repeatability result file. String-table texts are written as fields (never used as format
// strings, so a '%' in a translation cannot garble the file).
#include "core/files/repeatability_file.h"

#include "core/app/csv.h"

namespace qv {

namespace {

// Block header: its title, the wavelength columns and the coordinate columns; blocks of
// measurements 2 and 3 add the colour-difference column, the only field of a line that no
// separator follows.
void blockHeader(CsvWriter& w, const StringTable& texts, int titleId,
                 const std::string& deltaEHeading) {
    w.field(texts.text(titleId));
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.field(texts.text(kStrCoordinate1Column))
        .field(texts.text(kStrCoordinate2Column))
        .field(texts.text(kStrCoordinate3Column))
        .last(deltaEHeading)
        .endLine();
}

// One angle's row: the angle, then every stored value, each followed by the separator.
void row(CsvWriter& w, int angle, const AngleSpectrum& values) {
    w.field(std::to_string(kAngleDegrees[angle]));
    for (double v : values) w.number(v);
    w.endLine();
}

}  // namespace

std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format, const std::string& deltaELabel) {
    CsvWriter w(format);
    w.field(texts.text(kStrDateLabel)).last(resultTimestamp(time)).endLine();
    w.field(texts.text(kStrInstrumentLabel)).last(instrumentId).endLine();
    w.endLine().endLine();
    std::string deltaEHeading = texts.text(kStrDeltaEColumn);
    if (!deltaELabel.empty()) deltaEHeading += " (" + deltaELabel + ")";
    constexpr int kBlockTitles[3] = {kStrFirstBlock, kStrSecondBlock, kStrThirdBlock};
    for (int k = 0; k < 3; ++k) {
        blockHeader(w, texts, kBlockTitles[k], k > 0 ? deltaEHeading : std::string());
        for (int a = 0; a < kAngleCount; ++a) row(w, a, series[3 * k + a]);
    }
    return w.take();
}

std::string writeRepeatabilityFile(FileStore& files, const std::string& dataFolder,
                                   const RepeatSeries& series, const std::string& instrumentId,
                                   const LocalTime& time, const StringTable& texts,
                                   const NumberFormat& format, const std::string& deltaELabel) {
    const std::string contents =
        formatRepeatabilityFile(series, instrumentId, time, texts, format, deltaELabel);
    return saveResultFile(files, dataFolder,
                          texts.text(kStrResultFilePrefix) + resultTimestamp(time), contents)
        .path;
}

}  // namespace qv
