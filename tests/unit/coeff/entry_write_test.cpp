// Writing correction factors into an entry of the simulated instrument under correction, and
// what the instrument reads afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_workflow.h"
#include "core/coeff/coefficient_file_workflow.h"
#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/delete_entry_workflow.h"
#include "core/coeff/record_file.h"
#include "core/coeff/registration_workflow.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

void take(SeriesRig& rig, InterInstrumentWorkflow& check, ValidationRole role) {
    check.beginMeasurement(role);
    ValidationWorkflow v(rig.seams(), check.colour(), role);
    ASSERT_TRUE(v.measure());
    check.endMeasurement(role);
}

// Target on REF, sample on DUT, judged; DUT stays plugged in.
void judgedPair(SeriesRig& rig, InterInstrumentWorkflow& check) {
    take(rig, check, ValidationRole::Target);
    rig.control("plug DUT");
    take(rig, check, ValidationRole::Sample);
    ASSERT_TRUE(check.judge());
}

// Opens the write workflow and lists the entries as the worker would.
void listed(SeriesRig& rig, CoefficientWriteWorkflow& w) {
    ASSERT_TRUE(w.open());
    std::atomic<bool> stop{false};
    const LinkError e =
        readEntryList(rig.port(), rig.clock, stop, [&](const EntryRow& row) { w.addRow(row); });
    ASSERT_TRUE(w.listDone(false, e));
}

TEST(EntryWrite, FactorsWrittenIntoAnEntryBringTheInstrumentToTheReference) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow check(rig.seams());
    judgedPair(rig, check);
    const double before = rig.state.interInstMaxDeltaE;
    ASSERT_TRUE(check.view().writeEnabled);

    CoefficientWriteWorkflow w(rig.seams());
    listed(rig, w);
    EXPECT_EQ(w.view().rowCount, 30);
    EXPECT_EQ(w.view().rows[29].number, "030");
    EXPECT_FALSE(w.view().dataInvalid);
    EXPECT_NE(w.view().sample[0][2], "---");
    rig.takeCommands();
    rig.prompter.asked.clear();
    w.select(6);
    w.setComment(" ab:1 ");
    ASSERT_EQ(w.write(), WriteOutcome::Written);
    EXPECT_EQ(w.view().comment, "AB:1");
    const std::vector<std::string> sent = rig.takeCommands();
    ASSERT_EQ(sent.size(), 8u);  // IDR twice, UCR, USD, four UCS
    EXPECT_EQ(sent[2], "UCR,1,007\\r\\n");
    // A free entry answers its status, a comma and the line end: that line end counts as a
    // comment, so the operator is asked and the entry emptied before it is written.
    EXPECT_EQ(sent[3], "USD,007\\r\\n");
    EXPECT_EQ(sent[4].rfind("UCS,1,007,AB:1,", 0), 0u) << sent[4];
    EXPECT_NE(sent[4].find(",L70S-200002\\r\\n"), std::string::npos) << sent[4];
    EXPECT_EQ(sent[5].rfind("UCS,2,007,", 0), 0u);
    EXPECT_EQ(rig.prompter.ids(), (std::vector<int>{kStrOverwriteEntry, kStrEntryWritten}));

    // The instrument now applies the entry: the sample measured again agrees with the target,
    // and the judgement file shows both.
    check.correctionWritten();
    take(rig, check, ValidationRole::Sample);
    ASSERT_TRUE(check.judge());
    EXPECT_LT(rig.state.interInstMaxDeltaE, before / 4) << before;
    EXPECT_TRUE(rig.state.interInstPassed);
    const Judgement& verified = *check.judgement();
    ASSERT_TRUE(verified.verification);
    EXPECT_FALSE(verified.verification->unchanged);
    EXPECT_EQ(verified.verification->beforeDeltaE[2], before);
    EXPECT_EQ(check.view().correction, InterInstrumentView::Correction::Verified);
    std::ifstream file(verified.resultFile.path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("\r\n\r\ndE before correction;"), std::string::npos);

    // Verifying again without a new correction finds the difference unchanged and says so.
    check.correctionWritten();
    take(rig, check, ValidationRole::Sample);
    rig.prompter.asked.clear();
    ASSERT_TRUE(check.judge());
    EXPECT_TRUE(check.judgement()->verification->unchanged);
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCorrectionNotApplied});
    EXPECT_FALSE(check.verifying());
}

TEST(EntryWrite, AnOccupiedEntryIsAskedAboutAndAFailedRewriteSaysItIsNowEmpty) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow check(rig.seams());
    judgedPair(rig, check);
    {
        CoefficientWriteWorkflow first(rig.seams());
        listed(rig, first);
        first.select(2);
        first.setComment("FIRST");
        ASSERT_EQ(first.write(), WriteOutcome::Written);
    }
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    Seams recorded = rig.seams();
    recorded.logbook = &logbook;
    CoefficientWriteWorkflow w(recorded);
    listed(rig, w);
    EXPECT_EQ(w.view().rows[2].comment, "FIRST");
    w.select(2);
    EXPECT_TRUE(w.view().deleteEnabled);
    w.setComment("SECOND");
    rig.control("fault UCS silence occurrence=3");  // the 45° block of the rewrite
    rig.prompter.asked.clear();
    rig.prompter.answers = {Answer::Yes};
    EXPECT_EQ(w.write(), WriteOutcome::Closes);
    EXPECT_EQ(rig.prompter.ids(), (std::vector<int>{kStrOverwriteEntry, kStrEntryEmptied}));
    EXPECT_NE(rig.prompter.asked[1].suffix.find("UCS,3"), std::string::npos)
        << rig.prompter.asked[1].suffix;
    EXPECT_FALSE(rig.state.bConnected);
    // What the entry held is gone although nothing new went in: on record as a deletion.
    ASSERT_TRUE(logbook.lastRecorded());
    EXPECT_EQ(logbook.lastRecorded()->kind, RecordKind::EntryDeletion);
    EXPECT_EQ(logbook.lastRecorded()->comment, "FIRST");
    EXPECT_EQ(logbook.lastRecorded()->entry, 3);

    // A refused comment or a type-40 instrument sends no entry command.
    rig.control("clear");
    rig.state.bConnected = true;
    CoefficientWriteWorkflow again(rig.seams());
    listed(rig, again);
    again.select(0);
    again.setComment("A-B");
    rig.prompter.asked.clear();
    EXPECT_EQ(again.write(), WriteOutcome::Stays);
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCommentCharacters});
    // A selection the operator cleared is no selection.
    again.select(-1);
    again.setComment("OK");
    rig.prompter.asked.clear();
    EXPECT_EQ(again.write(), WriteOutcome::Stays);
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrChooseFirst});
}

TEST(EntryDelete, AConfirmedDeleteEmptiesTheEntryAndARefusalIsTold) {
    SeriesRig rig(test::referenceAndCorrected({1.0, 1.0, 1.0}));
    DeleteEntryWorkflow d(rig.seams(), 12, "OLD");
    rig.takeCommands();
    EXPECT_TRUE(d.confirm());
    EXPECT_EQ(rig.takeCommands(), (std::vector<std::string>{"IDR\\r\\n", "USD,012\\r\\n"}));
    EXPECT_TRUE(rig.state.coeffEntryDeleted);
    rig.control("fault USD reply ER02");
    rig.prompter.asked.clear();
    EXPECT_FALSE(d.confirm());
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrLinkLost});
    d.cancel();
    EXPECT_FALSE(rig.state.coeffEntryDeleted);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(FileRoads, ATargetFileRegistersAndTheRecordOfAWriteLoadsAgain) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow check(rig.seams());
    check.beginMeasurement(ValidationRole::Target);
    ValidationWorkflow target(rig.seams(), check.colour(), ValidationRole::Target);
    ASSERT_TRUE(target.measure());
    const ThreeAngles measured = rig.state.targetSpectrum;
    for (auto& s : rig.state.targetSpectrum) s.clear();

    RegistrationWorkflow registration(rig.seams(), check.colour());
    rig.prompter.files = {target.resultFile().path};
    ASSERT_TRUE(registration.browse());
    ASSERT_TRUE(registration.registerTarget());
    EXPECT_EQ(rig.state.targetSerial, "L70S-100001");
    for (int a = 0; a < kAngleCount; ++a) {
        ASSERT_EQ(rig.state.targetSpectrum[a].size(), 34u);  // its own coordinates, none added
        for (std::size_t j = 0; j < 34; ++j)
            EXPECT_NEAR(rig.state.targetSpectrum[a][j], measured[a][j], 5e-7);
    }

    rig.control("plug DUT");
    take(rig, check, ValidationRole::Sample);
    CoefficientWriteWorkflow w(rig.seams());
    w.writeRecord = recordFileHook(rig.seams());
    listed(rig, w);
    w.select(0);
    w.setComment("FROM FILE");
    ASSERT_EQ(w.write(), WriteOutcome::Written);
    ASSERT_TRUE(w.recordFile().ok());

    rig.state.sampleSerial.clear();
    CoefficientFileWorkflow file(rig.seams());
    rig.prompter.files = {w.recordFile().path};
    ASSERT_TRUE(file.browse());
    EXPECT_EQ(rig.state.sampleSerial, "L70S-200002");
    EXPECT_EQ(rig.state.coeffFileComment, "FROM FILE");
    EXPECT_NE(file.sample()[0][2], "---");
    EXPECT_TRUE(file.ok());  // the instrument under correction answers
}

}  // namespace
}  // namespace qv
