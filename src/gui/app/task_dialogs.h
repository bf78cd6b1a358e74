#pragma once

#include "gui/app/brenmoor_dlg.h"

namespace qv {

struct GuiContext;
class LogbookStore;

// Which dialog each of the main window's tasks opens, with `context` lent to it: the checks,
// user calibration and the tile set from the inter-instrument check. The logbook is the
// Logbook menu's when it is open; none leaves that menu's reading items disabled.
TaskDialogs taskDialogs(GuiContext& context, LogbookStore* logbook);

}  // namespace qv
