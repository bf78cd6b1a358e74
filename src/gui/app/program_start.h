#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/app/instance_lock.h"
#include "platform/log/logbook_store.h"

namespace qv {

class Prompter;
class ProfileStore;
class ResourceStringTable;
class WaitingSender;

// --help and --version are answered before the window system or the data folder is touched:
// help2man and a terminal without a display ask them too. The exit code when one was asked.
std::optional<int> answeredBeforeStart(int argc, char** argv);

// What the desktop program holds before its first window: the data folder, its texts and the
// lock that keeps it the only copy running for the user.
struct ProgramFiles {
    std::string dataFolder;
    std::unique_ptr<ResourceStringTable> strings;
    InstanceLock instance;

    ProgramFiles();
    ~ProgramFiles();
    ProgramFiles(const ProgramFiles&) = delete;
    ProgramFiles& operator=(const ProgramFiles&) = delete;

    // Sets them up in their order; the exit code (said on standard error) when the program
    // must not run: its texts are missing, or another copy runs.
    std::optional<int> refusal();
};

// The application's name, style and icon; after QApplication is made.
void dressApplication();

// The logbook in force for this run and, when it is a server's, the thread that sends it the
// records that wait here, so that no window waits for the server.
class DesktopLogbook {
public:
    // A logbook that cannot be had costs no check: its problem is told once, here or later.
    DesktopLogbook(Prompter& prompter, ProfileStore& profile);
    ~DesktopLogbook();
    DesktopLogbook(const DesktopLogbook&) = delete;
    DesktopLogbook& operator=(const DesktopLogbook&) = delete;

    // None when there is no documents folder.
    LogbookStore* store() const { return logbook_.get(); }

private:
    std::unique_ptr<LogbookStore> logbook_;
    std::unique_ptr<WaitingSender> sender_;  // ended before the logbook it sends for
};

}  // namespace qv
