#include "core/files/coefficient_file.h"

#include <algorithm>

#include "core/app/string_ids.h"

namespace qv {

namespace {

constexpr std::size_t kHeaderLines = 3;
constexpr std::size_t kFirstTargetLine = 33;
constexpr std::size_t kFirstSampleLine = 37;
constexpr std::size_t kLastLine = kFirstSampleLine + kAngleCount - 1;

ReadStop readHeaderLine(const std::vector<std::string>& fields, const StringTable& texts,
                        CoefficientFileRead& out) {
    const auto value = headerValue(fields);
    if (!value) return ReadStop::None;
    const std::string_view key = fields.front();
    if (isKey(key, texts, kStrCoefficientSerialLabel)) {
        out.sampleSerial = trimmedSerial(*value);
        return out.sampleSerial->size() < kMinSerialChars ? ReadStop::ShortSerial : ReadStop::None;
    }
    if (isKey(key, texts, kStrCommentLabel)) {
        out.comment = std::string(*value);
        return ReadStop::None;
    }
    return isKey(key, texts, kStrDateLabel) ? ReadStop::None : ReadStop::RefusedKey;
}

// The spectrum a line holds, with its angle: target lines 33 to 35, sample lines 37 to 39.
AngleSpectrum* spectrumOfLine(std::size_t line, CoefficientFileRead& out, int& angle) {
    const bool target = line >= kFirstTargetLine && line < kFirstTargetLine + kAngleCount;
    const bool sample = line >= kFirstSampleLine && line <= kLastLine;
    if (!target && !sample) return nullptr;
    angle = static_cast<int>(line - (target ? kFirstTargetLine : kFirstSampleLine));
    return &(target ? out.target : out.sample)[angle];
}

}  // namespace

CoefficientFileRead readCoefficientFile(std::string_view text, const NumberFormat& format,
                                        const StringTable& texts, const CsvLimits& limits) {
    CoefficientFileRead out;
    const CsvReadResult csv = readLeadingLines(text, kLastLine, format, limits);
    if (!csv.ok()) {
        out.csvError = csv.error;
        out.csvErrorLine = csv.errorLine;
        return out;
    }
    const auto& lines = csv.table.lines;
    for (std::size_t line = 1; line <= lines.size(); ++line) {
        const auto& fields = lines[line - 1];
        int angle = 0;
        if (line <= kHeaderLines) {
            out.stop = readHeaderLine(fields, texts, out);
        } else if (AngleSpectrum* spectrum = spectrumOfLine(line, out, angle)) {
            appendSpectrumLine(fields, kAngleDegrees[angle], format, EmptyField::ReadAsZero,
                               *spectrum);
        }
        if (out.stop != ReadStop::None) {
            out.stopLine = line;
            break;
        }
    }
    out.accepted = std::all_of(out.sample.begin(), out.sample.end(),
                               [](const auto& s) { return s.size() >= kMinCoefficientFileValues; });
    return out;
}

}  // namespace qv
