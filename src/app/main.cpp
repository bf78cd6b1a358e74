// qvl70s: the desktop program's composition root.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "core/app/shared_state.h"
#include "core/app/startup_workflow.h"
#include "gui/app/desktop_start.h"
#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/gui_prompter.h"
#include "gui/kit/instrument_strip.h"
#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/tiles/tile_set_dlg.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/data_folder.h"
#include "platform/app/instance_lock.h"
#include "platform/app/locale_format.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/port_list.h"
#include "platform/link/posix_serial_channel.h"
#include "platform/log/fleet_logbook.h"

namespace {

const char kHelp[] = R"(Usage: qvl70s [OPTION]...
The desktop program of QV-L70s: connects a multi-angle spectrophotometer on a serial port,
calibrates it, checks its repeatability, compares it with a reference instrument and writes
correction factors into one of its user-calibration entries.

Options:
  -h, --help     this text
  --version      the program's version
Qt's own options (such as -platform NAME or -style NAME) are passed on to Qt.

Only one copy runs at a time for a user; a second start ends at once.

Files:
  ~/.config/VARNHOLT/QV-L70s.conf      settings ($XDG_CONFIG_HOME is honoured)
  ~/Documents/VARNHOLT/QV-L70s/Data/   result and record files (the documents folder follows
                                       $XDG_DOCUMENTS_DIR or the desktop's user-dirs setting)
  VNBRMRes.rcc, Splash, PIC/           texts, icon and pictures: beside the program, else in
                                       ../share/qvl70s from the program's folder
The operator's account must be in group dialout to open the serial port.
)";

}  // namespace

namespace {

// --help and --version are answered before the window system or the data folder is touched:
// help2man and a terminal without a display ask them too.
std::optional<int> answeredBeforeStart(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qvl70s %s\n", qv::programVersion().c_str());
            return 0;
        }
    }
    return std::nullopt;
}

// The task dialogs of the checks and of user calibration, plugged into the main window.
qv::TaskDialogs taskDialogs(qv::GuiContext& context, qv::LogbookStore* logbook) {
    qv::TaskDialogs tasks;
    tasks.repeatability = [&context](QWidget* parent) {
        qv::CReproducibleMeasurementDlg dialog(context, parent);
        dialog.exec();
    };
    tasks.extendedRepeatability = [&context](QWidget* parent) {
        qv::CExtendedRepeatabilityDlg dialog(context, parent);
        dialog.exec();
    };
    qv::CorrectionDialogs correction;
    correction.writeCoefficients = [&context](QWidget* parent, qv::EvaluateHueControl&) {
        qv::CCorrCoeffWriteDlg dialog(context, parent);
        dialog.exec();
        return dialog.writtenCorrection();
    };
    correction.registerFromFile = [&context](QWidget* parent, qv::EvaluateHueControl& colour) {
        qv::CDataRegUsingFileDlg dialog(context, colour, parent);
        dialog.exec();
    };
    correction.tileSet = [&context](QWidget* parent, qv::EvaluateHueControl& colour) {
        qv::CTileSetDlg dialog(context, colour, parent);
        dialog.exec();
    };
    tasks.coeffFile = [&context](QWidget* parent) {
        qv::CCoeffReadWriteDlg dialog(context, parent);
        dialog.exec();
    };
    tasks.interInstrument = [&context, correction](QWidget* parent) {
        qv::CInstErrorConfirmationDlg dialog(context, correction, parent);
        dialog.exec();
    };
    if (logbook && logbook->isOpen()) tasks.logbook = logbook;
    return tasks;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto code = answeredBeforeStart(argc, argv)) return *code;

    std::string dataFolder;
    const std::string resources = qv::resourceFilePath();
    std::unique_ptr<qv::ResourceStringTable> strings;
    qv::InstanceLock instance;
    switch (qv::startProgram({[&] { dataFolder = qv::setUpDataFolder(); },
                              [&] {
                                  strings = qv::loadResourceStrings(resources);
                                  return strings != nullptr;
                              },
                              [&] { return instance.tryLock(); }})) {
        case qv::ProgramStart::NoResources:
            // Without its texts the program shows nothing at all.
            std::fprintf(stderr, "qvl70s: cannot load the resource file %s\n", resources.c_str());
            return 1;
        case qv::ProgramStart::AlreadyRunning:
            std::fprintf(stderr, "qvl70s: already running (lock %s)\n", instance.path().c_str());
            return 0;
        case qv::ProgramStart::Run:
            break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QV-L70s"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(qv::kApplicationIconResource)));

    qv::GuiClock clock;
    qv::SharedState state(std::make_unique<qv::PosixSerialChannel>());
    state.strDataFolder = dataFolder;
    state.version = qv::programVersion();
    qv::QtProfileStore profile;
    qv::GuiPrompter prompter(*strings);
    qv::AtomicFileStore files;
    // A logbook that cannot be had costs no check: its problem is told once, here or later.
    const std::unique_ptr<qv::LogbookStore> logbook = qv::openLogbook(
        prompter, profile, qv::LogbookChoice::InForce, qv::FleetLogbook::Sending::ByOthers);
    // Records that wait for the server are sent from a thread, so that no window waits for it.
    std::unique_ptr<qv::WaitingSender> sender;
    if (auto* fleet = dynamic_cast<qv::FleetLogbook*>(logbook.get())) {
        sender = std::make_unique<qv::WaitingSender>(fleet->location(), qv::logbookPath());
        fleet->sendWaitingWith([&sender] { sender->poke(); });
    }
    qv::GuiActivity activity;
    qv::GuiContext context{{state, clock, prompter, profile, files, *strings,
                            qv::userNumberFormat(), logbook.get(), &activity},
                           [] { return qv::listSerialPorts(std::string(qv::kNotSet)); },
                           qv::resourceFolder()};
    return qv::runDesktopProgram(context, taskDialogs(context, logbook.get()));
}
