// The verbs of qvl70s-cli and the dispatch to them.
#include <array>

#include "cli/verbs.h"
#include "platform/app/resource_file.h"

namespace qv::cli {

namespace {

constexpr std::array kVerbs{
    Verb{"colour", "spectra to L*a*b* and colour differences", &runColour},
    Verb{"identify", "identify the instrument on a serial port", &runIdentify},
    Verb{"calibrate", "Zero and white calibration of the instrument", &runCalibrate},
    Verb{"measure", "One measurement (or an average) with L*, a*, b*", &runMeasure},
    Verb{"repeatability", "The repeatability check: three measurements and the verdict",
         &runRepeatability},
    Verb{"compare", "The inter-instrument check: reference and instrument under correction",
         &runCompare},
    Verb{"write-entry", "Writes correction factors from a coefficient file into an entry",
         &runWriteEntry},
    Verb{"entries", "The 30 user-calibration entries of the instrument", &runEntries},
    Verb{"delete-entry", "Empties one user-calibration entry", &runDeleteEntry},
    Verb{"check-tile", "The daily check tile against its certificate, at the room's temperature",
         &runCheckTile},
    Verb{"usercal", "Check, correct and verify: compare, write-entry and the proof", &runUsercal},
    Verb{"agreement", "A tile set's agreement from compare's judgement files", &runAgreement},
    Verb{"profile", "Standardise an instrument to the master: a profile from a tile set",
         &runProfile},
    Verb{"profiles", "The profiles on record, their status, and each fleet's drift", &runProfiles},
    Verb{"standardise", "Judgement, repeatability or CGATS files standardised to the master",
         &runStandardise},
    Verb{"diagnose", "What errors separate the instruments over a tile set, and the remedy",
         &runDiagnose},
    Verb{"import", "Earlier result files taken into the logbook", &runImport},
    Verb{"history", "An instrument's checks and writes from the logbook", &runHistory},
    Verb{"logbook", "The logbook's records waiting for the server sent, or where it is",
         &runLogbook},
    Verb{"fleet", "Every instrument's checks, due dates, drift and status; the check intervals",
         &runFleet},
    Verb{"certificate-import", "A tile's certificate (CGATS or CxF3) and coefficients kept",
         &runCertificateImport},
    Verb{"export", "A result file's spectra as CGATS or CxF3 for colour tools", &runExport},
    Verb{"certificate", "The certificate of a logbook record as a PDF", &runCertificate, true},
    Verb{"performance", "An instrument's performance statement from the logbook (and as a PDF)",
         &runPerformance, true},
};

// Takes --logbook WHERE (or --logbook=WHERE) out of a verb's arguments, as every verb knows it;
// false when WHERE is neither "local" nor "server".
bool takeLogbookChoice(QStringList& arguments, Io& io) {
    for (int i = 1; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == QLatin1String("--logbook") && i + 1 < arguments.size()) {
            value = arguments[i + 1];
            arguments.remove(i, 2);
        } else if (arguments[i].startsWith(QLatin1String("--logbook="))) {
            value = arguments[i].mid(10);
            arguments.remove(i);
        } else {
            continue;
        }
        if (value != QLatin1String("local") && value != QLatin1String("server")) {
            io.err << arguments[0] << ": --logbook takes local or server\n";
            return false;
        }
        io.logbook = value == QLatin1String("local") ? LogbookChoice::Local : LogbookChoice::Server;
        --i;
    }
    return true;
}

int usage(QTextStream& out, int code) {
    out << "Usage: qvl70s-cli VERB [options]\n\nVerbs:\n";
    // Two blanks at least after the longest verb, so help2man reads the list as two columns.
    for (const Verb& v : kVerbs)
        out << "  " << QString::fromLatin1(v.name).leftJustified(20) << v.summary << "\n";
    out << "\nEvery verb takes --logbook local|server: the logbook on this workstation, or the "
           "server\n(QV_LOGBOOK, a postgresql:// URI, or the desktop program's setting). "
           "Without it,\nQV_LOGBOOK goes before the setting.\n"
           "\nqvl70s-cli VERB --help describes a verb; qvl70s-cli --version prints the version.\n";
    return code;
}

}  // namespace

std::span<const Verb> verbTable() {
    return kVerbs;
}

const Verb* findVerb(const QString& name) {
    for (const Verb& v : kVerbs)
        if (name == QLatin1String(v.name)) return &v;
    return nullptr;
}

int run(const QStringList& arguments, Io& io) {
    if (arguments.size() < 2) return usage(io.err, kExitFailed);
    const QString verb = arguments.at(1);
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) return usage(io.out, 0);
    if (verb == QLatin1String("--version")) {
        io.out << "qvl70s-cli " << QString::fromStdString(programVersion()) << "\n";
        return kExitPassed;
    }
    if (const Verb* v = findVerb(verb)) {
        QStringList own = arguments.mid(1);
        if (!takeLogbookChoice(own, io)) return kExitFailed;
        int code = v->run(own, io);
        // A check that passed but is missing from the logbook is no success on a command line.
        if (code == kExitPassed && io.notRecorded > 0) code = kExitFailed;
        io.out.flush();
        io.err.flush();
        return code;
    }
    io.err << "qvl70s-cli: unknown verb '" << verb << "'\n";
    return usage(io.err, kExitFailed);
}

}  // namespace qv::cli
