// String-table texts are written as fields, never used as formats. Numbers are written as
// printf's "%4.2lf" and "%4.3lf" would write them with the user's decimal separator: a finite
// value always fills the width of four, and the sign of "-0.00" is kept, as in every file.
#include "core/files/record_file.h"

#include <algorithm>

#include "core/app/csv.h"
#include "core/app/string_ids.h"

namespace qv {

namespace {

constexpr int kReflectanceDecimals = 2;
constexpr int kFactorDecimals = 3;
constexpr std::size_t kPoints = kSpectrumPoints;
// The written blocks use every second wavelength (400, 420, ..., 700 nm): 16 reflectances,
// then the 16 correction factors.
constexpr int kBlockStep = 2;
constexpr std::size_t kBlockValues = 16;
constexpr std::size_t kFirstFactor = kBlockValues;

void textLine(CsvWriter& w, int id, const StringTable& texts) {
    w.last(texts.text(id)).endLine();
}

void headerLines(CsvWriter& w, const CoefficientRecord& r, const StringTable& texts) {
    w.field(texts.text(kStrDateLabel)).last(resultTimestamp(r.time)).endLine();
    w.field(texts.text(kStrInstrumentLabel)).last(r.sampleSerial).endLine();
    w.field(texts.text(kStrCommentLabel)).last(r.comment).endLine();
    w.endLine();
}

// Lines 5 to 14: the sample reflectances and the correction factors at the written
// wavelengths.
void writtenBlocks(CsvWriter& w, const CoefficientRecord& r, const StringTable& texts) {
    textLine(w, kStrRecordReflectanceHeading, texts);
    w.field("");
    for (int nm = kStartNm; nm <= kEndNm; nm += kBlockStep * kStepNm)
        w.field(std::to_string(nm) + "nm");
    w.endLine();
    for (int a = 0; a < kAngleCount; ++a) {
        w.field(std::to_string(kAngleDegrees[a]));
        const AngleSpectrum& sample = r.sample[a];
        for (std::size_t k = 0; k < kPoints && k < sample.size(); k += kBlockStep)
            w.number(sample[k], kReflectanceDecimals);
        w.endLine();
    }
    textLine(w, kStrRecordFactorHeading, texts);
    for (int a = 0; a < kAngleCount; ++a) {
        w.field(std::to_string(kAngleDegrees[a]));
        const AngleSpectrum& block = r.coefficients[a];
        for (std::size_t i = kFirstFactor; i < kFirstFactor + kBlockValues && i < block.size(); ++i)
            w.number(block[i], kFactorDecimals);
        w.endLine();
    }
    w.endLine();
}

// A block heading: its title, the 31 wavelength columns and the coordinate columns, with the
// colour-difference column on sample-type blocks.
void blockHeading(CsvWriter& w, int titleId, bool withDifference, const StringTable& texts) {
    w.field(texts.text(titleId));
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.field(texts.text(kStrCoordinate1Column)).field(texts.text(kStrCoordinate2Column));
    if (withDifference)
        w.field(texts.text(kStrCoordinate3Column)).last(texts.text(kStrDeltaEColumn));
    else
        w.last(texts.text(kStrCoordinate3Column));
    w.endLine();
}

void angleRow(CsvWriter& w, int angle, const AngleSpectrum& values) {
    w.field(std::to_string(kAngleDegrees[angle]));
    for (double v : values) w.number(v, kReflectanceDecimals);
    w.endLine();
}

// Lines 15 to 39: the repeatability series and the inter-instrument spectra.
void checkBlocks(CsvWriter& w, const CoefficientRecord& r, const StringTable& texts) {
    textLine(w, kStrRecordChecksHeading, texts);
    textLine(w, kStrRecordRepeatHeading, texts);
    constexpr int kSeriesTitles[3] = {kStrFirstBlock, kStrSecondBlock, kStrThirdBlock};
    for (int k = 0; k < 3; ++k) {
        blockHeading(w, kSeriesTitles[k], k > 0, texts);
        for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, r.repeatSeries[kAngleCount * k + a]);
    }
    w.endLine().endLine();
    textLine(w, kStrRecordInterInstrumentHeading, texts);
    blockHeading(w, kStrTargetBlock, false, texts);
    for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, r.target[a]);
    blockHeading(w, kStrSampleBlock, true, texts);
    for (int a = 0; a < kAngleCount; ++a) angleRow(w, a, r.sample[a]);
}

}  // namespace

std::string formatRecordFile(const CoefficientRecord& record, const StringTable& texts,
                             const NumberFormat& format) {
    CsvWriter w(format);
    headerLines(w, record, texts);
    writtenBlocks(w, record, texts);
    checkBlocks(w, record, texts);
    std::string text = w.take();
    text.resize(text.size() - kCrLf.size());  // no line end after the last line
    return text;
}

SavedFile writeRecordFile(FileStore& files, const std::string& dataFolder,
                          const CoefficientRecord& record, const StringTable& texts,
                          const NumberFormat& format) {
    return saveResultFile(files, dataFolder,
                          texts.text(kStrRecordFilePrefix) + resultTimestamp(record.time),
                          formatRecordFile(record, texts, format));
}

bool isRecordFile(const CsvTable& head, const StringTable& texts) {
    return isKey(head.at(1, 0), texts, kStrInstrumentLabel) &&
           isKey(head.at(2, 0), texts, kStrCommentLabel);
}

namespace {

namespace layout = record_layout;

// The written reflectances and factors, appended to each angle's coefficients.
std::string writtenRows(const CsvTable& t, std::size_t heading, int titleId,
                        const StringTable& texts, const NumberFormat& format,
                        CoefficientRecord& r) {
    if (!isKey(t.at(heading - 1, 0), texts, titleId))
        return atLine(heading, "not the heading " + texts.text(titleId));
    const std::size_t first = titleId == kStrRecordFactorHeading ? heading + 1 : heading + 2;
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t line = first + std::size_t(a);
        const auto values = angleRow(t.lines[line - 1], a, format);
        if (!values || values->size() > kBlockValues)
            return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) +
                                    "° row of at most 16 numbers");
        r.coefficients[a].insert(r.coefficients[a].end(), values->begin(), values->end());
    }
    return {};
}

std::string checkRows(const CsvTable& t, const StringTable& texts, const NumberFormat& format,
                      CoefficientRecord& r) {
    constexpr int kSeriesTitles[3] = {kStrFirstBlock, kStrSecondBlock, kStrThirdBlock};
    for (std::size_t k = 0; k < 3; ++k) {
        ThreeAngles rows;
        const BlockAt block{layout::kSeriesHeadings[k], kSeriesTitles[k], kPoints, true};
        if (auto why = readBlock(t, block, texts, format, rows); !why.empty()) return why;
        for (int a = 0; a < kAngleCount; ++a) r.repeatSeries[kAngleCount * k + a] = rows[a];
    }
    if (auto why = readBlock(t, {layout::kTargetHeading, kStrTargetBlock}, texts, format, r.target);
        !why.empty())
        return why;
    return readBlock(t, {layout::kSampleHeading, kStrSampleBlock}, texts, format, r.sample);
}

}  // namespace

FileRead<CoefficientRecord> readRecordFile(std::string_view text, const NumberFormat& format,
                                           const StringTable& texts, const CsvLimits& limits) {
    const CsvReadResult csv = readLeadingLines(text, layout::kLastLine, format, limits);
    if (!csv.ok())
        return {
            {},
            atLine(std::max<std::size_t>(csv.errorLine, 1), "not a CSV line the program reads")};
    const CsvTable& t = csv.table;
    if (t.lines.size() < layout::kLastLine)
        return {{}, atLine(t.lines.size() + 1, "the file ends before its last spectrum")};
    CoefficientRecord r;
    const auto time = resultDateLine(t);
    if (!time) return {{}, atLine(1, "not the date line of a result file")};
    r.time = *time;
    r.sampleSerial = trimmedSerial(t.at(layout::kSerialLine - 1, 1));
    if (!isRecordFile(t, texts) || r.sampleSerial.empty())
        return {{},
                atLine(r.sampleSerial.empty() ? layout::kSerialLine : layout::kCommentLine,
                       "not the header of a coefficient record")};
    r.comment = std::string(t.at(layout::kCommentLine - 1, 1));
    if (t.fieldCount(layout::kReflectanceHeading - 2) > 1 ||
        !t.at(layout::kReflectanceHeading - 2, 0).empty())
        return {{}, atLine(layout::kReflectanceHeading - 1, "not the blank line after the header")};
    for (auto [heading, title] :
         {std::pair{layout::kReflectanceHeading, kStrRecordReflectanceHeading},
          std::pair{layout::kFactorHeading, kStrRecordFactorHeading}})
        if (auto why = writtenRows(t, heading, title, texts, format, r); !why.empty())
            return {{}, why};
    if (auto why = checkRows(t, texts, format, r); !why.empty()) return {{}, why};
    return {std::move(r), {}};
}

}  // namespace qv
