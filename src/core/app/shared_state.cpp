#include "core/app/shared_state.h"

namespace qv {

SharedState::SharedState(std::unique_ptr<SerialChannel> port) : commPort(std::move(port)) {}

SharedState::~SharedState() {
    if (commPort) commPort->close();
}

}  // namespace qv
