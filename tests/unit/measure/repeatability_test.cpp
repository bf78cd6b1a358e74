#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "core/link/commands.h"
#include "core/measure/repeatability_workflow.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::repeated;
using test::operator+;
using test::SeriesRig;
using Commands = std::vector<std::string>;

const Commands kDirect53 = Commands{"IDR\\r\\n", "MES\\r\\n"} + repeated("&\\r\\n", 7);

bool allEmpty(const SharedState& s) {
    return std::all_of(s.repeatSpectrum.begin(), s.repeatSpectrum.end(),
                       [](const AngleSpectrum& sp) { return sp.empty(); });
}

TEST(Repeatability, ThreeDirectMeasurementsWriteTheFileAndJudge) {
    SeriesRig rig("53", 0.05);
    rig.profile.write(key::kDefThreshold, "0.50");
    rig.state.bConnected = false;
    RepeatabilityWorkflow w(rig.seams());
    EXPECT_EQ(rig.state.defThreshold, 0.5);
    EXPECT_EQ(w.view().deltaELabel, "dE*ab");
    EXPECT_FALSE(w.view().measureEnabled);
    rig.state.bConnected = true;
    w.connectionChanged();
    EXPECT_TRUE(w.view().measureEnabled && w.view().averageEnabled && w.view().calibrateEnabled);
    int verdicts = 0;
    w.onVerdict([&] {
        ++verdicts;
        // The verdict comes before the differences of measurement 3 are shown.
        EXPECT_EQ(w.view().difference[3][0], "---");
    });

    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(rig.takeCommands(), kDirect53);
    EXPECT_EQ(w.view().counterText, "1/3");
    EXPECT_NE(w.view().coordinate[0][0], "---");
    EXPECT_EQ(w.view().difference[3][2], "---");
    for (int a = 0; a < 3; ++a) EXPECT_EQ(rig.state.repeatSpectrum[a].size(), 34u);
    EXPECT_TRUE(rig.prompter.asked.empty());

    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(w.view().counterText, "2/3");
    // The instruction already names the next measurement.
    EXPECT_EQ(w.view().instructionId, kStrThirdInstruction);
    for (int a = 0; a < 3; ++a) {
        ASSERT_EQ(rig.state.repeatSpectrum[3 + a].size(), 35u);
        EXPECT_EQ(rig.state.repeatSpectrum[3 + a][34], asFloat(w.deltaE()[0][a]));
    }
    EXPECT_NE(w.view().difference[3][1], "---");
    EXPECT_TRUE(rig.dataFiles().empty());

    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(verdicts, 1);
    EXPECT_EQ(rig.prompter.ids(),
              (std::vector<int>{kStrConfirmNextMeasurement, kStrConfirmNextMeasurement}));
    EXPECT_EQ(w.view().counterText, "3/3");
    EXPECT_EQ(w.view().instructionId, kStrSeriesDone);
    EXPECT_EQ(w.measuredCount(), 0);
    EXPECT_EQ(w.slotIndex(), 0);
    double largest = 0;
    for (const auto& m : w.deltaE())
        for (double v : m) largest = std::max(largest, v);
    EXPECT_GT(largest, 0.0);
    EXPECT_EQ(rig.state.repeatMaxDeltaE, largest);
    EXPECT_EQ(rig.state.repeatPassed, largest < 0.5);
    EXPECT_EQ(rig.dataFiles(), std::vector<std::string>{w.resultFile()});
    EXPECT_NE(w.view().difference[3][2], "---");
    // A decimal comma on screen.
    EXPECT_NE(w.view().difference[3][2].find(','), std::string::npos);

    // The next press starts a new series without a question.
    rig.takeCommands();
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(rig.prompter.asked.size(), 2u);
    EXPECT_EQ(w.view().counterText, "1/3");
}

TEST(Repeatability, DecliningTheQuestionSendsNothingAfterIdentification) {
    SeriesRig rig;
    RepeatabilityWorkflow w(rig.seams());
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    rig.takeCommands();
    rig.prompter.answers = {Answer::Cancel};
    EXPECT_EQ(w.measure(), MeasureResult::Declined);
    EXPECT_EQ(rig.takeCommands(), Commands{"IDR\\r\\n"});
    EXPECT_EQ(rig.prompter.asked.at(0).buttons, Buttons::OkCancel);
    EXPECT_EQ(rig.prompter.asked.at(0).icon, Icon::Question);
    EXPECT_EQ(w.measuredCount(), 1);
    EXPECT_EQ(w.slotIndex(), 3);
    EXPECT_EQ(w.view().counterText, "1/3");
    EXPECT_TRUE(w.view().measureEnabled);
    EXPECT_TRUE(rig.state.repeatSpectrum[3].empty());
}

TEST(Repeatability, TheNextStepIsShownBeforeTheQuestionAndTheMeasurement) {
    SeriesRig rig("40");  // its pauses mark the measurement
    RepeatabilityWorkflow w(rig.seams());
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    RepeatView shown = w.view();  // as the dialog renders it
    w.onViewChanged([&] { shown = w.view(); });
    RepeatView atQuestion;
    std::vector<RepeatView> atPauses;
    rig.prompter.onAsk = [&](const Message&) { atQuestion = shown; };
    rig.clock.beforeSleep = [&](std::uint32_t) { atPauses.push_back(shown); };
    ASSERT_EQ(w.measure(), MeasureResult::Taken);

    EXPECT_EQ(atQuestion.counterText, "2/3");
    EXPECT_EQ(atQuestion.instructionId, kStrSecondInstruction);
    EXPECT_NE(atQuestion.coordinate[0][0], "---");  // measurement 1 stays until going on
    ASSERT_FALSE(atPauses.empty());
    EXPECT_EQ(atPauses.front().counterText, "2/3");
    for (const auto& row : atPauses.front().coordinate)
        for (const std::string& field : row) EXPECT_EQ(field, "---");
}

TEST(Repeatability, CoordinatesAreShownAsTheyAreStored) {
    SeriesRig rig;
    // A flat 53 % at 25° gives an L* of 77.874999..., which single precision keeps as 77.875.
    std::string line = "OK00";
    for (int j = 0; j < kSpectrumPoints; ++j) line += ",53";
    rig.control("fault & reply=" + line + " occurrence=1");
    RepeatabilityWorkflow w(rig.seams());
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    ASSERT_EQ(rig.state.repeatSpectrum[0].size(), 34u);
    EXPECT_EQ(static_cast<float>(rig.state.repeatSpectrum[0][31]), 77.875f);
    EXPECT_EQ(w.view().coordinate[0][0], "77,88");
}

TEST(Repeatability, AFailureDiscardsTheWholeSeries) {
    SeriesRig rig;
    RepeatabilityWorkflow w(rig.seams());
    int verdicts = 0;
    w.onVerdict([&] { ++verdicts; });
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    rig.control("fault & silence occurrence=2");  // the companion line of 25°
    EXPECT_EQ(w.measure(), MeasureResult::Failed);
    EXPECT_EQ(rig.prompter.ids().back(), kStrLinkLost);
    EXPECT_EQ(rig.prompter.asked.back().icon, Icon::Stop);
    EXPECT_TRUE(allEmpty(rig.state));
    EXPECT_EQ(w.measuredCount(), 0);
    EXPECT_EQ(w.slotIndex(), 0);
    EXPECT_FALSE(w.seriesValid());
    EXPECT_EQ(w.view().counterText, "0/3");
    EXPECT_TRUE(w.view().measureEnabled);
    EXPECT_EQ(verdicts, 0);
    EXPECT_TRUE(rig.dataFiles().empty());

    rig.control("clear");
    const std::size_t asked = rig.prompter.asked.size();
    ASSERT_EQ(w.measure(), MeasureResult::Taken);  // measurement 1 again, no question
    EXPECT_EQ(rig.prompter.asked.size(), asked);

    // A silent identification fails the same way.
    rig.control("fault IDR silence");
    EXPECT_EQ(w.measure(), MeasureResult::Failed);
    EXPECT_TRUE(allEmpty(rig.state));
    EXPECT_EQ(w.lastFailure(), "no reply to IDR");
}

TEST(Repeatability, AnAverageTakesThePlaceOfMeasurementTwo) {
    SeriesRig rig;
    RepeatabilityWorkflow w(rig.seams());
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    const AverageSetup setup = w.beginAverage();
    EXPECT_TRUE(setup.fromRepeatability);
    EXPECT_EQ(setup.repeatSlot, 1);
    {
        AverageWorkflow average(rig.seams(), w.colour(), setup);
        ASSERT_TRUE(average.measure());
        ASSERT_TRUE(average.measure());
        average.finish();
        EXPECT_TRUE(average.view().finished);
        w.endAverage(average);
    }
    EXPECT_EQ(w.measuredCount(), 2);
    EXPECT_EQ(w.slotIndex(), 6);
    EXPECT_EQ(w.view().counterText, "2/3");
    EXPECT_EQ(w.view().instructionId, kStrThirdInstruction);
    EXPECT_EQ(w.instrumentId(), "L70S-000001");
    for (int a = 0; a < 3; ++a) {
        ASSERT_EQ(rig.state.repeatSpectrum[3 + a].size(), 35u);
        // Same specimen, no noise: the average equals measurement 1.
        EXPECT_NEAR(w.deltaE()[0][a], 0.0, 1e-9);
    }
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(w.view().counterText, "3/3");
    EXPECT_EQ(rig.dataFiles().size(), 1u);

    // A cancelled average leaves the series where it was.
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    {
        AverageWorkflow average(rig.seams(), w.colour(), w.beginAverage());
        ASSERT_TRUE(average.measure());
        average.cancel();
        w.endAverage(average);
    }
    EXPECT_EQ(w.measuredCount(), 1);
    EXPECT_EQ(w.view().counterText, "1/3");
}

TEST(Repeatability, TheVerdictIsStrictAndAnUnusableMeasurementNeverPasses) {
    struct Case {
        const char* threshold;
        const char* faultBeforeSecond;
        bool passed;
    };
    const Case cases[] = {{"0.00", nullptr, false},  // differences of 0 equal the threshold
                          {"0.01", nullptr, true},
                          {"5.00", "fault & reply=OK00,nan occurrence=1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.threshold);
        SeriesRig rig;
        rig.profile.write(key::kDefThreshold, c.threshold);
        RepeatabilityWorkflow w(rig.seams());
        ASSERT_EQ(w.measure(), MeasureResult::Taken);
        if (c.faultBeforeSecond) rig.control(c.faultBeforeSecond);
        ASSERT_EQ(w.measure(), MeasureResult::Taken);
        rig.control("clear");
        ASSERT_EQ(w.measure(), MeasureResult::Taken);
        EXPECT_EQ(rig.state.repeatPassed, c.passed);
        if (c.faultBeforeSecond) {
            EXPECT_TRUE(std::isnan(rig.state.repeatMaxDeltaE));
            EXPECT_TRUE(std::isnan(w.deltaE()[0][0]));
        }
    }
}

TEST(Repeatability, TheChosenFormulaNamesTheDifferencesForAWholeSeries) {
    SeriesRig rig("53", 0.05);
    rig.profile.write(key::kDeltaEFormula, "DE00");
    RepeatabilityWorkflow w(rig.seams());
    EXPECT_EQ(w.view().deltaELabel, "dE00");
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    rig.profile.write(key::kDeltaEFormula, "DE76");  // chosen mid-series
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    EXPECT_EQ(w.view().deltaELabel, "dE00");
    std::ifstream in(w.resultFile(), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(file.find(";dE (dE00)\r\n"), std::string::npos);
    ASSERT_EQ(w.measure(), MeasureResult::Taken);  // the next series
    EXPECT_EQ(w.view().deltaELabel, "dE*ab");
}

TEST(Repeatability, Type40PausesBeforeTheMeasureButtonReturnsAndCancelEmptiesTheSeries) {
    SeriesRig rig("40");
    RepeatabilityWorkflow w(rig.seams());
    ASSERT_EQ(w.measure(), MeasureResult::Taken);
    const std::vector<std::uint32_t> sleeps = rig.takeSleeps();
    ASSERT_FALSE(sleeps.empty());
    EXPECT_EQ(sleeps.back(), kType40ButtonPauseMs);
    EXPECT_EQ(sleeps.size(), 10u);  // preamble 2, MES and six lines, the pause
    EXPECT_TRUE(w.cancel());
    EXPECT_TRUE(allEmpty(rig.state));
    EXPECT_TRUE(w.view().closed);
}

}  // namespace
}  // namespace qv
