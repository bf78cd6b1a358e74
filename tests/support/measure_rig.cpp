#include "support/measure_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "core/link/commands.h"
#include "core/measure/measurement_exchange.h"

namespace qv::test {

namespace {
// Rounds of 1 ms without a new log entry before the log counts as complete, and the most rounds.
constexpr int kLogQuietRounds = 10;
constexpr int kLogSettleRounds = 500;

sim::Options optionsFor(const std::string& type, double noise) {
    sim::InstrumentConfig config;
    config.type = type;
    config.noise = noise;
    sim::Options options;
    options.instruments.push_back(config);
    return options;
}
}  // namespace

void RigClock::sleepMs(std::uint32_t ms) {
    if (beforeSleep) beforeSleep(ms);
    VirtualClock::sleepMs(ms);
}

bool RigClock::waitForInput(ByteSource& input, std::uint32_t ms) {
    if (silentAfterMisses > 0 && misses_ >= silentAfterMisses) {
        if (input.pollInput(0)) return true;
        advanceMs(ms);
        return false;
    }
    const bool ready = VirtualClock::waitForInput(input, ms);
    misses_ = ready ? 0 : misses_ + 1;
    return ready;
}

MeasureRig::MeasureRig(const std::string& type, double noise)
    : MeasureRig(optionsFor(type, noise)) {}

MeasureRig::MeasureRig(sim::Options options) : sim(std::move(options)) {
    EXPECT_TRUE(sim.start());
    auto channel = std::make_unique<PosixSerialChannel>();
    EXPECT_TRUE(channel->open(sim.portPath()));
    clock.rawReadSource = channel.get();
    state.commPort = std::move(channel);
}

void MeasureRig::control(const std::string& command) {
    ASSERT_EQ(sim.control(command), "ok");
}

std::vector<std::string> MeasureRig::takeCommands() {
    std::vector<std::string> commands;
    drainCommands(commands);
    return commands;
}

void MeasureRig::startTrace() {
    drainCommands(trace_);
    trace_.clear();
    clock.beforeSleep = [this](std::uint32_t ms) {
        drainCommands(trace_);
        trace_.push_back(waitEntry(ms));
    };
}

std::vector<std::string> MeasureRig::takeTrace() {
    drainCommands(trace_);
    return std::exchange(trace_, {});
}

std::string waitEntry(std::uint32_t ms) {
    return "wait " + std::to_string(ms) + " ms";
}

void MeasureRig::drainCommands(std::vector<std::string>& into) {
    // The simulator logs a command when it reads it: let it catch up with what was sent.
    std::vector<sim::LogEntry> log = sim.log();
    for (int quiet = 0, waited = 0; quiet < kLogQuietRounds && waited < kLogSettleRounds;
         ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::vector<sim::LogEntry> now = sim.log();
        quiet = now.size() == log.size() ? quiet + 1 : 0;
        log = std::move(now);
    }
    for (const sim::LogEntry& e : log)
        if (e.direction == '>') into.push_back(e.text);
    sim.clearLog();
}

std::vector<std::uint32_t> MeasureRig::takeSleeps() {
    std::vector<std::uint32_t> sleeps = clock.sleeps();
    clock.clearSleeps();
    return sleeps;
}

std::vector<std::string> repeated(const std::string& command, int n) {
    return std::vector<std::string>(static_cast<std::size_t>(n), command);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace qv::test
