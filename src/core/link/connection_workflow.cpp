#include "core/link/connection_workflow.h"

#include "core/app/message_box.h"

namespace qv {

ConnectionWorkflow::ConnectionWorkflow(const Seams& seams) : s_(seams) {}

void ConnectionWorkflow::tell121() {
    s_.prompter.ask(messageBox(kStrNotIdentified, Icon::Exclamation));
}

bool ConnectionWorkflow::connect() {
    s_.state.bConnected = false;
    reset_ = SettingsResetResult{};
    SerialChannel* port = s_.state.commPort.get();
    id_ = port && port->isOpen() ? IdentifyInstrument(*port, s_.clock) : IdentifyResult{};
    if (!id_.ok()) {
        tell121();
        return false;
    }
    modelCode_ = id_.modelCode();
    if (id_.type53()) {
        reset_ = runSettingsReset(*port, s_.clock);
        if (!reset_.ok()) tell121();
    }
    s_.state.setInstrumentId(
        id_.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id_.idText);
    s_.state.bConnected = true;
    return true;
}

}  // namespace qv
