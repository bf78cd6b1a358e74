#include "platform/link/port_list.h"

#include <QSerialPortInfo>

#include "core/link/port_names.h"

namespace qv {

std::vector<std::string> listSerialPorts(const std::string& savedPort) {
    std::vector<std::string> reported;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        reported.push_back(info.portName().toStdString());
    }
    return orderPortList(std::move(reported), savedPort);
}

}  // namespace qv
