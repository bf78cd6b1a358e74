#include "core/app/startup_workflow.h"

#include "core/app/number_format.h"
#include "core/app/port_open_message.h"
#include "core/app/profile_store.h"
#include "core/app/prompter.h"
#include "core/app/shared_state.h"

namespace qv {

namespace {
template <typename T>
T clampedTo(long value) {
    if (value < 0) return 0;
    if (static_cast<unsigned long>(value) > static_cast<unsigned long>(static_cast<T>(-1)))
        return static_cast<T>(-1);
    return static_cast<T>(value);
}
}  // namespace

ProgramStart startProgram(const ProgramStartSteps& steps) {
    steps.setUpDataFolder();
    if (!steps.loadResources()) return ProgramStart::NoResources;
    if (!steps.lockInstance()) return ProgramStart::AlreadyRunning;
    return ProgramStart::Run;
}

std::optional<SavedPortSettings> savedPortSettings(ProfileStore& profile) {
    const std::string port = profile.read(key::kComPort);
    const std::string baud = profile.read(key::kBaudRate);
    const std::string dataLength = profile.read(key::kDataLength);
    const std::string parity = profile.read(key::kParity);
    const std::string stopBits = profile.read(key::kStopBits);
    const bool complete = port != kNotSet && baud != kNotSet && dataLength != kNotSet &&
                          parity != kNotSet && stopBits != kNotSet;
    if (!complete) return std::nullopt;
    return SavedPortSettings{port, clampedTo<std::uint32_t>(leadingInt(baud)),
                             clampedTo<std::uint8_t>(leadingInt(dataLength)),
                             clampedTo<std::uint8_t>(leadingInt(parity))};
}

StartupPort connectWithSavedSettings(SharedState& state, ProfileStore& profile,
                                     Prompter& prompter) {
    const std::optional<SavedPortSettings> saved = savedPortSettings(profile);
    if (!saved) {
        if (state.commPort) state.commPort->close();
        return StartupPort::NotSaved;
    }
    bool ok = false;
    if (state.commPort) {
        state.commPort->close();
        ok = state.commPort->open(saved->port) &&
             state.commPort->setParams(saved->baudRate, saved->dataBits, saved->parity);
    }
    if (ok) return StartupPort::Opened;
    prompter.ask(
        portNotOpenedMessage(state.commPort ? state.commPort->lastOpenError() : PortOpenError{}));
    return StartupPort::Failed;
}

MainWindowState::MainWindowState(bool repeatability, bool interInstrument, bool coeffFile)
    : available_{repeatability, interInstrument, coeffFile} {}

bool MainWindowState::enabled(MainTask task) const {
    const int i = static_cast<int>(task);
    return available_[i] && allowed_[i];
}

void MainWindowState::repeatabilityClosed(bool repeatPassed) {
    allowed_[static_cast<int>(MainTask::InterInstrument)] = repeatPassed;
}

void MainWindowState::interInstrumentClosed() {
    allowed_[static_cast<int>(MainTask::CoeffFile)] = true;
}

}  // namespace qv
