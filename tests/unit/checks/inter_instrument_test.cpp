// The inter-instrument check against two simulated instruments behind one port: the reference
// (target) and an instrument under correction with more gain (sample).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_files.h"
#include "core/checks/validation_workflow.h"
#include "support/sim_instrument.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

// Measures the role's spectra on the instrument plugged in now.
bool take(SeriesRig& rig, InterInstrumentWorkflow& w, ValidationRole role) {
    w.beginMeasurement(role);
    ValidationWorkflow v(rig.seams(), w.colour(), role);
    const bool ok = v.measure();
    w.endMeasurement(role);
    return ok;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(InterInstrument, TargetSampleAndJudgementOfTwoInstrumentsThatDisagree) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow w(rig.seams());
    const SharedState& st = rig.state;
    EXPECT_TRUE(w.view().measureEnabled);
    int verdicts = 0;
    w.onVerdict([&] { ++verdicts; });

    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    EXPECT_NE(w.view().target[2][2], "---");
    EXPECT_FALSE(w.view().judgeEnabled);
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    EXPECT_TRUE(w.view().judgeEnabled);
    EXPECT_EQ(rig.prompter.ids(), (std::vector<int>{kStrMeasurementFinished, 155}));
    EXPECT_EQ(st.targetSerial, "L70S-100001");
    EXPECT_EQ(st.sampleSerial, "L70S-200002");

    ASSERT_TRUE(w.judge());
    const Judgement j = *w.judgement();
    EXPECT_EQ(verdicts, 1);
    EXPECT_FALSE(st.interInstPassed);
    EXPECT_GT(j.deltaE[2], j.deltaE[0]);  // more gain at 75°
    EXPECT_EQ(st.interInstMaxDeltaE, j.deltaE[2]);
    EXPECT_FALSE(j.implausible);
    EXPECT_TRUE(w.view().writeEnabled);
    EXPECT_EQ(w.view().deltaE[2], rig.seams().format.display(asFloat(j.deltaE[2])));
    for (int a = 0; a < kAngleCount; ++a) {
        EXPECT_EQ(st.targetSpectrum[a].size(), 34u);
        ASSERT_EQ(st.sampleSpectrum[a].size(), 35u);
        EXPECT_EQ(st.sampleSpectrum[a][34], asFloat(j.deltaE[a]));
    }
    ASSERT_TRUE(j.resultFile.ok());
    EXPECT_EQ(readFile(j.resultFile.path),
              formatJudgementFile(st.targetSpectrum, st.sampleSpectrum, st.targetSerial,
                                  st.sampleSerial, localTimeOf(rig.clock.calendarSeconds()),
                                  rig.seams().strings, rig.seams().format));

    // A difference equal to the threshold fails; judging again keeps 35 elements.
    rig.state.instThreshold = st.interInstMaxDeltaE;
    ASSERT_TRUE(w.judge());
    EXPECT_FALSE(st.interInstPassed);
    EXPECT_EQ(st.sampleSpectrum[1].size(), 35u);
    EXPECT_NE(w.judgement()->resultFile.path, j.resultFile.path);
    rig.state.instThreshold = st.interInstMaxDeltaE + 0.001;
    ASSERT_TRUE(w.judge());
    EXPECT_TRUE(st.interInstPassed);
    EXPECT_FALSE(w.view().writeEnabled);
    EXPECT_EQ(rig.dataFiles().size(), 4u);  // one target file, three judgements

    w.reset();
    EXPECT_FALSE(w.view().judgeEnabled);
    EXPECT_EQ(w.view().deltaE[0], "---");
    EXPECT_FALSE(w.judge());
}

TEST(InterInstrument, AFailedMeasurementLeavesTheEarlierOneWhole) {
    SeriesRig rig(test::referenceAndCorrected({1.0, 1.0, 1.0}));
    InterInstrumentWorkflow w(rig.seams());
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    const ThreeAngles before = rig.state.targetSpectrum;
    rig.control("plug DUT");
    // The 45° companion line stays away: two angles were already read.
    rig.control("fault & silence occurrence=4");
    rig.prompter.asked.clear();
    EXPECT_FALSE(take(rig, w, ValidationRole::Target));
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrLinkLost});
    EXPECT_EQ(rig.state.targetSpectrum, before);
    EXPECT_EQ(rig.state.targetSerial, "L70S-100001");
    EXPECT_TRUE(rig.state.targetMeasured);
    EXPECT_EQ(rig.dataFiles().size(), 1u);
}

TEST(InterInstrument, AnImplausiblePairIsNamedAndAnUnwritableFileIsTold) {
    SeriesRig rig(test::referenceAndCorrected({1.0, 1.0, 2.1}));
    rig.state.strDataFolder += "/missing";
    InterInstrumentWorkflow w(rig.seams());
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    bool judged = false;
    w.onVerdict([&] { judged = true; });
    ASSERT_TRUE(w.judge());
    EXPECT_TRUE(judged);  // the judgement stands without its file
    EXPECT_FALSE(rig.state.interInstPassed);
    EXPECT_EQ(rig.prompter.ids(),
              (std::vector<int>{kStrMeasurementFinished, kStrResultFileNotWritten, 155,
                                kStrResultFileNotWritten, kStrImplausibleSpectra}));
    const Message& unsaved = rig.prompter.asked[3];
    EXPECT_NE(unsaved.suffix.find("Judgement_"), std::string::npos);
    EXPECT_FALSE(unsaved.detail.empty());
    const auto& implausible = w.judgement()->implausible;
    ASSERT_TRUE(implausible);
    EXPECT_EQ(implausible->angle, 2);
    EXPECT_NE(rig.prompter.asked.back().suffix.find("75°, 400 nm"), std::string::npos);
    EXPECT_FALSE(w.view().writeEnabled);
}

}  // namespace
}  // namespace qv
