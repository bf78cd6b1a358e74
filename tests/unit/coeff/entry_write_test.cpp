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
#include "core/coeff/registration_workflow.h"
#include "core/files/record_file.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

Measurement measured(SeriesRig& rig, InterInstrumentWorkflow& check, ValidationRole role) {
    ValidationWorkflow v(rig.seams(), check.colour(), role);
    const std::optional<Measurement> m = v.measure();
    EXPECT_TRUE(m);
    return m.value_or(Measurement{});
}

void take(SeriesRig& rig, InterInstrumentWorkflow& check, ValidationRole role) {
    check.take(role, measured(rig, check, role));
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
    const double before = check.judgement()->maxDeltaE;
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
    ASSERT_EQ(sent.size(), 7u);  // IDR twice, UCR, four UCS
    EXPECT_EQ(sent[2], "UCR,1,007\\r\\n");
    // A free entry answers its status, a comma and the line end: nothing to ask about, nothing
    // to empty first.
    EXPECT_EQ(sent[3].rfind("UCS,1,007,AB:1,", 0), 0u) << sent[3];
    EXPECT_NE(sent[3].find(",L70S-200002\\r\\n"), std::string::npos) << sent[3];
    EXPECT_EQ(sent[4].rfind("UCS,2,007,", 0), 0u);
    EXPECT_EQ(rig.prompter.ids(), (std::vector<int>{kStrEntryWritten}));

    // The instrument now applies the entry: the sample measured again agrees with the target,
    // and the judgement file shows both.
    check.correctionWritten();
    ASSERT_TRUE(check.verifyCorrection(measured(rig, check, ValidationRole::Sample)));
    EXPECT_LT(check.judgement()->maxDeltaE, before / 4) << before;
    EXPECT_TRUE(check.judgement()->passed);
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
    const Measurement again = measured(rig, check, ValidationRole::Sample);
    rig.prompter.asked.clear();
    ASSERT_TRUE(check.verifyCorrection(again));
    EXPECT_TRUE(check.judgement()->verification->unchanged);
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCorrectionNotApplied});
    EXPECT_FALSE(check.verifying());
}

// A rewrite that stops says how far it got: emptied only, or listed under its new comment with
// factors missing; the logbook records what the entry now holds.
TEST(EntryWrite, AFailedRewriteSaysHowFarItGot) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow check(rig.seams());
    judgedPair(rig, check);
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    Seams recorded = rig.seams();
    recorded.logbook = &logbook;
    const auto rewrite = [&](const std::string& comment, const std::string& fault) {
        CoefficientWriteWorkflow w(recorded);
        listed(rig, w);
        w.select(2);
        w.setComment(comment);
        if (!fault.empty()) rig.control(fault);
        rig.prompter.asked.clear();
        rig.prompter.answers = {Answer::Yes};
        rig.prompter.choices = {0};  // the pair was read through no entry
        const WriteOutcome outcome = w.write();
        rig.control("clear");
        rig.state.bConnected = true;
        return outcome;
    };
    ASSERT_EQ(rewrite("FIRST", ""), WriteOutcome::Written);

    EXPECT_EQ(rewrite("SECOND", "fault UCS silence occurrence=3"), WriteOutcome::Closes);
    // What the readings passed through is asked after the consent.
    EXPECT_EQ(rig.prompter.ids(),
              (std::vector<int>{kStrOverwriteEntry, kStrWhichEntryApplies, kStrEntryIncomplete}));
    EXPECT_NE(rig.prompter.asked[0].detail.find("entry 003 holds \"FIRST\""), std::string::npos)
        << rig.prompter.asked[0].detail;
    EXPECT_NE(rig.prompter.asked[0].detail.find("instrument L70S-200002"), std::string::npos);
    EXPECT_EQ(rig.prompter.asked[2].suffix.rfind(" 45\xC2\xB0 on.", 0), 0u);
    EXPECT_NE(rig.prompter.asked[2].detail.find("UCS,3"), std::string::npos);
    const auto newest = [&logbook] { return logbook.records("L70S-200002").front(); };
    EXPECT_EQ(newest().kind, RecordKind::EntryWrite);
    EXPECT_EQ(newest().comment, "SECOND");
    EXPECT_EQ(newest().passed, std::optional<bool>(false));

    // The header refused after the old entry went: the entry is empty, on record as deleted.
    EXPECT_EQ(rewrite("THIRD", "fault UCS reply ER02 occurrence=1"), WriteOutcome::Closes);
    EXPECT_EQ(rig.prompter.ids(),
              (std::vector<int>{kStrOverwriteEntry, kStrWhichEntryApplies, kStrEntryEmptied}));
    EXPECT_NE(rig.prompter.asked[2].suffix.find("UCS,1"), std::string::npos);
    EXPECT_EQ(newest().kind, RecordKind::EntryDeletion);
    EXPECT_EQ(newest().comment, "SECOND");
    EXPECT_EQ(newest().entry, 3);
}

TEST(EntryWrite, ACommandThatCannotBeSentIsRefusedBeforeTheEntryIsTouched) {
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
    // Reflectances of 1e300 % make a block far longer than the instrument's line.
    for (auto& angle : rig.state.sampleSpectrum) std::fill_n(angle.begin(), 31, 1e300);
    for (auto& angle : rig.state.targetSpectrum) std::fill_n(angle.begin(), 31, 1e300);
    CoefficientWriteWorkflow w(rig.seams());
    listed(rig, w);
    w.select(2);
    w.setComment("SECOND");
    rig.takeCommands();
    rig.prompter.asked.clear();
    rig.prompter.answers = {Answer::Yes};
    rig.prompter.choices = {0};
    EXPECT_EQ(w.write(), WriteOutcome::Stays);
    EXPECT_EQ(rig.prompter.ids(),
              (std::vector<int>{kStrOverwriteEntry, kStrWhichEntryApplies, kStrEntryNotWritten}));
    EXPECT_NE(rig.prompter.asked[2].suffix.find("UCS,2"), std::string::npos);
    for (const std::string& c : rig.takeCommands()) {
        EXPECT_NE(c.rfind("USD", 0), 0u) << c;
        EXPECT_NE(c.rfind("UCS", 0), 0u) << c;
    }
}

TEST(EntryWrite, RefusedCommentsAndAClearedSelectionSendNothing) {
    SeriesRig rig(test::referenceAndCorrected({1.02, 1.03, 1.05}));
    InterInstrumentWorkflow check(rig.seams());
    judgedPair(rig, check);
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
    // Unconfirmed: said so, without blaming the cable or dropping the connection.
    rig.control("fault USD reply ER02");
    rig.prompter.asked.clear();
    EXPECT_FALSE(d.confirm());
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrDeletionUnconfirmed});
    EXPECT_EQ(rig.prompter.asked[0].detail, "unrecognised reply to USD \"ER02\"");
    EXPECT_TRUE(rig.state.bConnected);
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
    ValidationWorkflow target(rig.seams(), check.colour(), ValidationRole::Target);
    const std::optional<Measurement> taken = target.measure();
    ASSERT_TRUE(taken);
    check.take(ValidationRole::Target, *taken);
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
