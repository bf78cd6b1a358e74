#include "core/tiles/entry_validity.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "core/app/thresholds.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/diagnosis_record.h"
#include "core/tiles/diagnosis_view.h"

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

std::string lowercased(std::string s) {
    if (!s.empty()) s[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
    return s;
}

// "offset, shift or bandwidth".
std::string orList(const std::vector<std::string>& words) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

std::string wavelengthText(std::size_t band) {
    return std::to_string(static_cast<int>(kBandCentresNm[band])) + " nm";
}

}  // namespace

double unexcludedErrors(std::size_t tiles) {
    TermEstimate jackknifed;
    jackknifed.jackknifeError = 1.0;
    return significantErrors(jackknifed, tiles);
}

TermRanges termsFromRecord(const AngleDiagnosisRecord& record, std::size_t tiles) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    TermRanges out;
    out.fill({-kInf, kInf});
    for (const TermRecord& t : record.terms) {
        const auto term = termFromKey(t.key);
        if (!term || !std::isfinite(t.value)) continue;
        const double half = t.identified ? 0.0 : unexcludedErrors(tiles) * t.standardError;
        if (std::isfinite(half))
            out[static_cast<std::size_t>(*term)] = {t.value - half, t.value + half};
    }
    return out;
}

AngleTerms termsFromRecord(const DiagnosisRecord& record, std::size_t tiles) {
    AngleTerms out{};
    for (int a = 0; a < kAngleCount; ++a) out[a] = termsFromRecord(record[a], tiles);
    return out;
}

std::vector<std::string> unboundedTerms(const TermRanges& terms) {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (!std::isfinite(terms[k].low) || !std::isfinite(terms[k].high))
            out.push_back(lowercased(termName(static_cast<Term>(k))));
    return out;
}

bool bounded(const TermRanges& terms) {
    return unboundedTerms(terms).empty();
}

AngleFactors writtenFactors(const AngleFactors& factors) {
    AngleFactors out = factors;
    for (auto& angle : out)
        for (double& f : angle) f = roundedToTwoDecimals(f);
    return out;
}

namespace {

// The terms at every corner of the box their ranges span, the first at the values themselves.
// The residual's spectrum is nearly linear in the terms and a colour difference grows with it
// either way, so the worst lies at a corner. The factors were computed on what the instrument
// read on the specimen: a corner that reads the specimen otherwise than the values do leaves
// that reading as it was, and only how the difference changes from the specimen to a colour
// moves with the corner (`shift`: what the corner adds to each reading, the same everywhere).
struct Corners {
    std::vector<TermEstimates> terms;
    std::vector<AngleSpectrum> shift;
};

Corners cornersOf(const ValidityBasis& basis, int angle) {
    TermEstimates atValues{};
    std::vector<TermEstimates> ends(1);
    for (std::size_t k = 0; k < kTermCount; ++k) {
        const TermRange& r = basis.terms[angle][k];
        atValues[k] = {(r.low + r.high) / 2.0, 0.0, true};
        for (TermEstimates& c : ends) c[k] = {r.low, 0.0, true};
        if (!(r.high > r.low)) continue;
        const std::size_t n = ends.size();
        for (std::size_t i = 0; i < n; ++i) {
            ends.push_back(ends[i]);
            ends.back()[k].value = r.high;
        }
    }
    Corners out;
    out.terms.push_back(atValues);
    if (ends.size() > 1) out.terms.insert(out.terms.end(), ends.begin(), ends.end());
    const AngleSpectrum& s = basis.specimen[angle];
    const AngleSpectrum read = modelDifference(atValues, s);
    for (const TermEstimates& t : out.terms) {
        AngleSpectrum shift = modelDifference(t, s);
        for (int j = 0; j < kSpectrumPoints; ++j) shift[j] = read[j] - shift[j];
        out.shift.push_back(std::move(shift));
    }
    return out;
}

double worstResidual(const ValidityBasis& basis, int angle, const Corners& corners,
                     const AngleSpectrum& colour) {
    const AngleSpectrum c(colour.begin(), colour.begin() + kSpectrumPoints);
    double worst = 0.0;
    for (std::size_t i = 0; i < corners.terms.size(); ++i) {
        const AngleSpectrum difference = modelDifference(corners.terms[i], c);
        ThreeAngles read;
        read[angle] = c;
        for (int j = 0; j < kSpectrumPoints; ++j)
            read[angle][j] += difference[j] + corners.shift[i][j];
        const AngleSpectrum corrected = applyFactors(read, basis.factors)[angle];
        const double residual = isSpectrum(corrected) ? deltaE(basis.formula, labOf(c),
                                                               labOf(corrected), basis.parameters)
                                                      : kNaN;
        if (std::isnan(residual)) return kNaN;
        worst = std::max(worst, residual);
    }
    return worst;
}

bool readable(const ValidityBasis& basis, int angle) {
    return angle >= 0 && angle < kAngleCount && isSpectrum(basis.specimen[angle]) &&
           bounded(basis.terms[angle]);
}

}  // namespace

double predictedResidual(const ValidityBasis& basis, int angle, const AngleSpectrum& colour) {
    if (!readable(basis, angle) || !isSpectrum(colour)) return kNaN;
    return worstResidual(basis, angle, cornersOf(basis, angle), colour);
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

ValidityRow rowFor(const ValidityBasis& basis, int angle, const Corners& corners, double distance) {
    ValidityRow row{distance, 0.0, 0.0, 0};
    for (std::size_t k = 0; k < kNearDirections; ++k) {
        const auto colour = colourAt(basis.specimen[angle], k, distance);
        if (!colour) continue;
        const double r = worstResidual(basis, angle, corners, *colour);
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
    v.unbounded = unboundedTerms(basis.terms[angle]);
    if (!v.unbounded.empty()) {
        v.atSpecimen = kNaN;
        v.bound = RadiusBound::NotKnown;
        v.unknown = Unknown::UnboundedTerms;
        return v;
    }
    const Corners corners = cornersOf(basis, angle);
    v.atSpecimen = worstResidual(basis, angle, corners, basis.specimen[angle]);
    for (double d : validityDistances()) v.rows.push_back(rowFor(basis, angle, corners, d));
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
        (fails(rowFor(basis, angle, corners, mid), basis.threshold) ? high : low) = mid;
    }
    v.radius = low;
    return v;
}

std::string atSpecimenText(const AngleValidity& v, std::string_view formulaLabel,
                           const NumberFormat& format) {
    const std::string unit = " " + std::string(formulaLabel);
    return "predicted " + format.display(v.atSpecimen) + unit + " at the specimen, measured " +
           format.display(v.measured) + unit + " by the verification";
}

std::string notKnownSentence(const AngleValidity& v, std::string_view formulaLabel,
                             const NumberFormat& format) {
    switch (v.unknown) {
        case Unknown::UnboundedTerms:
            return "Not known: the tile set could not bound the " + orList(v.unbounded) +
                   ", so how the residual grows away from the specimen cannot be told.";
        case Unknown::NotVerified:
            return "Not known until the entry is verified (the specimen measured again through "
                   "it): no verification confirms the prediction at the specimen.";
        case Unknown::VerificationDisagrees:
        case Unknown::None:
            break;
    }
    return "Not known: the prediction does not hold at the specimen itself (" +
           atSpecimenText(v, formulaLabel, format) + ", more than the reading noise of " +
           format.display(v.allowance) + " apart).";
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

void confirmAtSpecimen(EntryValidity& validity, const std::optional<SpecimenCheck>& check) {
    for (int a = 0; a < kAngleCount; ++a) {
        AngleValidity& v = validity[a];
        if (v.unknown == Unknown::UnboundedTerms) continue;
        v.measured = check ? check->measured[a] : kNaN;
        v.allowance = check ? check->allowance[a] : kNaN;
        if (!std::isfinite(v.measured) || !(v.allowance >= 0.0))
            v.unknown = Unknown::NotVerified;
        else if (!(std::abs(v.atSpecimen - v.measured) <= v.allowance))
            v.unknown = Unknown::VerificationDisagrees;
        else
            continue;
        v.bound = RadiusBound::NotKnown;
    }
}

std::optional<ValidityRow> rowAt(const AngleValidity& validity, double distance) {
    for (const ValidityRow& r : validity.rows)
        if (std::abs(r.distance - distance) < 1e-9) return r;
    return std::nullopt;
}

std::string triedText() {
    return "Tried: colours made lighter, darker, greyer or with a broad band added, " +
           std::to_string(kNearDirections) +
           " kinds, each with the terms the tile set could not identify at whichever end of "
           "their range is worse; reading noise, geometry and errors the diagnosis has no term "
           "for are left out, and other colours at the same distance may fare worse.";
}

std::string radiusText(const AngleValidity& v, const NumberFormat& format) {
    switch (v.bound) {
        case RadiusBound::BelowLeast:
            return "below " + format.general(kLeastRadius);
        case RadiusBound::BeyondLargest:
            return "beyond " + format.general(kLargestRadius);
        case RadiusBound::NotKnown:
            return "not known";
        case RadiusBound::Within:
            break;
    }
    return format.display(v.radius);
}

std::string validitySentence(const AngleValidity& v, double threshold,
                             std::string_view formulaLabel, const NumberFormat& format) {
    const std::string limit = "the inter-instrument threshold " + format.display(threshold) + " " +
                              std::string(formulaLabel) + ".";
    const std::string tried =
        " dE00 of the specimen, for the colours tried, the predicted "
        "residual ";
    switch (v.bound) {
        case RadiusBound::BelowLeast:
            return "Even within " + format.general(kLeastRadius) + tried + "reaches " + limit;
        case RadiusBound::BeyondLargest:
            return "Within " + format.general(kLargestRadius) +
                   " dE00 of the specimen and beyond, for the colours tried, the predicted "
                   "residual stays below " +
                   limit;
        case RadiusBound::NotKnown:
            return notKnownSentence(v, formulaLabel, format);
        case RadiusBound::Within:
            break;
    }
    return "Within " + format.display(v.radius) + tried + "stays below " + limit;
}

}  // namespace qv
