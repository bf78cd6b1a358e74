#include "core/link/comm_settings_workflow.h"

#include <algorithm>
#include <cstdint>

#include "core/app/number_format.h"
#include "core/app/port_open_message.h"
#include "core/app/profile_store.h"
#include "core/app/prompter.h"
#include "core/app/shared_state.h"
#include "core/app/startup_workflow.h"
#include "core/link/connection_workflow.h"
#include "core/link/port_names.h"

namespace qv {

namespace {
const std::array<std::string_view, kLineListCount> kLineKeys = {key::kBaudRate, key::kDataLength,
                                                                key::kParity, key::kStopBits};

int indexOf(const std::vector<std::string>& entries, const std::string& text) {
    const auto it = std::find(entries.begin(), entries.end(), text);
    return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

// The listed port the saved one stands for: the list holds "ttyUSB0" once whether it was saved
// as that or as "/dev/ttyUSB0", and an adapter listed by its stable name is still found by the
// system name saved before; so the exact name comes first, then the same device.
int savedPortIndex(const std::vector<PortEntry>& ports, const std::string& savedPort) {
    auto it = std::find_if(ports.begin(), ports.end(),
                           [&](const PortEntry& port) { return port.name == savedPort; });
    if (it == ports.end())
        it = std::find_if(ports.begin(), ports.end(),
                          [&](const PortEntry& port) { return entryStandsFor(port, savedPort); });
    return it == ports.end() ? -1 : static_cast<int>(it - ports.begin());
}

const std::string& entryText(LineList list, int index) {
    static const std::string none;
    const auto& entries = lineEntries(list);
    if (index < 0 || index >= static_cast<int>(entries.size())) return none;
    return entries[static_cast<std::size_t>(index)];
}

template <typename T>
T lineNumber(LineList list, int index) {
    const long value = leadingInt(entryText(list, index));
    return value < 0 || value > static_cast<long>(static_cast<T>(-1)) ? T(0)
                                                                      : static_cast<T>(value);
}
}  // namespace

const std::vector<std::string>& lineEntries(LineList list) {
    static const std::array<std::vector<std::string>, kLineListCount> entries = {{
        {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
        {"7 bits", "8 bits"},
        {"0 None", "1 Odd", "2 Even", "3 Mark", "4 Space"},
        {stopBitsText(0), stopBitsText(1)},
    }};
    return entries[static_cast<std::size_t>(list)];
}

int defaultLineIndex(LineList list) {
    switch (list) {
        case LineList::BaudRate:
            return 3;
        case LineList::DataLength:
            return 1;
        case LineList::Parity:
        case LineList::StopBits:
            break;
    }
    return 0;
}

std::string stopBitsText(int index) {
    return index == 0 ? "1 bit" : std::to_string(index + 1) + " bits";
}

CommSettingsWorkflow::CommSettingsWorkflow(const Seams& seams)
    : state_(seams.state), profile_(seams.profile), prompter_(seams.prompter) {}

const CommSettingsView& CommSettingsWorkflow::open(std::vector<PortEntry> reportedPorts) {
    const std::string savedPort = profile_.read(key::kComPort);
    view_ = CommSettingsView{};
    checkPort(state_);
    view_.editable = !state_.bConnected;
    view_.ports = orderPortEntries(std::move(reportedPorts), savedPort);
    view_.portIndex = view_.ports.empty() ? -1 : 0;
    if (savedPort != kNotSet) {
        const int saved = savedPortIndex(view_.ports, savedPort);
        if (saved >= 0) view_.portIndex = saved;
    }
    for (int i = 0; i < kLineListCount; ++i) {
        const auto list = static_cast<LineList>(i);
        const std::string saved = profile_.read(kLineKeys[static_cast<std::size_t>(i)]);
        // A saved text that no entry reads as exactly keeps the default rather than leaving
        // the list without a choice.
        const int found = saved == kNotSet ? -1 : indexOf(lineEntries(list), saved);
        view_.lineIndex[static_cast<std::size_t>(i)] = found >= 0 ? found : defaultLineIndex(list);
    }
    return view_;
}

CommSettingsResult CommSettingsWorkflow::ok(const CommSettingsChoice& choice) {
    if (state_.bConnected) return CommSettingsResult::Unchanged;
    const auto index = [&](LineList list) {
        return choice.lineIndex[static_cast<std::size_t>(list)];
    };
    if (state_.commPort) state_.commPort->close();
    if (!state_.commPort || !state_.commPort->open(choice.port)) {
        prompter_.ask(portNotOpenedMessage(state_.commPort ? state_.commPort->lastOpenError()
                                                           : PortOpenError{}));
        return CommSettingsResult::OpenFailed;
    }
    if (!state_.commPort->setParams(
            lineNumber<std::uint32_t>(LineList::BaudRate, index(LineList::BaudRate)),
            lineNumber<std::uint8_t>(LineList::DataLength, index(LineList::DataLength)),
            lineNumber<std::uint8_t>(LineList::Parity, index(LineList::Parity))))
        return CommSettingsResult::ParamsRefused;
    profile_.write(key::kComPort, choice.port);
    profile_.write(key::kBaudRate, entryText(LineList::BaudRate, index(LineList::BaudRate)));
    profile_.write(key::kDataLength, entryText(LineList::DataLength, index(LineList::DataLength)));
    profile_.write(key::kParity, entryText(LineList::Parity, index(LineList::Parity)));
    profile_.write(key::kStopBits, stopBitsText(std::max(0, index(LineList::StopBits))));
    return CommSettingsResult::Saved;
}

}  // namespace qv
