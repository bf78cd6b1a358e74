#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The device a port name stands for: a bare name ("ttyUSB0") lives under /dev; a name with a
// slash (a pseudo-terminal, a /dev/serial/by-id link) is used as given.
std::string portDevicePath(std::string_view portName);

// Natural order: runs of digits compare by their value, so ttyS2 comes before ttyS10.
bool naturalLess(std::string_view a, std::string_view b);

// The ports to offer: those the system reports, with the saved port added when it is not
// among them (so a choice that is unplugged right now stays selectable), in natural order.
// A saved value of "---" or the empty text means nothing was saved.
std::vector<std::string> orderPortList(std::vector<std::string> reported,
                                       const std::string& savedPort);

}  // namespace qv
