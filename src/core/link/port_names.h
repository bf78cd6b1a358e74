#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One port the port settings dialog offers.
struct PortEntry {
    PortEntry() = default;
    // A port known by its name only (a typed path, a pseudo-terminal, a port of a test): shown
    // as it is named.
    PortEntry(std::string portName) : name(portName), label(std::move(portName)) {}
    PortEntry(const char* portName) : PortEntry(std::string(portName)) {}

    // What is opened and saved: the stable name of an adapter ("/dev/serial/by-id/usb-FTDI_...")
    // where the system has one, else the system's name ("ttyS0", "COM3") or a path.
    std::string name;
    // What the operator reads: the adapter's description and serial number with its present
    // system name, "FT232R USB UART, serial A50285BI (ttyUSB0)"; the name when nothing is known.
    std::string label;
    // The system's name for the device right now ("ttyUSB0"), which follows plug order: the
    // list is sorted by it (by the name when it is empty), and a port saved under it finds its
    // entry.
    std::string device;
};

// The label of a port the system reports: `description` and `serialNumber` as the system gives
// them (either may be empty), `device` its system name. Just the device when neither is known.
std::string portLabel(const std::string& device, const std::string& description,
                      const std::string& serialNumber);

// True when `entry` is the port `portName` stands for: its name, or its system device, given
// bare or as a path ("ttyUSB0", "/dev/ttyUSB0").
bool entryStandsFor(const PortEntry& entry, const std::string& portName);

// The device a port name stands for: a bare name ("ttyUSB0") lives under /dev; a name with a
// slash (a pseudo-terminal, a /dev/serial/by-id link) is used as given.
std::string portDevicePath(std::string_view portName);

// Natural order: runs of digits compare by their value, so ttyS2 comes before ttyS10.
bool naturalLess(std::string_view a, std::string_view b);

// The ports to offer: those the system reports, with the saved port added when it is not
// among them (so a choice that is unplugged right now stays selectable), in natural order.
// A saved value of "---" or the empty text means nothing was saved.
std::vector<PortEntry> orderPortEntries(std::vector<PortEntry> reported,
                                        const std::string& savedPort);
// The same for ports known by their names only.
std::vector<std::string> orderPortList(std::vector<std::string> reported,
                                       const std::string& savedPort);

}  // namespace qv
