#pragma once

// How far from its specimen an entry holds. Factors computed on one specimen S remove the
// difference between the instruments exactly at S, but an offset, a wavelength error, a wider
// bandpass or a bent photometric scale are not gains: what remains grows with the distance of
// a colour from S. From the pair's diagnosis (the physical terms fitted over a tile set) the
// residual is predicted for colours near S: the instrument under correction reads a colour C
// as C + modelDifference(terms, C), the entry multiplies that by its factors, and the residual
// is the colour difference between the result and C as the reference reads it.
//
// Colours near S are made from S by smooth changes a specimen can have: lighter or darker,
// mixed toward white, grey or black, a broad absorption or reflection band added at one of
// seven wavelengths. Each is taken as far as a requested CIEDE2000 distance from S. The
// validity radius of an angle is the largest distance up to which the worst residual over
// these colours stays below the threshold.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/colour/delta_e.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/set_fit.h"

namespace qv {

using AngleTerms = std::array<TermEstimates, kAngleCount>;

// The terms a record keeps: those identified with a finite value; a key this program does not
// know is passed over.
TermEstimates termsFromRecord(const AngleDiagnosisRecord& record);
AngleTerms termsFromRecord(const DiagnosisRecord& record);

struct ValidityBasis {
    AngleTerms terms;
    ThreeAngles specimen;  // the reference's reading of S, 31 reflectances (%) per angle
    AngleFactors factors;  // as the entry holds them: two decimals
    DeltaEFormula formula = DeltaEFormula::Cie76;  // the threshold's
    double threshold = 0.0;
    DeltaEParameters parameters;
};

// The factors rounded as an entry keeps them.
AngleFactors writtenFactors(const AngleFactors& factors);

// The residual (in the basis's formula) the corrected instrument leaves on `colour` (31
// reflectances as the reference reads them) at `angle`; NaN when it cannot be told.
double predictedResidual(const ValidityBasis& basis, int angle, const AngleSpectrum& colour);

// The ways a colour may differ from the specimen.
inline constexpr std::size_t kNearDirections = 19;
std::string directionName(std::size_t direction);  // "darker", "absorption at 500 nm", ...

// The colour `direction` leads to from `specimen` (31 reflectances) at `distance` CIEDE2000,
// its reflectances within 0 and 100 % (or the specimen's highest, when above); nothing when the
// direction does not reach so far or the specimen is not a spectrum.
std::optional<AngleSpectrum> colourAt(const AngleSpectrum& specimen, std::size_t direction,
                                      double distance);

inline constexpr double kLeastRadius = 0.25;
inline constexpr double kLargestRadius = 20.0;
// The distances the table holds, CIEDE2000; 2, 3.5 and 7 among them.
const std::vector<double>& validityDistances();

struct ValidityRow {
    double distance = 0.0;
    double worst = 0.0;  // NaN when no colour could be told
    double mean = 0.0;
    std::size_t colours = 0;  // the directions that reach this distance
};

enum class RadiusBound { Within, BelowLeast, BeyondLargest };

struct AngleValidity {
    double atSpecimen = 0.0;  // the residual on S itself
    std::vector<ValidityRow> rows;
    double radius = 0.0;  // CIEDE2000; the bound itself when beyond or below it
    RadiusBound bound = RadiusBound::Within;
};
using EntryValidity = std::array<AngleValidity, kAngleCount>;

// Nothing when the specimen lacks a reflectance or a factor is not a number.
std::optional<EntryValidity> entryValidity(const ValidityBasis& basis);

// The row of the table at one of its distances.
std::optional<ValidityRow> rowAt(const AngleValidity& validity, double distance);

// "2.37", "beyond 20.00", "below 0.25", with the user's separator.
std::string radiusText(const AngleValidity& validity, const NumberFormat& format);
// "Within 2.37 dE00 of the specimen the predicted residual stays below the inter-instrument
// threshold 0.50 dE00."; the bounds said as such.
std::string validitySentence(const AngleValidity& validity, double threshold,
                             std::string_view formulaLabel, const NumberFormat& format);

}  // namespace qv
