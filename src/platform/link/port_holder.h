#pragma once

#include <string>

#include "core/app/serial_channel.h"

namespace qv {

// The open() or lock failure `err` as the operator's cause.
PortOpenFailure portOpenFailureFor(int err);

// The process holding the device, "minicom (process 1234)", found through /proc; empty when
// the system does not say (another user's process, or no /proc).
std::string portHolder(const std::string& devicePath);

}  // namespace qv
