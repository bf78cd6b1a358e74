#include "core/link/connection_workflow.h"

#include "core/app/prompter.h"
#include "core/app/shared_state.h"
#include "core/link/identify.h"

namespace qv {

ConnectionWorkflow::ConnectionWorkflow(SharedState& state, Prompter& prompter)
    : state_(state), prompter_(prompter) {}

void ConnectionWorkflow::tell121() {
    Message box;
    box.stringId = kMsgNotIdentified;
    box.icon = Icon::Exclamation;
    prompter_.ask(box);
}

bool ConnectionWorkflow::connect() {
    state_.bConnected = false;
    SerialChannel* port = state_.commPort.get();
    const IdentifyResult id = port && port->isOpen() ? IdentifyInstrument(*port) : IdentifyResult{};
    if (!id.ok()) {
        tell121();
        return false;
    }
    modelCode_ = id.modelCode();
    if (id.type53() && !resetInstrumentSettings(*port)) tell121();
    state_.setInstrumentId(
        id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText);
    state_.bConnected = true;
    return true;
}

}  // namespace qv
