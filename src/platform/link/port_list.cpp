#include "platform/link/port_list.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qv {

namespace fs = std::filesystem;

std::string stablePortName(const std::string& systemLocation, const std::string& stableFolder) {
    std::error_code ec;
    const fs::path device = fs::canonical(systemLocation, ec);
    if (ec || stableFolder.empty()) return {};
    std::vector<fs::path> links;
    for (fs::directory_iterator it(stableFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        if (!it->is_symlink(linkError) || linkError) continue;
        // The links are relative ("../../ttyUSB0"): canonical() resolves them from the folder,
        // and fails for one whose device is gone.
        const fs::path target = fs::canonical(it->path(), linkError);
        if (!linkError && target == device) links.push_back(it->path());
    }
    if (links.empty()) return {};
    return std::min_element(links.begin(), links.end())->string();
}

PortEntry reportedPortEntry(const std::string& portName, const std::string& systemLocation,
                            const std::string& description, const std::string& serialNumber,
                            const std::string& stableFolder) {
    PortEntry entry;
    entry.device = portName;
    entry.name = stablePortName(systemLocation, stableFolder);
    if (entry.name.empty()) entry.name = portName;
    entry.label = portLabel(portName, description, serialNumber);
    return entry;
}

std::vector<PortEntry> listSerialPorts(const std::string& savedPort,
                                       const std::string& stableFolder) {
    std::vector<PortEntry> reported;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        reported.push_back(
            reportedPortEntry(info.portName().toStdString(), info.systemLocation().toStdString(),
                              info.description().trimmed().toStdString(),
                              info.serialNumber().trimmed().toStdString(), stableFolder));
    }
    return orderPortEntries(std::move(reported), savedPort);
}

}  // namespace qv
