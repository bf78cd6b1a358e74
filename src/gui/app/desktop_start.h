#pragma once

#include "gui/app/brenmoor_dlg.h"

namespace qv {

struct GuiContext;

// What the desktop program runs once its resource file is loaded and it is the only
// instance: the one-second splash, then the main window until the operator ends it, with the
// operator's guide in its Help menu and on F1 in every window.
int runDesktopProgram(GuiContext& context, TaskDialogs tasks);

}  // namespace qv
