#include "core/app/port_open_message.h"

#include "core/app/message_box.h"

namespace qv {

Message portNotOpenedMessage(const PortOpenError& error) {
    int id = kStrPortNotOpened;
    switch (error.kind) {
        case PortOpenFailure::Missing:
            id = kStrPortMissing;
            break;
        case PortOpenFailure::NoPermission:
            id = kStrPortNoPermission;
            break;
        case PortOpenFailure::Busy:
            id = kStrPortBusy;
            break;
        default:
            break;
    }
    Message box = messageBox(id, Icon::Stop);
    if (error.kind == PortOpenFailure::Busy && !error.holder.empty())
        box.suffix = "\nIn use by: " + error.holder;
    box.detail = error.detail;
    return box;
}

std::string describe(const PortOpenError& error) {
    std::string text;
    switch (error.kind) {
        case PortOpenFailure::None:
            return "it opened";
        case PortOpenFailure::Missing:
            text = "no such port";
            break;
        case PortOpenFailure::NoPermission:
            text =
                "permission denied: add your user to the group dialout "
                "(sudo adduser $USER dialout) and log in again";
            break;
        case PortOpenFailure::Busy:
            text = "in use by another program";
            if (!error.holder.empty()) text += ": " + error.holder;
            break;
        case PortOpenFailure::NotSerial:
            text = "not a serial port";
            break;
        case PortOpenFailure::Refused:
            text = "refused";
            break;
    }
    if (!error.detail.empty()) text += " (" + error.detail + ")";
    return text;
}

}  // namespace qv
