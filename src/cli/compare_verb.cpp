// The inter-instrument check without a window: the specimen measured on the reference
// instrument, then on the instrument under correction, and the pair judged.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <array>
#include <limits>
#include <string>
#include <utility>

#include "cli/comparison.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_workflow.h"
#include "core/coeff/registration_workflow.h"
#include "core/colour/evaluated_spectrum.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

void printRow(QTextStream& out, const QString& label, const std::array<double, 3>& byAngle,
              int labelWidth) {
    out << label.leftJustified(labelWidth);
    for (double v : byAngle) out << number(v, 2).rightJustified(10);
    out << "\n";
}

namespace {

using Lab = std::array<double, 3>;

Lab coordinatesOf(const AngleSpectrum& spectrum) {
    constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
    return storedCoordinates(spectrum).value_or(Lab{kMissing, kMissing, kMissing});
}

}  // namespace

std::optional<Measurement> measureHere(const Seams& seams, const Options& o,
                                       const Instrument& instrument, EvaluateHueControl& colour,
                                       SavedFile& targetFile) {
    ValidationWorkflow validation(seams, colour, instrument.role);
    std::string why;
    std::optional<Measurement> taken;
    if (o.average > 0) {
        taken = validation.measureAverage(o.average);
        why = validation.lastFailure().empty() ? "the average was not completed"
                                               : validation.lastFailure();
    } else {
        taken = validation.measure();
        why = validation.lastFailure();
    }
    if (instrument.role == ValidationRole::Target) targetFile = validation.resultFile();
    if (!taken)
        failed(o, std::string(instrument.name) + " on " + instrument.port.toStdString() +
                      ": the measurement failed: " + why);
    return taken;
}

namespace {

// Opens the instrument's port in place of the one before (which closes that one first),
// connects and measures the specimen there.
bool measureOn(Session& s, const Seams& seams, const Options& o, const Instrument& instrument,
               InterInstrumentWorkflow& check, SavedFile& targetFile) {
    const std::string which = std::string(instrument.name) + " on " + instrument.port.toStdString();
    s.state.commPort.reset();
    if (!openPort(s, o, instrument.port) || !connectInstrument(s, o, which + ": ")) return false;
    const auto taken = measureHere(seams, o, instrument, check.colour(), targetFile);
    if (taken) check.take(instrument.role, *taken);
    return taken.has_value();
}

// The target from a registration file instead of a measurement; the file stands in for the
// target result file.
bool registerTarget(Session& s, const Seams& seams, const Options& o,
                    InterInstrumentWorkflow& check, SavedFile& targetFile) {
    // The registration dialog's file choice is answered with the file of the command line.
    s.prompter.givenFile = o.referenceFile.toStdString();
    RegistrationWorkflow registration(seams, check.colour());
    if (!registration.browse() || !registration.registerTarget()) {
        failed(o, "the reference file " + o.referenceFile.toStdString() + " was not registered");
        return false;
    }
    check.endRegistration();
    targetFile.path = targetFile.name = o.referenceFile.toStdString();
    return true;
}

QString fileText(const SavedFile& file) {
    if (file.ok()) return QString::fromStdString(file.path);
    return QStringLiteral("not written (%1)").arg(QString::fromStdString(file.error));
}

QString implausibleText(const ImplausibleRatio& r) {
    return QStringLiteral("plausible: no, %1 degrees, %2 nm: target / sample = %3")
        .arg(kAngleDegrees[r.angle])
        .arg(r.wavelengthNm)
        .arg(number(r.ratio, 3));
}

}  // namespace

void printComparison(QTextStream& out, const SharedState& st, const Judgement& j,
                     const std::string& label, const SavedFile& targetFile) {
    const QString dE = QString::fromStdString(label);
    out << "reference instrument " << QString::fromStdString(st.targetSerial) << "\n";
    out << "instrument under correction " << QString::fromStdString(st.sampleSerial) << "\n";
    out << QStringLiteral("angle (degrees)").leftJustified(16)
        << "        25        45        75\n";
    const char* names[3] = {"L*", "a*", "b*"};
    for (const auto& [who, spectra] :
         {std::pair{"target ", &st.targetSpectrum}, std::pair{"sample ", &st.sampleSpectrum}})
        for (int c = 0; c < 3; ++c) {
            Lab row{};
            for (int a = 0; a < kAngleCount; ++a) row[a] = coordinatesOf((*spectra)[a])[c];
            printRow(out, QString::fromLatin1(who) + QLatin1String(names[c]), row);
        }
    for (int c = 0; c < 3; ++c)
        printRow(out, QStringLiteral("d") + QLatin1String(names[c]),
                 {j.difference[0][c], j.difference[1][c], j.difference[2][c]});
    printRow(out, dE, j.deltaE);
    out << "largest " << dE << " " << number(j.maxDeltaE, 2) << ", threshold "
        << number(st.instThreshold, 2) << "\n";
    out << "verdict " << (j.passed ? "PASSED" : "FAILED") << "\n";
    if (!j.passed)
        out << (j.implausible ? implausibleText(*j.implausible) : QStringLiteral("plausible: yes"))
            << "\n";
    out << "target file " << fileText(targetFile) << "\n";
    out << "judgement file " << fileText(j.resultFile) << "\n";
}

namespace {

QJsonObject labObject(const Lab& lab) {
    return {{"L", lab[0]}, {"a", lab[1]}, {"b", lab[2]}};
}

QJsonValue fileValue(const SavedFile& file) {
    return file.ok() ? QJsonValue(QString::fromStdString(file.path)) : QJsonValue();
}

void printJson(QTextStream& out, const SharedState& st, const Judgement& j,
               const std::string& label, const SavedFile& targetFile) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a)
        angles.append(QJsonObject{{"angle", kAngleDegrees[a]},
                                  {"target", labObject(coordinatesOf(st.targetSpectrum[a]))},
                                  {"sample", labObject(coordinatesOf(st.sampleSpectrum[a]))},
                                  {"dL", j.difference[a][0]},
                                  {"da", j.difference[a][1]},
                                  {"db", j.difference[a][2]},
                                  {"deltaE", j.deltaE[a]}});
    QJsonObject root{{"referenceInstrument", QString::fromStdString(st.targetSerial)},
                     {"instrument", QString::fromStdString(st.sampleSerial)},
                     {"deltaEFormula", QString::fromStdString(label)},
                     {"angles", angles},
                     {"maxDeltaE", j.maxDeltaE},
                     {"threshold", st.instThreshold},
                     {"passed", j.passed},
                     {"targetFile", fileValue(targetFile)},
                     {"judgementFile", fileValue(j.resultFile)}};
    if (!j.passed) root.insert("plausible", !j.implausible);
    if (j.implausible)
        root.insert("implausible", QJsonObject{{"angle", kAngleDegrees[j.implausible->angle]},
                                               {"wavelengthNm", j.implausible->wavelengthNm},
                                               {"ratio", j.implausible->ratio}});
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace

// A check whose record is missing is no success, whatever its verdict.
int comparisonExitCode(const Options& o, const Judgement& j, const SavedFile& targetFile) {
    int code = j.passed ? kExitPassed : kExitCheckFailed;
    for (const auto& [what, file] :
         {std::pair{"target", &targetFile}, std::pair{"judgement", &j.resultFile}})
        if (!file->ok())
            code = failed(o, std::string("the ") + what + " file " + file->name +
                                 " could not be written: " + file->error);
    return code;
}

std::optional<int> measureAndJudge(Session& s, const Seams& seams, const Options& o,
                                   InterInstrumentWorkflow& check, SavedFile& targetFile) {
    if (!o.referenceFile.isEmpty()) {
        if (!registerTarget(s, seams, o, check, targetFile)) return kExitFailed;
    } else if (!measureOn(s, seams, o,
                          {"reference instrument", o.referencePort, ValidationRole::Target}, check,
                          targetFile)) {
        return kExitFailed;
    }
    if (!measureOn(s, seams, o, {"instrument under correction", o.port, ValidationRole::Sample},
                   check, targetFile))
        return kExitFailed;
    if (!check.judge() || !check.judgement())
        return failed(o,
                      "the pair was not judged (a spectrum is missing, or both come from one "
                      "instrument and --yes was not given)");
    return std::nullopt;
}

int runCompare(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(
            arguments,
            QStringLiteral("Runs the inter-instrument check: the specimen is measured on the "
                           "reference instrument on the reference port (the target), that port is "
                           "closed, then the specimen is measured on the instrument under "
                           "correction on PORT (the sample) and the pair is judged against the "
                           "inter-instrument threshold. The target file and the judgement file go "
                           "to the data folder.\n"
                           "Exit status: 0 passed, 1 failed the threshold, 2 a port or an "
                           "instrument failed or a result file could not be written (the reason "
                           "is printed)."),
            {.average = true,
             .json = true,
             .referencePort = true,
             .yes = "Judge the pair also when target and sample come from one instrument (a "
                    "target registered from an earlier file of it)."},
            o))
        return *code;
    Session s(o);
    s.useDataFolder();
    const Seams seams = s.seams(userNumberFormat());
    // Created first: it empties the spectra, and both measurements evaluate with its engine.
    InterInstrumentWorkflow check(seams);
    SavedFile targetFile;
    if (auto code = measureAndJudge(s, seams, o, check, targetFile)) return *code;
    const Judgement& j = *check.judgement();
    QTextStream& out = o.io.out;
    if (o.json)
        printJson(out, s.state, j, check.colour().deltaELabel(), targetFile);
    else
        printComparison(out, s.state, j, check.colour().deltaELabel(), targetFile);
    out.flush();
    return comparisonExitCode(o, j, targetFile);
}

}  // namespace qv::cli
