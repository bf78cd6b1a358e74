#include <gtest/gtest.h>

#include <limits>

#include "core/app/shared_state.h"
#include "core/app/string_table_text.h"
#include "core/checks/threshold_workflow.h"
#include "core/checks/verdict_workflow.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "support/project_strings.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv {
namespace {

using Field = ThresholdField;

struct Thresholds : ::testing::Test {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    QtProfileStore profile;
    SharedState state;
    test::VirtualClock clock;
    AtomicFileStore files;
    Seams seams(ProfileStore& store, char decimal = '.') {
        return Seams{state,
                     clock,
                     prompter,
                     store,
                     files,
                     test::projectStrings(),
                     NumberFormat{decimal, defaultListSeparator(decimal)}};
    }
    ThresholdWorkflow workflow{seams(profile)};

    // Types `text` into the edit as the operator would, one change per character.
    void type(Field field, const std::string& text) {
        for (std::size_t i = 1; i <= text.size(); ++i)
            workflow.textChanged(field, text.substr(0, i));
    }
    ThresholdWorkflow::OkResult ok(const std::string& repeat, const std::string& inst) {
        return workflow.ok(repeat, inst);
    }
};

TEST_F(Thresholds, FirstUseWritesBothThresholdsAndNeverAZeroOne) {
    const ThresholdView& view = workflow.open();
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.200000");
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.500000");
    EXPECT_EQ(view.repeatText, "0.2");
    EXPECT_EQ(view.instText, "0.5");
    EXPECT_EQ(view.formula, DeltaEFormula::Cie76);
    // Nothing edited: OK closes without a question.
    EXPECT_TRUE(ok("0.2", "0.5").close);
    EXPECT_TRUE(prompter.asked.empty());

    // A value loaded by a check is what first use writes.
    test::TempHome fresh;
    QtProfileStore empty;
    state.defThreshold = 0.3;
    ThresholdWorkflow again(seams(empty));
    again.open();
    EXPECT_EQ(empty.read(key::kDefThreshold), "0.300000");
}

TEST_F(Thresholds, CrossCheckAllowsExactlyTwiceAndRefusesLess) {
    workflow.open();
    type(Field::Repeat, "0.25");
    EXPECT_TRUE(ok("0.25", "0.5").close);
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.25");
    EXPECT_DOUBLE_EQ(state.defThreshold, 0.25);

    workflow.open();
    type(Field::Inst, "0.49");
    const auto refused = ok("0.25", "0.49");
    EXPECT_FALSE(refused.close);
    EXPECT_EQ(refused.focus, Field::Inst);
    ASSERT_EQ(prompter.ids(), (std::vector<int>{154, 154, 176}));
    EXPECT_EQ(prompter.asked[2].suffix, "0.25");
    EXPECT_EQ(prompter.asked[2].icon, Icon::Exclamation);
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.500000");

    type(Field::Inst, "0.50");
    EXPECT_TRUE(ok("0.25", "0.50").close);
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.50");
    EXPECT_EQ(prompter.asked.size(), 3u);  // confirmed once per opening

    workflow.open();
    type(Field::Repeat, "0.3");
    EXPECT_FALSE(ok("0.3", "0.5").close);
    EXPECT_EQ(prompter.ids().back(), 175);
    EXPECT_EQ(prompter.asked.back().suffix, "0.50");
}

TEST_F(Thresholds, SavesTwoDecimalsAndRefusesBadText) {
    workflow.open();
    type(Field::Repeat, "0.333");
    EXPECT_TRUE(ok("0.333", "0.8").close);
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.33");
    EXPECT_DOUBLE_EQ(state.defThreshold, 0.33);
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.500000");  // unedited, unsaved

    const struct {
        std::string text;
        int message;
    } bad[] = {{"0.a", 165}, {"1e-1", 165}, {"6", 221},    {"0", 221},
               {"-1", 221},  {"", 220},     {"1.2.", 220}, {"-", 220}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text);
        workflow.open();
        prompter.asked.clear();
        type(Field::Repeat, b.text.empty() ? "x" : b.text);
        const auto result = ok(b.text, "0.8");
        EXPECT_FALSE(result.close);
        EXPECT_EQ(result.focus, Field::Repeat);
        EXPECT_EQ(prompter.ids(), std::vector<int>{b.message});
    }
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.33");

    // A bad text in the other edit is refused too, since both are taken in.
    workflow.open();
    prompter.asked.clear();
    type(Field::Repeat, "0.1");
    EXPECT_EQ(ok("0.1", "9").focus, Field::Inst);
    EXPECT_EQ(prompter.ids(), std::vector<int>{221});
}

TEST_F(Thresholds, AStoredValueWithMoreDecimalsIsShownAndJudgedWithTwo) {
    profile.write(key::kDefThreshold, "0.126");  // edited by hand
    profile.write(key::kInstThreshold, "0.25");
    const ThresholdView& view = workflow.open();
    EXPECT_EQ(view.repeatText, "0.13");
    // The edit holds four characters: what it shows is what OK takes in.
    const std::string shown = view.repeatText.substr(0, kThresholdEditChars);
    type(Field::Inst, "0.25");
    EXPECT_FALSE(ok(shown, "0.25").close);
    EXPECT_EQ(prompter.ids().back(), kStrInstBelowTwiceRepeat);
    EXPECT_EQ(prompter.asked.back().suffix, "0.13");
    type(Field::Inst, "0.26");
    EXPECT_TRUE(ok(shown, "0.26").close);
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.26");
}

TEST_F(Thresholds, DecliningTheConfirmationClosesWithNothingSaved) {
    workflow.open();
    prompter.answers = {Answer::Cancel};
    type(Field::Repeat, "0.1");
    type(Field::Inst, "1");
    workflow.formulaChosen(DeltaEFormula::Ciede2000);
    EXPECT_TRUE(ok("0.1", "1").close);
    EXPECT_EQ(prompter.ids(), std::vector<int>{154});
    EXPECT_EQ(prompter.asked[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.200000");
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.500000");
    EXPECT_EQ(profile.read(key::kDeltaEFormula), "---");
}

TEST_F(Thresholds, LastEditedIsCheckedFirstAndWhatPassedStaysSaved) {
    workflow.open();
    type(Field::Repeat, "0.3");
    type(Field::Inst, "0.8");  // edited last: checked first against the new repeatability
    EXPECT_TRUE(ok("0.3", "0.8").close);
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.80");
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.30");

    workflow.open();
    type(Field::Repeat, "0.5");
    type(Field::Inst, "1.2");
    // Both pass: 1.2 against twice 0.5, then 0.5 against half the 1.2 just saved.
    EXPECT_TRUE(ok("0.5", "1.2").close);
    workflow.open();
    type(Field::Repeat, "0.2");
    type(Field::Inst, "0.3");  // 0.3 < 2 x 0.2: refused before the repeatability is looked at
    EXPECT_FALSE(ok("0.2", "0.3").close);
    EXPECT_EQ(profile.read(key::kInstThreshold), "1.20");
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.50");
}

TEST_F(Thresholds, ShortDecimalTextIsCompletedAndBothEditsRewritten) {
    ThresholdWorkflow comma(seams(profile, ','));
    const ThresholdView& view = comma.open();
    EXPECT_EQ(view.instText, "0,5");
    EXPECT_FALSE(comma.textChanged(Field::Inst, "0,7"));
    EXPECT_FALSE(comma.textChanged(Field::Repeat, ","));
    EXPECT_FALSE(comma.textChanged(Field::Repeat, ",2"));
    EXPECT_TRUE(comma.textChanged(Field::Repeat, ",25"));
    EXPECT_EQ(view.repeatText, "0,25");
    EXPECT_EQ(view.instText, "0,5");  // typed but not taken in: back to its value
    EXPECT_TRUE(comma.ok("0,25", "0,7").close);
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.25");
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.70");
}

TEST_F(Thresholds, FormulaIsSavedAfterTheConfirmation) {
    workflow.open();
    workflow.formulaChosen(DeltaEFormula::Cmc);
    EXPECT_TRUE(ok("0.2", "0.5").close);
    EXPECT_EQ(prompter.ids(), std::vector<int>{154});
    EXPECT_EQ(profile.read(key::kDeltaEFormula), "CMC");
    EXPECT_EQ(workflow.open().formula, DeltaEFormula::Cmc);
}

TEST(Verdict, ShowsTheDecisiveValueBesideTheThresholdReadAgain) {
    test::TempHome home;
    QtProfileStore profile;
    SharedState state;
    TextStringTable strings(
        parseStringTable("106\tfail1\n107\tfail2\n108\tok1\n109\tok2\n"
                         "166\tdisagree1\n167\tdisagree2\n168\tagree\n"));
    CheckVerdict pair{true, 0.4567, std::nullopt};
    state.instThreshold = 0.9;
    test::VirtualClock clock;
    test::ScriptedPrompter prompter;
    AtomicFileStore files;
    const Seams point{state, clock, prompter, profile, files, strings, {'.', ","}};
    const Seams comma{state, clock, prompter, profile, files, strings, {',', ";"}};
    VerdictView v = openVerdict(VerdictMode::InterInstrument, pair, point);
    EXPECT_EQ(v.measuredText, "0.46");
    EXPECT_EQ(v.thresholdText, "0.5");
    EXPECT_DOUBLE_EQ(state.instThreshold, 0.5);  // no profile key: the default, whatever it was
    EXPECT_EQ(v.picture, "PIC/inf_icon.bmp");
    EXPECT_EQ(v.line1, "agree");
    EXPECT_EQ(v.line2, " ");
    EXPECT_EQ(v.formulaLabel, "dE*ab");
    EXPECT_FALSE(v.record);

    pair.passed = false;
    pair.record = emptyRecord(RecordKind::InterInstrument, {2026, 12, 9, 8, 0, 0});
    pair.record->id = 7;
    v = openVerdict(VerdictMode::InterInstrument, pair, point);
    EXPECT_EQ(v.line1 + v.line2 + v.picture, "disagree1disagree2PIC/excl_icon.bmp");
    ASSERT_TRUE(v.record);  // the certificate offered is the check's own record
    EXPECT_EQ(v.record->id, 7);

    profile.write(key::kDefThreshold, "0.15");
    profile.write(key::kDeltaEFormula, "DE00");
    CheckVerdict series{false, 0.2049, std::nullopt};
    v = openVerdict(VerdictMode::Repeatability, series, comma);
    EXPECT_EQ(v.line1 + v.line2 + v.picture, "fail1fail2PIC/excl_icon.bmp");
    EXPECT_EQ(v.measuredText, "0,2");
    EXPECT_EQ(v.thresholdText, "0,15");
    EXPECT_DOUBLE_EQ(state.defThreshold, 0.15);
    EXPECT_EQ(v.formulaLabel, "dE00");
    series.passed = true;
    v = openVerdict(VerdictMode::Repeatability, series, point);
    EXPECT_EQ(v.line1 + v.line2 + v.picture, "ok1ok2PIC/inf_icon.bmp");

    // The check names the formula it was judged in, whatever the profile says by now.
    v = openVerdict(VerdictMode::Repeatability, series, point, "dE*ab");
    EXPECT_EQ(v.formulaLabel, "dE*ab");
    // A difference that could not be computed shows as an empty field.
    series = {false, std::numeric_limits<double>::quiet_NaN(), std::nullopt};
    v = openVerdict(VerdictMode::Repeatability, series, point);
    EXPECT_EQ(v.measuredText, "---");
    EXPECT_EQ(v.thresholdText, "0.15");
}

}  // namespace
}  // namespace qv
