#pragma once

#include <QString>

namespace qv {
class Clock;
class Prompter;
class ProfileStore;
struct SharedState;
}  // namespace qv

namespace qv::cli {

struct Options;

// Opens `portName` into `state.commPort` with the line settings the desktop program saved
// (baud rate, data length, parity), as that program reopens its port at start; 9600 baud, 8
// data bits, no parity when none are saved. The port named on the command line replaces the
// saved one. False after the reason was printed on the verb's error stream as "VERB: reason".
bool openPortWithSavedSettings(const Options& o, const QString& portName, SharedState& state,
                               ProfileStore& profile, Prompter& prompter);

}  // namespace qv::cli
