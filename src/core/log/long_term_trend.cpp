#include "core/log/long_term_trend.h"

#include <cmath>
#include <limits>

namespace qv {

namespace {

bool hasColour(const AngleRecord& g) {
    return std::isfinite(g.lab[0]) && std::isfinite(g.lab[1]) && std::isfinite(g.lab[2]);
}

}  // namespace

std::array<std::vector<double>, kAngleCount> differencesFromMean(
    const std::vector<CheckRecord>& chosen, DeltaEFormula formula,
    const DeltaEParameters& parameters) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    std::array<std::vector<double>, kAngleCount> out;
    for (int a = 0; a < kAngleCount; ++a) {
        std::array<double, 3> sum{};
        int count = 0;
        for (const CheckRecord& r : chosen) {
            if (!hasColour(r.angles[a])) continue;
            for (int c = 0; c < 3; ++c) sum[c] += r.angles[a].lab[c];
            ++count;
        }
        out[a].assign(chosen.size(), kNone);
        if (count < 2) continue;
        const Lab mean{sum[0] / count, sum[1] / count, sum[2] / count};
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            const AngleRecord& g = chosen[i].angles[a];
            if (hasColour(g))
                out[a][i] = deltaE(formula, mean, {g.lab[0], g.lab[1], g.lab[2]}, parameters);
        }
    }
    return out;
}

}  // namespace qv
