#include "core/app/thresholds.h"

#include <cmath>
#include <limits>

#include "core/app/number_format.h"
#include "core/app/profile_store.h"

namespace qv {

double thresholdFromProfile(ProfileStore& profile, bool repeatability) {
    const std::string text = profile.read(repeatability ? key::kDefThreshold : key::kInstThreshold);
    if (text == kNotSet) return repeatability ? kDefaultRepeatThreshold : kDefaultInstThreshold;
    return leadingDouble(text);
}

DeltaEFormula formulaFromProfile(ProfileStore& profile) {
    return parseDeltaEFormula(profile.read(key::kDeltaEFormula));
}

bool passesThreshold(double difference, double threshold) {
    // NaN compares false: an unanswerable difference fails.
    return difference < threshold;
}

double decisiveDifference(std::span<const double> differences) {
    double largest = -std::numeric_limits<double>::infinity();
    for (double v : differences) {
        if (std::isnan(v)) return std::numeric_limits<double>::quiet_NaN();
        if (v > largest) largest = v;
    }
    return largest;
}

}  // namespace qv
