#pragma once

// The options every verb shares, parsed in one place, and the help and failure lines.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "cli/verbs.h"

namespace qv::cli {

// Which options a verb takes besides --port and --help.
struct OptionSet {
    bool average = false;
    bool json = false;
    bool whiteOnly = false;
    // Then --port is the instrument under correction, and the target comes from
    // --reference-port or --reference-file.
    bool referencePort = false;
    bool entry = false;    // --entry N (1 to 30), required, and --yes
    bool comment = false;  // --comment TEXT, required
    bool from = false;     // --from FILE, required
    // --basis none|N: what the readings the factors correct passed through.
    bool basis = false;
    // --readings N, --handling, --specimen NAME and --yes: the repeatability check over many
    // readings.
    bool readings = false;
    // --yes for the question the verb may ask, in these words; null when it asks none.
    const char* yes = nullptr;
};

// For a verb's --help: which line settings the port is opened with.
inline constexpr const char* kSavedLineSettingsHelp =
    "The line settings are those saved by the desktop program (baud rate, data length, "
    "parity); 9600 baud, 8 data bits, no parity when none are saved.";

struct Options {
    explicit Options(Io& streams) : io(streams) {}
    Io& io;
    QString verb;
    QString port;
    QString referencePort;
    QString referenceFile;
    bool json = false;
    bool whiteOnly = false;
    int average = 0;   // 0: direct measurements
    int entry = 0;     // a user-calibration entry, 1 to 30
    bool yes = false;  // an occupied entry may be overwritten or emptied
    QString comment;
    QString from;
    QString basis;     // "none" or an entry number; empty when not given
    int readings = 0;  // 0: the three-reading repeatability check
    bool handling = false;
    QString specimen;
    // --override: why a supervisor lets an action go ahead although the instrument is held
    // back; empty when not given.
    QString overrideReason;
};

// --override REASON, for verbs whose action the lab's check intervals may hold back.
void addOverrideOption(QCommandLineParser& parser);
// Into `o`; an exit code when the reason is empty or too long.
std::optional<int> readOverride(const QCommandLineParser& parser, Options& o);

// Parses the verb's options; an exit code when the verb is to end at once.
std::optional<int> parse(const QStringList& arguments, const QString& description,
                         const OptionSet& accepted, Options& o);

// For verbs with options of their own: adds --help and parses; an exit code when the verb is to
// end at once (help shown under `usage`, or the options wrong).
std::optional<int> parseVerb(QCommandLineParser& parser, const QStringList& arguments,
                             const Options& o, const QString& usage);

// --help names the program only; the verb belongs in the usage line too.
void printHelp(QTextStream& out, const QCommandLineParser& parser, const QString& usage);

// Prints "VERB: reason" on the verb's error stream; returns kExitFailed.
int failed(const Options& o, const std::string& reason);

}  // namespace qv::cli
