#include <gtest/gtest.h>

#include <cmath>

#include "core/app/number_format.h"
#include "core/link/commands.h"
#include "core/measure/average_workflow.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

AverageSetup validationRole(int role) {
    AverageSetup setup;
    setup.dataRole = role;
    return setup;
}

TEST(Average, RunningMeanAndStandardDeviations) {
    SeriesRig rig;
    auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    AverageWorkflow avg(rig.seams(), *engine, validationRole(1));
    ASSERT_TRUE(avg.measure());
    EXPECT_EQ(avg.serial(), "L70S-000001");
    EXPECT_EQ(avg.modelCode(), "53");
    EXPECT_TRUE(rig.state.targetSerial.empty());  // handed back, not left in the shared state
    EXPECT_EQ(avg.view().countText, "1");
    EXPECT_TRUE(avg.view().finishEnabled);
    EXPECT_NE(avg.view().coordinate[0][0], "---");
    EXPECT_EQ(avg.view().deviation[0][0], "---");
    const ThreeAngles first = avg.average();

    rig.control("set A:gain=1.1");
    ASSERT_TRUE(avg.measure());
    EXPECT_EQ(avg.view().countText, "2");
    ColourRequests colour(*engine);
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum second(kSpectrumPoints);
        for (int j = 0; j < kSpectrumPoints; ++j) {
            EXPECT_NEAR(avg.average()[a][j], 1.05 * first[a][j], 0.006);
            second[j] = 2 * avg.average()[a][j] - first[a][j];
        }
        colour.setTarget(a, first[a]);
        const auto lab1 = colour.coordinates(kTargetMode);
        colour.setTarget(a, second);
        const auto lab2 = colour.coordinates(kTargetMode);
        for (int c = 0; c < 3; ++c) {
            const double expected =
                std::fabs(roundedToTwoDecimals(lab1[c]) - roundedToTwoDecimals(lab2[c])) /
                std::sqrt(2.0);
            EXPECT_NEAR(avg.deviations()[a][c], expected, 1e-4) << a << c;
            EXPECT_EQ(avg.view().deviation[c][a],
                      NumberFormat{','}.display(avg.deviations()[a][c]));
        }
    }
    EXPECT_TRUE(rig.state.targetSpectrum[0].empty());
    avg.finish();
    EXPECT_TRUE(avg.view().closed && avg.view().finished);
    EXPECT_TRUE(rig.state.targetSpectrum[0].empty());
    EXPECT_TRUE(rig.state.sampleSpectrum[0].empty());
}

TEST(Average, TheThirtiethMeasurementFinishes) {
    SeriesRig rig;
    auto engine = makeColourEngine(KEY_VERSION3, DeltaEFormula::Cie76);
    AverageSetup setup;
    setup.fromRepeatability = true;
    setup.repeatSlot = 2;
    AverageWorkflow avg(rig.seams(), *engine, setup);
    for (int i = 1; i < kMaxAverageMeasurements; ++i) ASSERT_TRUE(avg.measure()) << i;
    EXPECT_FALSE(avg.view().closed);
    // The series takes the average when it ends; the average writes no slot of its own.
    EXPECT_TRUE(rig.state.repeatSpectrum[6].empty());
    ASSERT_TRUE(avg.measure());
    EXPECT_EQ(avg.view().countText, "30");
    EXPECT_TRUE(avg.view().closed && avg.view().finished);
    EXPECT_FALSE(avg.measure());
}

TEST(Average, AFailureKeepsEarlierMeasurementsButDisablesFinish) {
    SeriesRig rig;
    auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    AverageWorkflow avg(rig.seams(), *engine, validationRole(0));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(avg.measure());
    const ThreeAngles before = avg.average();
    rig.control("fault & silence occurrence=2");
    EXPECT_FALSE(avg.measure());
    EXPECT_EQ(avg.lastFailure(), "no reply to companion line (25 deg)");
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrLinkLost});
    EXPECT_FALSE(avg.view().finishEnabled);
    EXPECT_TRUE(avg.view().measureEnabled);
    EXPECT_EQ(avg.view().countText, "3");
    avg.finish();  // disabled: nothing happens
    EXPECT_FALSE(avg.view().closed);
    rig.control("clear");
    ASSERT_TRUE(avg.measure());
    EXPECT_EQ(avg.measurementCount(), 4);
    EXPECT_TRUE(avg.view().finishEnabled);
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_NEAR(avg.average()[a][j], before[a][j], 1e-9);
}

TEST(Average, CancelHandsNothingOverAndType40PausesAfterTheEvaluation) {
    SeriesRig rig("40");
    rig.state.targetSpectrum[0] = AngleSpectrum(31, 7.0);
    auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    AverageWorkflow avg(rig.seams(), *engine, validationRole(1));
    ASSERT_TRUE(avg.measure());
    EXPECT_EQ(avg.modelCode(), "40");
    const auto sleeps = rig.takeSleeps();
    ASSERT_EQ(sleeps.size(), 11u);  // STR, CPR and MES waits, six lines, the pause
    EXPECT_EQ(sleeps.back(), kType40ButtonPauseMs);
    avg.cancel();
    EXPECT_TRUE(avg.view().closed);
    EXPECT_FALSE(avg.view().finished);
    EXPECT_EQ(rig.state.targetSpectrum[0], AngleSpectrum(31, 7.0));
}

}  // namespace
}  // namespace qv
