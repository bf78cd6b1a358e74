// The user calibration as one road without a window: the inter-instrument check, the
// correction factors written into an entry of the instrument under correction, and the sample
// measured again to show that the correction worked.
#include <QTextStream>
#include <array>

#include "cli/comparison.h"
#include "cli/entry_write.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

// Before and after the correction, angle by angle; the exit code of the verification.
int printVerification(QTextStream& out, const Options& o, const Judgement& after,
                      const std::string& label) {
    const Verification& v = *after.verification;
    const QString dE = QString::fromStdString(label);
    out << QStringLiteral("angle (degrees)").leftJustified(24)
        << "        25        45        75\n";
    printRow(out, dE + " before correction", v.beforeDeltaE, 24);
    printRow(out, dE + " after correction", after.deltaE, 24);
    out << "verdict before " << (v.beforePassed ? "PASSED" : "FAILED") << ", after "
        << (after.passed ? "PASSED" : "FAILED") << "\n";
    if (v.unchanged) out << "the instrument does not apply the entry yet\n";
    out << "judgement file "
        << (after.resultFile.ok() ? QString::fromStdString(after.resultFile.path)
                                  : QStringLiteral("not written"))
        << "\n";
    out.flush();
    if (!after.resultFile.ok())
        return failed(o, "the judgement file " + after.resultFile.name +
                             " could not be written: " + after.resultFile.error);
    return after.passed && !v.unchanged ? kExitPassed : kExitCheckFailed;
}

}  // namespace

int runUsercal(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(
            arguments,
            QStringLiteral(
                "The user calibration as one road: the inter-instrument check (as compare), "
                "then, when the instruments disagree, the correction factors written into entry "
                "N of the instrument under correction on PORT (as write-entry; an occupied entry "
                "only with --yes), then the specimen measured again there and judged against the "
                "same target. When the instrument holds entries, --basis says which one (or none) "
                "its "
                "readings passed through: the new factors are computed on top of that entry's. "
                "Prints the check and the differences before and after.\n"
                "Exit status: 0 the instruments agree (after the correction or already before), "
                "1 they still disagree, the spectra are implausible or the write was refused, 2 a "
                "port or an instrument failed or a file could not be written (the reason is "
                "printed)."),
            {.average = true, .referencePort = true, .entry = true, .comment = true, .basis = true},
            o))
        return *code;
    Session s(o);
    s.useDataFolder();
    const Seams seams = s.seams(userNumberFormat());
    InterInstrumentWorkflow check(seams);
    SavedFile targetFile;
    if (auto code = measureAndJudge(s, seams, o, check, targetFile)) return *code;
    QTextStream& out = o.io.out;
    out << "--- the check\n";
    printComparison(out, s.state, *check.judgement(), check.colour().deltaELabel(), targetFile);
    out.flush();
    const int checked = comparisonExitCode(o, *check.judgement(), targetFile);
    if (checked == kExitPassed) out << "the instruments agree: no correction is needed\n";
    if (checked != kExitCheckFailed) return checked;
    if (!check.view().writeEnabled) {
        o.io.err << o.verb << ": no correction is written for this pair (see above)\n";
        return kExitCheckFailed;
    }
    out << "--- the correction\n";
    out.flush();
    const EntryWrite write = writeIntoEntry(s, seams, o);
    if (!write.written) return write.code;
    check.correctionWritten(write.correction);
    out << "--- the specimen again on the instrument under correction\n";
    out.flush();
    SavedFile unused;
    const auto again =
        measureHere(seams, o, {"instrument under correction", o.port, ValidationRole::Sample},
                    check.colour(), unused);
    if (!again) return kExitFailed;
    if (!check.verifyCorrection(*again)) return failed(o, "the verification was not judged");
    const int verified =
        printVerification(out, o, *check.judgement(), check.colour().deltaELabel());
    if (write.record) printValidity(seams, *write.record, out);
    // The entry is in the instrument either way; a missing record file still fails the road.
    return write.code != kExitPassed ? write.code : verified;
}

}  // namespace qv::cli
