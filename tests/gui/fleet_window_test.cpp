// The fleet window and the check intervals: instruments worst first with their status in words
// and when their checks are due, a row opening its history; the intervals read from the logbook,
// checked before any is sent, and kept for the whole lab.
#include <QCheckBox>
#include <QSpinBox>
#include <QTreeWidget>

#include "gui/log/check_intervals_dlg.h"
#include "gui/log/fleet_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/sql_logbook.h"

namespace qv {
namespace {

using FleetWindow = test::GuiFixture;

// A repeatability check of `serial` made `daysAgo` days before now.
void repeatability(SqlLogbook& logbook, const std::string& serial, std::int64_t now, int daysAgo,
                   bool passed) {
    CheckRecord r = emptyRecord(RecordKind::Repeatability, localTimeOf(now - daysAgo * 86400));
    r.serial = serial;
    r.instrumentType = "53";
    r.threshold = 0.1;
    r.passed = passed;
    for (AngleRecord& a : r.angles) a.deltaE = passed ? 0.03 : 0.2;
    logbook.record(r);
}

TEST_F(FleetWindow, ListsTheWorstFirstInWordsAndARowOpensItsHistory) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    const std::int64_t now = clock.calendarSeconds();
    repeatability(logbook, "L70S-000001", now, 0, true);
    repeatability(logbook, "L70S-000002", now, 3, true);
    repeatability(logbook, "L70S-000003", now, 0, false);
    std::string why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::Repeatability, {1, 0}, why)) << why;
    std::string opened;
    CFleetDlg dialog(context, logbook, nullptr, [&](const std::string& s) { opened = s; });
    ASSERT_TRUE(test::waitUntil([&] { return !dialog.reading(); }));
    const QTreeWidget* table = dialog.table();
    ASSERT_EQ(table->topLevelItemCount(), 3);
    const int repeatabilityColumn = 3 + int(CheckKind::Repeatability);
    const std::vector<std::array<QString, 3>> rows = {{"L70S-000003", "FAILED", "due tomorrow"},
                                                      {"L70S-000002", "OVERDUE", "2 days overdue"},
                                                      {"L70S-000001", "ok", "due tomorrow"}};
    for (int i = 0; i < 3; ++i) {
        const QTreeWidgetItem* item = table->topLevelItem(i);
        EXPECT_EQ(item->text(0), rows[i][0]);
        EXPECT_EQ(item->text(2), rows[i][1]) << i;
        EXPECT_EQ(item->text(repeatabilityColumn), rows[i][2]) << i;
        EXPECT_EQ(item->text(3 + int(CheckKind::TileSet)), "never checked");
    }
    EXPECT_TRUE(dialog.summary().startsWith("3 instruments: 1 failed, 1 overdue, 0 due soon, 1 ok"))
        << dialog.summary().toStdString();
    emit const_cast<QTreeWidget*>(table)->itemActivated(table->topLevelItem(1), 0);
    EXPECT_EQ(opened, "L70S-000002");
}

TEST_F(FleetWindow, CheckIntervalsAreCheckedBeforeAnyIsSentAndKeptForTheLab) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    std::string why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::TileSet, {90, 14}, why)) << why;
    CCheckIntervalsDlg dialog(context, logbook);
    ASSERT_TRUE(test::waitUntil([&] { return !dialog.busy(); }));
    // What the logbook holds is shown; a kind never set is off, with the suggestion in its fields.
    EXPECT_TRUE(dialog.row(CheckKind::TileSet).inForce->isChecked());
    EXPECT_EQ(dialog.row(CheckKind::TileSet).lead->value(), 14);
    EXPECT_FALSE(dialog.row(CheckKind::Repeatability).inForce->isChecked());
    EXPECT_FALSE(dialog.row(CheckKind::Repeatability).days->isEnabled());

    const CCheckIntervalsDlg::Row& repeat = dialog.row(CheckKind::Repeatability);
    repeat.inForce->setChecked(true);
    repeat.days->setValue(2);
    repeat.lead->setValue(5);  // not below its days: nothing is sent
    dialog.row(CheckKind::TileSet).inForce->setChecked(false);
    dialog.accept();
    EXPECT_FALSE(dialog.busy());
    EXPECT_TRUE(dialog.problem().startsWith("repeatability: ")) << dialog.problem().toStdString();
    EXPECT_EQ(intervalOf(*logbook.checkIntervals(), CheckKind::TileSet).days, 90);

    repeat.lead->setValue(1);
    dialog.accept();
    ASSERT_TRUE(test::waitUntil([&] { return !dialog.busy(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << dialog.problem().toStdString();
    const CheckIntervals kept = *logbook.checkIntervals();
    EXPECT_EQ(intervalOf(kept, CheckKind::Repeatability), (CheckInterval{2, 1}));
    EXPECT_FALSE(intervalOf(kept, CheckKind::TileSet).days);
}

}  // namespace
}  // namespace qv
