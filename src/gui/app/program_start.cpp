#include "gui/app/program_start.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "core/app/startup_workflow.h"
#include "platform/app/data_folder.h"
#include "platform/app/resource_file.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/sql_logbook.h"

namespace qv {

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

std::optional<int> answeredBeforeStart(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qvl70s %s\n", programVersion().c_str());
            return 0;
        }
    }
    return std::nullopt;
}

ProgramFiles::ProgramFiles() = default;
ProgramFiles::~ProgramFiles() = default;

std::optional<int> ProgramFiles::refusal() {
    const std::string resources = resourceFilePath();
    switch (startProgram({[this] { dataFolder = setUpDataFolder(); },
                          [&] {
                              strings = loadResourceStrings(resources);
                              return strings != nullptr;
                          },
                          [this] { return instance.tryLock(); }})) {
        case ProgramStart::NoResources:
            // Without its texts the program shows nothing at all.
            std::fprintf(stderr, "qvl70s: cannot load the resource file %s\n", resources.c_str());
            return 1;
        case ProgramStart::AlreadyRunning:
            std::fprintf(stderr, "qvl70s: already running (lock %s)\n", instance.path().c_str());
            return 0;
        case ProgramStart::Run:
            break;
    }
    return std::nullopt;
}

void dressApplication() {
    QApplication::setApplicationName(QStringLiteral("QV-L70s"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(kApplicationIconResource)));
}

DesktopLogbook::DesktopLogbook(Prompter& prompter, ProfileStore& profile)
    : logbook_(
          openLogbook(prompter, profile, LogbookChoice::InForce, FleetLogbook::Sending::ByOthers)) {
    if (auto* fleet = dynamic_cast<FleetLogbook*>(logbook_.get())) {
        sender_ = std::make_unique<WaitingSender>(fleet->location(), logbookPath());
        fleet->sendWaitingWith([this] { sender_->poke(); });
    }
}

DesktopLogbook::~DesktopLogbook() = default;

}  // namespace qv
