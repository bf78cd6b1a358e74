#include "core/log/cxf_spectra.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/app/local_time.h"
#include "core/log/result_kinds.h"

namespace qv {

namespace {

// The instrument lights the specimen at 45°; every angle it reads at is aspecular.
constexpr int kIlluminationDegrees = 45;

std::string lowerTrimmed(std::string_view text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && blank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The specimen a spectrum belongs to, added in the order the file first names it.
CxfSpecimen& specimenFor(std::vector<CxfSpecimen>& specimens, const NamedSpectrum& s,
                         const std::string& referencedTo) {
    for (CxfSpecimen& known : specimens)
        if (known.name == s.specimen && known.serial == s.serial &&
            known.referencedTo == referencedTo)
            return known;
    specimens.push_back({s.specimen, s.serial, referencedTo, {}});
    return specimens.back();
}

CxfContents refused(std::string problem) {
    CxfContents out;
    out.problem = std::move(problem);
    return out;
}

}  // namespace

std::string aspecularNotation(int angle) {
    return std::to_string(kIlluminationDegrees) + "as" + std::to_string(kAngleDegrees[angle]);
}

std::optional<int> angleOfNotation(std::string_view notation) {
    const std::string wanted = lowerTrimmed(notation);
    for (int a = 0; a < kAngleCount; ++a)
        if (wanted == aspecularNotation(a)) return a;
    return std::nullopt;
}

CxfContents cxfContents(std::string_view resultFile, const NumberFormat& format,
                        const StringTable& texts, const CsvLimits& limits) {
    const KnownResultFile known = knownResultFile(resultFile, format, texts);
    if (!known.kind) return refused(known.problem);
    if (!known.kind->spectra) return refused("the file holds no spectrum");
    const FileRead<ResultContents> read = known.kind->read(resultFile, known.format, texts, limits);
    if (!read.contents) return refused(read.problem);
    const ResultSpectra spectra = known.kind->spectra(*read.contents);
    if (spectra.samples.empty()) return refused("the file holds no spectrum");
    CxfContents out;
    out.descriptor = known.kind->descriptor;
    out.created = isoDateTime(resultTime(*read.contents));
    // The program's copies name their profile by its label, "profile 7 to L70S-100001 of
    // 2026-12-08", which says so already; a bare name is given the word.
    const std::string& by = spectra.standardisedBy;
    const std::string profile = by.rfind("profile ", 0) == 0 ? by : "profile " + by;
    for (const NamedSpectrum& s : spectra.samples)
        specimenFor(out.specimens, s, s.standardised ? profile : std::string(kAsRead))
            .angles[std::size_t(s.angle)] = s.reflectances;
    return out;
}

std::string cxfPathBeside(const std::string& resultFile) {
    std::string stem = resultFile;
    if (stem.size() >= 4 && lowerTrimmed(stem.substr(stem.size() - 4)) == ".csv")
        stem.resize(stem.size() - 4);
    return stem + ".cxf";
}

std::optional<AngleSpectrum> resampledSpectrum(double startNm, double stepNm,
                                               std::span<const double> values) {
    if (!std::isfinite(startNm) || !std::isfinite(stepNm) || stepNm <= 0 || values.empty())
        return std::nullopt;
    const double lastNm = startNm + stepNm * double(values.size() - 1);
    // A hair of slack for steps such as 3.3333 that do not land exactly on 700.
    constexpr double kSlackNm = 1e-6;
    if (startNm > kStartNm + kSlackNm || lastNm < kEndNm - kSlackNm) return std::nullopt;
    AngleSpectrum out;
    out.reserve(kSpectrumPoints);
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) {
        const double at = std::clamp((nm - startNm) / stepNm, 0.0, double(values.size() - 1));
        const auto below = static_cast<std::size_t>(std::floor(at));
        const std::size_t above = std::min(below + 1, values.size() - 1);
        const double fraction = at - double(below);
        // Weighted, not a difference: the difference of two large values could overflow.
        out.push_back(values[below] * (1 - fraction) + values[above] * fraction);
    }
    return out;
}

}  // namespace qv
