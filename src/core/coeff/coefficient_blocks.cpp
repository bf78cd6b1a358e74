#include "core/coeff/coefficient_blocks.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

namespace qv {

namespace {
constexpr int kBlockStep = 2;  // every second of the 31 values

double at(const AngleSpectrum& s, int index) {
    const auto i = static_cast<std::size_t>(index);
    return i < s.size() ? s[i] : std::numeric_limits<double>::quiet_NaN();
}
}  // namespace

std::string describe(const FactorOutOfRange& f) {
    char text[80];
    std::snprintf(text, sizeof text, "%d°, %d nm: factor %.3f", kAngleDegrees[f.angle],
                  f.wavelengthNm, f.factor);
    return text;
}

BlocksResult buildCoefficientBlocks(const ThreeAngles& target, const ThreeAngles& sample) {
    BlocksResult result;
    for (int a = 0; a < kAngleCount; ++a) {
        CoefficientBlock& block = result.blocks[a];
        for (int k = 0; k < kSpectrumPoints; k += kBlockStep) block.push_back(at(sample[a], k));
        for (int k = 0; k < kSpectrumPoints; k += kBlockStep) {
            const double f = at(target[a], k) / at(sample[a], k);
            // Written as the accepting test, so that NaN and infinity fail.
            if (!(f >= kMinFactor && f <= kMaxFactor)) {
                result.outOfRange = FactorOutOfRange{a, kStartNm + kStepNm * k, f};
                return result;
            }
            block.push_back(f);
        }
    }
    return result;
}

std::vector<DarkWavelength> darkWavelengths(const ThreeAngles& sample, double percent) {
    std::vector<DarkWavelength> dark;
    for (int a = 0; a < kAngleCount; ++a)
        for (int k = 0; k < kSpectrumPoints; k += kBlockStep) {
            const double r = at(sample[a], k);
            if (r < percent) dark.push_back({a, kStartNm + kStepNm * k, r});
        }
    return dark;
}

}  // namespace qv
