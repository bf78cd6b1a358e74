#include "core/log/cgats_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/coeff/file_choice.h"
#include "core/colour/spectrum.h"
#include "core/log/result_kinds.h"

namespace qv {

namespace {

// Six decimals, as the result files write them, so that nothing is lost on the way.
constexpr int kDecimals = 6;

// A file's time as CGATS wants it: "2026-12-07T15:04:05".
std::string createdTime(const LocalTime& t) {
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
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
std::string cgatsText(const ResultKindRow& kind, const ResultSpectra& c,
                      const std::string& created) {
    std::string out;
    line(out, "CTI3");
    ownKeyword(out, "DEVICE_CLASS", "OUTPUT");
    line(out, "ORIGINATOR \"QV-L70s\"");
    line(out, "DESCRIPTOR " + quoted(std::string(kind.descriptor) +
                                     ": reflectance in percent at 25, 45 and 75 degrees"));
    line(out, "CREATED " + quoted(created));
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
    // A file from a machine with other separators is read with the ones it was written with.
    const KnownResultFile known = knownResultFile(resultFile, format, texts);
    if (!known.kind) return {{}, known.problem};
    if (!known.kind->spectra) return {{}, "the file holds no spectrum"};
    const FileRead<ResultContents> read = known.kind->read(resultFile, known.format, texts, limits);
    if (!read.contents) return {{}, read.problem};
    const ResultSpectra spectra = known.kind->spectra(*read.contents);
    if (spectra.samples.empty()) return {{}, "the file holds no spectrum"};
    return {cgatsText(*known.kind, spectra, createdTime(resultTime(*read.contents))), {}};
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
