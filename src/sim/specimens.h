#pragma once

// The specimens the simulated instrument can have under its aperture: true reflectances (%)
// at 25°, 45° and 75°, shaped like real panels so colour and plausibility checks see
// believable numbers.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour/spectrum.h"

namespace qv::sim {

using Spectrum31 = std::array<double, kSpectrumPoints>;
using AngleSpectra = std::array<Spectrum31, kAngleCount>;

// How an instrument's wavelength axis and bandpass differ from an ideal one at one angle: it
// reports at nominal wavelength L what lies at L - shiftNm - scaleError * (L - 550 nm), seen
// through a triangle reaching leftNm below and rightNm above it (none when both are 0), widened
// by a Gaussian of variance 2 * bandwidthNm2.
struct WavelengthErrors {
    double shiftNm = 0.0;
    double scaleError = 0.0;    // nm per nm
    double bandwidthNm2 = 0.0;  // 0 or more
    double leftNm = 0.0;        // 0 or more
    double rightNm = 0.0;       // 0 or more
};
using AngleWavelengthErrors = std::array<WavelengthErrors, kAngleCount>;

// The reflectances of a named specimen, angle by angle; nothing when the name is unknown.
// With `shiftNm`, as an instrument whose wavelength scale is off by that much reads them.
std::optional<AngleSpectra> specimenSpectra(std::string_view name, double shiftNm = 0.0);
// As an instrument with these wavelength errors reads them, with the edges of a chromatic
// specimen moved `warmingNm` towards the red (in full on red and orange, in part on the
// other colours, not at all on the neutrals), as a warm room moves them.
std::optional<AngleSpectra> specimenSpectra(std::string_view name,
                                            const AngleWavelengthErrors& errors,
                                            double warmingNm = 0.0);

// Any spectrum, given at the 31 wavelengths, as an instrument with these wavelength errors
// reads it: between the wavelengths the spectrum is the natural cubic spline through them.
// Without errors each reading is the value given.
AngleSpectra spectraSeen(const AngleSpectra& truth, const AngleWavelengthErrors& errors);

// Every specimen name, for help texts and error messages.
const std::vector<std::string>& specimenNames();

}  // namespace qv::sim
