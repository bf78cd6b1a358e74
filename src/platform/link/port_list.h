#pragma once

#include <string>
#include <vector>

#include "core/link/port_names.h"

namespace qv {

// Where Linux (udev) keeps a link per USB serial adapter, named after its maker, model and
// serial number, so that it does not change with plug order as ttyUSB0, ttyUSB1 do.
inline constexpr const char* kStablePortFolder = "/dev/serial/by-id";

// The link in `stableFolder` that leads to the device at `systemLocation` ("/dev/ttyUSB0"), as
// the folder's path joined with the link's name; empty when none does (a built-in port, a
// pseudo-terminal, a system without that folder). Links that lead nowhere (an adapter pulled
// out) and entries that are no links are passed over; of two links to one device the first by
// name is taken.
std::string stablePortName(const std::string& systemLocation, const std::string& stableFolder);

// One port as the system reports it, made an entry of the port list: named by its link in
// `stableFolder` where it has one, else by the system's name `portName` ("ttyS0", "COM3").
PortEntry reportedPortEntry(const std::string& portName, const std::string& systemLocation,
                            const std::string& description, const std::string& serialNumber,
                            const std::string& stableFolder);

// The serial ports Qt Serial Port reports, each under its stable name where it has one, plus
// the saved port when none of them stands for it (a pseudo-terminal, an adapter unplugged right
// now), in natural order of the system names.
std::vector<PortEntry> listSerialPorts(const std::string& savedPort,
                                       const std::string& stableFolder = kStablePortFolder);

}  // namespace qv
