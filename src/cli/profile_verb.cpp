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
        "a tile again. With --certified the profile standardises to the tiles' certificates in "
        "the logbook (its master is \"certified values\") instead of the reference instrument.\n"
        "Exit status: 0 a profile was made, 2 it was refused or could not be kept (the reason is "
        "printed)."));
    addTileOptions(parser);
    addCertifiedOptions(parser);
    parser.addOption({QStringLiteral("virtual-master"),
                      QStringLiteral("Profile each of these instruments to their mean reading; "
                                     "FILES hold each one's files in the order of --tiles."),
                      QStringLiteral("SERIALS")});
    parser.addOption({QStringLiteral("valid-days"),
                      QStringLiteral("Days the profile stands before it is due (default 90)."),
                      QStringLiteral("N")});
    if (const auto code = parseVerb(parser, arguments, o,
                                    QStringLiteral("Usage: qvl70s-cli profile [options] FILES...")))
        return code;
    const int instruments =
        parser.isSet(QStringLiteral("virtual-master"))
            ? int(parser.value(QStringLiteral("virtual-master")).split(',').size())
            : 1;
    return takeTiles(parser, o, run, files, instruments);
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
    return QString::fromStdString(calendarDate(t));
}

QJsonObject profileJson(const ProfileFile& f, std::int64_t id, const SavedFile& saved) {
    QJsonArray angles;
    for (const AngleProfile& a : f.profile.angles) angles.append(angleJson(a));
    return {{"profile", id > 0 ? QJsonValue(qint64(id)) : QJsonValue()},
            {"serial", QString::fromStdString(f.serial)},
            {"master", QString::fromStdString(f.master)},
            {"validUntil", dateText(f.validUntil)},
            {"file", QString::fromStdString(saved.path)},
            {"angles", angles}};
}

// A profile kept: its file, its record and where the file went.
struct Kept {
    ProfileFile file;
    std::int64_t id = 0;
    SavedFile saved;
};

// One profile as its object; a fleet's as {"profiles": [...]}.
void print(QTextStream& out, const std::vector<Kept>& kept, bool json) {
    if (json) {
        QJsonArray all;
        for (const Kept& k : kept) all.append(profileJson(k.file, k.id, k.saved));
        const QJsonObject root =
            all.size() == 1 ? all[0].toObject() : QJsonObject{{"profiles", all}};
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return;
    }
    for (const Kept& k : kept) {
        out << "profile " << k.id << " of " << QString::fromStdString(k.file.serial) << " to "
            << QString::fromStdString(k.file.master) << ", valid until "
            << dateText(k.file.validUntil) << "\n";
        for (const AngleProfile& a : k.file.profile.angles)
            out << "  " << a.angleDegrees << "°  misses a tile left out by "
                << number(a.leaveOneOut.mean, 3) << " dE*ab on average, "
                << number(a.leaveOneOut.percentile95, 3) << " at the 95th percentile\n";
        out << "profile file " << QString::fromStdString(k.saved.path) << "\n";
    }
}

// The set's diagnosis and the profile fitted on it; nothing, the reason printed, when the set
// cannot carry one.
struct Fitted {
    Profile profile;
    Diagnosis diagnosis;
};
std::optional<Fitted> fitRun(const Options& o, const SetRun& run, EvaluateHueControl& engine,
                             const SetLimits& limits) {
    const std::string of = run.sampleSerial + ": ";
    const DiagnosisResult diagnosed = diagnose(engine, run.tiles, limits, run.set.tiles);
    if (!diagnosed.diagnosis) {
        failed(o, of + (diagnosed.refusal.empty() ? "the set cannot be diagnosed"
                                                  : diagnosed.refusal));
        return std::nullopt;
    }
    if (const std::string why = remeasureReason(*diagnosed.diagnosis); !why.empty()) {
        failed(o, of + "no profile: " + why);
        return std::nullopt;
    }
    ProfileResult fitted = fitProfile(run.tiles);
    if (!fitted.profile) {
        failed(o, of + "no profile: " + fitted.refusal);
        return std::nullopt;
    }
    return Fitted{std::move(*fitted.profile), *diagnosed.diagnosis};
}

// The set recorded as agreement records it (against a real master: a virtual one made no check),
// so that the profile names the record it stands on; then the profile's file and record.
Kept keepProfile(Session& s, const SetRun& run, EvaluateHueControl& engine, const SetLimits& limits,
                 const Fitted& fitted, int days, bool recordSet) {
    const NumberFormat format = userNumberFormat();
    const std::int64_t made = s.clock.calendarSeconds();
    std::int64_t setRecord = 0;
    if (recordSet) {
        const SetJudgement judged = *judgeAndPredict(engine, run.tiles, limits);
        const SetReport report{run.set,           run.targetSerial,
                               run.sampleSerial,  engine.deltaELabel(),
                               localTimeOf(made), limits,
                               judged.now,        judged.fitted,
                               std::nullopt,      {},
                               fitted.diagnosis};
        setRecord =
            fileAndRecord(s.files, s.state.dataFolder(), report, format, s.logbook.get()).record;
    }
    Kept k{{localTimeOf(made), run.sampleSerial, run.targetSerial, run.set.name,
            std::max<std::int64_t>(setRecord, 0), localTimeOf(made + std::int64_t(days) * 86400),
            fitted.profile, run.set.tiles, run.tiles},
           0,
           {}};
    k.saved = writeProfileFile(s.files, s.state.dataFolder(), k.file, format);
    if (k.saved.ok() && s.logbook)
        k.id = s.logbook->recordMarked(profileRecord(k.file, k.saved.path));
    return k;
}

// The days a profile stands; nothing, the reason printed, for a number out of range.
std::optional<int> validDays(const QCommandLineParser& parser, const Options& o) {
    if (!parser.isSet(QStringLiteral("valid-days"))) return kProfileValidDays;
    bool ok = false;
    const int days = parser.value(QStringLiteral("valid-days")).toInt(&ok);
    if (ok && days >= 1 && days <= 3660) return days;
    failed(o, "--valid-days takes 1 to 3660 days");
    return std::nullopt;
}

// The runs the files make: one pair against the master, or each listed instrument against the
// fleet's mean reading.
bool readRuns(Session& s, const Options& o, const QCommandLineParser& parser,
              const QStringList& files, SetRun run, std::vector<SetRun>& runs) {
    const bool certified = parser.isSet(QStringLiteral("certified"));
    if (certified && parser.isSet(QStringLiteral("virtual-master"))) {
        failed(o, "--certified and --virtual-master name two different masters");
        return false;
    }
    if (!certified && parser.isSet(QStringLiteral("temperature"))) {
        failed(o, "--temperature is for --certified");
        return false;
    }
    if (certified) {
        if (!readReadings(s, o, files, userNumberFormat(), run)) return false;
        const auto set = takeCertified(s, o, parser, run);
        if (!set) return false;
        for (const std::string& note : set->notes) o.io.err << o.verb << ": " << qs(note) << "\n";
        runs = {std::move(run)};
        return true;
    }
    if (!parser.isSet(QStringLiteral("virtual-master"))) {
        if (!readTiles(s, o, files, userNumberFormat(), run)) return false;
        runs = {std::move(run)};
        return true;
    }
    std::vector<std::string> serials;
    for (const QString& serial : parser.value(QStringLiteral("virtual-master")).split(','))
        serials.push_back(serial.trimmed().toStdString());
    return readFleetTiles(s, o, files, userNumberFormat(), serials, run.set, runs);
}

}  // namespace

int runProfile(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    SetRun run;
    QStringList files;
    if (const auto code = parseProfile(parser, arguments, o, run, files)) return *code;
    const auto days = validDays(parser, o);
    if (!days) return kExitFailed;
    Session s(o);
    std::vector<SetRun> runs;
    if (!readRuns(s, o, parser, files, std::move(run), runs)) return kExitFailed;
    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const SetLimits limits = setLimitsFromProfile(s.profile);
    // Every profile is fitted before the first is kept: a fleet is profiled whole or not at all.
    std::vector<Fitted> fits;
    for (const SetRun& r : runs) {
        auto fitted = fitRun(o, r, *engine, limits);
        if (!fitted) return kExitFailed;
        fits.push_back(std::move(*fitted));
    }
    s.useDataFolder();
    std::vector<Kept> kept;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        kept.push_back(keepProfile(s, runs[i], *engine, limits, fits[i], *days,
                                   !parser.isSet(QStringLiteral("virtual-master"))));
        if (!kept.back().saved.ok())
            return failed(o, "the profile file " + kept.back().saved.name +
                                 " could not be written: " + kept.back().saved.error);
    }
    print(o.io.out, kept, parser.isSet(QStringLiteral("json")));
    return kExitPassed;
}

}  // namespace qv::cli
