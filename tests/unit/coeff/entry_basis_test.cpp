// What new factors stand on, on an instrument that drifts after its first correction: the
// answer is a fact the operator gives, the factors beneath come from the logbook, and every
// case where they cannot be known is a refusal that sends nothing, never a silent write.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>

#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_workflow.h"
#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/entry_basis.h"
#include "core/link/connection_workflow.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using test::SeriesRig;

// The two answers a write can be given (indexes into the question's list).
constexpr std::size_t kNone = 0;

struct Road {
    explicit Road(
        sim::InstrumentConfig::EntryRule rule = sim::InstrumentConfig::EntryRule::LastWritten)
        : rig(options(rule)),
          logbook(std::make_unique<SqlLogbook>(rig.home.path() + "/logbook.sqlite")),
          check(seams()) {}

    static sim::Options options(sim::InstrumentConfig::EntryRule rule) {
        sim::Options o = test::referenceAndCorrected({1.02, 1.03, 1.05});
        o.instruments[1].entryRule = rule;
        return o;
    }
    Seams seams() {
        Seams s = rig.seams();
        s.logbook = logbook.get();
        return s;
    }
    Measurement measured(ValidationRole role) {
        ValidationWorkflow v(seams(), check.colour(), role);
        return v.measure().value_or(Measurement{});
    }
    // Target on REF, sample on DUT, judged.
    void judgedPair() {
        rig.control("plug REF");
        check.take(ValidationRole::Target, measured(ValidationRole::Target));
        rig.control("plug DUT");
        check.take(ValidationRole::Sample, measured(ValidationRole::Sample));
        ASSERT_TRUE(check.judge());
    }

    struct Write {
        WriteOutcome outcome = WriteOutcome::Stays;
        std::vector<std::string> sent;  // what changes entries: UCS and USD
        std::vector<int> asked;
        std::vector<std::string> offered;
        std::string refusal;
        std::optional<WrittenCorrection> written;
    };
    // `answers`: the consents, to overwrite by default.
    Write write(int entry, const std::string& comment, std::optional<std::size_t> choice,
                std::deque<Answer> answers = {Answer::Yes}) {
        CoefficientWriteWorkflow w(seams());
        EXPECT_TRUE(w.open());
        std::atomic<bool> stop{false};
        const LinkError e =
            readEntryList(rig.port(), rig.clock, stop, [&](const EntryRow& row) { w.addRow(row); });
        EXPECT_TRUE(w.listDone(false, e));
        w.select(entry - 1);
        w.setComment(comment);
        rig.takeCommands();
        rig.prompter.asked.clear();
        rig.prompter.offeredChoices.clear();
        rig.prompter.answers = std::move(answers);
        rig.prompter.choices = {choice};
        Write out;
        out.outcome = w.write();
        for (const std::string& c : rig.takeCommands())
            if (c.rfind("UCS", 0) == 0 || c.rfind("USD", 0) == 0) out.sent.push_back(c);
        out.asked = rig.prompter.ids();
        if (!rig.prompter.offeredChoices.empty()) out.offered = rig.prompter.offeredChoices[0];
        out.refusal = w.basisRefusal();
        out.written = w.written();
        return out;
    }
    // The sample measured again after a write and judged: the largest difference per angle.
    std::array<double, kAngleCount> verified(const Write& w) {
        check.correctionWritten(w.written);
        EXPECT_TRUE(check.verifyCorrection(measured(ValidationRole::Sample)));
        return check.judgement()->deltaE;
    }
    // A new connection: the settings reset, and what the readings pass through asked afresh.
    void reconnect() {
        ConnectionWorkflow c(seams());
        ASSERT_TRUE(c.connect());
    }

    SeriesRig rig;
    std::unique_ptr<SqlLogbook> logbook;
    InterInstrumentWorkflow check;
};

// The first correction, on an instrument holding nothing: no question; then the instrument
// drifts and its sample is read again through entry 1.
void firstCorrectionThenDrift(Road& r) {
    r.judgedPair();
    const Road::Write first = r.write(1, "FIRST", std::nullopt);
    ASSERT_EQ(first.outcome, WriteOutcome::Written);
    EXPECT_EQ(first.asked, std::vector<int>{kStrEntryWritten});
    for (double dE : r.verified(first)) EXPECT_LT(dE, r.rig.state.instThreshold);
    r.rig.control("set DUT:gain=1.03/1.045/1.062");
    r.reconnect();
    r.judgedPair();
    ASSERT_FALSE(r.check.judgement()->passed);
}

TEST(EntryBasis, ASecondCorrectionOnTopOfTheFirstBringsTheDriftedInstrumentBack) {
    Road r;
    firstCorrectionThenDrift(r);
    const Road::Write second = r.write(2, "SECOND", 1);  // entry 001
    ASSERT_EQ(second.outcome, WriteOutcome::Written);
    ASSERT_EQ(second.offered.size(), 3u);
    EXPECT_NE(second.offered[1].find("001 \"FIRST\""), std::string::npos) << second.offered[1];
    EXPECT_NE(second.offered[1].find("L70S-200002, written by this program"), std::string::npos);
    EXPECT_EQ(second.offered[2], "I do not know");
    // The new factors are the first entry's times the ratio now: about 1/1.03 at 25 degrees.
    ASSERT_EQ(second.sent.size(), 4u);
    EXPECT_NE(second.sent[1].find(",0.97\\r\\n"), std::string::npos) << second.sent[1];
    const CheckRecord written = r.logbook->records("L70S-200002").front();
    EXPECT_EQ(written.kind, RecordKind::EntryWrite);
    EXPECT_EQ(written.factors.size(), kRecordFactorCount);
    const auto drifted = r.check.judgement()->deltaE;
    const auto after = r.verified(second);
    std::printf("drifted %.2f/%.2f/%.2f, on top of entry 001 %.2f/%.2f/%.2f dE*ab\n", drifted[0],
                drifted[1], drifted[2], after[0], after[1], after[2]);
    for (int a = 0; a < kAngleCount; ++a) EXPECT_LT(after[a], r.rig.state.instThreshold) << a;
    // The verification saw the readings change as the factors said.
    ASSERT_TRUE(entriesApply(r.rig.profile, "L70S-200002"));
    EXPECT_EQ(entriesApply(r.rig.profile, "L70S-200002")->effect, EntryEffect::Applies);
    EXPECT_EQ(entriesApply(r.rig.profile, "L70S-200002")->entry, 2);
}

// The answer "none" is taken as given: the factors correct the readings as they are, which on
// this instrument undoes the first correction. The question is there so that the operator,
// not the program, decides it.
TEST(EntryBasis, AnswersAreFactsThatDecideTheFactors) {
    Road r;
    firstCorrectionThenDrift(r);
    const Road::Write wrong = r.write(2, "SECOND", kNone);
    ASSERT_EQ(wrong.outcome, WriteOutcome::Written);
    EXPECT_EQ(wrong.asked.front(), kStrWhichEntryApplies);
    const auto after = r.verified(wrong);
    std::printf("answered none: %.2f/%.2f/%.2f dE*ab\n", after[0], after[1], after[2]);
    EXPECT_GT(*std::max_element(after.begin(), after.end()), r.rig.state.instThreshold);
}

// An instrument that applies the entry selected on its panel: a new entry does not take the
// place of the one in use. The verification finds the readings unchanged and says so with the
// next question, which also asks for consent to write again; once the operator selects the
// new entry on the instrument, its readings pass through it.
TEST(EntryBasis, AnInstrumentThatAppliesTheEntrySelectedByNumber) {
    Road r(sim::InstrumentConfig::EntryRule::ByNumber);  // entry 1 selected
    firstCorrectionThenDrift(r);
    const Road::Write second = r.write(2, "SECOND", 1);
    ASSERT_EQ(second.outcome, WriteOutcome::Written);
    const auto unchanged = r.verified(second);
    EXPECT_GT(*std::max_element(unchanged.begin(), unchanged.end()), r.rig.state.instThreshold);
    const auto found = entriesApply(r.rig.profile, "L70S-200002");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->effect, EntryEffect::DoesNotApply);
    EXPECT_EQ(found->entry, 2);

    r.judgedPair();
    const Road::Write third = r.write(3, "THIRD", 1, {Answer::No});
    EXPECT_TRUE(third.sent.empty());
    EXPECT_EQ(third.asked, (std::vector<int>{kStrWhichEntryApplies, kStrEntriesIgnored}));
    EXPECT_NE(r.rig.prompter.asked[0].detail.find("entry 002 does not apply"), std::string::npos)
        << r.rig.prompter.asked[0].detail;

    r.rig.control("entry 2 DUT");
    r.reconnect();
    r.judgedPair();
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_LT(r.check.judgement()->deltaE[a], r.rig.state.instThreshold) << a;
}

TEST(EntryBasis, EveryUnknownBasisIsARefusalThatSendsNothing) {
    struct Case {
        const char* what;
        std::function<void(Road&)> arrange;
        std::optional<std::size_t> choice;  // index into the question's list
        const char* refusal;                // part of the reason; empty: not even asked
    };
    const auto foreign = [](const std::string& stamp) {
        return [stamp](Road& r) {
            // Another program writes entry 3 for this instrument after ours; the instrument
            // applies it (written last).
            EntryContents c{3, "OTHER", stamp, "L70S-200002", {}};
            for (auto& block : c.blocks) block.assign(32, 1.0);
            const auto plan = planEntryWrite(c, false);
            ASSERT_TRUE(plan.plan);
            ASSERT_TRUE(writeEntry(r.rig.port(), r.rig.clock, *plan.plan).complete());
            r.judgedPair();
        };
    };
    const Case cases[] = {
        {"the operator does not know", [](Road&) {}, 2, "is not known"},
        {"the question cancelled", [](Road&) {}, std::nullopt, ""},
        {"an incomplete write of ours",
         [](Road& r) {
             r.rig.control("fault UCS silence occurrence=3");
             EXPECT_EQ(r.write(1, "BROKEN", kNone).outcome, WriteOutcome::Closes);
             r.rig.control("clear");
             r.reconnect();
             r.judgedPair();
         },
         1, "is incomplete"},
        {"a logbook without the write's record",
         [](Road& r) {
             r.logbook = std::make_unique<SqlLogbook>(r.rig.home.path() + "/other.sqlite");
         },
         1, "was not written by this program"},
        {"a foreign newer entry with another time format", foreign("2026-12-09T10:00:00"), 2,
         "was not written by this program"},
        {"a foreign entry written last with an older clock", foreign("01.01.2020 00:00:00"), 2,
         "was not written by this program"},
    };
    for (const Case& c : cases) {
        Road r;
        firstCorrectionThenDrift(r);
        c.arrange(r);
        const Road::Write w = r.write(5, "NEXT", c.choice);
        EXPECT_EQ(w.outcome, WriteOutcome::Stays) << c.what;
        EXPECT_TRUE(w.sent.empty()) << c.what << ": " << w.sent.front();
        ASSERT_FALSE(w.asked.empty()) << c.what;
        EXPECT_EQ(w.asked.front(), kStrWhichEntryApplies) << c.what;
        EXPECT_NE(w.refusal.find(c.refusal), std::string::npos) << c.what << ": " << w.refusal;
        if (*c.refusal) {
            EXPECT_EQ(w.asked.back(), kStrBasisNotKnown) << c.what;
            EXPECT_NE(w.refusal.find("measure the specimen again"), std::string::npos) << c.what;
        }
    }
}

}  // namespace
}  // namespace qv
