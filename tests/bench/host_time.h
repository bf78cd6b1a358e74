#pragma once

// What the benchmarks against the in-process simulator share: a port on it, and the host's
// own time read off the simulator's log.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/link/posix_serial_channel.h"
#include "sim/simulator.h"
#include "support/sim_instrument.h"

namespace qv::bench {

inline std::unique_ptr<PosixSerialChannel> openOn(test::SimInstrument& sim) {
    auto port = std::make_unique<PosixSerialChannel>();
    return port->open(sim.port()) ? std::move(port) : nullptr;
}

inline std::int64_t nowUs() {
    // The simulator's log reads the same monotonic clock.
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The host's own time between `startUs` and `endUs`: all of it except the instrument's turns
// (from each command received to the last reply sent before the next command) and the pauses
// the host must make.
inline double hostMs(const std::vector<sim::LogEntry>& log, std::int64_t startUs,
                     std::int64_t endUs, double pausesMs) {
    std::int64_t instrumentUs = 0;
    std::optional<std::int64_t> commandUs, replyUs;
    const auto endTurn = [&] {
        if (commandUs && replyUs) instrumentUs += *replyUs - *commandUs;
        commandUs = replyUs = std::nullopt;
    };
    for (const sim::LogEntry& e : log) {
        if (e.timeUs < startUs || e.timeUs > endUs) continue;
        if (e.direction == '>') {
            endTurn();
            commandUs = e.timeUs;
        } else if (e.direction == '<' && commandUs) {
            replyUs = e.timeUs;
        }
    }
    endTurn();
    return static_cast<double>(endUs - startUs - instrumentUs) / 1000.0 - pausesMs;
}

// Commands the host sent between the two times.
inline int commandsSent(const std::vector<sim::LogEntry>& log, std::int64_t startUs,
                        std::int64_t endUs) {
    int n = 0;
    for (const sim::LogEntry& e : log)
        if (e.timeUs >= startUs && e.timeUs <= endUs && e.direction == '>') ++n;
    return n;
}

}  // namespace qv::bench
