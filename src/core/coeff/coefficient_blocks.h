#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/colour/spectrum.h"

namespace qv {

// The instrument corrects at 16 wavelengths: 400, 420, ..., 700 nm (every second value).
inline constexpr int kBlockWavelengths = 16;
inline constexpr double kMinFactor = 0.5;
inline constexpr double kMaxFactor = 1.5;

// Per angle: the 16 sample reflectances, then the 16 factors target / sample.
using CoefficientBlock = std::vector<double>;
using CoefficientBlocks = std::array<CoefficientBlock, kAngleCount>;

// The first factor outside 0.5 to 1.5 (both ends allowed), or not a number.
struct FactorOutOfRange {
    int angle = 0;
    int wavelengthNm = kStartNm;
    double factor = 0.0;
};

// "45°, 460 nm: factor 1.523"
std::string describe(const FactorOutOfRange& f);

struct BlocksResult {
    CoefficientBlocks blocks;
    std::optional<FactorOutOfRange> outOfRange;  // set: nothing may be written
    bool ok() const { return !outOfRange; }
};

// Builds the blocks angle by angle from the 31-value spectra (later elements are ignored). A
// spectrum shorter than 31 values fails at its first missing wavelength.
BlocksResult buildCoefficientBlocks(const ThreeAngles& target, const ThreeAngles& sample);

// Wavelengths whose factor rests on a sample reflectance below `percent` (dark specimens make
// such factors mostly noise), as angle and nm.
struct DarkWavelength {
    int angle = 0;
    int wavelengthNm = kStartNm;
    double reflectance = 0.0;
};
std::vector<DarkWavelength> darkWavelengths(const ThreeAngles& sample, double percent = 5.0);

}  // namespace qv
