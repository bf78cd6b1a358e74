#pragma once

// The instrument's end of the line: the master side of a pseudo-terminal whose slave side is
// the "port" programs open.

#include <string>

namespace qv::sim {

struct PseudoTerminal {
    int master = -1;        // non-blocking
    std::string slavePath;  // /dev/pts/N
};

// Opens a pseudo-terminal and puts its slave side into raw mode (no echo, no CR/LF
// translation, 8 data bits, 9600 baud), as a serial line behaves. False with a reason.
bool openPseudoTerminal(PseudoTerminal& pty, std::string& error);

void closePseudoTerminal(PseudoTerminal& pty);

// Makes `linkPath` a symbolic link to `target`, replacing an older link atomically. Refuses
// to replace anything but a symbolic link.
bool pointLink(const std::string& linkPath, const std::string& target, std::string& error);

// Removes `linkPath` when it is a symbolic link to `target`.
void removeLinkTo(const std::string& linkPath, const std::string& target);

}  // namespace qv::sim
