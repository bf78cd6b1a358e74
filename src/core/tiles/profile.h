#pragma once

// A profile standardises one instrument to the lab's master in software: fitted over a tile set
// both have read, it maps any later reading of the instrument to what the master would read.
// Per angle, two stages:
//
//   1. the diagnosis' physical terms (offset, gain, gain tilt, linearity, shift, scale error,
//      bandwidth), the forward model instrument = master + modelDifference(terms, master),
//      inverted on each reading; a term the set cannot see is named and left at zero;
//   2. what the terms leave, per wavelength: master = a + b * (reading with the terms
//      removed), pulled toward a = 0, b = 1 by a ridge whose strength the tiles choose, each
//      left out in turn, so that a few tiles cannot bend 62 numbers to their own noise.
//
// The first stage carries what physics predicts for every colour alike; the second what it
// does not (a bandpass of another shape, a rippling gain), as far as the tiles show it. The
// profile states how well it predicts a colour it was not fitted on: each tile left out, both
// stages fitted again on the others, the tile's colour difference to the master (CIE 1976,
// D65, 10°).
//
// What the second stage cannot take: an error that jumps from one wavelength to the next. The
// first stage reads the jumps as a bandwidth, what it leaves then depends on each colour's
// curvature rather than its reading, and the ridge, finding nothing that holds for the tiles
// left out, keeps the stage near the identity; the stated residual says so.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/colour/spectrum.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/set_agreement.h"

namespace qv {

// Fewer tiles leave the second stage's choice of ridge resting on three or four colours.
inline constexpr std::size_t kMinProfileTiles = 5;

// The ridge strengths tried, weakest first, per unit of the stage's two regressors (1 and the
// reading / 100 %): against a set of n tiles a strength n weighs the identity as much as the
// tiles. The identity itself (the second stage off, an infinite strength) is tried first.
inline constexpr std::array<double, 10> kRidgeStrengths = {1e-3, 1e-2, 0.03, 0.1,  0.3,
                                                           1.0,  3.0,  10.0, 30.0, 100.0};

struct HeldOutResidual {
    double mean = 0.0;          // dE*ab
    double percentile95 = 0.0;  // dE*ab, interpolated between the tiles' ordered differences
    std::size_t tiles = 0;
};

struct AngleProfile {
    int angleDegrees = 0;
    // Stage 1: the terms applied are those marked identified; the others are zero.
    TermEstimates terms{};
    std::vector<Term> unseen;  // what the set cannot see, left at zero
    // Stage 2, per wavelength 400..700 nm: master = offset + slope * (terms removed).
    std::array<double, kSpectrumPoints> offset{};  // % reflectance
    std::array<double, kSpectrumPoints> slope{};
    double ridge = 0.0;  // one of kRidgeStrengths, or infinite: stage 2 off
    HeldOutResidual leaveOneOut;
};

struct Profile {
    std::array<AngleProfile, kAngleCount> angles;
};

struct ProfileResult {
    std::optional<Profile> profile;
    std::string refusal;  // why not, in English; empty with a profile
};

// From tiles whose target is the master's reading and whose sample the instrument's (31
// reflectances, %, per angle). Refused with fewer than kMinProfileTiles tiles, a reading of
// fewer than 31 reflectances or one that is not a finite number.
ProfileResult fitProfile(const std::vector<TileSpectra>& tiles);

// The instrument's reading at the profile's angle (or at each angle) as the master would read
// it: stage 1 inverted by fixed-point passes, then stage 2. The reading is left as it is.
// Nothing for a reading of fewer than 31 reflectances; values beyond the 31st are ignored.
std::optional<AngleSpectrum> standardise(const AngleProfile& profile, const AngleSpectrum& reading);
std::optional<ThreeAngles> standardise(const Profile& profile, const ThreeAngles& reading);

// Stage 1 alone: the reading the forward model maps onto `reading`, x = reading -
// modelDifference(terms, x), by at most kInversionPasses passes from x = reading, stopping once
// no value moves by more than kInversionTolerance; empty for fewer than 31 reflectances. Each pass
// shrinks the error by about what the terms change per % of reading: a gain or a shift of a few
// tenths of a nm by a tenth or more, a bandwidth of 10 nm^2 only by half; twelve passes bring
// even that within 3e-6 % of a 1 % difference, the usual terms to the tolerance.
inline constexpr int kInversionPasses = 12;
inline constexpr double kInversionTolerance = 1e-9;
AngleSpectrum invertTerms(const TermEstimates& terms, const AngleSpectrum& reading);

}  // namespace qv
