#include "core/link/port_names.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The run of digits starting at `at`, without its leading zeros.
std::string_view digitRun(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    std::string_view run = text.substr(start, at - start);
    const std::size_t firstNonZero = run.find_first_not_of('0');
    return firstNonZero == std::string_view::npos ? run.substr(run.size())
                                                  : run.substr(firstNonZero);
}

// -1, 0 or 1 as the value of the digit run a is below, equal to or above that of b.
int compareNumbers(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
}

bool samePort(std::string_view a, std::string_view b) {
    return portDevicePath(a) == portDevicePath(b);
}

const std::string& sortKey(const PortEntry& e) {
    return e.device.empty() ? e.name : e.device;
}

}  // namespace

std::string portLabel(const std::string& device, const std::string& description,
                      const std::string& serialNumber) {
    std::string label = description;
    if (!serialNumber.empty()) label += (label.empty() ? "serial " : ", serial ") + serialNumber;
    if (label.empty()) return device;
    return label + " (" + device + ")";
}

bool entryStandsFor(const PortEntry& entry, const std::string& portName) {
    return samePort(entry.name, portName) ||
           (!entry.device.empty() && samePort(entry.device, portName));
}

std::string portDevicePath(std::string_view portName) {
    if (portName.find('/') != std::string_view::npos) return std::string(portName);
    return "/dev/" + std::string(portName);
}

bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const int c = compareNumbers(digitRun(a, i), digitRun(b, j));
            if (c != 0) return c < 0;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    // Equal by value ("COM01" and "COM1"): fall back to the plain text for a strict order.
    return a < b;
}

std::vector<PortEntry> orderPortEntries(std::vector<PortEntry> reported,
                                        const std::string& savedPort) {
    const bool saved = !savedPort.empty() && savedPort != "---";
    if (saved && std::none_of(reported.begin(), reported.end(),
                              [&](const PortEntry& e) { return entryStandsFor(e, savedPort); })) {
        reported.emplace_back(savedPort);
    }
    // By the system's names, so that ttyS ports come together and before the USB adapters.
    std::stable_sort(reported.begin(), reported.end(), [](const PortEntry& a, const PortEntry& b) {
        return naturalLess(sortKey(a), sortKey(b));
    });
    return reported;
}

std::vector<std::string> orderPortList(std::vector<std::string> reported,
                                       const std::string& savedPort) {
    std::vector<PortEntry> entries(reported.begin(), reported.end());
    std::vector<std::string> names;
    for (PortEntry& e : orderPortEntries(std::move(entries), savedPort))
        names.push_back(std::move(e.name));
    return names;
}

}  // namespace qv
