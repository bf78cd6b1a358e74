#include "fault/fault_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/link/commands.h"
#include "core/link/identify.h"
#include "core/link/receive_line.h"
#include "core/measure/measurement_exchange.h"

namespace qv::test {

namespace {
// Quiet polls after the instrument has read a command before the rest of a wait passes in
// virtual time only: what it answers at once is on the line long before.
constexpr int kQuietPolls = 50;
// Polls before giving up waiting for the instrument to read a command (one lost on a dead line).
constexpr int kUnreadPolls = 2500;
// Milliseconds to wait for the simulator's new line after a hang-up.
constexpr int kLineReopenPolls = 2000;

sim::Options optionsFor(const std::string& type) {
    sim::InstrumentConfig config;
    config.type = type;
    sim::Options options;
    options.instruments.push_back(config);
    return options;
}
}  // namespace

bool MatrixClock::waitForInput(ByteSource& source, std::uint32_t ms) {
    const bool settled = quietWaits_ >= kQuietPolls || unreadWaits_ >= kUnreadPolls;
    std::uint32_t realMs = settled ? 0 : std::min(ms, realSliceMs);
    if (realGrace && ms > kReceiveIdleWaitMs) realMs = ms;
    if (source.pollInput(realMs)) return true;
    if (!settled) {
        if (!commandsRead || commandsRead())
            ++quietWaits_;
        else
            ++unreadWaits_;
    }
    advanceMs(ms);
    return false;
}

bool WatchedChannel::send(std::string_view command) {
    lastCommand_ = std::string(command);
    if (onSend) onSend();
    const bool ok = real_->send(command);
    if (ok) ++sent;
    return ok;
}

std::string WatchedChannel::receiveLine(Clock& clock, int timeoutS) {
    Receive r;
    r.command = lastCommand_;
    r.timeoutS = timeoutS;
    const std::uint32_t start = clock_.tickMs();
    r.reply = real_->receiveLine(clock, timeoutS);
    r.tookMs = static_cast<std::uint32_t>(clock_.tickMs() - start);
    r.hungUp = real_->hungUp();
    receives.push_back(r);
    return r.reply;
}

FaultRig::FaultRig(const std::string& type, Clock* realClock)
    : clock(realClock ? *realClock : static_cast<Clock&>(virtualClock)), sim(optionsFor(type)) {
    if (!sim.start()) throw std::runtime_error("simulator: " + sim.error());
    auto real = std::make_unique<PosixSerialChannel>();
    if (!real->open(sim.portPath())) throw std::runtime_error("cannot open " + sim.portPath());
    auto watched = std::make_unique<WatchedChannel>(std::move(real), clock);
    channel = watched.get();
    channel->onSend = [this] { virtualClock.commandSent(); };
    virtualClock.commandsRead = [this] { return commandsReceived() >= channel->sent; };
    virtualClock.rawReadSource = channel;
    openedPath_ = sim.portPath();
    state.commPort = std::move(watched);
    state.strDataFolder = home.path() + "/Data";
    std::filesystem::create_directories(state.strDataFolder);
}

FaultRig::~FaultRig() {
    sim.stop();
}

void FaultRig::setFault(const std::string& command, const std::string& actions, int occurrence) {
    const std::string line =
        "fault " + command + " " + actions + " occurrence=" + std::to_string(occurrence);
    ASSERT_EQ(sim.control(line), "ok") << line;
}

std::vector<int> FaultRig::takeMessages(const std::vector<int>& ignore) {
    std::vector<int> ids;
    for (; messagesTaken_ < prompter.asked.size(); ++messagesTaken_) {
        const int id = prompter.asked[messagesTaken_].stringId;
        if (std::find(ignore.begin(), ignore.end(), id) == ignore.end()) ids.push_back(id);
    }
    return ids;
}

std::vector<std::string> FaultRig::dataFiles() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(state.strDataFolder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t FaultRig::commandsReceived() const {
    std::size_t n = 0;
    for (const sim::LogEntry& e : sim.log()) n += e.direction == '>' ? 1 : 0;
    return n;
}

bool FaultRig::reopenAndIdentify() {
    channel->close();
    if (channel->isOpen()) return false;
    // The simulator opens its new line right after it hung up the old one.
    for (int i = 0; i < kLineReopenPolls && sim.portPath() == openedPath_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    openedPath_ = sim.portPath();
    if (!channel->open(openedPath_)) return false;
    return IdentifyInstrument(*channel, clock).ok();
}

}  // namespace qv::test
