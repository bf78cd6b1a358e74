// The inter-instrument check against two simulated instruments behind one port: the reference
// (target) and an instrument under correction with more gain (sample).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_workflow.h"
#include "core/files/validation_files.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

// Measures the role's spectra on the instrument plugged in now.
bool take(SeriesRig& rig, InterInstrumentWorkflow& w, ValidationRole role) {
    ValidationWorkflow v(rig.seams(), w.colour(), role);
    const auto taken = v.measure();
    if (taken) w.take(role, *taken);
    return taken.has_value();
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
    EXPECT_FALSE(w.judgement()->passed);
    EXPECT_GT(j.deltaE[2], j.deltaE[0]);  // more gain at 75°
    EXPECT_EQ(w.judgement()->maxDeltaE, j.deltaE[2]);
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
    rig.state.instThreshold = w.judgement()->maxDeltaE;
    ASSERT_TRUE(w.judge());
    EXPECT_FALSE(w.judgement()->passed);
    EXPECT_EQ(st.sampleSpectrum[1].size(), 35u);
    EXPECT_NE(w.judgement()->resultFile.path, j.resultFile.path);
    rig.state.instThreshold = w.judgement()->maxDeltaE + 0.001;
    ASSERT_TRUE(w.judge());
    EXPECT_TRUE(w.judgement()->passed);
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
    EXPECT_FALSE(w.judgement()->passed);
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

// A clock whose calendar moves a second at every reading of it: a judgement that read it twice
// would give its file and its record different times.
struct TickingCalendar : Clock {
    explicit TickingCalendar(Clock& inner) : inner_(inner) {}
    std::int64_t calendarSeconds() override { return inner_.calendarSeconds() + reads_++; }
    std::uint32_t tickMs() override { return inner_.tickMs(); }
    void sleepMs(std::uint32_t ms) override { inner_.sleepMs(ms); }
    bool waitForInput(ByteSource& s, std::uint32_t ms) override {
        return inner_.waitForInput(s, ms);
    }

private:
    Clock& inner_;
    std::int64_t reads_ = 0;
};

TEST(InterInstrument, AJudgementsFileAndRecordCarryOneTime) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    TickingCalendar ticking(rig.clock);
    Seams seams = rig.seams();
    Seams timed{seams.state,   ticking,      seams.prompter, seams.profile, seams.files,
                seams.strings, seams.format, &logbook,       seams.activity};
    InterInstrumentWorkflow w(timed);
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    ASSERT_TRUE(w.judge());
    ASSERT_TRUE(w.judgement()->record);
    EXPECT_NE(w.judgement()->resultFile.path.find(resultTimestamp(w.judgement()->record->time)),
              std::string::npos)
        << w.judgement()->resultFile.path;
}

// A correction is verified only on a sample measured after it: judging before that would set
// the old sample against itself and claim the instrument ignores the entry.
TEST(InterInstrument, AVerificationWaitsForTheSampleMeasuredAfterTheCorrection) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    Seams seams = rig.seams();
    seams.logbook = &logbook;
    InterInstrumentWorkflow w(seams);
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    ASSERT_TRUE(w.judge());
    const Judgement before = *w.judgement();
    w.correctionWritten();
    // The formula changed after the check still judges its verification in the check's.
    rig.profile.write(key::kDeltaEFormula, profileText(DeltaEFormula::Ciede2000));
    const std::size_t files = rig.dataFiles().size();
    ASSERT_TRUE(before.record);
    const auto recorded = before.record->id;
    EXPECT_FALSE(w.view().judgeEnabled);
    EXPECT_FALSE(w.judge());
    EXPECT_EQ(rig.dataFiles().size(), files);
    EXPECT_EQ(logbook.records(rig.state.sampleSerial).front().id, recorded);
    EXPECT_EQ(w.view().correction, InterInstrumentView::Correction::Written);

    ValidationWorkflow again(rig.seams(), w.colour(), ValidationRole::Sample);
    const auto sample = again.measure();
    ASSERT_TRUE(sample);
    ASSERT_TRUE(w.verifyCorrection(*sample));
    const Judgement& after = *w.judgement();
    EXPECT_EQ(after.formula, before.formula);
    EXPECT_EQ(w.view().deltaELabel, "dE*ab");
    ASSERT_TRUE(after.verification);
    EXPECT_TRUE(after.verification->unchanged);  // nothing was written into the simulator
    EXPECT_EQ(rig.prompter.ids().back(), kStrCorrectionNotApplied);
    ASSERT_TRUE(after.record);
    EXPECT_EQ(after.record->kind, RecordKind::Verification);
    EXPECT_EQ(after.record->formula, "dE*ab");
    EXPECT_EQ(logbook.records(rig.state.sampleSerial).front().id, after.record->id);
}

// A forgotten cable move measures the reference twice, and the pair passes against itself.
TEST(InterInstrument, ATargetAndSampleOfOneInstrumentAreJudgedOnlyWhenTheOperatorSaysSo) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow w(rig.seams());
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));  // still on REF
    rig.prompter.asked.clear();
    rig.prompter.answers = {Answer::No};
    EXPECT_FALSE(w.judge());
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrSameInstrument});
    EXPECT_EQ(rig.prompter.asked[0].buttons, Buttons::YesNo);
    EXPECT_EQ(rig.prompter.asked[0].suffix, " L70S-100001");
    EXPECT_FALSE(w.judgement());
    EXPECT_EQ(rig.dataFiles().size(), 1u);  // the target file only
    rig.prompter.answers = {Answer::Yes};
    EXPECT_TRUE(w.judge());
    EXPECT_TRUE(w.judgement()->passed);
}

// A new measurement makes the judgement stale: its marker, differences and the way to write
// factors go until the pair is judged again; the caption follows the formula chosen meanwhile.
TEST(InterInstrument, ANewMeasurementDropsTheJudgementOfThePairBefore) {
    SeriesRig rig(test::referenceAndCorrected({1.0, 1.0, 2.1}));
    InterInstrumentWorkflow w(rig.seams());
    rig.profile.write(key::kDeltaEFormula, profileText(DeltaEFormula::Ciede2000));
    w.thresholdsChanged();
    EXPECT_EQ(w.view().deltaELabel, "dE00");
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    ASSERT_TRUE(w.judge());
    ASSERT_TRUE(w.judgement()->implausible);
    rig.profile.write(key::kDeltaEFormula, profileText(DeltaEFormula::Cie76));
    w.thresholdsChanged();
    EXPECT_EQ(w.view().deltaELabel, "dE00");  // the values shown are in it
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    EXPECT_FALSE(w.judgement());
    EXPECT_EQ(w.view().deltaE[2], "---");
    EXPECT_EQ(w.view().deltaELabel, "dE*ab");
    EXPECT_TRUE(w.view().judgeEnabled);
    EXPECT_FALSE(w.view().writeEnabled);
}

TEST(InterInstrument, AWriteWaitsForTheJudgementOfTheNewPair) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow w(rig.seams());
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ASSERT_TRUE(take(rig, w, ValidationRole::Sample));
    ASSERT_TRUE(w.judge());
    ASSERT_TRUE(w.view().writeEnabled);
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    EXPECT_FALSE(w.view().writeEnabled);
    w.correctionWritten();  // nothing judged: nothing to verify
    EXPECT_FALSE(w.verifying());
}

// The average hands its instrument over with its spectra, and the record names its type.
TEST(InterInstrument, AnAveragedSampleIsRecordedWithItsInstrument) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    Seams seams = rig.seams();
    seams.logbook = &logbook;
    InterInstrumentWorkflow w(seams);
    ASSERT_TRUE(take(rig, w, ValidationRole::Target));
    rig.control("plug DUT");
    ValidationWorkflow v(rig.seams(), w.colour(), ValidationRole::Sample);
    AverageWorkflow average(rig.seams(), w.colour(), v.beginAverage());
    ASSERT_TRUE(average.measure());
    ASSERT_TRUE(average.measure());
    average.finish();
    const auto sample = v.endAverage(average);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->spectra[0].size(), 34u);
    w.take(ValidationRole::Sample, *sample);
    EXPECT_EQ(rig.state.sampleSerial, "L70S-200002");
    ASSERT_TRUE(w.judge());
    ASSERT_TRUE(w.judgement()->record);
    EXPECT_EQ(w.judgement()->record->serial, "L70S-200002");
    EXPECT_EQ(w.judgement()->record->instrumentType, "53");
}

}  // namespace
}  // namespace qv
