#pragma once

#include <string>
#include <vector>

namespace qv {

// The serial ports the system reports (names such as "ttyS0", "ttyUSB0"), in natural order,
// plus the saved port when the system does not report it (a pseudo-terminal, an adapter
// unplugged right now).
std::vector<std::string> listSerialPorts(const std::string& savedPort);

}  // namespace qv
