#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/app/seams.h"
#include "core/app/shared_state.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/link/posix_serial_channel.h"
#include "sim/simulator.h"
#include "support/project_strings.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv::test {

// Virtual time, with a trace of the pauses and a line that can fall silent.
class RigClock : public VirtualClock {
public:
    void sleepMs(std::uint32_t ms) override;
    // After `silentAfterMisses` input waits in a row found nothing (0: never), the line counts
    // as silent: further waits take no real time, so a long time-out costs nothing.
    bool waitForInput(ByteSource& source, std::uint32_t ms) override;
    int silentAfterMisses = 0;
    // Called with each pause before it is taken.
    std::function<void(std::uint32_t)> beforeSleep;

private:
    int misses_ = 0;
};

// The simulated instrument on a pseudo-terminal, the real serial channel on its other end,
// virtual time and scripted answers.
class MeasureRig {
public:
    explicit MeasureRig(const std::string& type = "53", double noise = 0.0);
    // Several instruments behind the port, the first plugged in.
    explicit MeasureRig(sim::Options options);

    // A control command for the simulator ("fault MES silence"); the test fails unless it is
    // accepted.
    void control(const std::string& command);
    // Commands the instrument received since the last call, as on the wire ("MES\r\n" with the
    // control characters escaped).
    std::vector<std::string> takeCommands();
    // The pauses the code under test slept since the last call.
    std::vector<std::uint32_t> takeSleeps();
    // From now on, commands and pauses go into one trace in the order they happened.
    void startTrace();
    // The trace since startTrace() or the last call: commands as takeCommands() gives them,
    // pauses as "wait 500 ms".
    std::vector<std::string> takeTrace();

    SerialChannel& port() { return *state.commPort; }

    RigClock clock;
    sim::Simulator sim;
    SharedState state;
    ScriptedPrompter prompter;
    TempHome home;
    QtProfileStore profile;
    AtomicFileStore files;

    // The workflows' seams over this rig; files in the comma-decimal format.
    Seams seams() {
        return Seams{state, clock, prompter, profile, files, projectStrings(), {',', ";"}};
    }

private:
    // Appends the commands logged so far to `into` and clears the log.
    void drainCommands(std::vector<std::string>& into);
    std::vector<std::string> trace_;
};

// A pause as the trace shows it.
std::string waitEntry(std::uint32_t ms);

// The wire form of repeated commands: n times `command`.
std::vector<std::string> repeated(const std::string& command, int n);
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b);

}  // namespace qv::test
