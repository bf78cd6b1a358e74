// The standardisation profiles on record, as the Fleet → Profiles window lists them: each with
// its status and how far it misses a tile held out of its fit, and each fleet's drift between
// its two newest profilings.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/tiles/standardise.h"
#include "platform/log/stored_profiles.h"

namespace qv::cli {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString dateText(const LocalTime& t) {
    return q(calendarDate(t));
}

const char* statusName(ProfileStatus status) {
    switch (status) {
        case ProfileStatus::Current:
            return "current";
        case ProfileStatus::Due:
            return "due";
        case ProfileStatus::Unusable:
            break;
    }
    return "cannot be used";
}

// Why a profile is due or cannot be used; empty for a current one.
std::string reasonOf(const StoredProfile& p, ProfileStatus status) {
    if (status == ProfileStatus::Unusable) return p.problem;
    if (status == ProfileStatus::Current) return {};
    return p.dueByCheck.empty() ? "it stood until " + calendarDate(p.file->validUntil)
                                : p.dueByCheck;
}

QJsonObject profileJson(const StoredProfile& p, ProfileStatus status) {
    QJsonArray residual;
    for (const AngleRecord& a : p.record.angles) residual.append(a.deltaE);
    return {{"profile", qint64(p.record.id)},
            {"serial", q(p.record.serial)},
            {"master", q(p.record.referenceSerial)},
            {"made", dateText(p.record.time)},
            {"validUntil", p.file ? QJsonValue(dateText(p.file->validUntil)) : QJsonValue()},
            {"status", statusName(status)},
            {"reason", q(reasonOf(p, status))},
            {"residualLoo", residual}};
}

QJsonObject driftJson(const FleetDrift& d) {
    QJsonArray angles;
    for (const AngleFleetDrift& a : d.angles)
        angles.append(QJsonObject{
            {"angle", a.angleDegrees},
            {"deltaE", a.deltaE},
            {"standardError", a.standardError},
            {"expanded", d.coverageFactor * a.standardError},
            {"lab", QJsonArray{a.lab[0], a.lab[1], a.lab[2]}},
            {"labStandardError",
             QJsonArray{a.labStandardError[0], a.labStandardError[1], a.labStandardError[2]}}});
    return {{"master", q(d.master)}, {"virtualMaster", d.virtualMaster},
            {"set", q(d.setName)},   {"from", dateText(d.from)},
            {"to", dateText(d.to)},  {"instruments", int(d.instruments)},
            {"tiles", int(d.tiles)}, {"coverageFactor", d.coverageFactor},
            {"angles", angles}};
}

void printText(QTextStream& out, const std::vector<StoredProfile>& profiles,
               const std::vector<FleetDrift>& drifts, const LocalTime& now) {
    for (const StoredProfile& p : profiles) {
        const ProfileStatus status = profileStatus(p, now);
        out << "profile " << p.record.id << " of " << q(p.record.serial) << " to "
            << q(p.record.referenceSerial) << ", made " << dateText(p.record.time) << ": "
            << statusName(status);
        if (const std::string why = reasonOf(p, status); !why.empty()) out << " (" << q(why) << ")";
        out << "; misses a tile left out by";
        for (const AngleRecord& a : p.record.angles) out << " " << number(a.deltaE, 3);
        out << " dE*ab (25° 45° 75°)\n";
    }
    for (const FleetDrift& d : drifts) {
        out << (d.virtualMaster ? QStringLiteral("virtual master") : q(d.master)) << ", "
            << d.instruments << " instruments on " << d.tiles << " tiles of " << q(d.setName)
            << ", " << dateText(d.from) << " to " << dateText(d.to)
            << (d.virtualMaster ? ": its own drift" : ": the instruments' common drift");
        for (const AngleFleetDrift& a : d.angles)
            out << " " << a.angleDegrees << "° " << number(a.deltaE, 3) << " ± "
                << number(d.coverageFactor * a.standardError, 3);
        out << " dE*ab (95 %)\n";
    }
    if (profiles.empty()) out << "no profile on record\n";
}

}  // namespace

int runProfiles(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the standardisation profiles on record: each with its status (current, due, or "
        "cannot be used) and how far it misses a tile left out of its fit; then, for each fleet "
        "profiled twice, how its readings of the tiles moved between the two newest profilings "
        "(with a virtual master, the master's own drift), per angle with its 95 % interval.\n"
        "Exit status: 0 listed, 2 the logbook could not be read."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    if (const auto code =
            parseVerb(parser, arguments, o, QStringLiteral("Usage: qvl70s-cli profiles [options]")))
        return *code;
    Session s(o);
    s.logbook = openVerbLogbook(o, true);
    if (!s.logbook) return kExitFailed;
    const std::vector<StoredProfile> profiles = storedProfiles(*s.logbook, s.files, s.strings());
    const std::vector<FleetDrift> drifts = storedDrifts(profiles);
    const LocalTime now = localTimeOf(s.clock.calendarSeconds());
    if (!parser.isSet(QStringLiteral("json"))) {
        printText(o.io.out, profiles, drifts, now);
        return kExitPassed;
    }
    QJsonArray listed, fleets;
    for (const StoredProfile& p : profiles) listed.append(profileJson(p, profileStatus(p, now)));
    for (const FleetDrift& d : drifts) fleets.append(driftJson(d));
    o.io.out << QJsonDocument(QJsonObject{{"profiles", listed}, {"drift", fleets}})
                    .toJson(QJsonDocument::Indented);
    return kExitPassed;
}

}  // namespace qv::cli
