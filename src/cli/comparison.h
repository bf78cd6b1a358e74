#pragma once

// The inter-instrument check as the compare and usercal verbs run it.

#include <QString>
#include <QTextStream>
#include <array>
#include <optional>
#include <string>

#include "cli/session.h"
#include "core/checks/inter_instrument_workflow.h"

namespace qv::cli {

struct Instrument {
    const char* name;  // as it starts a reason
    const QString& port;
    ValidationRole role;
};

// Measures the specimen on the instrument whose port is open and connected, evaluated with
// the check's `colour`; a target measurement leaves its file in `targetFile`. A failure is
// printed.
std::optional<Measurement> measureHere(const Seams& seams, const Options& o,
                                       const Instrument& instrument, EvaluateHueControl& colour,
                                       SavedFile& targetFile);

// The target (measured on --reference-port, or registered from --reference-file), then the
// sample on --port, judged; the port of the instrument under correction stays open. An exit
// code when it could not be judged (the reason is printed).
std::optional<int> measureAndJudge(Session& s, const Seams& seams, const Options& o,
                                   InterInstrumentWorkflow& check, SavedFile& targetFile);

// One row of a table by angle: the label, then the three values with two decimals.
void printRow(QTextStream& out, const QString& label, const std::array<double, 3>& byAngle,
              int labelWidth = 16);

// Serials, coordinates, differences, verdict and the files, as a table.
void printComparison(QTextStream& out, const SharedState& st, const Judgement& j,
                     const std::string& label, const SavedFile& targetFile);

// The verdict's exit code, or kExitFailed (with the reason) when a result file is missing.
int comparisonExitCode(const Options& o, const Judgement& j, const SavedFile& targetFile);

}  // namespace qv::cli
