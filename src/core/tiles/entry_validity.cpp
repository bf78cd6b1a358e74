#include "core/tiles/entry_validity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/app/thresholds.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/diagnosis_record.h"

namespace qv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The flat spectra a colour is mixed toward, % reflectance: a ceramic white, a mid grey, a
// black glass.
constexpr double kWhitePercent = 90.0;
constexpr double kGreyPercent = 30.0;
constexpr double kBlackPercent = 2.0;
// Absorption and reflection bands: Gaussian, this standard deviation wide, centred every
// 50 nm. Broad enough that a band is what a pigment adds, never a single wavelength's spike.
constexpr double kBandSdNm = 30.0;
constexpr std::array<double, 7> kBandCentresNm = {400, 450, 500, 550, 600, 650, 700};
constexpr std::size_t kOverall = 5;  // darker, lighter, toward white, grey, black
static_assert(kOverall + 2 * kBandCentresNm.size() == kNearDirections);
// How far along each kind of direction the search looks: e^-12 of the specimen, a scale of
// 1000, the whole way to the flat spectrum.
constexpr double kExponentialReach = 12.0;
constexpr double kScaleReach = 1000.0;
// Halvings of a bracket: a parameter to 2^-60 of its reach, a radius to 2^-10 of a step.
constexpr int kParameterHalvings = 60;
constexpr int kRadiusHalvings = 10;

Lab labOf(const AngleSpectrum& s) {
    return spectrumToLab(SpectrumView(s.data(), kColourPoints));
}

bool isSpectrum(const AngleSpectrum& s) {
    return s.size() >= kSpectrumPoints && std::all_of(s.begin(), s.begin() + kSpectrumPoints,
                                                      [](double v) { return std::isfinite(v); });
}

double bandAt(std::size_t band, int j) {
    const double u = (kStartNm + kStepNm * j - kBandCentresNm[band]) / kBandSdNm;
    return std::exp(-u * u / 2.0);
}

// The colour `t` along `direction` from `s`; every value stays within 0 and `ceiling`.
AngleSpectrum along(const AngleSpectrum& s, std::size_t direction, double t, double ceiling) {
    AngleSpectrum c(kSpectrumPoints);
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const double v = std::clamp(s[j], 0.0, ceiling);
        double& out = c[j];
        switch (direction) {
            case 0:  // darker: scaled down
                out = v * std::exp(-t);
                break;
            case 1:  // lighter: scaled up, saturating at the ceiling
                out = v * (1.0 + t) / (1.0 + t * v / ceiling);
                break;
            case 2:
                out = v + t * (kWhitePercent - v);
                break;
            case 3:
                out = v + t * (kGreyPercent - v);
                break;
            case 4:
                out = v + t * (kBlackPercent - v);
                break;
            default: {
                const std::size_t band = (direction - kOverall) % kBandCentresNm.size();
                const double keep = std::exp(-t * bandAt(band, j));
                const bool absorbs = direction - kOverall < kBandCentresNm.size();
                out = absorbs ? v * keep : ceiling - (ceiling - v) * keep;
            }
        }
    }
    return c;
}

double reachOf(std::size_t direction) {
    if (direction == 1) return kScaleReach;
    if (direction >= 2 && direction < kOverall) return 1.0;
    return kExponentialReach;
}

std::string wavelengthText(std::size_t band) {
    return std::to_string(static_cast<int>(kBandCentresNm[band])) + " nm";
}

}  // namespace

TermEstimates termsFromRecord(const AngleDiagnosisRecord& record) {
    TermEstimates out{};
    for (const TermRecord& t : record.terms) {
        const auto term = termFromKey(t.key);
        if (!term || !t.identified || !std::isfinite(t.value)) continue;
        out[static_cast<std::size_t>(*term)] = estimateOf(t);
    }
    return out;
}

AngleTerms termsFromRecord(const DiagnosisRecord& record) {
    AngleTerms out{};
    for (int a = 0; a < kAngleCount; ++a) out[a] = termsFromRecord(record[a]);
    return out;
}

AngleFactors writtenFactors(const AngleFactors& factors) {
    AngleFactors out = factors;
    for (auto& angle : out)
        for (double& f : angle) f = roundedToTwoDecimals(f);
    return out;
}

double predictedResidual(const ValidityBasis& basis, int angle, const AngleSpectrum& colour) {
    if (angle < 0 || angle >= kAngleCount || !isSpectrum(colour)) return kNaN;
    const AngleSpectrum c(colour.begin(), colour.begin() + kSpectrumPoints);
    const AngleSpectrum difference = modelDifference(basis.terms[angle], c);
    ThreeAngles read;
    read[angle] = c;
    for (int j = 0; j < kSpectrumPoints; ++j) read[angle][j] += difference[j];
    const AngleSpectrum corrected = applyFactors(read, basis.factors)[angle];
    if (!isSpectrum(corrected)) return kNaN;
    return deltaE(basis.formula, labOf(c), labOf(corrected), basis.parameters);
}

std::string directionName(std::size_t direction) {
    static const std::array<std::string, kOverall> overall = {"darker", "lighter", "toward white",
                                                              "toward grey", "toward black"};
    if (direction < kOverall) return overall[direction];
    if (direction >= kNearDirections) return {};
    const std::size_t band = (direction - kOverall) % kBandCentresNm.size();
    const bool absorbs = direction - kOverall < kBandCentresNm.size();
    return (absorbs ? "absorption at " : "reflection at ") + wavelengthText(band);
}

std::optional<AngleSpectrum> colourAt(const AngleSpectrum& specimen, std::size_t direction,
                                      double distance) {
    if (!isSpectrum(specimen) || direction >= kNearDirections || !(distance > 0.0))
        return std::nullopt;
    const double ceiling =
        std::max(100.0, *std::max_element(specimen.begin(), specimen.begin() + kSpectrumPoints));
    const Lab from = labOf(specimen);
    const auto reached = [&](double t) {
        return deltaE2000(from, labOf(along(specimen, direction, t, ceiling))) >= distance;
    };
    double low = 0.0;
    double high = reachOf(direction);
    if (!reached(high)) return std::nullopt;
    // The distance need not grow steadily along a direction; any colour at the distance will do.
    for (int i = 0; i < kParameterHalvings; ++i) {
        const double mid = (low + high) / 2.0;
        (reached(mid) ? high : low) = mid;
    }
    return along(specimen, direction, high, ceiling);
}

const std::vector<double>& validityDistances() {
    static const std::vector<double> d = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0,  2.5,  3.0,  3.5,
                                          4.0,  5.0, 6.0,  7.0, 8.0,  10., 12.5, 15.0, 17.5, 20.0};
    return d;
}

namespace {

ValidityRow rowFor(const ValidityBasis& basis, int angle, double distance) {
    ValidityRow row{distance, 0.0, 0.0, 0};
    for (std::size_t k = 0; k < kNearDirections; ++k) {
        const auto colour = colourAt(basis.specimen[angle], k, distance);
        if (!colour) continue;
        const double r = predictedResidual(basis, angle, *colour);
        // A residual that cannot be told is the worst, so that it never passes.
        if (std::isnan(r) || r > row.worst || std::isnan(row.worst)) row.worst = r;
        row.mean += r;
        ++row.colours;
    }
    if (row.colours == 0) row.worst = row.mean = kNaN;
    row.mean /= static_cast<double>(std::max<std::size_t>(row.colours, 1));
    return row;
}

bool fails(const ValidityRow& row, double threshold) {
    return row.colours > 0 && !passesThreshold(row.worst, threshold);
}

AngleValidity validityAt(const ValidityBasis& basis, int angle) {
    AngleValidity v;
    v.atSpecimen = predictedResidual(basis, angle, basis.specimen[angle]);
    for (double d : validityDistances()) v.rows.push_back(rowFor(basis, angle, d));
    const auto first = std::find_if(v.rows.begin(), v.rows.end(), [&](const ValidityRow& r) {
        return fails(r, basis.threshold);
    });
    if (!passesThreshold(v.atSpecimen, basis.threshold) || first == v.rows.begin()) {
        v.bound = RadiusBound::BelowLeast;
        v.radius = kLeastRadius;
        return v;
    }
    if (first == v.rows.end()) {
        v.bound = RadiusBound::BeyondLargest;
        v.radius = kLargestRadius;
        return v;
    }
    double low = std::prev(first)->distance;
    double high = first->distance;
    for (int i = 0; i < kRadiusHalvings; ++i) {
        const double mid = (low + high) / 2.0;
        (fails(rowFor(basis, angle, mid), basis.threshold) ? high : low) = mid;
    }
    v.radius = low;
    return v;
}

}  // namespace

std::optional<EntryValidity> entryValidity(const ValidityBasis& basis) {
    for (int a = 0; a < kAngleCount; ++a) {
        if (!isSpectrum(basis.specimen[a])) return std::nullopt;
        for (double f : basis.factors[a])
            if (!std::isfinite(f)) return std::nullopt;
    }
    EntryValidity out;
    for (int a = 0; a < kAngleCount; ++a) out[a] = validityAt(basis, a);
    return out;
}

std::optional<ValidityRow> rowAt(const AngleValidity& validity, double distance) {
    for (const ValidityRow& r : validity.rows)
        if (std::abs(r.distance - distance) < 1e-9) return r;
    return std::nullopt;
}

std::string radiusText(const AngleValidity& v, const NumberFormat& format) {
    switch (v.bound) {
        case RadiusBound::BelowLeast:
            return "below " + format.general(kLeastRadius);
        case RadiusBound::BeyondLargest:
            return "beyond " + format.general(kLargestRadius);
        case RadiusBound::Within:
            break;
    }
    return format.display(v.radius);
}

std::string validitySentence(const AngleValidity& v, double threshold,
                             std::string_view formulaLabel, const NumberFormat& format) {
    const std::string limit = "the inter-instrument threshold " + format.display(threshold) + " " +
                              std::string(formulaLabel) + ".";
    switch (v.bound) {
        case RadiusBound::BelowLeast:
            return "Even within " + format.general(kLeastRadius) +
                   " dE00 of the specimen the predicted residual reaches " + limit;
        case RadiusBound::BeyondLargest:
            return "Within " + format.general(kLargestRadius) +
                   " dE00 of the specimen and beyond, the predicted residual stays below " + limit;
        case RadiusBound::Within:
            break;
    }
    return "Within " + format.display(v.radius) +
           " dE00 of the specimen the predicted residual stays below " + limit;
}

}  // namespace qv
