#include "core/log/cgats_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/app/string_ids.h"
#include "core/coeff/file_choice.h"
#include "core/colour/spectrum.h"
#include "core/files/extended_repeatability_file.h"
#include "core/files/file_lines.h"
#include "core/log/result_file_import.h"

namespace qv {

namespace {

// Six decimals, as the result files write them, so that nothing is lost on the way.
constexpr int kDecimals = 6;
constexpr std::size_t kDateLine = 1;
constexpr std::size_t kSerialLine = 2;

// Three angle rows under a heading line whose first field is the block's title.
struct Block {
    std::size_t headingLine;  // 1-based
    int titleId;
    const char* name;
    bool mayBeEmpty = false;  // a record file without a repeatability series leaves it empty
};

struct Layout {
    const char* descriptor;
    std::vector<Block> blocks;
    std::size_t lastLine;
};

const Layout kTargetFile{"Target file", {{5, kStrTargetBlock, "target"}}, 8};
const Layout kJudgementFile{
    "Judgement file", {{5, kStrTargetBlock, "target"}, {9, kStrSampleBlock, "sample"}}, 12};
const Layout kRepeatabilityFile{"Repeatability file",
                                {{5, kStrFirstBlock, "measurement 1"},
                                 {9, kStrSecondBlock, "measurement 2"},
                                 {13, kStrThirdBlock, "measurement 3"}},
                                16};
const Layout kRecordFile{"Coefficient record file",
                         {{17, kStrFirstBlock, "measurement 1", true},
                          {21, kStrSecondBlock, "measurement 2", true},
                          {25, kStrThirdBlock, "measurement 3", true},
                          {32, kStrTargetBlock, "target"},
                          {36, kStrSampleBlock, "sample"}},
                         39};
const Layout kExtendedFile{"Repeatability file over many readings", {}, 0};

struct Sample {
    std::string name;
    std::vector<double> reflectances;
};

struct Contents {
    const Layout* layout = nullptr;
    std::string created;
    std::string instrumentation;
    std::vector<Sample> samples;
};

std::string atLine(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

// The header keys tell the four files apart; lines 2 and 3 are enough.
const Layout* layoutOf(const CsvTable& t, const StringTable& texts) {
    if (isKey(t.at(kSerialLine - 1, 0), texts, kStrTargetSerialLabel))
        return isKey(t.at(kSerialLine, 0), texts, kStrSampleSerialLabel) ? &kJudgementFile
                                                                         : &kTargetFile;
    if (isKey(t.at(kSerialLine - 1, 0), texts, kStrInstrumentLabel))
        return isKey(t.at(kSerialLine, 0), texts, kStrCommentLabel) ? &kRecordFile
                                                                    : &kRepeatabilityFile;
    return nullptr;
}

// "20261207_150405" as CGATS wants a time: "2026-12-07T15:04:05".
std::optional<std::string> createdTime(std::string_view stamp) {
    const auto t = fromResultTimestamp(stamp);
    if (!t) return std::nullopt;
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return out;
}

// A CGATS string is quoted: a quote or a control character inside it becomes a blank.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (c == '"' || u < 0x20 || u == 0x7f) ? ' ' : c;
    }
    return out + "\"";
}

// One angle's row: its label, then at least the 31 reflectances. An empty row reads as no
// spectrum at all.
std::optional<std::string> readRow(const std::vector<std::string>& fields, int angle,
                                   const NumberFormat& format, std::vector<double>& out) {
    if (fields.empty() || fields.front() != std::to_string(kAngleDegrees[angle]))
        return "not the " + std::to_string(kAngleDegrees[angle]) + "° line";
    for (std::size_t i = 1; i < fields.size() && out.size() < kSpectrumPoints; ++i) {
        const auto v = format.readFile(fields[i]);
        if (!v) break;
        out.push_back(*v);
    }
    const bool empty = std::all_of(fields.begin() + 1, fields.end(),
                                   [](const std::string& f) { return f.empty(); });
    if (out.size() == kSpectrumPoints || empty) return std::nullopt;
    return "the " + std::to_string(kAngleDegrees[angle]) + "° line holds no 31 reflectances";
}

std::string readBlock(const CsvTable& t, const Block& block, const NumberFormat& format,
                      const StringTable& texts, std::vector<Sample>& out) {
    const std::string title = texts.text(block.titleId);
    if (title.empty() || t.at(block.headingLine - 1, 0) != title)
        return atLine(block.headingLine,
                      "not the heading of the " + std::string(block.name) + " block");
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t line = block.headingLine + 1 + a;
        Sample s{std::string(block.name) + " " + std::to_string(kAngleDegrees[a]), {}};
        if (const auto problem = readRow(t.lines[line - 1], a, format, s.reflectances))
            return atLine(line, *problem);
        if (s.reflectances.empty() && !block.mayBeEmpty)
            return atLine(line, "the " + std::to_string(kAngleDegrees[a]) + "° line is empty");
        if (!s.reflectances.empty()) out.push_back(std::move(s));
    }
    return {};
}

// The serial of header line `line`; the judgement file names both instruments.
std::string instrumentation(const CsvTable& t, const Layout& layout) {
    const auto serial = [&t](std::size_t line) {
        return trimmedSerial(headerValue(t.lines[line - 1]).value_or(""));
    };
    if (&layout != &kJudgementFile) return serial(kSerialLine);
    return "target " + serial(kSerialLine) + ", sample " + serial(kSerialLine + 1);
}

std::string readContents(std::string_view file, const NumberFormat& format,
                         const StringTable& texts, const CsvLimits& limits, Contents& out) {
    const CsvReadResult csv = readLeadingLines(file, kRecordFile.lastLine, format, limits);
    if (!csv.ok())
        return atLine(std::max<std::size_t>(csv.errorLine, 1), "not a CSV line the program reads");
    const CsvTable& t = csv.table;
    const auto created = isKey(t.at(kDateLine - 1, 0), texts, kStrDateLabel)
                             ? createdTime(t.at(kDateLine - 1, 1))
                             : std::nullopt;
    if (!created) return atLine(kDateLine, "not the date line of a result file");
    out.layout = layoutOf(t, texts);
    if (!out.layout) return atLine(kSerialLine, "not the serial line of a result file");
    if (t.lines.size() < out.layout->lastLine)
        return atLine(t.lines.size() + 1, "the file ends before its last spectrum");
    out.created = *created;
    out.instrumentation = instrumentation(t, *out.layout);
    for (const Block& block : out.layout->blocks)
        if (std::string problem = readBlock(t, block, format, texts, out.samples); !problem.empty())
            return problem;
    return {};
}

// The series over many readings, read whole by its own reader: one sample per reading and
// angle. False when the file is not laid out as one.
bool isExtendedFile(std::string_view file, const NumberFormat& format) {
    const CsvReadResult head = readLeadingLines(file, 2, format, {});
    return head.ok() && head.table.at(1, 0) == extended_key::kReadings;
}

std::string readExtended(std::string_view file, const NumberFormat& format, const CsvLimits& limits,
                         Contents& out) {
    const ExtendedFileRead read = readExtendedFile(file, format, limits);
    if (!read.report) return read.problem;
    const ExtendedReport& r = *read.report;
    out.layout = &kExtendedFile;
    out.created = createdTime(resultTimestamp(r.time)).value_or("");
    out.instrumentation = r.serial;
    for (std::size_t k = 0; k < r.spectra.size(); ++k)
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleSpectrum& s = r.spectra[k][a];
            out.samples.push_back(
                {"reading " + std::to_string(k + 1) + " " + std::to_string(kAngleDegrees[a]),
                 {s.begin(),
                  s.begin() + std::min<std::ptrdiff_t>(kSpectrumPoints, std::ssize(s))}});
        }
    return {};
}

void line(std::string& out, std::string_view text) {
    out += text;
    out += kCrLf;
}

// A keyword CGATS does not define is declared before it is used.
void ownKeyword(std::string& out, const std::string& name, std::string_view value) {
    line(out, "KEYWORD " + quoted(name));
    line(out, name + " " + quoted(value));
}

// ArgyllCMS reads spectra from files it names CTI3 (CGATS leaves the identifier to the
// writer), and only with a device class; its field names SPEC_400 ... SPEC_700 and the
// SPECTRAL_ keywords are what other spectral readers take too.
std::string cgatsText(const Contents& c) {
    std::string out;
    line(out, "CTI3");
    ownKeyword(out, "DEVICE_CLASS", "OUTPUT");
    line(out, "ORIGINATOR \"QV-L70s\"");
    line(out, "DESCRIPTOR " + quoted(std::string(c.layout->descriptor) +
                                     ": reflectance in percent at 25, 45 and 75 degrees"));
    line(out, "CREATED " + quoted(c.created));
    line(out, "INSTRUMENTATION " + quoted(c.instrumentation));
    ownKeyword(out, "SPECTRAL_BANDS", std::to_string(kSpectrumPoints));
    ownKeyword(out, "SPECTRAL_START_NM", formatFixed(kStartNm, kDecimals));
    ownKeyword(out, "SPECTRAL_END_NM", formatFixed(kEndNm, kDecimals));
    ownKeyword(out, "SPECTRAL_NORM", formatFixed(100.0, kDecimals));  // percent
    line(out, "NUMBER_OF_FIELDS " + std::to_string(2 + kSpectrumPoints));
    line(out, "BEGIN_DATA_FORMAT");
    std::string fields = "SAMPLE_ID SAMPLE_NAME";
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) fields += " SPEC_" + std::to_string(nm);
    line(out, fields);
    line(out, "END_DATA_FORMAT");
    line(out, "NUMBER_OF_SETS " + std::to_string(c.samples.size()));
    line(out, "BEGIN_DATA");
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
        std::string row = std::to_string(i + 1) + " " + quoted(c.samples[i].name);
        for (double v : c.samples[i].reflectances) row += " " + formatFixed(v, kDecimals);
        line(out, row);
    }
    line(out, "END_DATA");
    return out;
}

}  // namespace

CgatsExport exportSpectra(std::string_view resultFile, const NumberFormat& format,
                          const StringTable& texts, const CsvLimits& limits) {
    Contents contents;
    // A file from a machine with other separators is read with the ones it was written with.
    const NumberFormat written = resultFileFormat(resultFile, format, texts).value_or(format);
    const std::string problem = isExtendedFile(resultFile, written)
                                    ? readExtended(resultFile, written, limits, contents)
                                    : readContents(resultFile, written, texts, limits, contents);
    if (!problem.empty()) return {{}, std::move(problem)};
    if (contents.samples.empty()) return {{}, "the file holds no spectrum"};
    return {cgatsText(contents), {}};
}

std::string cgatsPathBeside(const std::string& resultFile) {
    std::string stem = resultFile;
    const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
    if (stem.size() >= 4) {
        std::string ending = stem.substr(stem.size() - 4);
        std::transform(ending.begin(), ending.end(), ending.begin(), lower);
        if (ending == ".csv") stem.resize(stem.size() - 4);
    }
    return stem + ".cgats.txt";
}

std::string exportSpectraFile(FileStore& files, const std::string& resultFile,
                              const std::string& out, const NumberFormat& format,
                              const StringTable& texts) {
    std::string text;
    if (!files.readAll(resultFile, kMaxChosenFileBytes, text)) return "cannot read " + resultFile;
    const CgatsExport cgats = exportSpectra(text, format, texts);
    if (!cgats.ok()) return resultFile + " is not a result file the export reads: " + cgats.problem;
    const NewFileResult saved = files.saveNew(out, cgats.text);
    switch (saved.kind) {
        case NewFileResult::Kind::Saved:
            return {};
        case NewFileResult::Kind::Exists:
            return out + " exists already; it is left alone";
        case NewFileResult::Kind::Failed:
            break;
    }
    return out + " could not be written: " + saved.error;
}

}  // namespace qv
