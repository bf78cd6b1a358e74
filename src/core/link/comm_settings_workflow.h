#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/app/seams.h"
#include "core/link/port_names.h"

namespace qv {

class Prompter;
class ProfileStore;
struct SharedState;

// The four line-setting lists of the port settings dialog. Every entry begins with the number
// it stands for, which is what the serial line is given.
enum class LineList { BaudRate = 0, DataLength = 1, Parity = 2, StopBits = 3 };
inline constexpr int kLineListCount = 4;

const std::vector<std::string>& lineEntries(LineList list);
// The entry chosen when nothing is saved: 9600 baud, 8 data bits, no parity, one stop bit.
int defaultLineIndex(LineList list);
// What is saved for a stop-bits choice: "1 bit" for index 0, "%d bits" with index + 1 otherwise.
std::string stopBitsText(int index);

// What the dialog shows.
struct CommSettingsView {
    std::vector<PortEntry> ports;
    int portIndex = -1;  // -1: no port listed
    std::array<int, kLineListCount> lineIndex{};
    // False while an instrument is connected: the settings are shown but cannot be changed.
    bool editable = true;
};

// What the operator chose. The port is the name of the listed port chosen, or a device path
// typed by hand.
struct CommSettingsChoice {
    std::string port;
    std::array<int, kLineListCount> lineIndex{};
};

enum class CommSettingsResult { Saved, Unchanged, OpenFailed, ParamsRefused };

// Choosing the serial port and its line settings. On OK the port is reopened with the choice
// and, when that works, the choice is saved for the next start.
class CommSettingsWorkflow {
public:
    explicit CommSettingsWorkflow(const Seams& seams);

    // `reportedPorts`: the serial ports the system reports, in any order. Looks at the port
    // first (see checkPort): an instrument whose line hung up no longer locks the settings.
    const CommSettingsView& open(std::vector<PortEntry> reportedPorts);
    CommSettingsResult ok(const CommSettingsChoice& choice);
    const CommSettingsView& view() const { return view_; }

private:
    SharedState& state_;
    ProfileStore& profile_;
    Prompter& prompter_;
    CommSettingsView view_;
};

}  // namespace qv
