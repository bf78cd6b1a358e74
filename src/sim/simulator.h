#pragma once

// The simulated instrument: answers the instrument's command set on the master side of a
// pseudo-terminal, so programs and tests talk to a real tty device.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/event_log.h"
#include "sim/instrument_config.h"

namespace qv::sim {

struct Options {
    std::vector<InstrumentConfig> instruments;  // at least one; the first is plugged in
    std::string stateFile;                      // entries kept across runs when not empty
    std::string logFile;                        // the log also written here when not empty
    std::string linkPath;     // a symbolic link to the slave side, kept up to date, when not empty
    std::string controlPath;  // a named pipe for control lines, created here when not empty
    std::vector<std::string> faults;  // set at start, as after "fault " on the control channel
    // Called on the simulator's thread with the new slave path whenever the line is reopened
    // after a hang-up.
    std::function<void(const std::string&)> portReopened;
    // Called with what whoever runs the simulator should see at once, besides the log: damaged
    // lines of the state file, a state that could not be saved, refused control lines.
    // qvl70s-sim prints these to stderr. May be called on the simulator's thread.
    std::function<void(const std::string&)> warning;
};

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal and starts answering on a thread of its own. Each start
    // powers the instruments on afresh: their entries come from the state file only. Refuses
    // to start when the state file exists but is not one (it would be overwritten).
    bool start();
    void stop();
    // Path of the slave side, the "port" a program opens.
    std::string portPath() const;

    // A control command, the same text the control channel takes ("plug B",
    // "fault MES silence", ...). Returns the reply text ("ok" or an error).
    std::string control(const std::string& command);

    std::vector<LogEntry> log() const;
    void clearLog();

    // Why start() failed; empty after a good start.
    std::string error() const;
    // The reflectances (%) the named instrument would report now, without noise; all zero
    // for an unknown name. Lets tests predict readings, including the user correction.
    std::array<std::array<double, 31>, 3> expectedReading(const std::string& instrument) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::sim
