#pragma once

// The spread of repeated readings of one specimen at one angle: how far each lies from their
// mean colour, and the standard deviation of each coordinate. Readings repeated without
// touching the specimen give the instrument's noise; readings with the specimen lifted and
// placed again between them add the handling.

#include <array>
#include <span>

#include "core/colour/delta_e.h"

namespace qv {

using LabTriple = std::array<double, 3>;  // L*, a*, b*

struct AngleSpread {
    int readings = 0;
    LabTriple mean{};
    LabTriple sd{};        // sample standard deviations (n - 1) of L*, a*, b*
    double mcdm = 0.0;     // mean colour difference from the mean, in the formula given
    double largest = 0.0;  // the largest of those differences
    double rms = 0.0;      // their root mean square
};

// NaN everywhere with fewer than two readings. Each difference takes the mean as its
// reference (the asymmetric formulae weight by its chroma and hue).
AngleSpread spreadOf(std::span<const LabTriple> readings, DeltaEFormula formula,
                     const DeltaEParameters& parameters = {});

// A mean colour difference turned into the standard deviation along any one direction of
// colour space: for errors spread alike in L*, a* and b* the mean distance from the truth is
// sqrt(8 / pi) times that standard deviation. A mean taken from the readings' own mean (n
// readings) lies short by sqrt((n - 1) / n); `readings` 0 means the truth was known.
double directionalSd(double meanDifference, int readings = 0);
// The same from the differences' root mean square, whatever their distribution: along a
// direction drawn at random the square of a difference counts a third.
double directionalSdFromRms(double rmsDifference, int readings = 0);

}  // namespace qv
