#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

class Clock;
class Prompter;
class ProfileStore;
class StringTable;
struct SharedState;

// The seams and the shared state every dialog of the desktop program works with. Built once
// by the program's composition root (or by a test) and lent to each dialog for its run.
struct GuiContext {
    SharedState& state;
    ProfileStore& profile;
    Prompter& prompter;
    Clock& clock;
    const StringTable& strings;
    // The serial ports the system reports.
    std::function<std::vector<std::string>()> listPorts;
    // Where the pictures lie ("Splash", "PIC/...").
    std::string programFolder;
    // The user's decimal separator, for numbers in dialog fields.
    char decimalSeparator = '.';
};

}  // namespace qv
