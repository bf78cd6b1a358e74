#pragma once

// What the verbs that talk to an instrument share: the process's seams, the common options,
// opening the port and connecting the instrument as the desktop program does.

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "cli/options.h"
#include "core/app/hold_back.h"
#include "core/app/number_format.h"
#include "core/app/seams.h"
#include "core/app/shared_state.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/log/sql_logbook.h"

namespace qv::cli {

// Message boxes become lines on the verb's error stream. A Yes/No question asks for consent to
// something that cannot be undone (an entry overwritten or emptied, a pair judged against
// itself): it is answered Yes only when the operator gave --yes, No otherwise. Every other box
// takes its first button, unless a verb lets the operator answer OK/Cancel (okCancelFrom). A
// file chooser is answered with the file the command line named.
class PrintingPrompter : public Prompter {
public:
    PrintingPrompter(const StringTable* texts, QTextStream& err) : texts_(texts), err_(&err) {}
    bool agreed = false;         // --yes
    std::string givenFile;       // --from, --reference-file
    std::string overrideReason;  // --override
    // When set, an OK/Cancel question waits for the operator's line from it: an empty line
    // goes on, anything else or the end of the input cancels. With --yes it goes on at once.
    QIODevice* okCancelFrom = nullptr;
    Answer ask(const Message& message) override;
    std::optional<std::string> askOpenFile(const std::string&, const std::string&) override;
    // The reason --override gave; the question is printed either way.
    std::optional<std::string> askReason(const Message& question) override;

private:
    void print(const Message& message);
    const StringTable* texts_;
    QTextStream* err_;
};

// Everything a verb needs: the port, the settings, the texts and the shared state.
struct Session {
    // The prompter writes on the verb's error stream and answers the consent questions from
    // its --yes.
    explicit Session(const Options& o);
    // Hands the logbook's unrecorded checks to the verb's exit code.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Clock& clock;  // the verb's
    SharedState state;
    QtProfileStore profile;
    std::unique_ptr<TextStringTable> texts = loadResourceStrings();
    TextStringTable noTexts{{}};
    PrintingPrompter prompter;

    AtomicFileStore files;
    // Opened by verbs that complete a check: they record it there.
    std::unique_ptr<LogbookStore> logbook;
    LogbookChoice logbookChoice = LogbookChoice::InForce;

    const StringTable& strings() const { return texts ? *texts : noTexts; }
    SerialChannel& port() { return *state.commPort; }
    Seams seams(NumberFormat format = {}) {
        return Seams{state, clock,     prompter,          profile,
                     files, strings(), std::move(format), logbook.get()};
    }
    // The data folder for result files, and the logbook beside it.
    void useDataFolder();

private:
    Io* io_;
};

// Opens `port` (--port when not given) into the session's shared state, replacing and so
// closing the port that was open there.
bool openPort(Session& s, const Options& o, const QString& port);
inline bool openPort(Session& s, const Options& o) {
    return openPort(s, o, o.port);
}

// The logbook every program writes, for a verb that reads it; nothing when it cannot be had
// (the reason printed). `mustExist`: a verb that only reads must not begin an empty logbook.
std::unique_ptr<LogbookStore> openVerbLogbook(const Options& o, bool mustExist = false);

// Whether the lab's check intervals let the verb's action on `serial` go ahead: asked as the
// desktop asks, answered from --override; a refusal is printed.
Clearance verbClearance(const Options& o, LogbookStore& logbook, const std::string& serial);

// The desktop program measures only after Connect, which also resets the settings of a
// type-53 instrument (CPR, CPS, USR, USS): the verbs connect the same way first. `which`
// starts each reason when the verb talks to more than one instrument.
bool connectInstrument(Session& s, const Options& o, const std::string& which = {});

inline QString number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Any number that is not finite as null: JSON has no infinity.
inline QJsonValue finiteOrNull(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

}  // namespace qv::cli
