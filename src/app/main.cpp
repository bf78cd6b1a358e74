// qvl70s: the desktop program's composition root: the platform's pieces lent to the windows.
#include <QApplication>
#include <memory>

#include "core/app/shared_state.h"
#include "gui/app/desktop_start.h"
#include "gui/app/program_start.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/gui_prompter.h"
#include "gui/kit/instrument_strip.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/port_list.h"
#include "platform/link/posix_serial_channel.h"

int main(int argc, char** argv) {
    if (const auto code = qv::answeredBeforeStart(argc, argv)) return *code;
    qv::ProgramFiles start;
    if (const auto code = start.refusal()) return *code;

    QApplication app(argc, argv);
    qv::dressApplication();
    qv::GuiClock clock;
    qv::SharedState state(std::make_unique<qv::PosixSerialChannel>());
    state.strDataFolder = start.dataFolder;
    state.version = qv::programVersion();
    qv::QtProfileStore profile;
    qv::GuiPrompter prompter(*start.strings);
    qv::AtomicFileStore files;
    const qv::DesktopLogbook logbook(prompter, profile);
    qv::GuiActivity activity;
    qv::GuiContext context{{state, clock, prompter, profile, files, *start.strings,
                            qv::userNumberFormat(), logbook.store(), &activity},
                           [] { return qv::listSerialPorts(std::string(qv::kNotSet)); },
                           qv::resourceFolder()};
    return qv::runDesktopProgram(context, logbook.store());
}
