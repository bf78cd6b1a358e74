// Measurement verbs: calibrate, measure and run the repeatability check (of three or of many
// readings) without a window.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <memory>
#include <optional>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/link/identify.h"
#include "core/measure/average_workflow.h"
#include "core/measure/calibration.h"
#include "core/measure/extended_repeatability.h"
#include "core/measure/measurement_exchange.h"
#include "core/measure/repeatability_workflow.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

// --- calibrate ---------------------------------------------------------------------------

QString stepText(const CalibrationStepResult& step) {
    QString reply = QString::fromLatin1(step.reply.data(), qsizetype(step.reply.size()));
    reply.remove(QLatin1Char('\r'));
    const QString what = step.white ? QStringLiteral("white") : QStringLiteral("zero");
    if (step.reply.empty())
        return what + QStringLiteral(" calibration: ") +
               QString::fromStdString(describe(step.error));
    return what + QStringLiteral(" calibration: ") + reply;
}

}  // namespace

int runCalibrate(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code =
            parse(arguments,
                  QStringLiteral("Runs the zero calibration (UZC) and the white calibration "
                                 "(CAL) of the instrument on PORT.\n"
                                 "Exit status: 0 done, 2 failed (the reason is printed)."),
                  {.whiteOnly = true}, o))
        return *code;
    Session s(o);
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    s.useDataFolder();  // the logbook keeps the white calibration the instrument confirms
    CalibrationWorkflow calibration(s.seams());
    QTextStream& out = o.io.out;
    if (o.whiteOnly) {
        calibration.skipZero();
    } else {
        calibration.confirm();
        const CalibrationStepResult& zero = calibration.lastStep();
        if (zero.verdict == CalibrationVerdict::Failed)
            return failed(o, stepText(zero).toStdString());
        out << stepText(zero) << "\n";
    }
    calibration.confirm();
    const CalibrationStepResult& white = calibration.lastStep();
    if (white.verdict == CalibrationVerdict::Failed)
        return failed(o, stepText(white).toStdString());
    out << stepText(white) << "\n";
    return kExitPassed;
}

namespace {

// --- measure -----------------------------------------------------------------------------

struct MeasuredSpectra {
    std::string id;
    int count = 1;
    ThreeAngles spectra;
    std::array<std::array<double, 3>, kAngleCount> lab{};
    std::optional<std::array<std::array<double, 3>, kAngleCount>> deviation;
};

// One direct measurement, as the repeatability check takes it.
bool measureDirect(Session& s, EvaluateHueControl& engine, MeasuredSpectra& m, std::string& why) {
    Acquisition taken(&s.port(), s.clock, MeasureVariant::Repeatability);
    if (!taken.run()) return why = describe(taken.error()), false;
    const IdentifyResult& id = taken.id();
    m.id = id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText;
    m.spectra = taken.outcome().spectra;
    ColourRequests colour(engine);
    for (int a = 0; a < kAngleCount; ++a) {
        colour.setTarget(a, m.spectra[a]);
        m.lab[a] = colour.coordinates(kTargetMode);
    }
    return true;
}

// N measurements averaged, as the average dialog takes them.
bool measureAverage(Session& s, EvaluateHueControl& engine, int n, MeasuredSpectra& m,
                    std::string& why) {
    AverageWorkflow average(s.seams(), engine, AverageSetup{});
    if (qv::measureAverage(average, n) != AverageOutcome::Finished)
        return why = average.lastFailure(), false;
    m.id = average.serial();
    m.count = n;
    m.spectra = average.average();
    m.lab = average.averageCoordinates();
    if (n >= 2) m.deviation = average.deviations();
    return true;
}

void printTable(QTextStream& out, const MeasuredSpectra& m, const std::string& formula) {
    out << "instrument " << QString::fromStdString(m.id) << "\n";
    out << "measurements " << m.count << (m.count > 1 ? " (average)" : "") << "\n";
    out << "colour difference formula " << QString::fromStdString(formula) << "\n\n";
    out << QStringLiteral("nm").leftJustified(8) << "   R25 (%)   R45 (%)   R75 (%)\n";
    for (int j = 0; j < kSpectrumPoints; ++j) {
        out << QString::number(kStartNm + kStepNm * j).leftJustified(8);
        for (int a = 0; a < kAngleCount; ++a) out << number(m.spectra[a][j], 3).rightJustified(10);
        out << "\n";
    }
    const char* names[3] = {"L*", "a*", "b*"};
    out << "\n";
    for (int c = 0; c < 3; ++c) {
        out << QString::fromLatin1(names[c]).leftJustified(8);
        for (int a = 0; a < kAngleCount; ++a) out << number(m.lab[a][c], 2).rightJustified(10);
        out << "\n";
    }
    if (m.deviation) {
        for (int c = 0; c < 3; ++c) {
            out << (QStringLiteral("sd ") + QLatin1String(names[c])).leftJustified(8);
            for (int a = 0; a < kAngleCount; ++a)
                out << number((*m.deviation)[a][c], 2).rightJustified(10);
            out << "\n";
        }
    }
}

void printJson(QTextStream& out, const MeasuredSpectra& m, const std::string& formula) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a) {
        QJsonArray reflectance;
        for (int j = 0; j < kSpectrumPoints; ++j) reflectance.append(m.spectra[a][j]);
        QJsonObject angle{{"angle", kAngleDegrees[a]},
                          {"reflectancePercent", reflectance},
                          {"L", m.lab[a][0]},
                          {"a", m.lab[a][1]},
                          {"b", m.lab[a][2]}};
        if (m.deviation) {
            angle.insert("sdL", (*m.deviation)[a][0]);
            angle.insert("sda", (*m.deviation)[a][1]);
            angle.insert("sdb", (*m.deviation)[a][2]);
        }
        angles.append(angle);
    }
    const QJsonObject root{{"instrument", QString::fromStdString(m.id)},
                           {"measurements", m.count},
                           {"startNm", kStartNm},
                           {"stepNm", kStepNm},
                           {"deltaEFormula", QString::fromStdString(formula)},
                           {"angles", angles}};
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace

int runMeasure(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(arguments,
                          QStringLiteral("Takes one measurement on PORT (or the average of N) and "
                                         "prints the three spectra (percent reflectance) with "
                                         "their L*, a*, b*.\n"
                                         "Exit status: 0 measured, 2 failed (the reason is "
                                         "printed)."),
                          {.average = true, .json = true}, o))
        return *code;
    Session s(o);
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    auto engine = makeColourEngine(KEY_VERSION3, formulaFromProfile(s.profile));
    MeasuredSpectra m;
    std::string why;
    const bool ok = o.average > 0 ? measureAverage(s, *engine, o.average, m, why)
                                  : measureDirect(s, *engine, m, why);
    if (!ok) return failed(o, why);
    QTextStream& out = o.io.out;
    if (o.json)
        printJson(out, m, engine->deltaELabel());
    else
        printTable(out, m, engine->deltaELabel());
    return kExitPassed;
}

namespace {

// --- repeatability -----------------------------------------------------------------------

QJsonValue finite(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

void printSpreadJson(QTextStream& out, const ExtendedReport& r, const std::string& file) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread& s = r.spread[a];
        angles.append(QJsonObject{{"angle", kAngleDegrees[a]},
                                  {"mcdm", finite(s.mcdm)},
                                  {"sdL", finite(s.sd[0])},
                                  {"sda", finite(s.sd[1])},
                                  {"sdb", finite(s.sd[2])},
                                  {"largest", finite(s.largest)}});
    }
    const QJsonObject root{{"readings", r.readings},
                           {"formula", QString::fromStdString(r.formula)},
                           {"angles", angles},
                           {"resultFile", QString::fromStdString(file)},
                           {"instrument", QString::fromStdString(r.serial)},
                           {"handling", r.handling},
                           {"specimen", QString::fromStdString(r.specimen)}};
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void printSpreadTable(QTextStream& out, const ExtendedReport& r, const std::string& file) {
    out << "instrument " << QString::fromStdString(r.serial) << "\n";
    out << "readings " << r.readings
        << (r.handling ? ", the specimen lifted and placed again before each"
                       : ", the specimen left in place")
        << "\n";
    if (!r.specimen.empty()) out << "specimen " << QString::fromStdString(r.specimen) << "\n";
    out << "spread about the mean (" << QString::fromStdString(r.formula) << "):\n";
    out << QStringLiteral("angle (degrees)").leftJustified(16)
        << "    MCDM   sd L*   sd a*   sd b* largest\n";
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread& s = r.spread[a];
        out << QString::number(kAngleDegrees[a]).leftJustified(16);
        for (double v : {s.mcdm, s.sd[0], s.sd[1], s.sd[2], s.largest})
            out << (std::isfinite(v) ? number(v, 3) : QStringLiteral("---")).rightJustified(8);
        out << "\n";
    }
    if (!file.empty()) out << "result file " << QString::fromStdString(file) << "\n";
}

QString repeatabilityHelp() {
    return QStringLiteral(
        "Runs the repeatability check on PORT: three measurements "
        "of one specimen (each direct, or the average of N), "
        "the result file in the data folder and the verdict.\n"
        "With --readings N: N direct readings of one specimen "
        "and, per angle, their mean colour difference from the "
        "mean (MCDM), the standard deviations of L*, a*, b* and "
        "the largest difference; no verdict.\n"
        "Exit status: 0 passed (or the readings taken), 1 failed "
        "the threshold, 2 the instrument or the port failed, the "
        "series was stopped or the result file could not be "
        "written (the reason is printed).");
}

// N readings of one specimen and their spread; no verdict.
int runExtendedRepeatability(Options& o) {
    Session s(o);
    if (o.handling && !o.yes) s.prompter.okCancelFrom = &o.io.in;
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    s.useDataFolder();
    ExtendedRepeatabilityWorkflow series(s.seams(userNumberFormat()));
    // Under --json the standard output carries the document only.
    QTextStream& progress = o.json ? o.io.err : o.io.out;
    series.onProgress([&progress](int k, int n) {
        progress << "reading " << k << " of " << n << "\n";
        progress.flush();
    });
    const ExtendedSetup setup{o.readings, o.handling, o.specimen.toStdString()};
    switch (series.run(setup)) {
        case SeriesOutcome::Completed:
            break;
        case SeriesOutcome::Declined:
        case SeriesOutcome::Stopped:
            return failed(o, "the series was stopped; nothing was recorded");
        case SeriesOutcome::Failed:
            return failed(o, series.lastFailure() + "; nothing was recorded");
    }
    const ExtendedReport& r = *series.result();
    if (o.json)
        printSpreadJson(o.io.out, r, series.resultFile());
    else
        printSpreadTable(o.io.out, r, series.resultFile());
    o.io.out.flush();
    if (series.resultFile().empty())
        return failed(o, "the result file could not be written in " + s.state.strDataFolder);
    return kExitPassed;
}

// The three-reading check's differences against its first measurement and its largest.
void printSeries(QTextStream& out, const RepeatabilityWorkflow& series, const SharedState& state) {
    const std::string label = series.view().deltaELabel;
    out << "instrument " << QString::fromStdString(series.instrumentId()) << "\n";
    out << "colour differences (" << QString::fromStdString(label) << ") against measurement 1:\n";
    out << QStringLiteral("angle (degrees)").leftJustified(16) << "      25      45      75\n";
    for (int m = 0; m < 2; ++m) {
        out << QStringLiteral("measurement %1").arg(m + 2).leftJustified(16);
        for (double dE : series.deltaE()[m]) out << number(dE, 2).rightJustified(8);
        out << "\n";
    }
    out << "largest " << QString::fromStdString(label) << " " << number(state.repeatMaxDeltaE, 2)
        << ", threshold " << number(state.defThreshold, 2) << "\n";
    if (!series.resultFile().empty())
        out << "result file " << QString::fromStdString(series.resultFile()) << "\n";
}

}  // namespace

int runRepeatability(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(arguments, repeatabilityHelp(),
                          {.average = true, .json = true, .readings = true}, o))
        return *code;
    if (o.readings > 0) return runExtendedRepeatability(o);
    Session s(o);
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    s.useDataFolder();
    RepeatabilityWorkflow series(s.seams(userNumberFormat()));
    series.setAskBeforeMeasuring(false);
    series.setSpecimen(o.specimen.toStdString());
    bool judged = false;
    series.onVerdict([&judged] { judged = true; });
    QTextStream& out = o.io.out;
    for (int k = 1; k <= kSeriesLength; ++k) {
        if (o.average > 0) {
            AverageWorkflow average(s.seams(), series.colour(), series.beginAverage());
            const AverageOutcome outcome = qv::measureAverage(average, o.average);
            series.endAverage(average);
            if (outcome != AverageOutcome::Finished)
                return failed(o, "measurement " + std::to_string(k) + ": " + average.lastFailure());
        } else if (series.measure() != MeasureResult::Taken) {
            return failed(o, "measurement " + std::to_string(k) + ": " + series.lastFailure());
        }
        out << "measurement " << k << " of 3 taken\n";
        out.flush();
    }
    if (!judged) return failed(o, "the series was not completed");
    printSeries(out, series, s.state);
    out << "verdict " << (s.state.repeatPassed ? "PASSED" : "FAILED") << "\n";
    out.flush();
    // A check whose record is missing is no success, whatever its verdict.
    if (series.resultFile().empty())
        return failed(o, s.state.strDataFolder.empty()
                             ? std::string("the result file could not be written: no data folder")
                             : "the result file could not be written in " + s.state.strDataFolder);
    return s.state.repeatPassed ? kExitPassed : kExitCheckFailed;
}

}  // namespace qv::cli
