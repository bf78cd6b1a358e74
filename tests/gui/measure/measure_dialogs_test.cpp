#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "core/app/profile_store.h"
#include "core/app/string_table.h"
#include "core/colour/colour_requests.h"
#include "core/link/commands.h"
#include "gui/measure/average_measurement_dlg.h"
#include "gui/measure/calibration_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui_fixture.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct MeasureDialogs : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
    }
    template <typename T = QLineEdit>
    static T* child(QWidget& w, const QString& name) {
        T* found = w.findChild<T*>(name);
        EXPECT_TRUE(found) << name.toStdString();
        return found;
    }
    static QString text(QWidget& w, const char* name) {
        return child(w, QString::fromLatin1(name))->text();
    }
    static void click(QWidget& w, const char* name) {
        child<QPushButton>(w, QString::fromLatin1(name))->click();
    }
    static bool enabled(QWidget& w, const char* name) {
        return child<QPushButton>(w, QString::fromLatin1(name))->isEnabled();
    }
    // Every field of a row ("l", "dE", "sdA") at 25°, 45° and 75° shows "---".
    static bool rowEmpty(QWidget& w, const char* prefix) {
        for (const char* angle : {"25", "45", "75"})
            if (text(w, (std::string(prefix) + angle + "Field").c_str()) != QStringLiteral("---"))
                return false;
        return true;
    }
    QString string(int id) const { return QString::fromStdString(strings->text(id)); }

    test::SimInstrument sim{"53"};
};

TEST_F(MeasureDialogs, RepeatabilityDialogRunsASeriesToItsVerdict) {
    CReproducibleMeasurementDlg dialog(context);
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("0/3"));
    EXPECT_FALSE(child<QLabel>(dialog, "pictureLabel")->pixmap().isNull());
    for (const char* row : {"l", "a", "b", "dl", "da", "db", "dE"})
        EXPECT_TRUE(rowEmpty(dialog, row));
    EXPECT_EQ(child<QLabel>(dialog, "deltaECaption")->text(), QStringLiteral("dE*ab"));
    for (const char* b : {"measureButton", "averageButton", "calibrateButton"})
        EXPECT_FALSE(enabled(dialog, b)) << b;

    test::onNextModal([](QWidget* d) { click(*d, "connectButton"); });
    click(dialog, "connectButton");
    ASSERT_TRUE(state.bConnected);
    for (const char* b : {"measureButton", "averageButton", "calibrateButton"})
        EXPECT_TRUE(enabled(dialog, b)) << b;

    // While the question before measurements 2 and 3 waits, no step of the exchange shows.
    QStringList stepsAtQuestion;
    prompter.onAsk = [&](const Message&) { stepsAtQuestion << activity.currentStep(); };
    click(dialog, "measureButton");
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("1/3"));
    EXPECT_FALSE(rowEmpty(dialog, "l"));
    // The instruction names the next measurement as soon as this one is in.
    EXPECT_EQ(child<QLabel>(dialog, "instructionLabel")->text(), string(172));
    EXPECT_TRUE(rowEmpty(dialog, "dE"));
    click(dialog, "measureButton");
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("2/3"));
    EXPECT_EQ(child<QLabel>(dialog, "instructionLabel")->text(), string(173));
    EXPECT_FALSE(rowEmpty(dialog, "dE"));

    // A formula chosen mid-series counts from the next series: the verdict names the one the
    // series was judged in.
    profile.write(key::kDeltaEFormula, "DE00");
    bool verdictShown = false;
    QString verdictCaption;
    QString verdictInstrument;
    test::onNextModal([&](QWidget* d) {
        verdictShown = dynamic_cast<CInstrStabilityDlg*>(d) != nullptr;
        verdictCaption = child<QLabel>(*d, "measuredCaption")->text();
        verdictInstrument = child<QLabel>(*d, "instrumentLabel")->text();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the busy cursor ended before
        EXPECT_TRUE(rowEmpty(dialog, "dE"));  // measurement 3's differences come afterwards
        static_cast<QDialog*>(d)->accept();
    });
    click(dialog, "measureButton");
    EXPECT_TRUE(verdictShown);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(verdictCaption.contains(QStringLiteral("dE*ab"))) << verdictCaption.toStdString();
    // The finished series keeps its count and its verdict beside its values.
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("3/3"));
    auto* verdictLine = child<QLabel>(dialog, "verdictLabel");
    EXPECT_FALSE(verdictLine->isHidden());
    EXPECT_TRUE(verdictLine->text().startsWith("Verdict: repeatable"))
        << verdictLine->text().toStdString();
    EXPECT_TRUE(verdictLine->styleSheet().contains("#1b6e20"));
    EXPECT_EQ(child<QLabel>(dialog, "instructionLabel")->text(), string(169));
    EXPECT_FALSE(rowEmpty(dialog, "dE"));
    EXPECT_TRUE(state.repeatPassed);  // the same specimen without noise
    EXPECT_EQ(verdictInstrument.toStdString(),
              "Instrument " + state.repeatSerial + " (type 53) passed the repeatability check");
    EXPECT_EQ(prompter.ids(), (std::vector<int>{174, 174}));
    EXPECT_EQ(prompter.asked[0].icon, Icon::Question);
    EXPECT_EQ(stepsAtQuestion, (QStringList{QString(), QString()}));
    EXPECT_TRUE(std::filesystem::exists(dialog.workflow().resultFile()));

    // The next series starts at 1, and the old verdict goes with it.
    click(dialog, "measureButton");
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("1/3"));
    EXPECT_TRUE(verdictLine->isHidden());

    dialog.show();
    dialog.close();  // the close box, like Close, keeps the series for the next check
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(state.repeatSpectrum[8].empty());

    // Opened again over the main window's connection: ready to measure at once.
    CReproducibleMeasurementDlg again(context);
    EXPECT_TRUE(enabled(again, "measureButton"));
}

TEST_F(MeasureDialogs, AverageDialogFromTheRepeatabilityCheck) {
    CReproducibleMeasurementDlg dialog(context);
    test::onNextModal([](QWidget* d) { click(*d, "connectButton"); });
    click(dialog, "connectButton");

    QString countAfterTwo;
    bool deviationsShown = false;
    test::onNextModal([&](QWidget* d) {
        EXPECT_FALSE(enabled(*d, "finishButton"));
        EXPECT_EQ(text(*d, "countField"), QStringLiteral("0"));
        click(*d, "measureButton");
        EXPECT_TRUE(enabled(*d, "finishButton"));
        EXPECT_TRUE(rowEmpty(*d, "sdL"));
        EXPECT_FALSE(rowEmpty(*d, "l"));
        click(*d, "measureButton");
        countAfterTwo = text(*d, "countField");
        deviationsShown = !rowEmpty(*d, "sdL") && !rowEmpty(*d, "sdB");
        click(*d, "finishButton");
    });
    click(dialog, "averageButton");
    EXPECT_EQ(countAfterTwo, QStringLiteral("2"));
    EXPECT_TRUE(deviationsShown);
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("1/3"));
    EXPECT_FALSE(rowEmpty(dialog, "l"));

    // Cancelled: the series does not move on.
    test::onNextModal([](QWidget* d) {
        click(*d, "measureButton");
        click(*d, "cancelButton");
    });
    click(dialog, "averageButton");
    EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), QStringLiteral("1/3"));

    click(dialog, "cancelButton");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(state.repeatSpectrum[0].empty());  // Cancel drops the series
}

TEST_F(MeasureDialogs, AverageDialogEndsTheWaitCursorWithTheExchange) {
    // Notes at each pause whether the wait cursor is up.
    struct CursorClock : test::VirtualClock {
        void sleepMs(std::uint32_t ms) override {
            pauses.emplace_back(ms, QApplication::overrideCursor() != nullptr);
            VirtualClock::sleepMs(ms);
        }
        std::vector<std::pair<std::uint32_t, bool>> pauses;
    } cursorClock;
    GuiContext withClock{
        {state, cursorClock, prompter, profile, files, *strings, {}}, {}, QV_BIN_DIR};
    ASSERT_EQ(sim.control("set A:type=40"), "ok");  // pauses in and after the exchange
    const auto colour = makeColourEngine(KEY_VERSION3, DeltaEFormula::Cie76);
    CAverageMeasurementDlg dialog(withClock, *colour, AverageSetup{});
    click(dialog, "measureButton");
    EXPECT_EQ(text(dialog, "countField"), QStringLiteral("1"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_GE(cursorClock.pauses.size(), 2u);
    EXPECT_EQ(cursorClock.pauses.back(), std::make_pair(kType40ButtonPauseMs, false));
    cursorClock.pauses.pop_back();
    for (const auto& [ms, busy] : cursorClock.pauses) EXPECT_TRUE(busy) << ms;
}

TEST_F(MeasureDialogs, CalibrationDialogSteps) {
    state.strInstrumentId = "L70S-000042";
    {
        CCalibrationDlg dialog(context);
        const QString zeroTitle = dialog.windowTitle();
        EXPECT_TRUE(
            child<QPushButton>(dialog, QStringLiteral("skipZeroButton"))->isVisibleTo(&dialog));
        EXPECT_FALSE(child<QLabel>(dialog, "pictureLabel")->pixmap().isNull());
        click(dialog, "okButton");  // zero calibration
        EXPECT_EQ(dialog.windowTitle(), string(110));
        EXPECT_EQ(child<QLabel>(dialog, "instructionLabel")->text(), string(110));
        EXPECT_FALSE(
            child<QPushButton>(dialog, QStringLiteral("skipZeroButton"))->isVisibleTo(&dialog));
        EXPECT_NE(zeroTitle, dialog.windowTitle());
        click(dialog, "okButton");  // white calibration
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(sim.received(), (std::vector<std::string>{"UZC\\r\\n", "CAL\\r\\n"}));
    // Confirmed by the instrument, so the main window can say it was done and when.
    EXPECT_EQ(state.lastCalibration.rfind("L70S-000042 at ", 0), 0u) << state.lastCalibration;
    EXPECT_EQ(state.lastCalibration.size(), std::string("L70S-000042 at 00:00").size());
    {
        CCalibrationDlg dialog(context);
        click(dialog, "skipZeroButton");
        EXPECT_EQ(dialog.windowTitle(), string(110));
        click(dialog, "cancelButton");
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(state.whiteCalibrationPending);
    }
    EXPECT_EQ(sim.received().size(), 2u);  // skip and cancel send nothing
}

}  // namespace
}  // namespace qv
