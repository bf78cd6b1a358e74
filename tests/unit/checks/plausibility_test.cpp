#include <gtest/gtest.h>

#include <cmath>

#include "core/checks/plausibility.h"

namespace qv {
namespace {

ThreeAngles flat(double v) {
    ThreeAngles out;
    for (auto& s : out) s.assign(kSpectrumPoints, v);
    return out;
}

TEST(Plausibility, TheBandIsOpenAndTheFirstFailureCountsAngleByAngle) {
    const ThreeAngles sample = flat(40.0);
    struct Row {
        double target;
        bool fails;
    } rows[] = {{20.0, true}, {20.0001, false}, {59.9999, false}, {60.0, true}, {40.0, false}};
    for (const Row& r : rows) {
        ThreeAngles target = flat(40.0);
        target[1][12] = r.target;
        const auto failure = firstImplausibleRatio(target, sample);
        EXPECT_EQ(failure.has_value(), r.fails) << r.target;
        if (failure) {
            EXPECT_EQ(failure->angle, 1);
            EXPECT_EQ(failure->wavelengthNm, 520);
            EXPECT_DOUBLE_EQ(failure->ratio, r.target / 40.0);
        }
    }
    // 25° is checked before 45°, and 400 nm before 700 nm.
    ThreeAngles target = flat(40.0);
    target[1][0] = 100.0;
    target[0][30] = 100.0;
    EXPECT_EQ(firstImplausibleRatio(target, sample)->angle, 0);
    EXPECT_EQ(firstImplausibleRatio(target, sample)->wavelengthNm, 700);
}

TEST(Plausibility, ZeroOverZeroPassesWhileZeroSampleOrMissingValuesFail) {
    ThreeAngles target = flat(40.0), sample = flat(40.0);
    target[2][0] = sample[2][0] = 0.0;
    EXPECT_FALSE(firstImplausibleRatio(target, sample));
    sample[2][1] = 0.0;  // 40 / 0
    EXPECT_EQ(firstImplausibleRatio(target, sample)->index, 1);
    sample = flat(40.0);
    sample[0].resize(20);
    const auto missing = firstImplausibleRatio(flat(40.0), sample);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->index, 20);
    EXPECT_TRUE(std::isnan(missing->ratio));
}

}  // namespace
}  // namespace qv
