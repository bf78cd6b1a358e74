#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "core/app/string_table.h"
#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/checks/validation_dlg.h"
#include "gui/kit/spectra_chart.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "profiles_fill.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct ValidationDialogs : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        clock.rawReadSource = state.commPort.get();
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
    }
    template <typename T = QLineEdit>
    static T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static void click(QWidget& w, const char* name) { child<QPushButton>(w, name)->click(); }
    static bool enabled(QWidget& w, const char* name) {
        return child<QPushButton>(w, name)->isEnabled();
    }
    // Runs the validation dialog that `button` opens and measures there.
    void measureWith(QWidget& hub, const char* button, int headingId) {
        bool seen = false;
        test::onNextModal([&](QWidget* d) {
            seen = dynamic_cast<CValidationDlg*>(d) != nullptr;
            EXPECT_EQ(child<QLabel>(*d, "headingLabel")->text().toStdString(),
                      strings->text(headingId));
            EXPECT_EQ(child<QLabel>(*d, "pictureLabel")->pixmap().size(), QSize(172, 230));
            click(*d, "measureButton");
        });
        click(hub, button);
        EXPECT_TRUE(seen);
    }

    test::SimInstrument sim{test::referenceAndCorrected({1.02, 1.03, 1.05})};
};

TEST_F(ValidationDialogs, TargetSampleJudgementAndVerdictOfTwoInstruments) {
    CInstErrorConfirmationDlg dialog(context);
    EXPECT_FALSE(enabled(dialog, "targetButton"));
    test::onNextModal([](QWidget* d) { click(*d, "connectButton"); });
    click(dialog, "connectButton");
    ASSERT_TRUE(state.bConnected);
    EXPECT_EQ(child<QLabel>(dialog, "instrumentLabel")->text(),
              QStringLiteral("L70S-100001, type 53"));
    EXPECT_FALSE(enabled(dialog, "judgeButton"));

    const auto instruction = [&] { return child<QLabel>(dialog, "instructionLabel")->text(); };
    EXPECT_TRUE(instruction().contains("reference instrument"));
    measureWith(dialog, "targetButton", 179);
    EXPECT_NE(child(dialog, "targetL75Field")->text(), QStringLiteral("---"));
    EXPECT_EQ(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));
    EXPECT_TRUE(instruction().contains("instrument under correction"));
    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    EXPECT_EQ(prompter.ids(), (std::vector<int>{155, 155}));
    ASSERT_TRUE(enabled(dialog, "judgeButton"));
    EXPECT_EQ(instruction(), QStringLiteral("Press Judge."));
    EXPECT_TRUE(child<QLabel>(dialog, "verdictLabel")->isHidden());

    QString measured;
    test::onNextModal([&](QWidget* d) {
        EXPECT_TRUE(dynamic_cast<CInstrStabilityDlg*>(d));
        measured = child(*d, "measuredEdit")->text();
        static_cast<QDialog*>(d)->accept();
    });
    click(dialog, "judgeButton");
    const Judgement& judged = *dialog.workflow().judgement();
    EXPECT_FALSE(judged.passed);
    EXPECT_EQ(measured.toStdString(),
              context.format.general(roundedToTwoDecimals(judged.maxDeltaE)));
    EXPECT_EQ(child(dialog, "dE75Field")->text().toStdString(),
              context.format.display(static_cast<float>(judged.deltaE[2])));
    // The verdict stays in view once its window closed, and the instruction moves on.
    auto* verdict = child<QLabel>(dialog, "verdictLabel");
    EXPECT_FALSE(verdict->isHidden());
    EXPECT_TRUE(verdict->text().startsWith("Verdict: the instruments DISAGREE"));
    EXPECT_TRUE(verdict->styleSheet().contains("#b00020"));
    EXPECT_TRUE(instruction().contains("Write coefficients..."));
    // Disagreeing, plausible spectra: correction would be next, once its dialog exists.
    EXPECT_TRUE(dialog.workflow().view().writeEnabled);
    EXPECT_FALSE(enabled(dialog, "writeButton"));
    EXPECT_FALSE(child<QPushButton>(dialog, "writeButton")->toolTip().isEmpty());
    EXPECT_EQ(dialog.chart()->points(2, SpectraChart::Curve::Ratio).size(), 31);
    EXPECT_FALSE(dialog.chart()->failureLineNm(2));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(state.strDataFolder), {}), 2);

    click(dialog, "resetButton");
    EXPECT_TRUE(verdict->isHidden());
    EXPECT_EQ(child(dialog, "dE75Field")->text(), QStringLiteral("---"));
    EXPECT_FALSE(enabled(dialog, "judgeButton"));
    EXPECT_TRUE(dialog.chart()->points(0, SpectraChart::Curve::Target).isEmpty());
}

// A judgement of an instrument with a profile in the logbook shows its differences through the
// profile beside those as read, naming the profile; a new pair asks again.
TEST_F(ValidationDialogs, AJudgementShowsItsDifferencesThroughTheSamplesProfile) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    test::keepProfile(logbook, home.path(), "L70S-200002", clock.calendarSeconds() - 86400, 90,
                      0.05, {1 / 1.02, 1 / 1.03, 1 / 1.05});
    CInstErrorConfirmationDlg dialog(context, {}, nullptr, &logbook);
    test::onNextModal([](QWidget* d) { click(*d, "connectButton"); });
    click(dialog, "connectButton");
    measureWith(dialog, "targetButton", 179);
    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    test::onNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
    click(dialog, "judgeButton");
    auto* standardised = child<QLabel>(dialog, "standardisedLabel");
    ASSERT_TRUE(test::waitUntil([&] { return !standardised->isHidden(); }));
    const QString text = standardised->text();
    EXPECT_TRUE(text.contains("through profile 1 to L70S-100001 of")) << text.toStdString();
    const QRegularExpression values(
        "as read ([0-9.]+) / ([0-9.]+) / ([0-9.]+), standardised ([0-9.]+) / ([0-9.]+) / "
        "([0-9.]+)");
    const QRegularExpressionMatch m = values.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    for (int a = 1; a <= kAngleCount; ++a) {
        EXPECT_GT(m.captured(a).toDouble(), 0.5);
        EXPECT_LT(m.captured(a + kAngleCount).toDouble(), 0.1);
    }
    click(dialog, "resetButton");
    EXPECT_TRUE(standardised->isHidden());
}

// The tile set opens from the check with the check's own colour engine, and only once the
// program has plugged it in.
TEST_F(ValidationDialogs, TheTileSetOpensWithTheChecksColourEngine) {
    CInstErrorConfirmationDlg without(context);
    EXPECT_FALSE(enabled(without, "tileSetButton"));
    EXPECT_FALSE(child<QPushButton>(without, "tileSetButton")->toolTip().isEmpty());
    const EvaluateHueControl* opened = nullptr;
    CorrectionDialogs correction;
    correction.tileSet = [&](QWidget*, EvaluateHueControl& colour) { opened = &colour; };
    CInstErrorConfirmationDlg dialog(context, correction);
    ASSERT_TRUE(enabled(dialog, "tileSetButton"));
    click(dialog, "tileSetButton");
    EXPECT_EQ(opened, &const_cast<InterInstrumentWorkflow&>(dialog.workflow()).colour());
}

// After a write the operator agrees to measure again but cancels, or the measurement fails:
// nothing is judged until a sample measured after the correction is there.
TEST_F(ValidationDialogs, AVerificationIsJudgedOnlyOnASampleMeasuredAfterTheCorrection) {
    state.bConnected = true;
    int writes = 0;
    CorrectionDialogs correction;
    correction.writeCoefficients = [&](QWidget*, EvaluateHueControl&) {
        ++writes;
        return std::optional<WrittenCorrection>(WrittenCorrection{});
    };
    CInstErrorConfirmationDlg dialog(context, correction);
    measureWith(dialog, "targetButton", 179);
    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    test::onNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
    click(dialog, "judgeButton");
    ASSERT_TRUE(enabled(dialog, "writeButton"));
    const auto dataFiles = [&] {
        return std::distance(std::filesystem::directory_iterator(state.strDataFolder), {});
    };
    const auto judged = dataFiles();
    prompter.asked.clear();
    prompter.answers = {Answer::Yes};
    test::onNextModal([](QWidget* d) { click(*d, "cancelButton"); });
    click(dialog, "writeButton");
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrVerifyCorrection});
    EXPECT_FALSE(enabled(dialog, "judgeButton"));
    EXPECT_FALSE(enabled(dialog, "writeButton"));
    click(dialog, "judgeButton");  // disabled: nothing happens
    sim.control("unplug");
    measureWith(dialog, "sampleButton", 180);
    EXPECT_FALSE(enabled(dialog, "judgeButton"));
    EXPECT_EQ(dataFiles(), judged);
    EXPECT_TRUE(child<QLabel>(dialog, "correctionLabel")->text().contains("Correction written"));

    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    ASSERT_TRUE(enabled(dialog, "judgeButton"));
    test::onNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
    click(dialog, "judgeButton");
    EXPECT_EQ(prompter.ids().back(), kStrCorrectionNotApplied);  // the simulator holds no entry
    EXPECT_EQ(dataFiles(), judged + 1);
    EXPECT_TRUE(child<QLabel>(dialog, "correctionLabel")->text().contains("Before correction"));
}

// A new measurement after an implausible judgement clears its marker and the way to write.
TEST_F(ValidationDialogs, ANewMeasurementClearsTheJudgementOfThePairBefore) {
    test::SimInstrument implausible{test::referenceAndCorrected({1.0, 1.0, 2.1})};
    state.commPort->close();
    ASSERT_TRUE(state.commPort->open(implausible.port()));
    clock.rawReadSource = state.commPort.get();
    state.bConnected = true;
    CInstErrorConfirmationDlg dialog(context);
    measureWith(dialog, "targetButton", 179);
    implausible.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    test::onNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
    click(dialog, "judgeButton");
    ASSERT_TRUE(dialog.chart()->failureLineNm(2));
    measureWith(dialog, "sampleButton", 180);
    EXPECT_FALSE(dialog.chart()->failureLineNm(2));
    EXPECT_EQ(child(dialog, "dE75Field")->text(), QStringLiteral("---"));
    EXPECT_FALSE(dialog.workflow().view().writeEnabled);
}

// An averaged sample is asked about as a direct one: once its instrument named itself for the
// first reading, before anything is measured. Go back keeps the average window, empty, and the
// check keeps its target; Measure anyway is asked once and the average goes on.
TEST_F(ValidationDialogs, AnAveragedSampleIsAskedAboutBeforeItsFirstReading) {
    state.repeatPassed = true;
    state.repeatSerial = "L70S-100001";
    state.bConnected = true;
    CInstErrorConfirmationDlg dialog(context);
    measureWith(dialog, "targetButton", 179);
    const QString target = child(dialog, "targetL75Field")->text();
    sim.control("plug DUT");
    const auto measured = [this] {
        const auto sent = sim.received();
        return std::count_if(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("MES", 0) == 0; });
    };
    const auto before = measured();
    std::vector<long> measuredAtQuestion;
    prompter.onAsk = [&](const Message& m) {
        if (m.stringId == kStrOtherRepeatable) measuredAtQuestion.push_back(measured() - before);
    };
    // `inAverage` runs in the average window opened from the sample window.
    const auto average = [&](const std::function<void(QWidget&)>& inAverage) {
        test::onNextModal([&](QWidget* validation) {
            test::onNextModal([&](QWidget* d) { inAverage(*d); }, validation);
            click(*validation, "averageButton");
        });
        click(dialog, "sampleButton");
    };
    bool stayedEmpty = false;
    prompter.answers = {Answer::No};
    average([&](QWidget& d) {
        click(d, "measureButton");
        stayedEmpty = d.isVisible() && enabled(d, "measureButton") &&
                      child(d, "countField")->text() == QStringLiteral("0");
        click(d, "cancelButton");
    });
    EXPECT_EQ(measuredAtQuestion, std::vector<long>{0});
    EXPECT_TRUE(stayedEmpty);
    EXPECT_EQ(child(dialog, "targetL75Field")->text(), target);
    EXPECT_EQ(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));

    measuredAtQuestion.clear();
    prompter.answers = {Answer::Yes};
    average([&](QWidget& d) {
        click(d, "measureButton");
        click(d, "measureButton");
        click(d, "finishButton");
    });
    EXPECT_EQ(measuredAtQuestion, std::vector<long>{0});
    EXPECT_EQ(measured() - before, 2);
    EXPECT_EQ(child(dialog, "targetL75Field")->text(), target);
    EXPECT_NE(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));
}

// Enter in the measurement dialog starts nothing: a measurement is a deliberate press.
TEST_F(ValidationDialogs, EnterDoesNotStartAMeasurement) {
    InterInstrumentWorkflow check(context);
    CValidationDlg dialog(context, check.colour(), ValidationRole::Sample);
    dialog.show();
    for (const char* name : {"measureButton", "averageButton", "cancelButton"}) {
        auto* button = child<QPushButton>(dialog, name);
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
        button->setFocus();
        for (QWidget* target : {static_cast<QWidget*>(button), static_cast<QWidget*>(&dialog)}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(target, &press);
        }
    }
    EXPECT_FALSE(dialog.measurement());
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// What the measuring dialog in front showed at each step of an exchange: its instrument line,
// its step line and whether its Cancel could be pressed.
struct SeenAtStep {
    QString instrument, step;
    bool cancelEnabled = true;
    int width = 0;
};

TEST_F(ValidationDialogs, EachDialogNamesTheInstrumentItTalksToThroughACableMove) {
    std::vector<SeenAtStep> seen;
    QObject::connect(&activity, &GuiActivity::stepChanged, [&seen](const QString& step) {
        auto* modal = dynamic_cast<CValidationDlg*>(QApplication::activeModalWidget());
        if (!modal || step.isEmpty()) return;
        auto* strip = modal->findChild<InstrumentStrip*>();
        QApplication::processEvents();  // a layout that grew has resized the dialog now
        seen.push_back({strip ? strip->instrumentText() : QString(), step,
                        modal->findChild<QPushButton*>("cancelButton")->isEnabled(),
                        modal->width()});
    });
    // The repeatability check of this session was passed by the reference.
    state.repeatPassed = true;
    state.repeatSerial = "L70S-100001";
    CInstErrorConfirmationDlg dialog(context);
    test::onNextModal([](QWidget* d) { click(*d, "connectButton"); });
    click(dialog, "connectButton");
    measureWith(dialog, "targetButton", 179);
    ASSERT_FALSE(seen.empty());
    for (const SeenAtStep& s : seen) {
        EXPECT_FALSE(s.cancelEnabled) << s.step.toStdString();
        EXPECT_EQ(s.width, seen.front().width) << s.step.toStdString();  // it does not widen
        if (s.step.startsWith("Measuring")) {
            EXPECT_EQ(s.instrument, QStringLiteral("Instrument: L70S-100001, type 53"));
        }
    }
    EXPECT_EQ(seen.back().step, QStringLiteral("Measuring: reading the 75° spectrum"));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const SeenAtStep& s) {
        return s.step == QStringLiteral("Measuring: waiting for the 45° reading");
    }));

    // The cable goes to the instrument under correction: every line follows it, and the
    // question comes once it named itself, before it measures. Go back keeps the sample window
    // and the target.
    sim.control("plug DUT");
    seen.clear();
    const QString target = child(dialog, "targetL75Field")->text();
    const auto measured = [this] {
        const auto sent = sim.received();
        return std::count_if(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("MES", 0) == 0; });
    };
    const auto before = measured();
    long measuredAtQuestion = -1;
    QString stepAtQuestion = QStringLiteral("unset");
    prompter.onAsk = [&](const Message& m) {
        if (m.stringId != kStrOtherRepeatable) return;
        measuredAtQuestion = measured() - before;
        stepAtQuestion = activity.currentStep();
        EXPECT_EQ(m.yesText, "Measure anyway");
        EXPECT_EQ(m.noText, "Go back");
    };
    bool stayed = false;
    prompter.answers = {Answer::No};
    test::onNextModal([&](QWidget* d) {
        click(*d, "measureButton");
        stayed = d->isVisible() && enabled(*d, "measureButton");
        static_cast<QDialog*>(d)->reject();
    });
    click(dialog, "sampleButton");
    EXPECT_EQ(prompter.ids().back(), kStrOtherRepeatable);
    EXPECT_EQ(measuredAtQuestion, 0);
    EXPECT_TRUE(stepAtQuestion.isEmpty()) << stepAtQuestion.toStdString();
    EXPECT_TRUE(stayed);
    EXPECT_EQ(child(dialog, "targetL75Field")->text(), target);
    EXPECT_EQ(child<QLabel>(dialog, "instrumentLabel")->text(),
              QStringLiteral("L70S-200002, type 53"));
    EXPECT_EQ(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));
    prompter.answers = {Answer::Yes, Answer::Ok};  // measure anyway; measurement finished
    measureWith(dialog, "sampleButton", 180);
    for (const SeenAtStep& s : seen) {
        if (s.step.startsWith("Measuring")) {
            EXPECT_EQ(s.instrument, QStringLiteral("Instrument: L70S-200002, type 53"));
        }
    }
    EXPECT_NE(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));
    EXPECT_TRUE(child<QLabel>(dialog, "pairLabel")->text().contains("L70S-100001"));
    EXPECT_TRUE(child<QLabel>(dialog, "pairLabel")->text().contains("L70S-200002, type 53"));

    // Back on the reference: a new target window names the instrument under correction only
    // as the one identified last, and its step line is empty, until its exchange identifies
    // the reference.
    sim.control("plug REF");
    QString footAtOpening, stepAtOpening, footAfter;
    test::onNextModal([&](QWidget* d) {
        auto* strip = d->findChild<InstrumentStrip*>();
        footAtOpening = strip->instrumentText();
        stepAtOpening = strip->stepText();
        QObject::connect(&activity, &GuiActivity::instrumentChanged, d,
                         [&, strip] { footAfter = strip->instrumentText(); });
        click(*d, "measureButton");
    });
    click(dialog, "targetButton");
    EXPECT_EQ(footAtOpening, QStringLiteral("Last identified: L70S-200002, type 53"));
    EXPECT_TRUE(stepAtOpening.isEmpty()) << stepAtOpening.toStdString();
    EXPECT_EQ(footAfter, QStringLiteral("Instrument: L70S-100001, type 53"));
    sim.control("plug DUT");
    prompter.answers = {Answer::Yes, Answer::Ok};
    measureWith(dialog, "sampleButton", 180);

    // The verdict says which two instruments it is about.
    QString about;
    test::onNextModal([&](QWidget* d) {
        about = child<QLabel>(*d, "instrumentLabel")->text();
        static_cast<QDialog*>(d)->accept();
    });
    click(dialog, "judgeButton");
    EXPECT_EQ(about,
              QStringLiteral("Reference L70S-100001, under correction L70S-200002 (type 53)"));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The sample that proves a correction is judged at once: its measurement is acknowledged in
// the status line, not in one more box.
TEST_F(ValidationDialogs, TheProofOfACorrectionAsksNoBoxForItsMeasurement) {
    state.bConnected = true;
    // The reference passed the repeatability check: the sample's instrument is asked about once,
    // not again for the proof.
    state.repeatPassed = true;
    state.repeatSerial = "L70S-100001";
    CorrectionDialogs correction;
    correction.writeCoefficients = [](QWidget*, EvaluateHueControl&) {
        return std::optional<WrittenCorrection>(WrittenCorrection{});
    };
    CInstErrorConfirmationDlg dialog(context, correction);
    measureWith(dialog, "targetButton", 179);
    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    test::onNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
    click(dialog, "judgeButton");
    prompter.asked.clear();
    prompter.answers = {Answer::Yes};
    int verdicts = 0;
    test::onNextModal([&](QWidget* d) {
        click(*d, "measureButton");
        test::onNextModal([&](QWidget* v) {
            verdicts += dynamic_cast<CInstrStabilityDlg*>(v) != nullptr;
            static_cast<QDialog*>(v)->accept();
        });
    });
    click(dialog, "writeButton");
    EXPECT_EQ(prompter.ids(), (std::vector<int>{kStrVerifyCorrection, kStrCorrectionNotApplied}));
    EXPECT_EQ(verdicts, 1);
    EXPECT_EQ(dialog.findChild<InstrumentStrip*>()->stepText().toStdString(),
              strings->text(kStrMeasurementFinished));
    // What that measurement finished is no news to a window opened afterwards, nor to Judge.
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    CValidationDlg next(context, *engine, ValidationRole::Sample, &dialog);
    EXPECT_TRUE(next.findChild<InstrumentStrip*>()->stepText().isEmpty());
    test::onNextModal([](QWidget* v) { static_cast<QDialog*>(v)->accept(); });
    click(dialog, "judgeButton");
    EXPECT_TRUE(dialog.findChild<InstrumentStrip*>()->stepText().isEmpty());
}

}  // namespace
}  // namespace qv
