#pragma once

// The evaluated-spectrum layout every check keeps: the 31 reflectances (elements 0..30), then
// L*, a*, b* as elements 31..33 and the total colour difference as element 34, each evaluation
// narrowed to single precision as it is stored.

#include <array>
#include <cstddef>
#include <optional>

#include "core/colour/spectrum.h"

namespace qv {

inline constexpr std::size_t kCoordinateElement = 31;
inline constexpr std::size_t kDifferenceElement = 34;

// Keeps the reflectances only, so that no element carries a stale evaluation.
void dropEvaluation(AngleSpectrum& spectrum);
// Drops any earlier evaluation and appends the coordinates.
void appendCoordinates(AngleSpectrum& spectrum, const std::array<double, 3>& lab);
// Sets the total colour difference after the coordinates; false (nothing changed) when the
// coordinates are not there.
bool setDifference(AngleSpectrum& spectrum, double deltaE);
// The stored coordinates; nothing when the spectrum has not been evaluated.
std::optional<std::array<double, 3>> storedCoordinates(const AngleSpectrum& spectrum);
// The stored total colour difference; nothing when there is none.
std::optional<double> storedDifference(const AngleSpectrum& spectrum);

}  // namespace qv
