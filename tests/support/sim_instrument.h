#pragma once

// A simulated instrument for tests: started with the fixture, stopped with it, and a plain
// POSIX client for its port.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simulator.h"

namespace qv::test {

// One instrument "A" of the given kind ("53", "40" or "three-field").
sim::Options oneInstrument(const std::string& type, const std::string& idText,
                           const std::string& specimen = "white");

// A reference instrument "REF" (L70S-100001, plugged in first) and an instrument under
// correction "DUT" (L70S-200002) that reads with `gain` per angle, behind one port.
sim::Options referenceAndCorrected(std::array<double, 3> gain);

// A simulator running for the life of the object. Throws when it cannot start.
class SimInstrument {
public:
    // One instrument "A" of the given kind ("53", "40" or "three-field").
    explicit SimInstrument(const std::string& type = "53",
                           const std::string& idText = "L70S-000001",
                           const std::string& specimen = "white");
    explicit SimInstrument(sim::Options options);
    ~SimInstrument();
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    std::string port() const { return sim_.portPath(); }
    sim::Simulator& simulator() { return sim_; }
    // A control line ("plug B", "fault MES silence"); the simulator's reply.
    std::string control(const std::string& line) { return sim_.control(line); }

    // Commands received so far, as logged (CR and LF escaped), oldest first.
    std::vector<std::string> received() const;
    // Waits at most `timeoutMs` real milliseconds until `count` commands have arrived.
    bool waitForReceived(std::size_t count, int timeoutMs) const;

private:
    sim::Simulator sim_;
};

// The program's end of a simulated line through plain POSIX calls, leaving the terminal
// settings as the simulator made them.
class SimLine {
public:
    explicit SimLine(const std::string& port);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool send(std::string_view bytes);
    // Bytes up to and including the first line feed, waiting at most `timeoutMs`; on time-out
    // whatever arrived. Bytes after the line feed are kept for the next read.
    std::string readLine(int timeoutMs);
    // Everything that arrives within `ms`.
    std::string readFor(int ms);
    // Sends the command and reads one line.
    std::string ask(std::string_view command, int timeoutMs = 1000);
    // True when the line reports a hang-up within `ms`.
    bool hungUp(int ms);

private:
    int fill(int timeoutMs);

    int fd_ = -1;
    std::string buffered_;
};

}  // namespace qv::test
