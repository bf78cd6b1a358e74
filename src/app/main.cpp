// qvl70s: the desktop program's composition root.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "core/app/shared_state.h"
#include "core/app/startup_workflow.h"
#include "gui/app/desktop_start.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/gui_prompter.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/validation/inst_error_confirmation_dlg.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/data_folder.h"
#include "platform/app/instance_lock.h"
#include "platform/app/locale_format.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/port_list.h"
#include "platform/link/posix_serial_channel.h"

int main(int argc, char** argv) {
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
    qv::GuiContext context{
        {state, clock, prompter, profile, files, *strings, qv::userNumberFormat()},
        [] { return qv::listSerialPorts(std::string(qv::kNotSet)); },
        qv::programFolder()};
    // The task dialogs of the checks and of user calibration plug in here as they are built.
    qv::TaskDialogs tasks;
    tasks.repeatability = [&context](QWidget* parent) {
        qv::CReproducibleMeasurementDlg dialog(context, parent);
        dialog.exec();
    };
    qv::CorrectionDialogs correction;
    correction.writeCoefficients = [&context](QWidget* parent, qv::EvaluateHueControl&) {
        qv::CCorrCoeffWriteDlg dialog(context, parent);
        dialog.exec();
    };
    correction.registerFromFile = [&context](QWidget* parent, qv::EvaluateHueControl& colour) {
        qv::CDataRegUsingFileDlg dialog(context, colour, parent);
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
    return qv::runDesktopProgram(context, std::move(tasks));
}
