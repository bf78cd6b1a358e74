// Statistics over a short float series.
#include "core/colour/data_analyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace qv {
namespace {

constexpr float kMarker = 3.4028235e38f;
const float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(DataAnalyzer, OneToFourGivesTheSampleStatistics) {
    const float v[] = {1, 2, 3, 4};
    const std::int32_t n = 4;
    const DataAnalyzer d(n, v);
    EXPECT_EQ(d.count, 4);
    EXPECT_EQ(d.maximum, 4.0f);
    EXPECT_EQ(d.minimum, 1.0f);
    EXPECT_EQ(d.mean, 2.5f);
    EXPECT_EQ(d.variance, 5.0f / 3.0f);              // divisor count - 1: 1.6666666
    EXPECT_EQ(d.deviation, std::sqrt(5.0f / 3.0f));  // 1.2909944
    EXPECT_TRUE(d.values.empty());                   // the working copy is released
    EXPECT_EQ(kMarker, std::numeric_limits<float>::max());
}

TEST(DataAnalyzer, EqualValuesHaveNoSpread) {
    const float v[] = {42.25f, 42.25f};
    const std::int32_t n = 2;
    const DataAnalyzer d(n, v);
    EXPECT_EQ(d.mean, 42.25f);
    EXPECT_EQ(d.variance, 0.0f);
    EXPECT_EQ(d.deviation, 0.0f);
}

TEST(DataAnalyzer, SingleValueGivesOnlyItsExtremes) {
    const float v[] = {7.5f};
    const std::int32_t n = 1;
    const DataAnalyzer d(n, v);
    EXPECT_EQ(d.maximum, 7.5f);
    EXPECT_EQ(d.minimum, 7.5f);
    EXPECT_EQ(d.mean, kMarker);
    EXPECT_EQ(d.variance, kMarker);
    EXPECT_EQ(d.deviation, kMarker);
    // What the average dialog shows for it with "%.2lf".
    char shown[64];
    std::snprintf(shown, sizeof shown, "%.2lf", static_cast<double>(d.deviation));
    EXPECT_STREQ(shown, "340282346638528859811704183484516925440.00");
}

TEST(DataAnalyzer, NoValuesMeansNothingComputedAndNothingRead) {
    for (std::int32_t n : {0, -1, -2147483647 - 1}) {
        const DataAnalyzer d(n, nullptr);
        EXPECT_EQ(d.count, n);
        for (float s : {d.maximum, d.minimum, d.mean, d.variance, d.deviation}) {
            EXPECT_EQ(s, kMarker);
        }
    }
    const std::int32_t three = 3;
    const DataAnalyzer noArray(three, nullptr);
    EXPECT_EQ(noArray.maximum, kMarker);
    EXPECT_EQ(noArray.deviation, kMarker);
}

TEST(DataAnalyzer, NanIsNeverTheMaximumOrMinimumWhereverItSits) {
    const std::int32_t n = 4;
    const float first[] = {kNan, 3, 1, 2};
    const DataAnalyzer a(n, first);
    EXPECT_EQ(a.maximum, 3.0f);
    EXPECT_EQ(a.minimum, 1.0f);
    const float middle[] = {2, kNan, 5, -1};
    const DataAnalyzer b(n, middle);
    EXPECT_EQ(b.maximum, 5.0f);
    EXPECT_EQ(b.minimum, -1.0f);
    const float all[] = {kNan, kNan, kNan, kNan};
    const DataAnalyzer c(n, all);
    EXPECT_EQ(c.maximum, kMarker);
    EXPECT_EQ(c.minimum, kMarker);
    EXPECT_TRUE(std::isnan(c.mean));
}

TEST(DataAnalyzer, AccumulatesInSinglePrecisionAndKeepsTheFirstOfTies) {
    // In float, 2^24 + 1 rounds back to 2^24, so both ones are lost from the sum: the mean is
    // 2^24 / 3 in float (5592405.5), where a double sum would give 5592406.
    const float v[] = {16777216.0f, 1.0f, 1.0f};
    const std::int32_t n = 3;
    const DataAnalyzer d(n, v);
    EXPECT_EQ(d.mean, 5592405.5f);
    EXPECT_EQ(d.maximum, 16777216.0f);
    EXPECT_EQ(d.minimum, 1.0f);
    // -0 and +0 compare equal: the earlier one stays.
    const float zeros[] = {-0.0f, 0.0f};
    const std::int32_t two = 2;
    const DataAnalyzer z(two, zeros);
    EXPECT_TRUE(std::signbit(z.maximum));
    EXPECT_TRUE(std::signbit(z.minimum));
}

}  // namespace
}  // namespace qv
