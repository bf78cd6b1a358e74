#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "core/app/string_table.h"
#include "gui/checks/instr_stability_dlg.h"
#include "gui/kit/spectra_chart.h"
#include "gui/validation/inst_error_confirmation_dlg.h"
#include "gui/validation/validation_dlg.h"
#include "gui_fixture.h"
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
    EXPECT_EQ(child<QLabel>(dialog, "instrumentLabel")->text(), QStringLiteral("L70S-100001"));
    EXPECT_FALSE(enabled(dialog, "judgeButton"));

    measureWith(dialog, "targetButton", 179);
    EXPECT_NE(child(dialog, "targetL75Field")->text(), QStringLiteral("---"));
    EXPECT_EQ(child(dialog, "sampleL75Field")->text(), QStringLiteral("---"));
    sim.control("plug DUT");
    measureWith(dialog, "sampleButton", 180);
    EXPECT_EQ(prompter.ids(), (std::vector<int>{155, 155}));
    ASSERT_TRUE(enabled(dialog, "judgeButton"));

    QString measured;
    test::onNextModal([&](QWidget* d) {
        EXPECT_TRUE(dynamic_cast<CInstrStabilityDlg*>(d));
        measured = child(*d, "measuredEdit")->text();
        static_cast<QDialog*>(d)->accept();
    });
    click(dialog, "judgeButton");
    EXPECT_FALSE(state.interInstPassed);
    EXPECT_EQ(measured.toStdString(),
              context.format.general(roundedToTwoDecimals(state.interInstMaxDeltaE)));
    EXPECT_EQ(child(dialog, "dE75Field")->text().toStdString(),
              context.format.display(static_cast<float>(state.interInstDeltaE[2])));
    // Disagreeing, plausible spectra: correction would be next, once its dialog exists.
    EXPECT_TRUE(dialog.workflow().view().writeEnabled);
    EXPECT_FALSE(enabled(dialog, "writeButton"));
    EXPECT_FALSE(child<QPushButton>(dialog, "writeButton")->toolTip().isEmpty());
    EXPECT_EQ(dialog.chart()->points(2, SpectraChart::Curve::Ratio).size(), 31);
    EXPECT_FALSE(dialog.chart()->failureLineNm(2));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(state.strDataFolder), {}), 2);

    click(dialog, "resetButton");
    EXPECT_EQ(child(dialog, "dE75Field")->text(), QStringLiteral("---"));
    EXPECT_FALSE(enabled(dialog, "judgeButton"));
    EXPECT_TRUE(dialog.chart()->points(0, SpectraChart::Curve::Target).isEmpty());
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

}  // namespace
}  // namespace qv
