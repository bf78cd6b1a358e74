#pragma once

#include <string>

namespace qv {

class Prompter;
struct SharedState;

inline constexpr int kMsgNotIdentified = 121;

// One connection attempt: identify the instrument, reset the settings of a type-53
// instrument, and record it as connected. The port must already be open.
class ConnectionWorkflow {
public:
    ConnectionWorkflow(SharedState& state, Prompter& prompter);

    // Returns whether an instrument is connected afterwards. A failed identification shows
    // message 121 and leaves the instrument unconnected; a failed settings reset shows it too
    // but the instrument still counts as connected.
    bool connect();
    // "40" until a type-53 instrument has been identified.
    const std::string& modelCode() const { return modelCode_; }

private:
    void tell121();

    SharedState& state_;
    Prompter& prompter_;
    std::string modelCode_ = "40";
};

}  // namespace qv
