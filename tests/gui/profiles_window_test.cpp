// The profiles window: every profile on record with its age and status, read off the window's
// thread; one past its date is due, one whose file was edited cannot be used.
#include <QLabel>
#include <QTreeWidget>
#include <map>

#include "gui/log/profiles_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "profiles_fill.h"

namespace qv {
namespace {

using ProfilesWindow = test::GuiFixture;

TEST_F(ProfilesWindow, ListsEachProfileWithItsAgeAndStatus) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    test::keepProfiles(logbook, home.path(), clock.calendarSeconds());
    CProfilesDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    const QTreeWidget* table = dialog.table();
    ASSERT_EQ(table->topLevelItemCount(), 3);
    std::map<QString, const QTreeWidgetItem*> bySerial;
    for (int i = 0; i < 3; ++i) bySerial[table->topLevelItem(i)->text(1)] = table->topLevelItem(i);
    EXPECT_EQ(bySerial["L70S-200002"]->text(6), "current");
    EXPECT_EQ(bySerial["L70S-200002"]->text(4), "10");
    EXPECT_EQ(bySerial["L70S-200002"]->text(7), "0.060");
    EXPECT_EQ(bySerial["L70S-300003"]->text(6), "due");
    EXPECT_EQ(bySerial["L70S-400004"]->text(6), "cannot be used");
    EXPECT_TRUE(bySerial["L70S-400004"]->toolTip(6).contains("changed after it was recorded"));
    EXPECT_TRUE(dialog.findChild<QLabel*>()->text().contains("1 due again"));
    EXPECT_TRUE(dialog.driftText().isEmpty());  // no fleet profiled twice
}

// A fleet profiled twice to its virtual master: below the list, how far the master itself moved.
TEST_F(ProfilesWindow, ShowsTheVirtualMastersOwnDrift) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    test::keepFleet(logbook, home.path(), clock.calendarSeconds());
    CProfilesDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(dialog.table()->topLevelItemCount(), 6);
    const QString drift = dialog.driftText();
    EXPECT_TRUE(drift.startsWith("Virtual master (3 instruments, Ceramics, 5 tiles)"))
        << drift.toStdString();
    EXPECT_TRUE(drift.contains(": its own drift 25° ")) << drift.toStdString();
}

}  // namespace
}  // namespace qv
