#include "gui/app/task_dialogs.h"

#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/kit/gui_context.h"
#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/tiles/tile_set_dlg.h"
#include "platform/log/logbook_store.h"

namespace qv {

TaskDialogs taskDialogs(GuiContext& context, LogbookStore* logbook) {
    TaskDialogs tasks;
    tasks.repeatability = [&context](QWidget* parent) {
        CReproducibleMeasurementDlg dialog(context, parent);
        dialog.exec();
    };
    tasks.extendedRepeatability = [&context](QWidget* parent) {
        CExtendedRepeatabilityDlg dialog(context, parent);
        dialog.exec();
    };
    tasks.coeffFile = [&context](QWidget* parent) {
        CCoeffReadWriteDlg dialog(context, parent);
        dialog.exec();
    };
    // The one dialog the check cannot open itself: the tile set lies above it.
    TileSetHook tileSet = [&context, logbook](QWidget* parent, EvaluateHueControl& colour) {
        CTileSetDlg dialog(context, colour, parent, logbook);
        dialog.exec();
    };
    tasks.interInstrument = [&context, tileSet, logbook](QWidget* parent) {
        CInstErrorConfirmationDlg dialog(context, userCalibrationDialogs(context, tileSet), parent,
                                         logbook);
        dialog.exec();
    };
    if (logbook && logbook->isOpen()) tasks.logbook = logbook;
    return tasks;
}

}  // namespace qv
