// A standardisation profile of one instrument to the master, fitted over a tile set from the
// judgement files compare wrote for its tiles (the master as target, the instrument as sample),
// kept as a file and a logbook record.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>

#include "cli/session.h"
#include "cli/tile_files.h"
#include "cli/verbs.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/tiles/profile_file.h"
#include "core/tiles/set_files.h"
#include "core/tiles/set_fit.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

std::optional<int> parseProfile(QCommandLineParser& parser, const QStringList& arguments,
                                const Options& o, SetRun& run, QStringList& files) {
    parser.setApplicationDescription(QStringLiteral(
        "Fits a profile that standardises the instrument under correction to the master (the "
        "reference instrument) in software, from the judgement files compare wrote, one per tile "
        "in the order of --tiles: per angle the physical terms, then an affine stage per "
        "wavelength, and how far the profile misses each tile when fitted without it. The "
        "readings are never changed: the profile is kept as a file in the data folder and a "
        "logbook record, and standardise applies it. The set is judged and recorded as "
        "agreement does. Refused when a reading is implausible or the set calls for reading "
        "a tile again.\n"
        "Exit status: 0 a profile was made, 2 it was refused or could not be kept (the reason is "
        "printed)."));
    addTileOptions(parser);
    parser.addOption({QStringLiteral("valid-days"),
                      QStringLiteral("Days the profile stands before it is due (default 90)."),
                      QStringLiteral("N")});
    if (const auto code = parseVerb(parser, arguments, o,
                                    QStringLiteral("Usage: qvl70s-cli profile [options] FILES...")))
        return code;
    return takeTiles(parser, o, run, files);
}

// Why the set cannot carry a profile: an angle whose tiles disagree among themselves.
std::string remeasureReason(const Diagnosis& d) {
    for (const AngleDiagnosis& a : d.angles)
        if (a.recommendation == Recommendation::Remeasure)
            return "the set calls for reading a tile again at " + std::to_string(a.angleDegrees) +
                   "°: " + a.reason;
    return {};
}

QJsonObject angleJson(const AngleProfile& a) {
    QJsonObject terms;
    for (std::size_t t = 0; t < kTermCount; ++t)
        if (a.terms[t].identified)
            terms.insert(QString::fromUtf8(termInfo(Term(t)).key), a.terms[t].value);
    QJsonArray unseen;
    for (Term t : a.unseen) unseen.append(QString::fromUtf8(termInfo(t).key));
    return {{"angle", a.angleDegrees},
            {"residualLoo", a.leaveOneOut.mean},
            {"residualLoo95", a.leaveOneOut.percentile95},
            {"tiles", static_cast<int>(a.leaveOneOut.tiles)},
            {"terms", terms},
            {"unseen", unseen},
            {"affineStage", std::isfinite(a.ridge)}};
}

QString dateText(const LocalTime& t) {
    return QString::asprintf("%04d-%02d-%02d", t.year, t.month, t.day);
}

void print(QTextStream& out, const ProfileFile& f, std::int64_t id, const SavedFile& saved,
           bool json) {
    if (json) {
        QJsonArray angles;
        for (const AngleProfile& a : f.profile.angles) angles.append(angleJson(a));
        const QJsonObject root{{"profile", id > 0 ? QJsonValue(qint64(id)) : QJsonValue()},
                               {"serial", QString::fromStdString(f.serial)},
                               {"master", QString::fromStdString(f.master)},
                               {"validUntil", dateText(f.validUntil)},
                               {"file", QString::fromStdString(saved.path)},
                               {"angles", angles}};
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return;
    }
    out << "profile " << id << " of " << QString::fromStdString(f.serial) << " to "
        << QString::fromStdString(f.master) << ", valid until " << dateText(f.validUntil) << "\n";
    for (const AngleProfile& a : f.profile.angles)
        out << "  " << a.angleDegrees << "°  misses a tile left out by "
            << number(a.leaveOneOut.mean, 3) << " dE*ab on average, "
            << number(a.leaveOneOut.percentile95, 3) << " at the 95th percentile\n";
    out << "profile file " << QString::fromStdString(saved.path) << "\n";
}

}  // namespace

int runProfile(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    SetRun run;
    QStringList files;
    if (const auto code = parseProfile(parser, arguments, o, run, files)) return *code;
    bool daysOk = true;
    const int days = parser.isSet(QStringLiteral("valid-days"))
                         ? parser.value(QStringLiteral("valid-days")).toInt(&daysOk)
                         : kProfileValidDays;
    if (!daysOk || days < 1 || days > 3660) return failed(o, "--valid-days takes 1 to 3660 days");
    Session s(o);
    const NumberFormat format = userNumberFormat();
    if (!readTiles(s, o, files, format, run)) return kExitFailed;

    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const SetLimits limits = setLimitsFromProfile(s.profile);
    const DiagnosisResult diagnosed = diagnose(*engine, run.tiles, limits, run.set.tiles);
    if (!diagnosed.diagnosis)
        return failed(
            o, diagnosed.refusal.empty() ? "the set cannot be diagnosed" : diagnosed.refusal);
    if (const std::string why = remeasureReason(*diagnosed.diagnosis); !why.empty())
        return failed(o, "no profile: " + why);
    const ProfileResult fitted = fitProfile(run.tiles);
    if (!fitted.profile) return failed(o, "no profile: " + fitted.refusal);

    // The set as agreement records it, so that the profile names the record it stands on.
    const SetJudgement judged = *judgeAndPredict(*engine, run.tiles, limits);
    s.useDataFolder();
    const std::int64_t made = s.clock.calendarSeconds();
    const SetReport report{run.set,
                           run.targetSerial,
                           run.sampleSerial,
                           engine->deltaELabel(),
                           localTimeOf(made),
                           limits,
                           judged.now,
                           judged.fitted,
                           std::nullopt,
                           {},
                           diagnosed.diagnosis};
    const SetFiled set =
        fileAndRecord(s.files, s.state.dataFolder(), report, format, s.logbook.get());
    const ProfileFile file{localTimeOf(made),
                           run.sampleSerial,
                           run.targetSerial,
                           run.set.name,
                           std::max<std::int64_t>(set.record, 0),
                           localTimeOf(made + std::int64_t(days) * 86400),
                           *fitted.profile};
    const SavedFile saved = writeProfileFile(s.files, s.state.dataFolder(), file, format);
    if (!saved.ok())
        return failed(o,
                      "the profile file " + saved.name + " could not be written: " + saved.error);
    const std::int64_t id = s.logbook ? s.logbook->record(profileRecord(file, saved.path)) : 0;
    print(o.io.out, file, id, saved, parser.isSet(QStringLiteral("json")));
    return kExitPassed;
}

}  // namespace qv::cli
