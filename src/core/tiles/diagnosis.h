#pragma once

// What kind of error separates the instrument under correction (T) from the reference (R) over
// a tile set. Factors remove a gain error exactly, but not an offset, a bent photometric scale,
// a wavelength error or a different bandwidth; before factors are written the difference is
// decomposed into these physical terms per angle, fitted over all tiles at once:
//
//   T - R = b0                    offset, % reflectance
//         + b1 * R/100            gain, % (1.0: readings 1 % high)
//         + b2 * x * R/100        gain tilt, % per nm (x = wavelength - 550 nm)
//         + b3 * R(1 - R/100)     linearity
//         + b4 * R'               shift, nm: the band centres lie b4 nm longer than nominal
//                                 (the instrument reads at each nominal wavelength what lies
//                                 b4 nm longer; its scale reads short)
//         + b5 * x * R'           scale error, nm per nm
//         + b6 * R''              bandwidth, nm^2: half the difference of the bandpasses'
//                                 variances
//
// R' and R'' are central differences of the 10 nm readings (one-sided at 400 and 700 nm); the
// fit takes them from the mean of both instruments' readings, whose noise does not correlate
// with that of T - R, and where a shift needs no second-order term. The slope takes five points
// where it can: the three-point difference misreads a steep edge's slope by several per cent,
// which biased a shift beyond its standard error in one trial in six; so does the curvature,
// whose three-point difference reads a steep edge's about 6 % short, a bandwidth 6 % wide.
//
// Every term the set can estimate at all is fitted at once (the full model); nothing is dropped
// and refitted, because a partner left out hands its part to the term that stays and makes that
// term's error look many times smaller than it is. A term's standard error is the larger of the
// least-squares one, which takes a tile's 31 wavelengths as independent, and a jackknife over
// tiles, which sees that tiles scatter as wholes (placement, soiling) and that a term resting on
// one tile is confirmed by no other. Terms whose estimates correlate beyond 0.9 are reported
// together, as not separable with this set; a term counts (is identified) when its error lies
// below its limit or its value three errors from zero (further where the jackknife over few
// tiles sets the error), or when its group does jointly. What the set cannot see is said, and
// the remedy is judged on each tile predicted from the others.

#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour/evaluate_hue_control.h"
#include "core/tiles/diagnosis_terms.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/tile_set.h"

namespace qv {

struct TermInfo {
    std::string_view key;   // as the JSON names it
    std::string_view unit;  // "%", "%/nm", "", "nm", "nm/nm", "nm2"
    // A term counts as identified with a standard error below this, or lying three standard
    // errors from zero. Offset, gain, linearity and shift are set by what a correction must
    // resolve; a gain tilt of 0.002 %/nm and a scale error of 0.002 nm/nm are 0.3 % and 0.3 nm
    // at the ends of the range; 2 nm^2 of bandwidth moves a steep edge's readings by 0.1 %.
    double limit;
    // Factors per wavelength remove this term (gain and its tilt); the others need service.
    bool factorsRemove;
    // What a value means, in words, as the JSON gives it beside the value.
    std::string_view definition;
};
const TermInfo& termInfo(Term term);

// The error of a difference of two readings is never taken below what their resolution
// (0.01 %, rounding) and a repeatability of 0.02 % per reading allow, whatever the residuals
// say.
inline constexpr double kReadingResolutionPercent = 0.01;
inline constexpr double kRepeatabilityFloorPercent = 0.02;
double differenceErrorFloor();

// Estimates correlating beyond this in the full model cannot be told apart by the set.
inline constexpr double kInseparableCorrelation = 0.9;

struct TermEstimate {
    double value = 0.0;
    // The larger of the two below; infinite when the set cannot tell the term at all.
    double standardError = 0.0;
    // Identified: its error lies below its limit, or its value (or its group's) three errors
    // from zero. Not identified: the value and error of the full model all the same.
    bool identified = false;
    double leastSquaresError = 0.0;  // the residuals' spread through (X'X)^-1
    double jackknifeError = 0.0;     // from the fits that each leave one tile out
};
using TermEstimates = std::array<TermEstimate, kTermCount>;

// How many standard errors from nothing a term must lie to count as found: three, the normal
// tail of 0.27 %; where the jackknife over `tiles` tiles sets the error, that error is itself
// estimated from so few tiles, and the same tail lies further out (Student's t with one
// degree of freedom fewer than tiles: 4.09 for ten tiles).
double significantErrors(const TermEstimate& e, std::size_t tiles);

// Terms whose estimates correlate beyond kInseparableCorrelation (directly or through another
// member): the set tells only what they do together.
struct TermGroup {
    std::vector<Term> terms;
    bool significant = false;  // jointly three standard errors (chi-square) from nothing
};

struct TermFit {
    TermEstimates terms;
    double residualSd = 0.0;  // % reflectance, the full model's
    std::size_t points = 0;
    std::size_t tiles = 0;
    // The correlations of the full model's estimates, row-major by Term; NaN for a term it
    // could not estimate.
    std::array<double, kTermCount * kTermCount> correlation{};
    std::vector<TermGroup> inseparable;
};

// The regressors of one wavelength (index 0..30) of a reference reading alone, in the order of
// Term: what a prediction from the reference takes (the fit's slope and curvature differ from
// these by the noise and by half the difference itself).
std::array<double, kTermCount> termRow(const AngleSpectrum& reference, int j);
// The difference T - R the identified terms predict for a reference reading (31 values), the
// shift with its second-order part b4^2/2 R'' (which the bandwidth reported leaves out).
AngleSpectrum modelDifference(const TermEstimates& terms, const AngleSpectrum& reference);

// Fitted over every tile at `angle`, leaving out tile `skip` when given. Nothing without at
// least one tile of 31 readings.
std::optional<TermFit> fitTerms(const std::vector<TileSpectra>& tiles, int angle,
                                std::optional<std::size_t> skip = std::nullopt);
// The terms the set cannot see: not identified (alone or in a group), and either its readings
// through its tiles' spectra cannot show them (least-squares error infinite or at its limit)
// or one tile alone carries them (jackknife error infinite).
std::vector<Term> unseenTerms(const TermFit& fit);
// The terms the least squares would resolve but the tiles, scattering as wholes, do not: not
// identified, the jackknife's error at the term's limit.
std::vector<Term> unresolvedTerms(const TermFit& fit);
// The group `term` belongs to in `fit`, if any.
const TermGroup* groupOf(const TermFit& fit, Term term);
// True when, without the tiles marked in `leaveOut`, the full model's least-squares error of
// `term` reaches its limit (or the term cannot be estimated at all): its evidence comes from
// those tiles alone.
bool restsOn(const std::vector<TileSpectra>& tiles, int angle, const std::vector<bool>& leaveOut,
             const TermFit& fit, Term term);

// The shift the warm tiles (marked in `warm`) show beside the one the other tiles show, fitted
// together with every term of the full model; `differ` when they differ by more than chance.
// An instrument's wavelength error moves every colour alike; a warm tile's edge moves with its
// own temperature. NaN where the set cannot tell.
struct WarmShift {
    double warm = std::numeric_limits<double>::quiet_NaN();
    double others = std::numeric_limits<double>::quiet_NaN();
    bool differ = false;
};
WarmShift warmShift(const std::vector<TileSpectra>& tiles, int angle, const std::vector<bool>& warm,
                    const TermFit& fit);

// Ordered from the least grave; a set's decision is the gravest of its angles'. Reading a tile
// (or the set) again costs less than service and claims less: a cause for service found at one
// angle outweighs it.
enum class Recommendation { NoCorrectionNeeded, WriteFactors, FactorsPartly, Remeasure, Service };
std::string_view recommendationKey(Recommendation r);  // "write-factors", ...

constexpr std::array<double, kTermCount> notJudged() {
    std::array<double, kTermCount> out{};
    for (double& v : out) v = std::numeric_limits<double>::quiet_NaN();
    return out;
}

// The colours a set spans: L* and C* from low to high, and the hue arc of the tiles of at least
// kChromaticChroma from `hueFrom` counter-clockwise to `hueTo` (degrees; NaN without one).
inline constexpr double kChromaticChroma = 5.0;
struct ColourSpan {
    double lightnessLow = std::numeric_limits<double>::quiet_NaN();
    double lightnessHigh = std::numeric_limits<double>::quiet_NaN();
    double chromaLow = std::numeric_limits<double>::quiet_NaN();
    double chromaHigh = std::numeric_limits<double>::quiet_NaN();
    double hueFrom = std::numeric_limits<double>::quiet_NaN();
    double hueTo = std::numeric_limits<double>::quiet_NaN();
};
// Of the reference's readings at `angle` (D65, 10°); NaN throughout without a tile.
ColourSpan colourSpan(const std::vector<TileSpectra>& tiles, int angle);

struct AngleDiagnosis {
    int angleDegrees = 0;
    TermFit fit;
    // The colour differences over the set: as read, after the fitted factors (rounded as an
    // entry keeps them), after every identified term removed.
    double meanBefore = 0.0;
    double largestBefore = 0.0;
    double meanAfterFactors = 0.0;
    double largestAfterFactors = 0.0;
    double meanAfterModel = 0.0;
    double largestAfterModel = 0.0;
    // Each tile predicted from the others alone: corrected by the factors fitted on them, or
    // with the terms the whole set identifies refitted without it; the set judged so. NaN
    // with fewer than two tiles.
    double leaveOneOutFactors = 0.0;
    double leaveOneOutFactorsLargest = 0.0;
    double leaveOneOutFactorsRms = 0.0;
    double leaveOneOutModel = 0.0;
    // Each tile's colour as the reference reads it (L*, a*, b*) and the instrument's difference
    // from it after the factors fitted on the other tiles: the held-out figure per coordinate.
    std::vector<std::array<double, 3>> tileColour, leaveOneOutFactorsDifference;
    // The colours the set spans as the reference reads them at this angle.
    ColourSpan span;
    // The share of the mean colour difference that removing each identified term alone takes
    // away (0 for a term not identified), and each inseparable group together.
    std::array<double, kTermCount> share{};
    std::vector<double> groupShare;  // by fit.inseparable
    // The evidence: how many tiles, how many of them chromatic with a steep edge (a slope of
    // the reference's reading of at least kSteepSlope), whether a shift found (three errors
    // from nothing) rests on warm tiles alone: red, orange and yellow, whose edges move with
    // their temperature (the least-squares error of the shift without them reaches its limit).
    std::size_t tileCount = 0;
    std::size_t steepTiles = 0;
    bool shiftOnWarmTilesOnly = false;
    // A shift found whose warm tiles read it otherwise than the other colours: the tiles, not
    // the instrument, have moved. A tile's temperature is the same at every angle: the first
    // angle where they were seen to move (degrees; 0: none), on every angle.
    WarmShift warmTiles;
    int warmTilesMovedAt = 0;
    // Each tile predicted from the others by the model without a possible cause for service:
    // by term, and by group of fit.inseparable; NaN where not judged (no such cause).
    std::array<double, kTermCount> leaveOneOutWithout = notJudged();
    std::vector<double> leaveOneOutWithoutGroup;
    // Tiles that carry the failure alone (by index into the set).
    std::vector<std::size_t> suspectTiles;
    Recommendation recommendation = Recommendation::NoCorrectionNeeded;
    std::string reason;  // in English, naming the angle
};

// A steep spectral edge: the reference's reading rises or falls by at least 0.5 % per nm
// somewhere (10 % over 20 nm): there a shift of 0.1 nm moves the reading by 0.05 %, half a
// reading's noise, at several wavelengths at once. Red, orange, yellow, violet and green have
// one; blue and the greys do not.
inline constexpr double kSteepSlope = 0.5;
// Factors are written on the evidence of at least this many tiles, this many with a steep edge.
inline constexpr std::size_t kMinTilesForFactors = 3;
inline constexpr std::size_t kMinSteepTilesForFactors = 2;

struct Diagnosis {
    std::array<AngleDiagnosis, kAngleCount> angles;
    Recommendation overall = Recommendation::NoCorrectionNeeded;  // the gravest angle's
};

// A tile that cannot be diagnosed: the first reading of it, on either instrument, outside
// -1 ... 200 % or not a finite number, or whose ratio the inter-instrument check refuses.
struct ImplausibleTile {
    enum class Kind { NotFinite, OutOfRange, Ratio };
    std::size_t tile = 0;
    Kind kind = Kind::OutOfRange;
    int angle = 0;
    int wavelengthNm = kStartNm;
    bool underCorrection = false;  // the instrument under correction's reading is at fault
    double target = 0.0;           // both readings there, % reflectance
    double sample = 0.0;
};
inline constexpr double kLowestPlausibleReading = -1.0;
inline constexpr double kHighestPlausibleReading = 200.0;
std::vector<ImplausibleTile> implausibleTiles(const std::vector<TileSpectra>& tiles);

// "tile 3 'yellow'" (or "tile 3" when the set's names are not given).
std::string tileLabel(std::size_t tile, const std::vector<std::string>& names);
// Why nothing is diagnosed, naming each tile, in English.
std::string describeRefusal(const std::vector<ImplausibleTile>& refused,
                            const std::vector<std::string>& names);

struct DiagnosisResult {
    std::optional<Diagnosis> diagnosis;  // nothing when refused or a reading is incomplete
    std::vector<ImplausibleTile> refused;
    std::string refusal;  // why, naming the tiles; empty unless refused
};

// Judged against the set's limits with the engine's colour-difference formula; `names` name
// the tiles in the reasons. Refused, naming the tiles, when a reading is implausible; nothing
// without tiles or with a reading of fewer than 31 reflectances.
DiagnosisResult diagnose(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                         const SetLimits& limits, const std::vector<std::string>& names = {});

// A possible cause for service as the fit shows it: a term factors cannot remove, at or above
// its limit, three errors from nothing, explaining at least a quarter of the mean colour
// difference; or a group of such terms the set cannot tell apart, jointly significant, one of
// them at its limit. It names the cause only if each tile is then predicted better from the
// others with it than without it, and than by the factors of the others.
struct CauseCandidate {
    std::optional<Term> term;
    std::optional<std::size_t> group;  // into fit.inseparable
    double share = 0.0;
};
std::vector<CauseCandidate> inSampleCauses(const AngleDiagnosis& d);

// The decision of one angle from its figures and evidence: recommendation and reason.
void decide(AngleDiagnosis& d, const SetLimits& limits, const std::vector<std::string>& names);

}  // namespace qv
