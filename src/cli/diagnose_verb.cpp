// What kind of error separates the instrument under correction from the reference over a tile
// set, from the judgement files that compare wrote for its tiles: the physical terms per angle
// and whether factors are the right correction.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <optional>

#include "cli/session.h"
#include "cli/tile_files.h"
#include "cli/verbs.h"
#include "core/app/number_format.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/diagnosis_view.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

QJsonValue finite(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QString latin(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QJsonObject termsJson(const TermFit& fit) {
    QJsonObject terms;
    for (std::size_t k = 0; k < kTermCount; ++k) {
        const TermInfo& info = termInfo(static_cast<Term>(k));
        const TermEstimate& e = fit.terms[k];
        terms.insert(latin(info.key),
                     QJsonObject{{"value", finite(e.value)},
                                 {"standardError", finite(e.standardError)},
                                 {"leastSquaresError", finite(e.leastSquaresError)},
                                 {"jackknifeError", finite(e.jackknifeError)},
                                 {"identified", e.identified},
                                 {"unit", latin(info.unit)},
                                 {"definition", latin(info.definition)}});
    }
    return terms;
}

// Per angle: the groups of terms the set cannot tell apart, what it cannot see at all.
QJsonArray groupsJson(const TermFit& fit) {
    QJsonArray groups;
    for (const TermGroup& g : fit.inseparable) {
        QJsonArray keys;
        for (Term t : g.terms) keys.append(latin(termInfo(t).key));
        groups.append(QJsonObject{{"terms", keys}, {"significant", g.significant}});
    }
    return groups;
}

QJsonArray keysJson(const std::vector<Term>& terms) {
    QJsonArray keys;
    for (Term t : terms) keys.append(latin(termInfo(t).key));
    return keys;
}

QJsonArray suspectsJson(const AngleDiagnosis& a, const SetRun& run) {
    QJsonArray tiles;
    for (std::size_t t : a.suspectTiles)
        tiles.append(QJsonObject{{"index", static_cast<qint64>(t)},
                                 {"name", QString::fromStdString(run.set.tiles[t])}});
    return tiles;
}

QString key(Recommendation r) {
    return latin(recommendationKey(r));
}

QJsonObject angleJson(const AngleDiagnosis& a, const SetRun& run) {
    return {{"angle", a.angleDegrees},
            {"terms", termsJson(a.fit)},
            {"inseparable", groupsJson(a.fit)},
            {"unseen", keysJson(unseenTerms(a.fit))},
            {"unresolved", keysJson(unresolvedTerms(a.fit))},
            {"suspectTiles", suspectsJson(a, run)},
            {"residualSd", finite(a.fit.residualSd)},
            {"recommendation", key(a.recommendation)},
            {"reason", QString::fromStdString(a.reason)},
            {"meanBefore", finite(a.meanBefore)},
            {"meanAfterFactors", finite(a.meanAfterFactors)},
            {"meanAfterModel", finite(a.meanAfterModel)},
            {"largestBefore", finite(a.largestBefore)},
            {"largestAfterFactors", finite(a.largestAfterFactors)},
            {"largestAfterModel", finite(a.largestAfterModel)},
            {"leaveOneOut", QJsonObject{{"factors", finite(a.leaveOneOutFactors)},
                                        {"factorsLargest", finite(a.leaveOneOutFactorsLargest)},
                                        {"factorsRms", finite(a.leaveOneOutFactorsRms)},
                                        {"model", finite(a.leaveOneOutModel)}}},
            {"evidence", QJsonObject{{"tiles", static_cast<qint64>(a.tileCount)},
                                     {"steepEdgeTiles", static_cast<qint64>(a.steepTiles)},
                                     {"shiftOnWarmTilesOnly", a.shiftOnWarmTilesOnly}}}};
}

QJsonObject toJson(const Diagnosis& d, const SetRun& run, const SetAgreement& now) {
    QJsonArray angles;
    for (const AngleDiagnosis& a : d.angles) angles.append(angleJson(a, run));
    QJsonArray tiles;
    for (std::size_t t = 0; t < run.tiles.size(); ++t)
        tiles.append(QJsonObject{
            {"name", QString::fromStdString(run.set.tiles[t])},
            {"deltaE", QJsonArray{now.deltaE[t][0], now.deltaE[t][1], now.deltaE[t][2]}}});
    return {{"angles", angles},
            {"tiles", tiles},
            {"recommendation", key(d.overall)},
            {"referenceInstrument", QString::fromStdString(run.targetSerial)},
            {"instrument", QString::fromStdString(run.sampleSerial)}};
}

void printText(QTextStream& out, const Diagnosis& d, const SetRun& run) {
    out << "reference instrument " << QString::fromStdString(run.targetSerial) << "\n";
    out << "instrument under correction " << QString::fromStdString(run.sampleSerial) << "\n";
    for (const AngleDiagnosis& a : d.angles) {
        out << a.angleDegrees << " degrees\n";
        for (std::size_t k = 0; k < kTermCount; ++k) {
            const TermInfo& info = termInfo(static_cast<Term>(k));
            out << "  " << latin(info.key).leftJustified(14)
                << QString::fromStdString(
                       termText(a.fit.terms[k], static_cast<Term>(k), NumberFormat(), " +- "))
                << "\n";
        }
        const NumberFormat f;
        out << "  mean dE before " << f.display(a.meanBefore).c_str() << ", after factors "
            << f.display(a.meanAfterFactors).c_str() << ", after the errors removed "
            << f.display(a.meanAfterModel).c_str() << "\n";
        out << "  largest dE before " << f.display(a.largestBefore).c_str() << ", after factors "
            << f.display(a.largestAfterFactors).c_str() << "\n";
        out << "  each tile from the others: factors " << f.display(a.leaveOneOutFactors).c_str()
            << " (largest " << f.display(a.leaveOneOutFactorsLargest).c_str()
            << "), errors removed " << f.display(a.leaveOneOutModel).c_str() << "\n";
        out << "  " << key(a.recommendation) << ": " << QString::fromStdString(a.reason) << "\n";
    }
    out << "recommendation " << key(d.overall) << "\n";
}

std::optional<int> parseDiagnose(QCommandLineParser& parser, const QStringList& arguments,
                                 const Options& o, SetRun& run, QStringList& files) {
    parser.setApplicationDescription(QStringLiteral(
        "Diagnoses the instrument under correction against the reference over a tile set, from "
        "the judgement files that compare wrote, one per tile, in the order of --tiles: per "
        "angle the offset, gain, gain tilt, linearity, wavelength shift and scale error and "
        "bandwidth that explain the differences, each with its standard error or 'not "
        "identified' when the set cannot tell it; the colour differences before, after the "
        "fitted factors and after the errors removed, and each tile predicted from the others; "
        "and whether to write factors, read a tile again or call service, with the reason and "
        "what the set cannot show.\n"
        "Exit status: 0 no correction needed or factors to be written, 1 factors help only "
        "partly, a tile is to be read again or the instrument needs service, 2 a file could "
        "not be read or a reading is implausible (the reason is printed, naming the tile)."));
    addTileOptions(parser);
    if (const auto code = parseVerb(
            parser, arguments, o, QStringLiteral("Usage: qvl70s-cli diagnose [options] FILES...")))
        return code;
    return takeTiles(parser, o, run, files);
}

}  // namespace

int runDiagnose(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    SetRun run;
    QStringList files;
    if (const auto code = parseDiagnose(parser, arguments, o, run, files)) return *code;
    Session s(o);
    if (!readTiles(s, o, files, userNumberFormat(), run)) return kExitFailed;

    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const SetLimits limits = setLimitsFromProfile(s.profile);
    const DiagnosisResult result = diagnose(*engine, run.tiles, limits, run.set.tiles);
    if (!result.refusal.empty()) return failed(o, result.refusal);
    const std::optional<Diagnosis>& d = result.diagnosis;
    const std::optional<SetAgreement> now = judgeSet(*engine, run.tiles, limits);
    if (!d || !now) return failed(o, "the judgement files hold no complete readings");
    if (parser.isSet(QStringLiteral("json")))
        o.io.out << QJsonDocument(toJson(*d, run, *now)).toJson(QJsonDocument::Indented);
    else
        printText(o.io.out, *d, run);
    const bool factorsDo = d->overall == Recommendation::NoCorrectionNeeded ||
                           d->overall == Recommendation::WriteFactors;
    return factorsDo ? kExitPassed : kExitCheckFailed;
}

}  // namespace qv::cli
