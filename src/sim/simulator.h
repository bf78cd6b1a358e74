#pragma once

// The simulated instrument: answers the instrument's command set on the master side of a
// pseudo-terminal, so programs and tests talk to a real tty device.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::sim {

// One simulated instrument. Several may sit behind one port; `plug` chooses which answers.
// One value per angle (25, 45, 75 degrees); a plain number sets all three.
struct PerAngle {
    PerAngle() = default;
    PerAngle(double all) { at.fill(all); }  // NOLINT: a plain number is meant for every angle
    double operator[](std::size_t angle) const { return at[angle]; }
    double& operator[](std::size_t angle) { return at[angle]; }
    std::array<double, 3> at{};
};

struct InstrumentConfig {
    std::string name = "A";
    // "53", "40" or "three-field" (the 14-character "OK00, 0, 0, 1" answer).
    std::string type = "53";
    // Placed at offset 12 of the IDR reply; also the serial recorded in written entries.
    std::string idText = "L70S-000001";
    std::string specimen = "white";  // see specimenNames()
    double noise = 0.0;              // standard deviation in % reflectance
    std::uint32_t seed = 1;
    std::array<double, 3> gain{1.0, 1.0, 1.0};    // per angle: reading = gain * true + offset
    std::array<double, 3> offset{0.0, 0.0, 0.0};  // per angle, % reflectance
    // Errors no single factor per wavelength removes, per angle (a plain number sets all
    // three). The wavelength scale off by `shiftNm` and by `scaleError` nm per nm away from
    // 550 nm (the instrument reports at 500 nm what lies at 500 - shift - scale * (500 - 550)),
    // a bandpass wider than an ideal one by `bandwidthNm2` (half its variance, nm^2), a gain
    // that tilts by `gainTilt` % per nm away from 550 nm, and a photometric scale bent by
    // `linearity` (reading + linearity * reading * (1 - reading / 100)).
    PerAngle shiftNm;
    PerAngle linearity;
    PerAngle scaleError;
    PerAngle bandwidthNm2;
    PerAngle gainTilt;
    // Which entry corrects the readings: the complete entry written last for this instrument,
    // or none at all (as while a connection reset keeps the entries out of force). Real
    // instruments differ here, and the program must find out rather than assume.
    enum class EntryRule { LastWritten, None };
    EntryRule entryRule = EntryRule::LastWritten;
};

struct LogEntry {
    std::int64_t timeUs = 0;  // monotonic
    char direction = '>';     // '>' received from the host, '<' sent to the host, '#' an event
    std::string text;         // as on the wire, CR and LF escaped as \r and \n
};

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
