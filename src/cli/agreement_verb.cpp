// The agreement of two instruments over a tile set, judged from the judgement files that
// compare wrote for its tiles, with the correction fitted over the set.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <optional>
#include <vector>

#include "cli/session.h"
#include "cli/tile_files.h"
#include "cli/verbs.h"
#include "core/app/thresholds.h"
#include "core/coeff/file_choice.h"
#include "core/colour/colour_requests.h"
#include "core/tiles/set_files.h"
#include "core/tiles/set_fit.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

void printAngles(QTextStream& out, const QString& label, const SetAgreement& g,
                 const TileSet& set) {
    out << label << "\n";
    for (const auto& [name, pick] : {std::pair{"  mean", &AngleAgreement::mean},
                                     std::pair{"  largest", &AngleAgreement::largest},
                                     std::pair{"  rms", &AngleAgreement::rms}}) {
        out << QString::fromLatin1(name).leftJustified(24);
        for (const AngleAgreement& a : g.angles) out << number(a.*pick, 2).rightJustified(10);
        out << "\n";
    }
    out << QStringLiteral("  largest on").leftJustified(24);
    for (const AngleAgreement& a : g.angles)
        out << QString::fromStdString(set.tiles[a.largestTile]).rightJustified(10);
    out << "\n";
}

void printText(QTextStream& out, const SetRun& run, const SetAgreement& now,
               const SetAgreement& single, const SetAgreement& fitted, const SetLimits& limits,
               const std::string& label, const std::optional<CertifiedSet>& certified) {
    if (certified) {
        out << "against " << QString::fromStdString(certifiedLabel(*certified)) << "\n";
        for (const std::string& note : certified->notes)
            out << QString::fromStdString(note) << "\n";
    } else {
        out << "reference instrument " << QString::fromStdString(run.targetSerial) << "\n";
    }
    out << "instrument under correction " << QString::fromStdString(run.sampleSerial) << "\n";
    out << QString::fromStdString(label + " per tile").leftJustified(24)
        << "        25        45        75\n";
    for (std::size_t t = 0; t < run.tiles.size(); ++t) {
        out << QString::fromStdString("  " + run.set.tiles[t]).leftJustified(24);
        for (double d : now.deltaE[t]) out << number(d, 2).rightJustified(10);
        out << "\n";
    }
    printAngles(out, QStringLiteral("the set"), now, run.set);
    if (limits.productTolerance) {
        out << QStringLiteral("  mean / tolerance").leftJustified(24);
        for (const AngleAgreement& a : now.angles)
            out << (number(100.0 * a.shareOfTolerance.value_or(0.0), 0) + "%").rightJustified(10);
        out << "\n";
    }
    out << "thresholds: mean " << number(limits.meanThreshold, 2) << ", largest "
        << number(limits.largestThreshold, 2) << "\n";
    out << "verdict " << (now.passed ? "PASSED" : "FAILED") << "\n";
    const std::string light = run.set.tiles[lightestTile(run.tiles)];
    printAngles(out, QString::fromStdString("predicted with the factors of " + light + " alone"),
                single, run.set);
    printAngles(out, QStringLiteral("predicted with the factors fitted over the set"), fitted,
                run.set);
}

QJsonObject anglesJson(const SetAgreement& g, const TileSet& set) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleAgreement& s = g.angles[a];
        QJsonObject o{{"angle", kAngleDegrees[a]},
                      {"mean", s.mean},
                      {"largest", s.largest},
                      {"largestTile", QString::fromStdString(set.tiles[s.largestTile])},
                      {"rms", s.rms},
                      {"passed", s.passed}};
        if (s.shareOfTolerance) o.insert("shareOfTolerance", *s.shareOfTolerance);
        angles.append(o);
    }
    return {{"angles", angles}, {"passed", g.passed}};
}

QJsonObject toJson(const SetRun& run, const SetAgreement& now, const SetAgreement& single,
                   const SetAgreement& fitted) {
    QJsonArray tiles;
    for (std::size_t t = 0; t < run.tiles.size(); ++t)
        tiles.append(QJsonObject{
            {"name", QString::fromStdString(run.set.tiles[t])},
            {"deltaE", QJsonArray{now.deltaE[t][0], now.deltaE[t][1], now.deltaE[t][2]}}});
    QJsonObject root = anglesJson(now, run.set);
    root.insert("referenceInstrument", QString::fromStdString(run.targetSerial));
    root.insert("instrument", QString::fromStdString(run.sampleSerial));
    root.insert("tiles", tiles);
    root.insert("lightestTile", QString::fromStdString(run.set.tiles[lightestTile(run.tiles)]));
    root.insert("predictedLightestOnly", anglesJson(single, run.set));
    root.insert("predictedFitted", anglesJson(fitted, run.set));
    return root;
}

// What the set was judged against: each tile's certificate and what the verdict cannot see.
QJsonObject certifiedJson(const CertifiedSet& set) {
    QJsonArray certificates, notes;
    for (const TileCertificate& c : set.certificates)
        certificates.append(QJsonObject{{"tile", qs(c.tile)},
                                        {"number", qs(c.number)},
                                        {"dueDate", qs(c.dueDate)},
                                        {"uncertainty", c.uncertainty}});
    for (const std::string& n : set.notes) notes.append(qs(n));
    return {{"certificates", certificates},
            {"temperature", set.temperatureC ? QJsonValue(*set.temperatureC) : QJsonValue()},
            {"notes", notes}};
}

// The fitted correction as a coefficient file at `path`, which must not exist yet; the exit
// code (1 when a factor lies outside the rule, 2 when the file could not be written).
int writeCoefficients(Session& s, const Options& o, const QString& path, const SetRun& run,
                      EvaluateHueControl& engine, const AngleFactors& factors,
                      const NumberFormat& format) {
    const CorrectionFile file =
        correctionFile(correctionPair(engine, run.tiles, factors), run.sampleSerial,
                       localTimeOf(s.clock.calendarSeconds()), s.strings(), format);
    if (file.outOfRange) {
        failed(o, "no coefficient file: a fitted factor lies outside 0.5 to 1.5 (" +
                      describe(*file.outOfRange) + ")");
        return kExitCheckFailed;
    }
    const NewFileResult saved = s.files.saveNew(path.toStdString(), file.text);
    if (saved.kind == NewFileResult::Kind::Saved) return kExitPassed;
    return failed(o, path.toStdString() + (saved.kind == NewFileResult::Kind::Exists
                                               ? " exists already; it is left alone"
                                               : " could not be written: " + saved.error));
}

// The verb's own options: the tile names into `run.set`, the judgement files into `files`.
std::optional<int> parseAgreement(QCommandLineParser& parser, const QStringList& arguments,
                                  const Options& o, SetRun& run, QStringList& files) {
    parser.setApplicationDescription(QStringLiteral(
        "Judges the agreement of two instruments over a tile set from the judgement files that "
        "compare wrote, one per tile, in the order of --tiles: per tile and angle the colour "
        "difference, per angle the mean, the largest and the root mean square, against the "
        "set's two thresholds. Prints what a correction from the lightest tile alone and one "
        "fitted over the set would leave; --coefficients writes the fitted one as a coefficient "
        "file for write-entry --from. The set's result file goes to the data folder. With "
        "--certified each tile's certificate in the logbook stands for the reference instrument, "
        "the readings brought to the certificates' temperature with --temperature.\n"
        "Exit status: 0 passed, 1 failed, 2 a file could not be read or written (the reason is "
        "printed)."));
    addTileOptions(parser);
    addCertifiedOptions(parser);
    parser.addOption({QStringLiteral("coefficients"),
                      QStringLiteral("Write the fitted correction to this new file."),
                      QStringLiteral("OUT.csv")});
    if (const auto code = parseVerb(
            parser, arguments, o, QStringLiteral("Usage: qvl70s-cli agreement [options] FILES...")))
        return code;
    return takeTiles(parser, o, run, files);
}

// The set's result file and its logbook record, as the tile-set window writes them.
SavedFile fileTheSet(Session& s, const SetRun& run, EvaluateHueControl& engine,
                     const SetLimits& limits, const std::pair<SetAgreement, SetAgreement>& judged,
                     const NumberFormat& format) {
    s.useDataFolder();
    const SetReport report{run.set,
                           run.targetSerial,
                           run.sampleSerial,
                           engine.deltaELabel(),
                           localTimeOf(s.clock.calendarSeconds()),
                           limits,
                           judged.first,
                           judged.second,
                           std::nullopt,
                           {},  // read from files: the type is not known
                           diagnose(engine, run.tiles, limits, run.set.tiles).diagnosis};
    return fileAndRecord(s.files, s.state.dataFolder(), report, format, s.logbook.get()).file;
}

}  // namespace

int runAgreement(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    SetRun run;
    QStringList files;
    if (const auto code = parseAgreement(parser, arguments, o, run, files)) return *code;
    Session s(o);
    const NumberFormat format = userNumberFormat();
    std::optional<CertifiedSet> certified;
    if (parser.isSet(QStringLiteral("certified"))) {
        if (!readReadings(s, o, files, format, run)) return kExitFailed;
        certified = takeCertified(s, o, parser, run);
        if (!certified) return kExitFailed;
    } else if (parser.isSet(QStringLiteral("temperature"))) {
        return failed(o, "--temperature is for --certified");
    } else if (!readTiles(s, o, files, format, run)) {
        return kExitFailed;
    }

    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const SetLimits limits = setLimitsFromProfile(s.profile);
    const SetJudgement judged = *judgeAndPredict(*engine, run.tiles, limits);
    const AngleFactors& fitted = judged.factors;
    const SetAgreement& now = judged.now;
    const SetAgreement single = *judged.lightestOnly;
    const SetAgreement fit = *judged.fitted;

    const SavedFile saved = fileTheSet(s, run, *engine, limits, {now, fit}, format);
    int code = now.passed ? kExitPassed : kExitCheckFailed;
    if (!saved.ok())
        code = failed(o, "the result file " + saved.name + " could not be written: " + saved.error);
    const QString coefficients = parser.value(QStringLiteral("coefficients"));
    bool coefficientsWritten = false;
    if (!coefficients.isEmpty() && now.passed) {
        o.io.err << o.verb << ": the set passed; no correction is written\n";
    } else if (!coefficients.isEmpty()) {
        const int written = writeCoefficients(s, o, coefficients, run, *engine, fitted, format);
        coefficientsWritten = written == kExitPassed;
        if (!coefficientsWritten && code != kExitFailed) code = written;
    }

    QTextStream& out = o.io.out;
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject root = toJson(run, now, single, fit);
        root.insert("resultFile",
                    saved.ok() ? QJsonValue(QString::fromStdString(saved.path)) : QJsonValue());
        root.insert("coefficientFile",
                    coefficientsWritten ? QJsonValue(coefficients) : QJsonValue());
        if (certified) root.insert("certified", certifiedJson(*certified));
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return code;
    }
    printText(out, run, now, single, fit, limits, engine->deltaELabel(), certified);
    if (coefficientsWritten) out << "coefficient file " << coefficients << "\n";
    if (saved.ok()) out << "result file " << QString::fromStdString(saved.path) << "\n";
    return code;
}

}  // namespace qv::cli
