#pragma once

namespace qv {

struct GuiContext;
class LogbookStore;

// What the desktop program runs once its resource file is loaded and it is the only
// instance: the one-second splash, then the main window until the operator ends it, with the
// operator's guide in its Help menu and on F1 in every window. The main window's tasks open the
// program's dialogs (taskDialogs), its Logbook menu reads `logbook`.
int runDesktopProgram(GuiContext& context, LogbookStore* logbook);

}  // namespace qv
