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
    // Errors the program's diagnosis has no term for, so that it can be tried on instruments
    // its model does not describe. All off by default.
    // A triangular bandpass reaching `passLeftNm` below and `passRightNm` above the nominal
    // wavelength (triangular when equal, skewed when not, none when both are 0); the Gaussian
    // of `bandwidthNm2` widens it further.
    PerAngle passLeftNm;
    PerAngle passRightNm;
    // The gain rippling by `rippleAmplitude` % as sin(2 pi (L - 400 nm) / `ripplePeriodNm`).
    PerAngle rippleAmplitude;
    PerAngle ripplePeriodNm{100.0};
    // The photometric scale bent in an S besides: + cubic * reading * (1 - reading / 100) *
    // (reading / 100 - 0.5), no change at 0, 50 and 100 %.
    PerAngle cubic;
    // Each reading places the specimen anew: its reflectance times (1 + g / 100) plus o, with
    // g and o drawn per reading and angle with these standard deviations (%, % reflectance).
    PerAngle placementGainSd;
    PerAngle placementOffsetSd;
    // Chromatic specimens' spectral edges move by `thermoNmPerC` nm per degree of `roomC`
    // above 23 °C, fully on red and orange, less on the cooler colours, not on neutrals.
    double thermoNmPerC = 0.0;
    double roomC = 23.0;
    // The named specimen reflects `dirtyFactor` times what it should; empty: none is dirty.
    std::string dirtySpecimen;
    double dirtyFactor = 1.0;
    // Which entry corrects the readings: the complete entry written last for this instrument,
    // none at all (as while a connection reset keeps the entries out of force), or entry
    // `entryNumber` (1 to 30) as selected on the instrument's panel, whatever serial it holds.
    // Real instruments differ here, and the program must find out rather than assume.
    enum class EntryRule { LastWritten, None, ByNumber };
    EntryRule entryRule = EntryRule::LastWritten;
    int entryNumber = 1;
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
