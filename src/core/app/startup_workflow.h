#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/app/string_ids.h"

namespace qv {

class Prompter;
class ProfileStore;
struct SharedState;

// What the desktop program does before its windows.
struct ProgramStartSteps {
    std::function<void()> setUpDataFolder;
    std::function<bool()> loadResources;  // false: the resource file is missing
    std::function<bool()> lockInstance;   // false: another instance holds the lock
};

enum class ProgramStart { Run, NoResources, AlreadyRunning };

// Runs the start-up steps in their order. The data folder comes first, so that its first two
// levels exist even when the program then ends for want of its resources or as a second
// instance.
ProgramStart startProgram(const ProgramStartSteps& steps);

enum class StartupPort {
    Opened,    // the saved port is open with the saved line settings
    Failed,    // saved settings exist but the port refused them (message 118 was shown)
    NotSaved,  // no complete saved settings: the caller opens the port settings dialog
};

// The port and line settings saved last time, as they are applied: the leading numbers of the
// baud rate, data length and parity texts. Nothing unless all five keys are saved.
struct SavedPortSettings {
    std::string port;
    std::uint32_t baudRate = 0;
    std::uint8_t dataBits = 0;
    std::uint8_t parity = 0;
};
std::optional<SavedPortSettings> savedPortSettings(ProfileStore& profile);

// Reopens the serial port with the settings saved last time: at start, and when Connect finds
// the port closed (after a hang-up). The stop-bits setting is read but not applied: the line
// always uses one stop bit.
StartupPort connectWithSavedSettings(SharedState& state, ProfileStore& profile, Prompter& prompter);

// Which of the main window's task buttons may be pressed. A task whose dialog is not built
// into this program stays disabled whatever the rules say.
enum class MainTask { Repeatability = 0, InterInstrument = 1, CoeffFile = 2 };

class MainWindowState {
public:
    MainWindowState(bool repeatability, bool interInstrument, bool coeffFile);
    bool enabled(MainTask task) const;
    // The repeatability dialog closed: the inter-instrument check follows only a passed series.
    void repeatabilityClosed(bool repeatPassed);
    // The inter-instrument dialog closed: coefficients may be written from now on.
    void interInstrumentClosed();

private:
    bool available_[3];
    bool allowed_[3] = {true, false, false};
};

}  // namespace qv
