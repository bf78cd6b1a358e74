// The dialog of the repeatability check over many readings against the simulated instrument.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>

#include "gui/measure/extended_repeatability_dlg.h"
#include "gui_fixture.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

sim::Options noisyRed() {
    sim::Options o = test::oneInstrument("53", "L70S-000001", "red");
    o.instruments[0].noise = 0.05;
    return o;
}

struct ExtendedDialog : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
        context.logbook = &logbook;
    }
    std::size_t dataFiles() const {
        const auto it = std::filesystem::directory_iterator(state.strDataFolder);
        return static_cast<std::size_t>(std::distance(it, std::filesystem::directory_iterator()));
    }
    test::SimInstrument sim{noisyRed()};
    SqlLogbook logbook{home.path() + "/logbook.sqlite"};
};

TEST_F(ExtendedDialog, TenReadingsFillTheTableAndTheCharts) {
    CExtendedRepeatabilityDlg dialog(context);
    auto* spin = dialog.findChild<QSpinBox*>(QStringLiteral("readingsSpin"));
    ASSERT_TRUE(spin);
    EXPECT_EQ(spin->value(), 20);
    EXPECT_EQ(spin->minimum(), 10);
    EXPECT_EQ(spin->maximum(), 30);
    spin->setValue(10);
    dialog.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    EXPECT_TRUE(prompter.asked.empty());
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("spreadTable"));
    ASSERT_TRUE(table && table->item(2, 4));
    const auto& spread = dialog.workflow().result()->spread;
    EXPECT_EQ(table->item(1, 1)->text(), QString::number(spread[1].sd[0], 'f', 3));
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("MCDM (dE*ab)"));
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("progressLabel"))
                    ->text()
                    .startsWith(QStringLiteral("10 readings taken")));
    for (int a = 0; a < kAngleCount; ++a) {
        EXPECT_EQ(dialog.abPoints(a).size(), 10);
        ASSERT_EQ(dialog.lPoints(a).size(), 10);
        EXPECT_EQ(dialog.lPoints(a).back().x(), 10.0);
    }
    EXPECT_EQ(dataFiles(), 1u);
    EXPECT_EQ(logbook.records("L70S-000001").size(), 1u);
}

TEST_F(ExtendedDialog, DecliningToPlaceTheSpecimenAgainStopsAndRecordsNothing) {
    CExtendedRepeatabilityDlg dialog(context);
    dialog.findChild<QCheckBox*>(QStringLiteral("handlingCheck"))->setChecked(true);
    prompter.answers = {Answer::Ok, Answer::Ok, Answer::Cancel};
    dialog.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    EXPECT_EQ(prompter.ids(), std::vector<int>(3, kStrLiftSpecimen));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("progressLabel"))->text(),
              QStringLiteral("The series was stopped; nothing was recorded."));
    EXPECT_EQ(dataFiles(), 0u);
    EXPECT_TRUE(logbook.records("L70S-000001").empty());
    EXPECT_TRUE(dialog.findChild<QSpinBox*>(QStringLiteral("readingsSpin"))->isEnabled());
}

}  // namespace
}  // namespace qv
