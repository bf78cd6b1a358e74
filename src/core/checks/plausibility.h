#pragma once

#include <optional>

#include "core/colour/spectrum.h"

namespace qv {

// Correction factors are target / sample. Outside this open band the two spectra are too far
// apart for a correction to mean anything (a soiled aperture, another specimen).
inline constexpr double kMinPlausibleRatio = 0.5;
inline constexpr double kMaxPlausibleRatio = 1.5;

// The first wavelength where a target/sample pair fails.
struct ImplausibleRatio {
    int angle = 0;  // 0 = 25°, 1 = 45°, 2 = 75°
    int index = 0;  // 0..30
    int wavelengthNm = kStartNm;
    double ratio = 0.0;
};

// Checks the 31 reflectance ratios angle by angle, shortest wavelength first, and returns the
// first one not strictly inside the band. A wavelength where both read 0 (0/0) does not fail:
// there is nothing to correct there. A spectrum shorter than 31 values fails at its first
// missing value with ratio NaN.
std::optional<ImplausibleRatio> firstImplausibleRatio(const ThreeAngles& target,
                                                      const ThreeAngles& sample);

}  // namespace qv
