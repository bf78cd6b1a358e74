// The spread of repeated readings against sums worked out by hand.
#include "core/colour/spread.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qv {
namespace {

// Mean (50, 20, -11); deviations in L* and a* 0, 2, -1, -1 and in b* 1, -1, 2, -2.
const std::vector<LabTriple> kReadings = {
    {50, 20, -10}, {52, 22, -12}, {49, 19, -9}, {49, 19, -13}};
const Lab kMean{50, 20, -11};

TEST(Spread, MeanAndSampleDeviationsAsWorkedOutByHand) {
    const AngleSpread s = spreadOf(kReadings, DeltaEFormula::Cie76);
    EXPECT_EQ(s.readings, 4);
    EXPECT_DOUBLE_EQ(s.mean[0], 50.0);
    EXPECT_DOUBLE_EQ(s.mean[2], -11.0);
    EXPECT_DOUBLE_EQ(s.sd[0], std::sqrt(2.0));  // 6 / 3
    EXPECT_DOUBLE_EQ(s.sd[1], std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(s.sd[2], std::sqrt(10.0 / 3.0));  // 10 / 3
    // Distances from the mean: 1, 3, sqrt 6, sqrt 6.
    EXPECT_DOUBLE_EQ(s.mcdm, (4.0 + 2.0 * std::sqrt(6.0)) / 4.0);
    EXPECT_DOUBLE_EQ(s.largest, 3.0);
}

TEST(Spread, EveryFormulaMeasuresFromTheMean) {
    for (DeltaEFormula f : {DeltaEFormula::Cie94, DeltaEFormula::Ciede2000, DeltaEFormula::Cmc}) {
        SCOPED_TRACE(static_cast<int>(f));
        double fromMean = 0.0, largest = 0.0, fromFirst = 0.0;
        for (const LabTriple& r : kReadings) {
            const Lab x{r[0], r[1], r[2]};
            const double d = deltaE(f, kMean, x);
            fromMean += d / 4.0;
            largest = std::max(largest, d);
            fromFirst += deltaE(f, Lab{50, 20, -10}, x) / 4.0;
        }
        const AngleSpread s = spreadOf(kReadings, f);
        EXPECT_NEAR(s.mcdm, fromMean, 1e-12);
        EXPECT_NEAR(s.largest, largest, 1e-12);
        EXPECT_GT(std::abs(s.mcdm - fromFirst), 0.05);  // the reference is not the first reading
    }
    // CMC weights by the reference's chroma: the mean is the reference, not each reading.
    double swapped = 0.0;
    for (const LabTriple& r : kReadings) swapped += deltaECmc(Lab{r[0], r[1], r[2]}, kMean) / 4.0;
    EXPECT_GT(std::abs(spreadOf(kReadings, DeltaEFormula::Cmc).mcdm - swapped), 1e-4);
}

TEST(Spread, FewerThanTwoReadingsHaveNoSpread) {
    for (std::size_t n : {0u, 1u}) {
        const AngleSpread s = spreadOf(std::span(kReadings).first(n), DeltaEFormula::Ciede2000);
        EXPECT_TRUE(std::isnan(s.sd[0]) && std::isnan(s.mcdm) && std::isnan(s.largest)) << n;
    }
}

}  // namespace
}  // namespace qv
