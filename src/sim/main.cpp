// qvl70s-sim: the simulated instrument on a pseudo-terminal, for tests, the demo and manual
// work with the desktop program or qvl70s-cli.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "sim/instrument_config.h"
#include "sim/simulator.h"

namespace {

constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;

const char kHelp[] = R"(Usage: qvl70s-sim [OPTION]...
Simulates the multi-angle spectrophotometer on a pseudo-terminal. The first line printed is
  PORT <slave path>
and the program then answers the instrument's command set on that port until SIGINT or
SIGTERM. Open the printed path (or the --link path) as the serial port.

Instrument (the defaults for every instrument; alone they describe the one instrument A):
  --type T           53, 40 or three-field                              (default 53)
  --id TEXT          identification text at offset 12 of the IDR reply, also the serial
                     stored with written entries; printable, no comma   (default L70S-000001)
  --specimen NAME    white, lightgrey, midgrey, darkgrey, black, red, yellow, green,
                     blue, orange, violet or silver                     (default white)
  --noise SD         standard deviation of the reading noise, % reflectance (default 0)
  --seed N           seed of the noise; the same seed repeats the same readings (default 1)
  --gain G           reading = G * true + offset; one value or G25/G45/G75 (default 1)
  --offset O         % reflectance added; one value or O25/O45/O75       (default 0)
  --shift NM         the wavelength scale off by NM: reports at L what lies at L - NM
                     (-20 to 20); one value or S25/S45/S75              (default 0)
  --scale E          the wavelength scale off by E nm per nm away from 550 nm
                     (-0.05 to 0.05); one value or three                (default 0)
  --bandwidth B      a Gaussian bandpass of variance 2 * B nm^2 (0 to 50); one or three
                                                                        (default 0)
  --tilt T           the gain tilted by T % per nm away from 550 nm (-0.05 to 0.05); one
                     value or three                                     (default 0)
  --linearity K      the photometric scale bent: reading + K * reading * (1 - reading/100),
                     K from -0.5 to 0.5; one value or three             (default 0)
  --entries RULE     which user-calibration entry corrects the readings: "last" (the
                     complete entry written last for the instrument), "none", or a number
                     N from 1 to 30: entry N as selected on the instrument's panel, whatever
                     serial it holds; an incomplete entry N corrects nothing (default last)
Errors the program's diagnosis has no term for (all off by default):
  --bandpass SHAPE   gaussian (only --bandwidth), triangular:H (a triangle reaching H nm
                     either side) or skewed:L:R (L nm below, R nm above), half-widths 0 to
                     25 nm, once or per angle (triangular:4/5/6, skewed:3:5/3:6/4:6);
                     --bandwidth widens a triangle further             (default gaussian)
  --ripple A         the gain rippling by A % (-5 to 5) as sin(2 pi (L - 400 nm) / P); one
                     value or three                                     (default 0)
  --rippleperiod P   its period, 25 to 1000 nm; one value or three      (default 100)
  --cubic C          the photometric scale bent in an S besides --linearity:
                     + C * reading * (1 - reading/100) * (reading/100 - 0.5), C from -1 to 1;
                     one value or three                                 (default 0)
  --placegain SD     each reading places the specimen anew: its reflectance times a gain
                     drawn with SD % (0 to 5); one value or three       (default 0)
  --placeoffset SD   ... plus an offset drawn with SD % reflectance (0 to 5); one or three
                                                                        (default 0)
  --thermo K         chromatic specimens' edges move K nm per degree C (-1 to 1) of the room
                     above 23 C: fully on red and orange, 0.8 on yellow, less on the other
                     colours, not on white, greys, black or silver     (default 0)
  --room T           the room's temperature, 0 to 50 C                  (default 23)
  --dirty NAME/F     specimen NAME reflects F times what it should (0.5 to 1.5), e.g.
                     yellow/0.965; none                                 (default none)
  --instrument NAME:key=value,...
                     one more instrument behind the same port (repeatable); keys type, id,
                     specimen, noise, seed, gain, offset, shift, scale, bandwidth, tilt,
                     linearity, entries, bandpass, ripple, rippleperiod, cubic, placegain,
                     placeoffset, thermo, room, dirty as above (gain=1.02/1/0.98). The
                     first one given is plugged in at start.

Line and files:
  --link PATH        make PATH a symbolic link to the slave side (kept up to date)
  --control PATH     create a named pipe at PATH that takes control lines (see below)
  --state FILE       keep the user-calibration entries in FILE across runs (written
                     atomically after every change); a FILE that exists but is not a
                     state file is left alone and the simulator does not start
  --log FILE         write every command received and every reply sent, one line each:
                       <monotonic time in microseconds> <dir> <text>
                     dir '>' = from the host, '<' = to the host, '#' = event; CR, LF and
                     other control bytes are escaped (\r, \n, \xHH). The clock is
                     CLOCK_MONOTONIC, the one std::chrono::steady_clock reads.
  --fault SPEC       set a fault at start, as "fault SPEC" on the control channel
  -h, --help         this text
  --version          the program's version

Replies (every reply ends with CR LF):
  IDR     type 53/40: OK00,53,L70,<id>,V1.04   (the id starts at offset 12)
          three-field: OK00, 0, 0, 1           (14 characters with the CR)
  STR     OK00,0
  UZC/CAL OK00
  CPR     OK00,01,0500, 3,1   (the measuring conditions; CPS,<same shape> sets them)
  CPS     OK00 (the command may end with a lone CR; a following LF is ignored)
  USR     OK00,<n>; USS,<n> sets n (one or two digits) and answers OK00
  MES     OK00; then on each "&": data 25, companion 25, data 45, companion 45,
          data 75, companion 75, and for type 53 "OK00,END"; afterwards ER03.
          data line:      OK00,<31 reflectances 400..700 nm, %, two decimals with a point>
          companion line: OK00,<angle>,<measurement number>
  UCR,1,nnn  OK00,<comment>,<time stamp>,<serial>; an empty entry: OK00,
  UCR,k,nnn  (k = 2, 3, 4) OK00,<the 32 values of the 25/45/75 block>; none: OK00,
  UCS,1,nnn,<comment up to 16>,<time stamp>,<serial>   OK00
  UCS,k,nnn,<16 reflectances>,<16 factors>  (k = 2, 3, 4 for 25, 45, 75)  OK00
  USD,nnn    empties entry nnn (001 to 030); OK00
  ER01 unknown command, ER02 bad or missing argument, ER03 no measurement data left.
A reading is: gain * specimen + offset + noise, multiplied by the correction factors of
the entry that applies (by --entries; by default the complete entry, header and three
blocks, written last for this instrument's serial), interpolated linearly from 400, 420,
..., 700 nm to every 10 nm.

Control lines (--control pipe, one per line, e.g. echo "plug B" > PATH; the outcome is
written to the log, and a refused line is also printed on stderr):
  plug NAME                 the named instrument answers from now on
  unplug                    no instrument answers (the cable is pulled)
  specimen NAME [INST|all]  put a specimen under the plugged (or named, or every) instrument
  set NAME:key=value,...    change an instrument's settings (keys as --instrument)
  entry N|last|none [INST]  select entry N (1 to 30) on the plugged (or named) instrument's
                            panel, as --entries N; last and none as --entries
  fault CMD ACTION... [occurrence=N]
                            alter the answers to CMD (IDR, MES, &, UCS, ... or * for any):
                            every one from now on, or only the Nth after the fault was set.
                            The instrument still carries out the command. Actions:
      silence               no answer
      reply TEXT            answer TEXT (CR LF added) instead, e.g. reply ER11
      delay=MS              wait MS milliseconds before answering
      chunks=N,MS[,N,MS...] send N bytes (N >= 1), pause MS ms, ..., then the rest
      nolf                  end the answer with CR only
      prefix=BYTES          send BYTES before the answer (e.g. prefix=\x00\x00 or \n)
      flood[=BYTES]         send BYTES (default 1048576) without any line feed instead
      hangup                hang up the line instead of answering (see below)
                            TEXT and BYTES take escapes \r \n \t \0 \s (blank) \\ \xHH.
  clear                     remove every fault
  hangup                    hang up the line now
  status                    a one-line summary in the log

Hang-up: the simulator opens a fresh pseudo-terminal, moves the --link to it, then closes
the old master side, so a program holding the port sees a hang-up (read returns 0, poll
reports POLLHUP), and prints a new "PORT <path>" line. A program that reopens the link (or
the new path) reconnects; entries and settings carry over. When a program closes the
port, answers not yet read or still to be sent are dropped, as on a real serial line.
)";

bool splitOption(const std::string& arg, std::string& name, std::string& value, bool& hasValue) {
    if (arg.rfind("--", 0) != 0) return false;
    const std::size_t eq = arg.find('=');
    name = arg.substr(0, eq);
    hasValue = eq != std::string::npos;
    value = hasValue ? arg.substr(eq + 1) : std::string();
    return true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "qvl70s-sim: %s (see --help)\n", message.c_str());
    return kExitUsage;
}

void printWarning(const std::string& text) {
    std::fprintf(stderr, "qvl70s-sim: %s\n", text.c_str());
}

void printPort(const std::string& path) {
    const std::string line = "PORT " + path + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, line.data(), line.size());
}

// One option with its value into the options or the defaults of every instrument; false and
// the reason when it is not known or its value is wrong.
bool applyOption(const std::string& key, const std::string& value, qv::sim::Options& options,
                 qv::sim::InstrumentConfig& defaults, std::vector<std::string>& specs,
                 std::string& error) {
    const auto& keys = qv::sim::settingKeys();
    if (std::find(keys.begin(), keys.end(), key) != keys.end())
        return qv::sim::applySetting(defaults, key, value, error);
    if (key == "instrument")
        specs.push_back(value);
    else if (key == "link")
        options.linkPath = value;
    else if (key == "control")
        options.controlPath = value;
    else if (key == "state")
        options.stateFile = value;
    else if (key == "log")
        options.logFile = value;
    else if (key == "fault")
        options.faults.push_back(value);
    else {
        error = "unknown option --" + key;
        return false;
    }
    return true;
}

// The command line into `options`; an exit code when the program ends at once.
std::optional<int> parseArguments(int argc, char** argv, qv::sim::Options& options) {
    qv::sim::InstrumentConfig defaults;
    std::vector<std::string> specs;
    std::string error;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("qvl70s-sim " QV_VERSION);
            return 0;
        }
        std::string name, value;
        bool hasValue = false;
        if (!splitOption(arg, name, value, hasValue))
            return usageError("unexpected argument '" + arg + "'");
        if (!hasValue) {
            if (i + 1 >= argc) return usageError(name + " needs a value");
            value = argv[++i];
        }
        if (!applyOption(name.substr(2), value, options, defaults, specs, error))
            return usageError(error);
    }
    for (const std::string& spec : specs) {
        qv::sim::InstrumentConfig c = defaults;
        if (!qv::sim::parseInstrumentSpec(spec, c, error))
            return usageError("--instrument " + spec + ": " + error);
        options.instruments.push_back(c);
    }
    if (options.instruments.empty()) options.instruments.push_back(defaults);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    qv::sim::Options options;
    if (const auto code = parseArguments(argc, argv, options)) return *code;
    options.portReopened = printPort;
    options.warning = printWarning;

    // Signals are taken by sigwait below; the line thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    qv::sim::Simulator sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "qvl70s-sim: %s\n", sim.error().c_str());
        return kExitStartFailed;
    }
    printPort(sim.portPath());
    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.stop();
    return 0;
}
