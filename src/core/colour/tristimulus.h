#pragma once

#include <array>
#include <span>

namespace qv {

// Number of reflectances the engine takes: 400, 410, ..., 700 nm.
inline constexpr int kColourPoints = 31;
inline constexpr int kColourStartNm = 400;
inline constexpr int kColourStepNm = 10;

struct Xyz {
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
};

struct Lab {
    double L = 0.0;
    double a = 0.0;
    double b = 0.0;
};

// Weights for reflectances in percent at 400..700 nm: the published D65 / 10-degree factors
// with everything outside the measured range folded into the end wavelengths (the reflectance
// is taken as constant beyond them) and scaled so that 100 % everywhere gives Y = 100.
struct TristimulusWeights {
    std::array<double, kColourPoints> x;
    std::array<double, kColourPoints> y;
    std::array<double, kColourPoints> z;
};

const TristimulusWeights& d65TenDegreeWeights();

// The white of those weights: the XYZ of 100 % at every wavelength (Y = 100 up to rounding).
const Xyz& d65TenDegreeWhite();

using SpectrumView = std::span<const double, kColourPoints>;

// Reflectances in percent to XYZ for D65 and the 10-degree observer.
Xyz spectrumToXyz(SpectrumView reflectancePercent);

// CIELAB with the exact CIE constants (216/24389, 24389/27), linear branch near black.
Lab xyzToLab(const Xyz& xyz, const Xyz& white);

// Reflectances in percent to CIELAB (D65, 10-degree observer).
Lab spectrumToLab(SpectrumView reflectancePercent);

}  // namespace qv
