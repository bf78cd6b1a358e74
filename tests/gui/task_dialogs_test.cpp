#include <QPushButton>
#include <functional>
#include <typeinfo>

#include "gui/app/task_dialogs.h"
#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/tiles/tile_set_dlg.h"
#include "gui_fixture.h"
#include "platform/log/sql_logbook.h"

namespace qv {
namespace {

using Task = std::function<void(QWidget*)>;

struct TaskWiring : test::GuiFixture {
    // The type of the dialog `open` runs, and whether `parent` is its parent; the dialog is
    // closed at once.
    template <typename Open>
    std::pair<const std::type_info*, bool> opened(const Open& open, QWidget* parent) {
        const std::type_info* type = nullptr;
        bool child = false;
        test::onNextModal(
            [&](QWidget* d) {
                type = &typeid(*d);
                child = d->parentWidget() == parent;
                static_cast<QDialog*>(d)->reject();
            },
            parent);
        open();
        return {type, child};
    }
    static QPushButton* button(QWidget& w, const char* name) {
        return w.findChild<QPushButton*>(QString::fromLatin1(name));
    }
};

// Each of the main window's tasks opens its own dialog, over the window that asked for it.
TEST_F(TaskWiring, EachTaskOpensItsDialogOverTheMainWindow) {
    const TaskDialogs tasks = taskDialogs(context, nullptr);
    QDialog mainWindow;
    const std::pair<const Task*, const std::type_info*> expected[] = {
        {&tasks.repeatability, &typeid(CReproducibleMeasurementDlg)},
        {&tasks.extendedRepeatability, &typeid(CExtendedRepeatabilityDlg)},
        {&tasks.coeffFile, &typeid(CCoeffReadWriteDlg)},
        {&tasks.interInstrument, &typeid(CInstErrorConfirmationDlg)}};
    for (const auto& [task, type] : expected) {
        ASSERT_TRUE(*task) << type->name();
        const auto [seen, child] = opened([&] { (*task)(&mainWindow); }, &mainWindow);
        ASSERT_TRUE(seen) << type->name();
        EXPECT_EQ(*seen, *type);
        EXPECT_TRUE(child) << type->name();
    }
}

// The check the program opens has its corrections: the registration from a file, which the
// check opens itself, and the tile set, which comes in through the check's one hook.
TEST_F(TaskWiring, TheInterInstrumentCheckOpensRegistrationAndTheTileSet) {
    const TaskDialogs tasks = taskDialogs(context, nullptr);
    QDialog mainWindow;
    std::pair<const std::type_info*, bool> registration{}, tileSet{};
    bool writeReady = false;
    test::onNextModal(
        [&](QWidget* check) {
            writeReady = button(*check, "writeButton")->toolTip().isEmpty();
            registration = opened([&] { button(*check, "registerButton")->click(); }, check);
            tileSet = opened([&] { button(*check, "tileSetButton")->click(); }, check);
            static_cast<QDialog*>(check)->reject();
        },
        &mainWindow);
    tasks.interInstrument(&mainWindow);
    EXPECT_TRUE(writeReady);  // the write waits for a judgement, not for its dialog
    ASSERT_TRUE(registration.first);
    EXPECT_EQ(*registration.first, typeid(CDataRegUsingFileDlg));
    EXPECT_TRUE(registration.second);
    ASSERT_TRUE(tileSet.first);
    EXPECT_EQ(*tileSet.first, typeid(CTileSetDlg));
    EXPECT_TRUE(tileSet.second);
}

// The Logbook menu reads a logbook only when it could be opened.
TEST_F(TaskWiring, TheLogbookMenuGetsOnlyAnOpenLogbook) {
    SqlLogbook open(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(open.isOpen());
    EXPECT_EQ(taskDialogs(context, &open).logbook, &open);
    SqlLogbook closed(home.path() + "/no/such/folder/logbook.sqlite");
    ASSERT_FALSE(closed.isOpen());
    EXPECT_EQ(taskDialogs(context, &closed).logbook, nullptr);
    EXPECT_EQ(taskDialogs(context, nullptr).logbook, nullptr);
}

}  // namespace
}  // namespace qv
