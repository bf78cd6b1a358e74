// The lab's fleet at a glance from the logbook: every instrument, when each kind of check was
// last made and is due again, how its agreement with the reference drifts, and its status; and
// the check intervals the lab sets once for all of them.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>
#include <optional>
#include <vector>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/app/clock.h"
#include "core/log/fleet_status.h"
#include "core/log/performance_settings.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/fleet_overview.h"
#include "platform/log/sql_logbook.h"
#include "report/log/fleet_page.h"

namespace qv::cli {

namespace {

QString kindText(CheckKind kind) {
    return QString::fromLatin1(checkKindName(kind).data(), qsizetype(checkKindName(kind).size()));
}

QString statusText(FleetStatus status) {
    return QString::fromLatin1(fleetStatusName(status).data(),
                               qsizetype(fleetStatusName(status).size()));
}

QString dueText(const KindStatus& k) {
    return k.dueDay ? qs(calendarDate(civilFromDays(*k.dueDay))) : QStringLiteral("---");
}

QJsonValue verdictJson(const std::optional<bool>& passed) {
    return passed ? QJsonValue(*passed ? QStringLiteral("passed") : QStringLiteral("failed"))
                  : QJsonValue();
}

QJsonObject checkJson(const KindStatus& k, const CheckInterval& interval) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a)
        angles.append(QJsonObject{
            {"angle", kAngleDegrees[a]},
            {"deltaE", finiteOrNull(k.angles[a].deltaE)},
            {"passed", k.angles[a].passed ? QJsonValue(*k.angles[a].passed) : QJsonValue()}});
    return QJsonObject{{"kind", kindText(k.kind)},
                       {"interval", interval.days ? QJsonValue(*interval.days) : QJsonValue()},
                       {"last", k.last ? QJsonValue(qs(logbookTime(k.last->time))) : QJsonValue()},
                       {"due", k.dueDay ? QJsonValue(dueText(k)) : QJsonValue()},
                       {"verdict", k.last ? verdictJson(k.last->passed) : QJsonValue()},
                       {"status", statusText(k.status)},
                       {"angles", angles}};
}

QJsonObject instrumentJson(const InstrumentStatus& i, const CheckIntervals& intervals) {
    QJsonArray workstations, checks, drift, diagnosis;
    for (const std::string& w : i.workstations) workstations.append(qs(w));
    for (const KindStatus& k : i.checks) checks.append(checkJson(k, intervalOf(intervals, k.kind)));
    for (int a = 0; a < kAngleCount; ++a) {
        drift.append(QJsonObject{{"angle", kAngleDegrees[a]},
                                 {"slope", finiteOrNull(i.drift.angles[a].slope)},
                                 {"standardError", finiteOrNull(i.drift.angles[a].standardError)},
                                 {"checks", i.drift.angles[a].checks}});
        if (i.diagnosis)
            diagnosis.append(
                QJsonObject{{"angle", kAngleDegrees[a]}, {"decision", qs((*i.diagnosis)[a])}});
    }
    return QJsonObject{
        {"serial", qs(i.serial)},
        {"type", qs(i.type)},
        {"status", statusText(i.status)},
        {"workstations", workstations},
        {"checks", checks},
        {"driftFrom",
         i.drift.source ? QJsonValue(qs(std::string(kindName(*i.drift.source)))) : QJsonValue()},
        {"drift", drift},
        {"diagnosis", i.diagnosis ? QJsonValue(diagnosis) : QJsonValue()}};
}

// Nine columns: the difference and a star when the angle lies beyond the check's threshold.
QString angleText(const AngleVerdict& v) {
    if (std::isnan(v.deltaE)) return QStringLiteral("---").rightJustified(8) + QLatin1Char(' ');
    return number(v.deltaE, 2).rightJustified(8) + QLatin1Char(v.passed == false ? '*' : ' ');
}

void printChecks(QTextStream& out, const InstrumentStatus& i, const CheckIntervals& intervals) {
    out << "  " << QStringLiteral("check").leftJustified(18)
        << QStringLiteral("last").leftJustified(12) << QStringLiteral("due").leftJustified(12)
        << QStringLiteral("verdict").leftJustified(9) << "   dE 25    dE 45    dE 75  status\n";
    for (const KindStatus& k : i.checks) {
        const QString verdict =
            !k.last || !k.last->passed
                ? QStringLiteral("---")
                : (*k.last->passed ? QStringLiteral("passed") : QStringLiteral("FAILED"));
        out << "  " << kindText(k.kind).leftJustified(18)
            << (k.last ? qs(calendarDate(k.last->time)) : QStringLiteral("never")).leftJustified(12)
            << dueText(k).leftJustified(12) << verdict.leftJustified(9);
        for (const AngleVerdict& v : k.angles) out << angleText(v);
        out << " "
            << (intervalOf(intervals, k.kind).days ? statusText(k.status)
                                                   : QStringLiteral("(no interval)"))
            << "\n";
    }
}

void printDrift(QTextStream& out, const InstrumentStatus& i) {
    if (!i.drift.source) {
        out << "  drift: fewer than three inter-instrument checks or tile sets in the period\n";
    } else {
        out << "  drift in dE per 30 days (" << qs(std::string(kindName(*i.drift.source))) << "):";
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleDrift& d = i.drift.angles[a];
            out << "  " << kAngleDegrees[a] << " degrees "
                << (std::isnan(d.slope) ? QStringLiteral("---")
                                        : (d.slope >= 0 ? "+" : "") + number(d.slope, 3) + " +/- " +
                                              number(d.standardError, 3));
        }
        out << "\n";
    }
    if (i.diagnosis)
        out << "  newest tile set's diagnosis: " << qs((*i.diagnosis)[0]) << ", "
            << qs((*i.diagnosis)[1]) << ", " << qs((*i.diagnosis)[2]) << " (25, 45, 75 degrees)\n";
}

void printFleet(QTextStream& out, const std::vector<InstrumentStatus>& fleet,
                const CheckIntervals& intervals) {
    for (const InstrumentStatus& i : fleet) {
        out << qs(i.serial) << "  type " << (i.type.empty() ? QStringLiteral("---") : qs(i.type))
            << "  " << statusText(i.status).toUpper() << "  workstations: ";
        QStringList names;
        for (const std::string& w : i.workstations)
            names << (w.empty() ? QStringLiteral("(not named)") : qs(w));
        out << names.join(QStringLiteral(", ")) << "\n";
        printChecks(out, i, intervals);
        printDrift(out, i);
        out << "\n";
    }
    if (fleet.empty()) out << "The logbook holds no instruments yet.\n";
    bool any = false;
    for (const CheckInterval& c : intervals) any = any || c.days;
    if (!any)
        out << "No check interval is in force: set them with qvl70s-cli fleet intervals --set.\n";
}

// The page is for whoever reads it later, so the exit code says only whether it was written:
// a timer that rewrites it would otherwise fail every time an instrument is overdue.
int writePage(Options& o, const QString& path, const std::vector<InstrumentStatus>& fleet,
              const FleetPageSource& source) {
    const std::string problem = writeFleetPage(path.toStdString(), fleetPageHtml(fleet, source));
    if (!problem.empty()) return failed(o, "the fleet page was not written: " + problem);
    o.io.out << path << "\n";
    return kExitPassed;
}

int runOverview(Options& o, bool json, const QString& html) {
    const auto logbook = openVerbLogbook(o, true);
    if (!logbook) return kExitFailed;
    const std::optional<CheckIntervals> intervals = logbook->checkIntervals();
    if (!intervals)
        return failed(o, "the check intervals cannot be read from the logbook " + logbook->where());
    QtProfileStore profile;
    const LocalTime now = localTimeOf(o.io.clock.calendarSeconds());
    const int longTermDays = performanceSettingsFromProfile(profile).longTermDays;
    const auto fleet = fleetOverview(*logbook, *intervals, now, longTermDays);
    if (!html.isEmpty()) {
        const auto* server = dynamic_cast<const FleetLogbook*>(logbook.get());
        return writePage(
            o, html, fleet,
            {now, systemUtcOffset(now), logbook->where(), server && server->readLocally(),
             *intervals, longTermDays, "qvl70s-cli " + programVersion()});
    }
    if (json) {
        QJsonArray all;
        for (const InstrumentStatus& i : fleet) all.append(instrumentJson(i, *intervals));
        o.io.out << QJsonDocument(QJsonObject{{"instruments", all},
                                              {"driftPerDays", kDriftDays},
                                              {"source", qs(readSource(*logbook))}})
                        .toJson(QJsonDocument::Indented);
    } else {
        printFleet(o.io.out, fleet, *intervals);
    }
    return worstOf(fleet) >= FleetStatus::Overdue ? kExitCheckFailed : kExitPassed;
}

QString intervalText(const CheckInterval& c) {
    return c.days ? QStringLiteral("%1 days, lead %2").arg(*c.days).arg(c.leadDays)
                  : QStringLiteral("none");
}

void printIntervals(QTextStream& out, const CheckIntervals& intervals, bool json,
                    const LogbookStore& logbook) {
    if (!json) {
        out << QStringLiteral("check").leftJustified(18)
            << QStringLiteral("in force").leftJustified(22) << "suggested\n";
        for (CheckKind kind : kCheckKinds)
            out << kindText(kind).leftJustified(18)
                << intervalText(intervalOf(intervals, kind)).leftJustified(22)
                << intervalText(suggestedInterval(kind)) << "\n";
        return;
    }
    QJsonArray all;
    for (CheckKind kind : kCheckKinds) {
        const CheckInterval& c = intervalOf(intervals, kind);
        const CheckInterval s = suggestedInterval(kind);
        all.append(QJsonObject{{"kind", kindText(kind)},
                               {"days", c.days ? QJsonValue(*c.days) : QJsonValue()},
                               {"lead", c.days ? QJsonValue(c.leadDays) : QJsonValue()},
                               {"suggestedDays", s.days.value_or(0)},
                               {"suggestedLead", s.leadDays}});
    }
    out << QJsonDocument(QJsonObject{{"intervals", all}, {"source", qs(readSource(logbook))}})
               .toJson(QJsonDocument::Indented);
}

int runIntervals(Options& o, const QStringList& settings, bool json) {
    // Every setting is read before any is kept: a mistyped one changes nothing.
    std::vector<IntervalSetting> wanted;
    for (const QString& text : settings) {
        std::string why;
        const auto setting = readIntervalSetting(text.toStdString(), why);
        if (!setting) return failed(o, "--set " + why);
        wanted.push_back(*setting);
    }
    const auto logbook = openVerbLogbook(o, wanted.empty());
    if (!logbook) return kExitFailed;
    for (const IntervalSetting& s : wanted) {
        std::string why;
        if (!logbook->setCheckInterval(s.kind, s.interval, why))
            return failed(
                o, "the " + std::string(checkKindName(s.kind)) + " interval was not kept: " + why);
    }
    const std::optional<CheckIntervals> intervals = logbook->checkIntervals();
    if (!intervals)
        return failed(o, "the check intervals cannot be read from the logbook " + logbook->where());
    printIntervals(o.io.out, *intervals, json, *logbook);
    return kExitPassed;
}

}  // namespace

int runFleet(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Every instrument in the logbook, worst first: its type, the workstations that used it, "
        "per kind of check (calibration, repeatability, inter-instrument with its verifications, "
        "tile-set, statement, profile, check-tile) the last one with its verdict and colour "
        "difference per "
        "angle (* beyond its threshold) and the day it is due again, the drift per angle of its "
        "colour difference from the reference (the least-squares slope in dE per 30 days with "
        "its standard error, over the long-term period of the performance statement since the "
        "entries last changed), the diagnosis of its newest tile set, and its status: "
        "failed (the newest check of a kind with an interval failed), overdue (past its due day, "
        "or never made), due-soon (within the lead) or ok.\n"
        "intervals: the lab's check intervals in force, with the suggested ones; --set changes "
        "one for every workstation (KIND=none takes it out of force). No interval is in force "
        "until the lab sets one.\n"
        "Exit status: 0 every instrument ok or due soon (intervals: done), 1 one is overdue or "
        "failed, 2 the options are wrong or the logbook cannot be used."));
    parser.addPositionalArgument(QStringLiteral("intervals"),
                                 QStringLiteral("The check intervals instead of the fleet."));
    parser.addOption({QStringLiteral("set"),
                      QStringLiteral("With intervals: sets a kind's interval, and the days before "
                                     "it that show as due soon (default: the suggested lead)."),
                      QStringLiteral("KIND=DAYS[,lead=DAYS]")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    parser.addOption(
        {QStringLiteral("html"),
         QStringLiteral("Writes the fleet as one web page instead (the table, each instrument's "
                        "trend per angle, when and from which logbook it was made; nothing "
                        "fetched from elsewhere, no script), replacing FILE whole; exit 0 once "
                        "written, 2 when not."),
         QStringLiteral("FILE")});
    const QString usage = QStringLiteral(
        "Usage: qvl70s-cli fleet [--json | --html FILE]\n"
        "       qvl70s-cli fleet intervals [--set KIND=DAYS[,lead=DAYS]]... [--json]");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    const QStringList positional = parser.positionalArguments();
    const bool json = parser.isSet(QStringLiteral("json"));
    if (positional.size() > 1 ||
        (!positional.isEmpty() && positional.front() != QLatin1String("intervals")))
        return failed(o, "give nothing or intervals");
    const bool html = parser.isSet(QStringLiteral("html"));
    if (positional.isEmpty() && parser.isSet(QStringLiteral("set")))
        return failed(o, "--set goes with intervals");
    if (html && (json || !positional.isEmpty())) return failed(o, "--html goes alone");
    if (html && parser.value(QStringLiteral("html")).isEmpty()) return failed(o, "--html FILE");
    if (positional.isEmpty()) return runOverview(o, json, parser.value(QStringLiteral("html")));
    return runIntervals(o, parser.values(QStringLiteral("set")), json);
}

}  // namespace qv::cli
