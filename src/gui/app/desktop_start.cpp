#include "gui/app/desktop_start.h"

#include "gui/app/splash_wnd.h"

namespace qv {

int runDesktopProgram(GuiContext& context, TaskDialogs tasks) {
    showStartupSplash(context);
    CBrenmoorDlg mainWindow(context, std::move(tasks));
    mainWindow.runModal();
    return 0;
}

}  // namespace qv
