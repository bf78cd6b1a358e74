#pragma once

// The two thresholds and the colour-difference formula they are measured in, as the profile
// keeps them, and the one rule every check judges by.

#include <span>

#include "core/colour/delta_e.h"

namespace qv {

class ProfileStore;

inline constexpr double kDefaultRepeatThreshold = 0.2;
inline constexpr double kDefaultInstThreshold = 0.5;
inline constexpr double kMinThreshold = 0.01;
inline constexpr double kMaxThreshold = 5.0;

// The threshold's number as it is kept in the profile; "---" gives the built-in default.
double thresholdFromProfile(ProfileStore& profile, bool repeatability);
DeltaEFormula formulaFromProfile(ProfileStore& profile);

// A check passes when its decisive colour difference lies strictly below the threshold; a
// difference that could not be computed (NaN) never passes.
bool passesThreshold(double difference, double threshold);

// The decisive difference of a set: the largest, or NaN when any of them is NaN.
double decisiveDifference(std::span<const double> differences);

}  // namespace qv
