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
// these colours stays below the threshold. It says nothing of other colours at that distance.
//
// A term the set could not identify is not left out, which would read it as nothing: it enters
// anywhere within the range the set could not exclude, and the worst counts. Without a finite
// range the radius is not known; so it is where the entry's verification measured on S itself
// otherwise than predicted there, beyond the reading noise.

#include <array>
#include <cstddef>
#include <limits>
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

// A term as the prediction takes it: identified, at its value (low == high); not identified,
// anywhere the set could not exclude (low and high infinite when it could not bound the term).
struct TermRange {
    double low = 0.0;
    double high = 0.0;
};
using TermRanges = std::array<TermRange, kTermCount>;
using AngleTerms = std::array<TermRanges, kAngleCount>;

// How many standard errors either side of its value a term the set did not identify may lie:
// the tail the diagnosis judged it by. The record keeps neither which error set it nor the
// jackknife's, so the wider Student tail over `tiles` tiles is taken (3 with less than two).
double unexcludedErrors(std::size_t tiles);

// The terms a record keeps, of a set of `tiles` tiles: identified ones at their value, the
// others within value +- unexcludedErrors standard errors; a term the record lacks, or keeps
// without a finite value and error, is unbounded. A key this program does not know is passed
// over.
TermRanges termsFromRecord(const AngleDiagnosisRecord& record, std::size_t tiles);
AngleTerms termsFromRecord(const DiagnosisRecord& record, std::size_t tiles);
bool bounded(const TermRanges& terms);
// The terms left unbounded, in words ("wavelength shift").
std::vector<std::string> unboundedTerms(const TermRanges& terms);

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
// reflectances as the reference reads them) at `angle`: the worst over every term the set did
// not identify at either end of its range. The factors were computed on the specimen's own
// reading, which such a term cannot change after the fact: only how the difference changes
// from the specimen to `colour` moves with it, and on the specimen every end predicts what the
// values do. NaN when it cannot be told (an unbounded term among them).
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

enum class RadiusBound { Within, BelowLeast, BeyondLargest, NotKnown };
// Why a radius is not known: a term the set could not bound, no verification of the entry on
// record, or one whose residual at the specimen the prediction there does not match.
enum class Unknown { None, UnboundedTerms, NotVerified, VerificationDisagrees };

struct AngleValidity {
    double atSpecimen = 0.0;  // the residual on S itself
    std::vector<ValidityRow> rows;
    double radius = 0.0;  // CIEDE2000; the bound itself when beyond or below it
    RadiusBound bound = RadiusBound::Within;
    Unknown unknown = Unknown::None;
    std::vector<std::string> unbounded;  // the terms in words, when they are why
    // What the verification measured on S and how far from the prediction reading noise may
    // take it; NaN without one.
    double measured = std::numeric_limits<double>::quiet_NaN();
    double allowance = std::numeric_limits<double>::quiet_NaN();
};
using EntryValidity = std::array<AngleValidity, kAngleCount>;

// Nothing when the specimen lacks a reflectance or a factor is not a number. An angle with a term
// the set could not bound has no rows and no radius.
std::optional<EntryValidity> entryValidity(const ValidityBasis& basis);

// What the verification of the entry measured on the specimen, per angle in the threshold's
// formula, and how far two readings of one specimen may differ on this instrument.
struct SpecimenCheck {
    std::array<double, kAngleCount> measured{};
    std::array<double, kAngleCount> allowance{};
};
// The radius of an angle holds only where the prediction holds on the specimen itself: without
// a verification, or where the two differ by more than the allowance, it is not known.
void confirmAtSpecimen(EntryValidity& validity, const std::optional<SpecimenCheck>& check);

// The row of the table at one of its distances.
std::optional<ValidityRow> rowAt(const AngleValidity& validity, double distance);

// What the prediction tried and what it leaves out, one sentence.
std::string triedText();
// "2.37", "beyond 20.00", "below 0.25", "not known", with the user's separator.
std::string radiusText(const AngleValidity& validity, const NumberFormat& format);
// "Within 2.37 dE00 of the specimen, for the colours tried, the predicted residual stays below
// the inter-instrument threshold 0.50 dE00."; the bounds said as such; not known with why.
std::string validitySentence(const AngleValidity& validity, double threshold,
                             std::string_view formulaLabel, const NumberFormat& format);

}  // namespace qv
