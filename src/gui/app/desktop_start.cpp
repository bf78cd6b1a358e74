#include "gui/app/desktop_start.h"

#include "gui/app/splash_wnd.h"
#include "gui/app/task_dialogs.h"
#include "gui/help/operator_guide.h"
#include "gui/kit/gui_context.h"

namespace qv {

int runDesktopProgram(GuiContext& context, LogbookStore* logbook) {
    TaskDialogs tasks = taskDialogs(context, logbook);
    showStartupSplash(context);
    // Made before the main window and ended after it: F1 works in every window of the run.
    OperatorGuide guide(guideFolder(context.programFolder));
    guide.installF1();
    tasks.guide = [&guide](QWidget* from) { guide.showContents(from); };
    CBrenmoorDlg mainWindow(context, std::move(tasks));
    mainWindow.runModal();
    return 0;
}

}  // namespace qv
