#include "core/colour/tristimulus.h"

#include <cmath>

#include "core/colour/tristimulus_table.h"

namespace qv {

namespace {

constexpr int kEndNm = kColourStartNm + (kColourPoints - 1) * kColourStepNm;

// Index of the measured wavelength that a table row contributes to.
constexpr int foldedIndex(int nm) {
    if (nm <= kColourStartNm) return 0;
    if (nm >= kEndNm) return kColourPoints - 1;
    return (nm - kColourStartNm) / kColourStepNm;
}

constexpr TristimulusWeights foldAndNormalise() {
    TristimulusWeights w{};
    double sumY = 0.0;
    for (const auto& row : colour_data::kD65Ten10nm) {
        const int i = foldedIndex(row.nm);
        w.x[i] += row.wx;
        w.y[i] += row.wy;
        w.z[i] += row.wz;
        sumY += row.wy;
    }
    for (int i = 0; i < kColourPoints; ++i) {
        w.x[i] /= sumY;
        w.y[i] /= sumY;
        w.z[i] /= sumY;
    }
    return w;
}

constexpr bool coversEveryStep() {
    int next = kColourStartNm;
    for (const auto& row : colour_data::kD65Ten10nm) {
        if (row.nm >= kColourStartNm && row.nm <= kEndNm) {
            if (row.nm != next) return false;
            next += kColourStepNm;
        }
    }
    return next == kEndNm + kColourStepNm;
}
static_assert(coversEveryStep(), "the weighting table must hold every 10 nm step of 400..700");

// Evaluated by the compiler, so every build type holds bit-identical weights.
constexpr TristimulusWeights kWeights = foldAndNormalise();

constexpr Xyz weightedSums(SpectrumView r) {
    Xyz s;
    for (int i = 0; i < kColourPoints; ++i) {
        s.X += r[i] * kWeights.x[i];
        s.Y += r[i] * kWeights.y[i];
        s.Z += r[i] * kWeights.z[i];
    }
    return s;
}

constexpr Xyz whiteOfWeights() {
    std::array<double, kColourPoints> perfect{};
    perfect.fill(100.0);
    return weightedSums(perfect);
}

constinit const Xyz kWhite = whiteOfWeights();

constexpr double kEpsilon = 216.0 / 24389.0;
constexpr double kKappa = 24389.0 / 27.0;

double labF(double t) {
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

}  // namespace

const TristimulusWeights& d65TenDegreeWeights() {
    return kWeights;
}

const Xyz& d65TenDegreeWhite() {
    return kWhite;
}

Xyz spectrumToXyz(SpectrumView reflectancePercent) {
    return weightedSums(reflectancePercent);
}

Lab xyzToLab(const Xyz& xyz, const Xyz& white) {
    const double fx = labF(xyz.X / white.X);
    const double fy = labF(xyz.Y / white.Y);
    const double fz = labF(xyz.Z / white.Z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

Lab spectrumToLab(SpectrumView reflectancePercent) {
    return xyzToLab(weightedSums(reflectancePercent), kWhite);
}

}  // namespace qv
