#pragma once

#include <string>

#include "core/app/seams.h"
#include "core/link/identify.h"

namespace qv {

// The port as the main window and the connection dialog show it.
struct PortStatus {
    PortState state = PortState::NotOpen;
    std::string port;  // the port held open, or the one that hung up; empty when not open
};

// Looks at the port of the shared state (see SerialChannel::checkLine), so that a line that hung
// up while nobody was talking shows as such. An instrument counts as connected only on an open
// port: when the port is not open, the connected flag is cleared here.
PortStatus checkPort(SharedState& state);

// One connection attempt: identify the instrument, reset the settings of a type-53
// instrument, and record it as connected. A port that is not open (closed after a hang-up, or
// not opened at start) is first opened again with the saved settings, as at start.
class ConnectionWorkflow {
public:
    explicit ConnectionWorkflow(const Seams& seams);

    // Returns whether an instrument is connected afterwards. A saved port that cannot be
    // opened again shows the port's message; a failed identification shows message 121; either
    // leaves the instrument unconnected. A failed settings reset shows 121 too but the
    // instrument still counts as connected.
    bool connect();
    // The port an attempt works on: the one open, else the saved one it would open; empty when
    // there is neither.
    std::string portToConnect() const;
    // "40" until a type-53 instrument has been identified.
    const std::string& modelCode() const { return modelCode_; }
    // The last identification and settings reset, for callers that report them.
    const IdentifyResult& identification() const { return id_; }
    const SettingsResetResult& reset() const { return reset_; }

private:
    void tell121(std::string detail);

    Seams s_;
    std::string modelCode_ = "40";
    IdentifyResult id_;
    SettingsResetResult reset_;
};

}  // namespace qv
