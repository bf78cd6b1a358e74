#pragma once

#include <cstdint>
#include <vector>

namespace qv {

// Largest, smallest, mean, sample variance and sample standard deviation of a short series of
// single-precision values, computed once at construction in float arithmetic.
class DataAnalyzer {
public:
    // The largest finite float: the value of every statistic that was not computed.
    static constexpr float kNotComputed = 3.4028235e38f;

    // Reads `count` values from `data` (the caller keeps its array). Nothing is read when
    // count <= 0 or data is null. One value gives only maximum and minimum.
    DataAnalyzer(const std::int32_t& count, const float* data);
    virtual ~DataAnalyzer();

    std::int32_t count = 0;
    // Working copy of the input; empty again once the constructor returns.
    std::vector<float> values;
    float maximum = kNotComputed;
    float minimum = kNotComputed;
    float mean = kNotComputed;
    float variance = kNotComputed;
    float deviation = kNotComputed;

private:
    void findExtremes();
    void computeMoments();
};

}  // namespace qv
