#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/app/seams.h"
#include "core/link/port_names.h"

namespace qv {

// The seams and the shared state every dialog of the desktop program works with, plus what
// only the desktop needs. Built once by the program's composition root (or by a test) and lent
// to each dialog for its run; the workflows take it as their seams.
struct GuiContext : Seams {
    // A constructor, not aggregate braces: GCC's optimiser takes a braced base's members for
    // uninitialised on the path where a later member's construction throws.
    GuiContext(const Seams& seams, std::function<std::vector<PortEntry>()> ports = {},
               std::string folder = {})
        : Seams(seams), listPorts(std::move(ports)), programFolder(std::move(folder)) {}

    // The serial ports the system reports.
    std::function<std::vector<PortEntry>()> listPorts;
    // Where the pictures lie ("Splash", "PIC/...").
    std::string programFolder;
};

}  // namespace qv
