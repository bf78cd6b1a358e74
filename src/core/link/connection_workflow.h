#pragma once

#include <string>

#include "core/app/seams.h"
#include "core/link/identify.h"

namespace qv {

// One connection attempt: identify the instrument, reset the settings of a type-53
// instrument, and record it as connected. The port must already be open.
class ConnectionWorkflow {
public:
    explicit ConnectionWorkflow(const Seams& seams);

    // Returns whether an instrument is connected afterwards. A failed identification shows
    // message 121 and leaves the instrument unconnected; a failed settings reset shows it too
    // but the instrument still counts as connected.
    bool connect();
    // "40" until a type-53 instrument has been identified.
    const std::string& modelCode() const { return modelCode_; }
    // The last identification and settings reset, for callers that report them.
    const IdentifyResult& identification() const { return id_; }
    const SettingsResetResult& reset() const { return reset_; }

private:
    void tell121();

    Seams s_;
    std::string modelCode_ = "40";
    IdentifyResult id_;
    SettingsResetResult reset_;
};

}  // namespace qv
