#pragma once

#include <QIODevice>
#include <QStringList>
#include <QTextStream>
#include <span>

#include "platform/log/logbook_location.h"

namespace qv {
class Clock;
}

namespace qv::cli {

// Where a verb reads and writes: the process's standard streams in qvl70s-cli, buffers in the
// tests that run the verbs in process.
struct Io {
    QTextStream& out;
    QTextStream& err;
    QIODevice& in;
    // The real clock in qvl70s-cli; virtual time in the tests, so that a time-out costs nothing.
    Clock& clock;
    // --logbook local|server, which every verb takes.
    LogbookChoice logbook = LogbookChoice::InForce;
    // Checks the verb's logbook could not record (each told as it happened).
    int notRecorded = 0;
};

// The one exit-code rule every verb follows.
inline constexpr int kExitPassed = 0;       // done, or the check passed
inline constexpr int kExitCheckFailed = 1;  // the check failed, a refusal, or bad data rows
inline constexpr int kExitFailed = 2;       // could not run: options, port, link, files

// A verb takes its own arguments (the verb first) and returns the exit code.
using VerbFunction = int (*)(const QStringList& arguments, Io& io);

struct Verb {
    const char* name;
    const char* summary;
    VerbFunction run;
    // Painting (a PDF) needs a GUI application; every other verb runs without one.
    bool paints = false;
};

// Every verb, in the order of the usage text.
std::span<const Verb> verbTable();
const Verb* findVerb(const QString& name);

// The program without its process: `arguments` as main gets them (the program name first).
// Prints the usage, the version or runs the verb.
int run(const QStringList& arguments, Io& io);

int runColour(const QStringList& arguments, Io& io);
int runIdentify(const QStringList& arguments, Io& io);
int runCalibrate(const QStringList& arguments, Io& io);
int runMeasure(const QStringList& arguments, Io& io);
int runRepeatability(const QStringList& arguments, Io& io);
int runCompare(const QStringList& arguments, Io& io);
int runWriteEntry(const QStringList& arguments, Io& io);
int runEntries(const QStringList& arguments, Io& io);
int runDeleteEntry(const QStringList& arguments, Io& io);
int runUsercal(const QStringList& arguments, Io& io);
int runAgreement(const QStringList& arguments, Io& io);
int runProfile(const QStringList& arguments, Io& io);
int runProfiles(const QStringList& arguments, Io& io);
int runStandardise(const QStringList& arguments, Io& io);
int runDiagnose(const QStringList& arguments, Io& io);
int runImport(const QStringList& arguments, Io& io);
int runHistory(const QStringList& arguments, Io& io);
int runLogbook(const QStringList& arguments, Io& io);
int runExport(const QStringList& arguments, Io& io);
int runCertificate(const QStringList& arguments, Io& io);
int runPerformance(const QStringList& arguments, Io& io);
int runFleet(const QStringList& arguments, Io& io);
int runCertificateImport(const QStringList& arguments, Io& io);
int runCheckTile(const QStringList& arguments, Io& io);

}  // namespace qv::cli
