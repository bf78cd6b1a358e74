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
//         + b4 * R'               shift, nm: the instrument reads at nominal wavelength what
//                                 lies b4 nm longer (its scale reads short)
//         + b5 * x * R'           scale error, nm per nm
//         + b6 * R''              bandwidth, nm^2: half the difference of the bandpasses'
//                                 variances
//
// R' and R'' are central differences of the 10 nm readings (one-sided at 400 and 700 nm); the
// fit takes them from the mean of both instruments' readings, whose noise does not correlate
// with that of T - R, and where a shift needs no second-order term. The slope takes five points
// where it can: the three-point difference misreads a steep edge's slope by several per cent,
// which biased a shift beyond its standard error in one trial in six; so does the curvature,
// whose three-point difference reads a steep edge's about 6 % short, a bandwidth 6 % wide. A
// term counts only when its standard error lies below its limit or its value lies three
// standard errors from zero; a term that does neither is dropped and the fit repeated, so that
// a set without steep edges reports a shift as not identified rather than as 0.0 nm.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour/evaluate_hue_control.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/tile_set.h"

namespace qv {

enum class Term { Offset, Gain, GainTilt, Linearity, Shift, ScaleError, Bandwidth };
inline constexpr std::size_t kTermCount = 7;

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
};
const TermInfo& termInfo(Term term);

// The error of a difference of two readings is never taken below what their resolution
// (0.01 %, rounding) and a repeatability of 0.02 % per reading allow, whatever the residuals
// say.
inline constexpr double kReadingResolutionPercent = 0.01;
inline constexpr double kRepeatabilityFloorPercent = 0.02;
double differenceErrorFloor();

struct TermEstimate {
    double value = 0.0;
    double standardError = 0.0;  // infinite when the set cannot tell the term at all
    bool identified = false;     // not identified: value and error of the fit that dropped it
};
using TermEstimates = std::array<TermEstimate, kTermCount>;

struct TermFit {
    TermEstimates terms;
    double residualSd = 0.0;  // % reflectance, the final fit's
    std::size_t points = 0;
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

enum class Recommendation { NoCorrectionNeeded, WriteFactors, FactorsPartly, Service };
std::string_view recommendationKey(Recommendation r);  // "write-factors", ...

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
    // The mean colour difference of each tile predicted from the others alone (the model with
    // the terms the whole set identifies, refitted without the tile).
    double leaveOneOutFactors = 0.0;
    double leaveOneOutModel = 0.0;
    // The share of the mean colour difference that removing each identified term alone takes
    // away (0 for a term not identified).
    std::array<double, kTermCount> share{};
    Recommendation recommendation = Recommendation::NoCorrectionNeeded;
    std::string reason;  // in English, naming the angle
};

struct Diagnosis {
    std::array<AngleDiagnosis, kAngleCount> angles;
    Recommendation overall = Recommendation::NoCorrectionNeeded;  // the gravest angle's
};

// Judged against the set's limits with the engine's colour-difference formula. Nothing
// without tiles or with a reading of fewer than 31 reflectances.
std::optional<Diagnosis> diagnose(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                                  const SetLimits& limits);

}  // namespace qv
