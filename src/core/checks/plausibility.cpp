#include "core/checks/plausibility.h"

#include <cstddef>
#include <limits>

namespace qv {

std::optional<ImplausibleRatio> firstImplausibleRatio(const ThreeAngles& target,
                                                      const ThreeAngles& sample) {
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const auto at = static_cast<std::size_t>(j);
            const bool present = at < target[a].size() && at < sample[a].size();
            const double r =
                present ? target[a][at] / sample[a][at] : std::numeric_limits<double>::quiet_NaN();
            // Written as the failing test, so that 0/0 (NaN) passes while a missing value
            // does not.
            if (!present || r <= kMinPlausibleRatio || r >= kMaxPlausibleRatio)
                return ImplausibleRatio{a, j, kStartNm + kStepNm * j, r};
        }
    }
    return std::nullopt;
}

}  // namespace qv
