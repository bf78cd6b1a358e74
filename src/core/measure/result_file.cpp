// The repeatability result file. String-table texts are written as they stand (never used as
// format strings, so a '%' in a translation cannot garble the file).
#include "core/measure/result_file.h"

#include <cstdio>

namespace qv {

namespace {

constexpr const char* kLineEnd = "\r\n";

// A text written as one field: a line break or a separator character inside it would split
// the row, so each becomes a blank.
std::string asField(std::string text, const std::string& sep) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || sep.find(c) != std::string::npos) c = ' ';
    return text;
}

class Writer {
public:
    Writer(const StringTable& texts, const NumberFormat& format, const std::string& deltaELabel)
        : texts_(texts), format_(format), sep_(format.listSeparator) {
        deltaEHeading_ = texts.text(kStrDeltaEColumn);
        if (!deltaELabel.empty()) deltaEHeading_ += " (" + deltaELabel + ")";
    }

    void line(const std::string& text = {}) { out_ += text + kLineEnd; }

    // Block header: its title, the wavelength columns and the coordinate columns; blocks of
    // measurements 2 and 3 add the colour-difference column.
    void blockHeader(int titleId, bool withDeltaE) {
        std::string text = texts_.text(titleId) + sep_;
        for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm)
            text += std::to_string(nm) + "nm" + sep_;
        text += texts_.text(kStrCoordinate1Column) + sep_ + texts_.text(kStrCoordinate2Column) +
                sep_ + texts_.text(kStrCoordinate3Column) + sep_;
        if (withDeltaE) text += deltaEHeading_;
        line(text);
    }

    void row(int angle, const AngleSpectrum& values) {
        std::string text = std::to_string(kAngleDegrees[angle]) + sep_;
        for (double v : values) text += formatFileNumber(v, format_) + sep_;
        line(text);
    }

    std::string take() { return std::move(out_); }

private:
    const StringTable& texts_;
    const NumberFormat& format_;
    const std::string& sep_;
    std::string deltaEHeading_;
    std::string out_;
};

}  // namespace

std::string resultTimestamp(const LocalTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d%02d%02d_%02d%02d%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buffer;
}

std::string repeatabilityFileName(const StringTable& texts, const LocalTime& time) {
    return texts.text(kStrResultFilePrefix) + resultTimestamp(time) + ".csv";
}

std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format, const std::string& deltaELabel) {
    Writer w(texts, format, deltaELabel);
    const std::string& sep = format.listSeparator;
    w.line(texts.text(kStrDateLabel) + sep + resultTimestamp(time));
    w.line(texts.text(kStrInstrumentLabel) + sep + asField(instrumentId, sep));
    w.line();
    w.line();
    constexpr int kBlockTitles[3] = {kStrFirstBlock, kStrSecondBlock, kStrThirdBlock};
    for (int k = 0; k < 3; ++k) {
        w.blockHeader(kBlockTitles[k], k > 0);
        for (int a = 0; a < kAngleCount; ++a) w.row(a, series[3 * k + a]);
    }
    return w.take();
}

std::string writeRepeatabilityFile(FileStore& files, const std::string& dataFolder,
                                   const RepeatSeries& series, const std::string& instrumentId,
                                   const LocalTime& time, const StringTable& texts,
                                   const NumberFormat& format, const std::string& deltaELabel) {
    // Without a data folder the path would point at the file-system root.
    if (dataFolder.empty()) return {};
    const std::string path = dataFolder + "/" + repeatabilityFileName(texts, time);
    const std::string contents =
        formatRepeatabilityFile(series, instrumentId, time, texts, format, deltaELabel);
    return files.saveAtomically(path, contents) ? path : std::string();
}

}  // namespace qv
