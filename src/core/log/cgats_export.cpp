#include "core/log/cgats_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/app/local_time.h"
#include "core/coeff/file_choice.h"
#include "core/colour/spectrum.h"
#include "core/files/cgats_file.h"
#include "core/log/result_kinds.h"

namespace qv {

namespace {

// Six decimals, as the result files write them, so that nothing is lost on the way.
constexpr int kDecimals = 6;

// ArgyllCMS reads spectra from files it names CTI3 (CGATS leaves the identifier to the
// writer), and only with a device class; its field names SPEC_400 ... SPEC_700 and the
// SPECTRAL_ keywords are what other spectral readers take too.
std::string cgatsText(const ResultKindRow& kind, const ResultSpectra& c,
                      const std::string& created) {
    CgatsTable t;
    t.identifier = "CTI3";
    setCgatsKeyword(t, "DEVICE_CLASS", "OUTPUT", true);
    setCgatsKeyword(t, "ORIGINATOR", "QV-L70s", false);
    setCgatsKeyword(
        t, "DESCRIPTOR",
        std::string(kind.descriptor) + ": reflectance in percent at 25, 45 and 75 degrees", false);
    setCgatsKeyword(t, "CREATED", created, false);
    setCgatsKeyword(t, "INSTRUMENTATION", c.instrumentation, false);
    setCgatsKeyword(t, "SPECTRAL_BANDS", std::to_string(kSpectrumPoints), true);
    setCgatsKeyword(t, "SPECTRAL_START_NM", formatFixed(kStartNm, kDecimals), true);
    setCgatsKeyword(t, "SPECTRAL_END_NM", formatFixed(kEndNm, kDecimals), true);
    setCgatsKeyword(t, "SPECTRAL_NORM", formatFixed(100.0, kDecimals), true);  // percent
    if (!c.standardisedBy.empty())
        setCgatsKeyword(t, std::string(kCgatsStandardisedKeyword), c.standardisedBy, true);
    t.fields = {"SAMPLE_ID", "SAMPLE_NAME"};
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) t.fields.push_back(cgatsSpectralField(nm));
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
        std::vector<std::string> set{std::to_string(i + 1), cgatsQuoted(c.samples[i].name)};
        for (double v : c.samples[i].reflectances) set.push_back(formatFixed(v, kDecimals));
        t.sets.push_back(std::move(set));
    }
    return formatCgats(t);
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
    return {cgatsText(*known.kind, spectra, isoDateTime(resultTime(*read.contents))), {}};
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
    return newFileProblem(out, files.saveNew(out, cgats.text));
}

}  // namespace qv
