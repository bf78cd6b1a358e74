#include "core/colour/spread.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace qv {

AngleSpread spreadOf(std::span<const LabTriple> readings, DeltaEFormula formula,
                     const DeltaEParameters& parameters) {
    AngleSpread s;
    s.readings = static_cast<int>(readings.size());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (readings.size() < 2) {
        s.mean = s.sd = {nan, nan, nan};
        s.mcdm = s.largest = s.rms = nan;
        return s;
    }
    const double n = static_cast<double>(readings.size());
    for (const LabTriple& r : readings)
        for (int c = 0; c < 3; ++c) s.mean[c] += r[c] / n;
    for (const LabTriple& r : readings)
        for (int c = 0; c < 3; ++c) s.sd[c] += (r[c] - s.mean[c]) * (r[c] - s.mean[c]);
    for (double& v : s.sd) v = std::sqrt(v / (n - 1.0));
    const Lab centre{s.mean[0], s.mean[1], s.mean[2]};
    for (const LabTriple& r : readings) {
        const double d = deltaE(formula, centre, Lab{r[0], r[1], r[2]}, parameters);
        s.mcdm += d / n;
        s.rms += d * d / n;
        s.largest = std::max(s.largest, d);
        if (std::isnan(d)) s.largest = nan;
    }
    s.rms = std::sqrt(s.rms);
    return s;
}

double directionalSd(double meanDifference, int readings) {
    const double maxwellMean = std::sqrt(8.0 / std::numbers::pi);
    double sd = meanDifference / maxwellMean;
    if (readings >= 2) sd *= std::sqrt(readings / (readings - 1.0));
    return sd;
}

}  // namespace qv

namespace qv {

double directionalSdFromRms(double rmsDifference, int readings) {
    double sd = rmsDifference / std::sqrt(3.0);
    if (readings >= 2) sd *= std::sqrt(readings / (readings - 1.0));
    return sd;
}

}  // namespace qv
