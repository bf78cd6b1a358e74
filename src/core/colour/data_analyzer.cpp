#include "core/colour/data_analyzer.h"

#include <cmath>

namespace qv {

DataAnalyzer::DataAnalyzer(const std::int32_t& n, const float* data) : count(n) {
    if (count <= 0 || data == nullptr) return;
    values.assign(data, data + count);
    findExtremes();
    if (count >= 2) computeMoments();
    values.clear();
    values.shrink_to_fit();
}

DataAnalyzer::~DataAnalyzer() = default;

// A NaN is never taken: the scan starts from the first number and comparisons with NaN fail.
// When every value is NaN, maximum and minimum stay "not computed".
void DataAnalyzer::findExtremes() {
    bool found = false;
    for (float x : values) {
        if (std::isnan(x)) continue;
        if (!found) {
            maximum = minimum = x;
            found = true;
            continue;
        }
        if (maximum < x) maximum = x;
        if (minimum > x) minimum = x;
    }
}

// Float accumulators narrowed after every step, so the figures match a float implementation.
void DataAnalyzer::computeMoments() {
    float sum = 0.0f;
    for (float x : values) sum = static_cast<float>(sum + x);
    mean = static_cast<float>(sum / static_cast<float>(count));

    float squares = 0.0f;
    for (float x : values) {
        const float d = static_cast<float>(x - mean);
        const float d2 = static_cast<float>(std::pow(d, 2));
        squares = static_cast<float>(squares + d2);
    }
    variance = static_cast<float>(squares / static_cast<float>(count - 1));
    deviation = static_cast<float>(std::sqrt(variance));
}

}  // namespace qv
