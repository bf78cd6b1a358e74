#pragma once

// What the verbs that talk to an instrument share: the process's seams, the common options,
// opening the port and connecting the instrument as the desktop program does.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "core/app/number_format.h"
#include "core/app/seams.h"
#include "core/app/shared_state.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/app/system_clock.h"
#include "platform/log/sql_logbook.h"

namespace qv::cli {

inline constexpr int kExitPassed = 0;
inline constexpr int kExitCheckFailed = 1;
inline constexpr int kExitFailed = 2;

struct Options;

// Message boxes become lines on standard error. A Yes/No question asks for consent to something
// that cannot be undone (an entry overwritten or emptied, a pair judged against itself): it is
// answered Yes only when the operator gave --yes, No otherwise. Every other box takes its first
// button.
class PrintingPrompter : public Prompter {
public:
    explicit PrintingPrompter(const StringTable* texts) : texts_(texts) {}
    bool agreed = false;  // --yes
    Answer ask(const Message& message) override;
    std::optional<std::string> askOpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }

private:
    const StringTable* texts_;
};

// Everything a verb needs: the port, the settings, the texts and the shared state.
struct Session {
    Session() = default;
    // The prompter answers the consent questions from the verb's --yes.
    explicit Session(const Options& o);

    SystemClock clock;
    SharedState state;
    QtProfileStore profile;
    std::unique_ptr<TextStringTable> texts = loadResourceStrings();
    TextStringTable noTexts{{}};
    PrintingPrompter prompter{texts.get()};

    AtomicFileStore files;
    // Opened by verbs that complete a check: they record it there.
    std::unique_ptr<SqlLogbook> logbook;

    const StringTable& strings() const { return texts ? *texts : noTexts; }
    SerialChannel& port() { return *state.commPort; }
    Seams seams(NumberFormat format = {}) {
        return Seams{state, clock,     prompter,          profile,
                     files, strings(), std::move(format), logbook.get()};
    }
    // The data folder for result files, and the logbook beside it.
    void useDataFolder();
};

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
};

struct Options {
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
};

// Parses the verb's options; an exit code when the verb is to end at once.
std::optional<int> parse(const QStringList& arguments, const QString& description,
                         const OptionSet& accepted, Options& o);

// For verbs with options of their own: adds --help and parses; an exit code when the verb is to
// end at once (help shown under `usage`, or the options wrong).
std::optional<int> parseVerb(QCommandLineParser& parser, const QStringList& arguments,
                             const Options& o, const QString& usage);

// Opens `port` (--port when not given) into the session's shared state, replacing and so
// closing the port that was open there.
bool openPort(Session& s, const Options& o, const QString& port);
inline bool openPort(Session& s, const Options& o) {
    return openPort(s, o, o.port);
}

// Prints "VERB: reason" on standard error; returns kExitFailed.
int failed(const Options& o, const std::string& reason);

// The logbook every program writes, for a verb that reads it; nothing when it cannot be had
// (the reason printed). `mustExist`: a verb that only reads must not begin an empty logbook.
std::unique_ptr<SqlLogbook> openVerbLogbook(const Options& o, bool mustExist = false);

// The desktop program measures only after Connect, which also resets the settings of a
// type-53 instrument (CPR, CPS, USR, USS): the verbs connect the same way first. `which`
// starts each reason when the verb talks to more than one instrument.
bool connectInstrument(Session& s, const Options& o, const std::string& which = {});

inline QString number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

}  // namespace qv::cli
