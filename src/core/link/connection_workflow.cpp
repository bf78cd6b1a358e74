#include "core/link/connection_workflow.h"

#include "core/app/message_box.h"
#include "core/app/startup_workflow.h"

namespace qv {

PortStatus checkPort(SharedState& state) {
    PortStatus status;
    if (state.commPort) {
        status.state = state.commPort->checkLine();
        if (status.state != PortState::NotOpen) status.port = state.commPort->portName();
    }
    if (status.state != PortState::Open) state.bConnected = false;
    return status;
}

ConnectionWorkflow::ConnectionWorkflow(const Seams& seams) : s_(seams) {}

void ConnectionWorkflow::tell121(std::string detail) {
    Message m = messageBox(kStrNotIdentified, Icon::Exclamation);
    m.detail = std::move(detail);
    s_.prompter.ask(m);
}

std::string ConnectionWorkflow::portToConnect() const {
    const SerialChannel* port = s_.state.commPort.get();
    if (port && port->isOpen()) return port->portName();
    const auto saved = savedPortSettings(s_.profile);
    return saved ? saved->port : std::string();
}

bool ConnectionWorkflow::connect() {
    s_.state.bConnected = false;
    // What the readings pass through may change with the settings reset: asked again.
    s_.state.entryBasis.reset();
    reset_ = SettingsResetResult{};
    id_ = IdentifyResult{};
    SerialChannel* port = s_.state.commPort.get();
    // The one way back after a hang-up: the saved port is opened again, as at start. A port
    // that will not open has said why; asking the instrument would add nothing.
    if (port && !port->isOpen() &&
        connectWithSavedSettings(s_.state, s_.profile, s_.prompter) == StartupPort::Failed)
        return false;
    const bool asked = port && port->isOpen();
    if (asked) id_ = IdentifyInstrument(*port, s_.clock);
    tellIdentified(s_.activity, id_);
    if (!id_.ok()) {
        tell121(asked ? describe(id_.error) : std::string("no port is open"));
        return false;
    }
    modelCode_ = id_.modelCode();
    if (id_.type53()) {
        reset_ = runSettingsReset(*port, s_.clock);
        if (!reset_.ok()) tell121(describe(reset_.error));
    }
    s_.state.setInstrumentId(
        id_.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id_.idText);
    s_.state.bConnected = true;
    return true;
}

}  // namespace qv
