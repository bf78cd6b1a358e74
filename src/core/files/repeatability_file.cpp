// The repeatability result file. String-table texts are written as fields (never used as format
// strings, so a '%' in a translation cannot garble the file).
#include "core/files/repeatability_file.h"

#include <algorithm>

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

constexpr int kBlockTitles[3] = {kStrFirstBlock, kStrSecondBlock, kStrThirdBlock};

// The formula in the colour-difference heading, "dE (dE*ab)"; empty when it names none.
std::string formulaOf(std::string_view heading, const StringTable& texts) {
    const std::string prefix = texts.text(kStrDeltaEColumn) + " (";
    if (heading.size() <= prefix.size() || !heading.starts_with(prefix) || !heading.ends_with(')'))
        return {};
    return std::string(heading.substr(prefix.size(), heading.size() - prefix.size() - 1));
}

}  // namespace

std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format, const std::string& deltaELabel,
                                    const std::string& standardisedBy) {
    CsvWriter w(format);
    w.field(texts.text(kStrDateLabel)).last(resultTimestamp(time)).endLine();
    w.field(texts.text(kStrInstrumentLabel)).last(instrumentId).endLine();
    if (!standardisedBy.empty()) w.field(kStandardisedKey).last(standardisedBy);
    w.endLine().endLine();
    std::string deltaEHeading = texts.text(kStrDeltaEColumn);
    if (!deltaELabel.empty()) deltaEHeading += " (" + deltaELabel + ")";
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

bool isRepeatabilityFile(const CsvTable& head, const StringTable& texts) {
    return isKey(head.at(1, 0), texts, kStrInstrumentLabel) &&
           !isKey(head.at(2, 0), texts, kStrCommentLabel);
}

FileRead<RepeatabilityFile> readRepeatabilityFile(std::string_view text, const NumberFormat& format,
                                                  const StringTable& texts,
                                                  const CsvLimits& limits) {
    namespace layout = repeatability_layout;
    const CsvReadResult csv = readLeadingLines(text, layout::kLastLine, format, limits);
    if (!csv.ok())
        return {
            {},
            atLine(std::max<std::size_t>(csv.errorLine, 1), "not a CSV line the program reads")};
    const CsvTable& t = csv.table;
    RepeatabilityFile file;
    const auto time = resultDateLine(t);
    if (!time) return {{}, atLine(1, "not the date line of a result file")};
    file.time = *time;
    file.serial = trimmedSerial(t.at(layout::kSerialLine - 1, 1));
    if (!isKey(t.at(layout::kSerialLine - 1, 0), texts, kStrInstrumentLabel) || file.serial.empty())
        return {{}, atLine(layout::kSerialLine, "not the instrument's serial")};
    for (std::size_t k = 0; k < 3; ++k) {
        const BlockAt block{layout::kBlockHeadings[k], kBlockTitles[k]};
        ThreeAngles rows;
        if (auto why = readBlock(t, block, texts, format, rows); !why.empty()) return {{}, why};
        for (int a = 0; a < kAngleCount; ++a) file.series[kAngleCount * k + a] = std::move(rows[a]);
    }
    const auto& second = t.lines[layout::kBlockHeadings[1] - 1];
    file.formula = formulaOf(second.back(), texts);
    if (t.at(layout::kStandardisedLine - 1, 0) == kStandardisedKey)
        file.standardisedBy = std::string(t.at(layout::kStandardisedLine - 1, 1));
    return {std::move(file), {}};
}

}  // namespace qv
