#pragma once

#include <array>
#include <vector>

namespace qv {

// One angle's reflectances in percent: elements 0..30 are 400, 410, ..., 700 nm. Evaluated
// spectra carry L*, a*, b* as elements 31..33 and a total colour difference as element 34.
using AngleSpectrum = std::vector<double>;

inline constexpr int kSpectrumPoints = 31;
inline constexpr int kStartNm = 400;
inline constexpr int kEndNm = 700;
inline constexpr int kStepNm = 10;
inline constexpr int kAngleCount = 3;
// Angle index 0 = 25°, 1 = 45°, 2 = 75°.
inline constexpr std::array<int, kAngleCount> kAngleDegrees = {25, 45, 75};

using ThreeAngles = std::array<AngleSpectrum, kAngleCount>;

// A value narrowed to single precision, as evaluations are kept.
inline double asFloat(double v) {
    return static_cast<double>(static_cast<float>(v));
}

// One three-angle measurement with its fixed header.
struct SpectralMeasurement {
    int dataKind = 1;
    int pointCount = kSpectrumPoints;
    int angleCount = kAngleCount;
    int stepNm = kStepNm;
    int startNm = kStartNm;
    int endNm = kEndNm;
    std::vector<AngleSpectrum> spectra;
};

}  // namespace qv
