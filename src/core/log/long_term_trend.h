#pragma once

// The long-term repeatability drawn over time: each chosen record's colour at one angle taken
// against the mean colour of them all, so that a drift shows as a slope and a bad day as a
// point apart.

#include <array>
#include <vector>

#include "core/app/logbook.h"
#include "core/colour/delta_e.h"

namespace qv {

// Per angle, for each record in the order given, its colour difference (in `formula`) from
// the mean of the records' colours at that angle; NaN for a record without a colour there, and
// every value NaN at an angle with fewer than two colours.
std::array<std::vector<double>, kAngleCount> differencesFromMean(
    const std::vector<CheckRecord>& chosen, DeltaEFormula formula,
    const DeltaEParameters& parameters = {});

}  // namespace qv
