#pragma once

#include <string>

#include "core/app/prompter.h"
#include "core/app/serial_channel.h"

namespace qv {

// The message box for a port that could not be opened: a missing port, a port the user may
// not use (the fix: the group dialout) and a port another program holds (named when known)
// each have their own text; any other refusal gives message 118.
Message portNotOpenedMessage(const PortOpenError& error);

// The same in one line of English, for the command line.
std::string describe(const PortOpenError& error);

}  // namespace qv
