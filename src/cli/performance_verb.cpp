// An instrument's performance statement from the logbook: per angle each contribution, the
// combined and expanded uncertainty and the share of the product tolerance; as a PDF too.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/app/clock.h"
#include "core/log/performance_settings.h"
#include "platform/app/locale_format.h"
#include "platform/app/qt_profile_store.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/logbook_location.h"
#include "report/log/performance_sheet.h"

namespace qv::cli {

namespace {

QJsonValue optionalJson(const std::optional<double>& v) {
    return v ? finiteOrNull(*v) : QJsonValue();
}

QJsonValue timeJson(const std::optional<LocalTime>& t) {
    return t ? QJsonValue(qs(logbookTime(*t))) : QJsonValue();
}

QJsonObject contributionJson(const Contribution& c) {
    return {{"kind", qs(std::string(contributionKey(c.kind)))},
            {"available", c.available},
            {"essential", c.essential},
            {"figureName", qs(c.figureName)},
            {"standard", finiteOrNull(c.standard)},
            {"figure", finiteOrNull(c.figure)},
            {"readings", c.readings},
            {"from", timeJson(c.from)},
            {"date", timeJson(c.date)},
            {"record", qint64(c.record)},
            {"source", qs(c.source)}};
}

QJsonValue pair(double low, double high) {
    return QJsonArray{finiteOrNull(low), finiteOrNull(high)};
}

QJsonValue scopeJson(const AngleScope& s) {
    if (!s.known) return QJsonValue();
    QJsonArray unseen;
    for (const std::string& t : s.unseen) unseen.append(qs(t));
    return QJsonObject{{"lightness", pair(s.lightnessLow, s.lightnessHigh)},
                       {"chroma", pair(s.chromaLow, s.chromaHigh)},
                       {"hue", pair(s.hueFrom, s.hueTo)},
                       {"unseen", unseen},
                       {"decision", qs(s.decision)},
                       {"reason", qs(s.reason)},
                       {"neutralOnly", s.neutralOnly}};
}

QJsonValue entryJson(const std::optional<EntryInForce>& e) {
    if (!e) return QJsonValue();
    return QJsonObject{{"entry", e->entry ? QJsonValue(e->entry) : QJsonValue()},
                       {"comment", qs(e->comment)},
                       {"written", timeJson(e->written)},
                       {"record", qint64(e->record)}};
}

// The share in per cent, as the table and the page give it.
QJsonObject angleJson(const AngleBudget& b) {
    QJsonArray contributions;
    for (const Contribution& c : b.contributions) contributions.append(contributionJson(c));
    return {{"angle", b.angleDegrees},
            {"contributions", contributions},
            {"standard", finiteOrNull(b.standard)},
            {"expanded", finiteOrNull(b.expanded)},
            {"complete", b.complete},
            {"coverageFactor", finiteOrNull(b.coverageFactor)},
            {"effectiveDof", std::isinf(b.effectiveDof) ? QJsonValue(QStringLiteral("infinite"))
                                                        : finiteOrNull(b.effectiveDof)},
            {"nearStandard", finiteOrNull(b.nearStandard)},
            {"agreementPerAxis", b.agreementPerAxis},
            {"axisVariance",
             QJsonArray{finiteOrNull(b.axisVariance[0]), finiteOrNull(b.axisVariance[1]),
                        finiteOrNull(b.axisVariance[2])}},
            {"scope", scopeJson(b.scope)},
            {"tolerance", optionalJson(b.tolerance)},
            {"share", b.share ? finiteOrNull(*b.share * 100.0) : QJsonValue()},
            {"tur", optionalJson(b.testUncertaintyRatio)},
            {"gaugeShare", b.gaugeShare ? finiteOrNull(*b.gaugeShare * 100.0) : QJsonValue()},
            {"band", b.band ? QJsonValue(qs(std::string(bandName(*b.band)))) : QJsonValue()}};
}

QJsonObject statementJson(const PerformanceStatement& st, const QString& pdf) {
    QJsonArray angles;
    for (const AngleBudget& b : st.angles) angles.append(angleJson(b));
    QJsonArray missing;
    for (const std::string& m : st.missing) missing.append(qs(m));
    return {{"number", qs(st.number)},
            {"measurand", qs(st.measurand)},
            {"certificate", qs(st.certificate)},
            {"conditions", qs(st.conditions)},
            {"validUntil", qs(logbookTime(st.validUntil).substr(0, 10))},
            {"madeBy", qs(st.madeBy)},
            {"workstation", qs(st.workstation)},
            {"serial", qs(st.serial)},
            {"instrumentType", qs(st.instrumentType)},
            {"referenceSerial", qs(st.referenceSerial)},
            {"formula", qs(st.formula)},
            {"specimen", qs(st.specimen)},
            {"made", qs(logbookTime(st.made))},
            {"angles", angles},
            {"missing", missing},
            {"entry", entryJson(st.entry)},
            {"retired", st.retired.empty() ? QJsonValue() : QJsonValue(qs(st.retired))},
            {"neutralOnly", st.neutralOnly},
            {"service", st.service},
            {"pdf", pdf.isEmpty() ? QJsonValue() : QJsonValue(pdf)}};
}

// The longest contribution's name and a blank.
constexpr int kNameWidth = 47;

QString cell(double v, int decimals, int width) {
    return (std::isfinite(v) ? number(v, decimals) : QStringLiteral("---")).rightJustified(width);
}

QString dates(const Contribution& c) {
    const QString to = c.date ? qs(logbookTime(*c.date)).left(10) : QStringLiteral("---");
    const QString from = c.from ? qs(logbookTime(*c.from)).left(10) : QString();
    return from.isEmpty() || from == to ? to : from + QStringLiteral("..") + to;
}

QString dofText(double dof) {
    return std::isinf(dof) ? QStringLiteral("infinite") : cell(dof, 0, 0);
}

void printScope(QTextStream& out, const AngleScope& s) {
    if (!s.known) return;
    out << "  tile set: L* " << cell(s.lightnessLow, 0, 0) << ".." << cell(s.lightnessHigh, 0, 0)
        << ", C* " << cell(s.chromaLow, 0, 0) << ".." << cell(s.chromaHigh, 0, 0) << ", h "
        << (std::isfinite(s.hueFrom) ? cell(s.hueFrom, 0, 0) + ".." + cell(s.hueTo, 0, 0)
                                     : QStringLiteral("none chromatic"))
        << "; unseen:";
    for (const std::string& t : s.unseen) out << " " << qs(t);
    if (s.unseen.empty()) out << " none";
    out << "; diagnosis " << qs(s.decision) << "\n";
    if (s.neutralOnly)
        out << "  the set cannot see wavelength errors: U holds for near-neutral colours only\n";
}

void printAngle(QTextStream& out, const AngleBudget& b) {
    out << "\n" << b.angleDegrees << " degrees\n";
    out << "  " << QStringLiteral("contribution").leftJustified(kNameWidth)
        << QStringLiteral("figure").rightJustified(8)
        << QStringLiteral("readings").rightJustified(10) << "  "
        << QStringLiteral("date").leftJustified(22) << QStringLiteral("u").rightJustified(7)
        << "\n";
    for (const Contribution& c : b.contributions) {
        out << "  " << qs(std::string(contributionName(c.kind))).leftJustified(kNameWidth)
            << cell(c.available ? c.figure : NAN, 3, 8)
            << (c.readings > 0 ? QString::number(c.readings) : QStringLiteral("---"))
                   .rightJustified(10)
            << "  " << dates(c).leftJustified(22)
            << (c.available ? cell(c.standard, 3, 7) : QStringLiteral("missing").rightJustified(7))
            << "\n";
    }
    printScope(out, b.scope);
    if (!b.complete) {
        out << "  incomplete budget: not an uncertainty\n";
        return;
    }
    out << "  combined u " << cell(b.standard, 3, 0) << ", U (k = " << cell(b.coverageFactor, 2, 0)
        << ", nu_eff " << dofText(b.effectiveDof) << ") " << cell(b.expanded, 3, 0) << "; within "
        << cell(kNearStandardFactor * b.standard, 3, 0) << " of the standard U "
        << cell(b.nearStandard, 3, 0) << " (95th percentile)"
        << "\n  tolerance " << (b.tolerance ? cell(*b.tolerance, 2, 0) : QStringLiteral("---"))
        << ", U/T "
        << (b.share ? cell(*b.share * 100.0, 1, 0) + QStringLiteral(" %") : QStringLiteral("---"))
        << (b.testUncertaintyRatio
                ? QStringLiteral(" (TUR ") + cell(*b.testUncertaintyRatio, 1, 0) + ")"
                : QString())
        << ", 6u/T "
        << (b.gaugeShare ? cell(*b.gaugeShare * 100.0, 1, 0) + QStringLiteral(" %")
                         : QStringLiteral("---"))
        << (b.band ? QStringLiteral(" (") + qs(std::string(bandName(*b.band))) + ")" : QString())
        << "\n";
}

void printStatement(QTextStream& out, const PerformanceStatement& st) {
    out << "performance statement " << qs(st.number) << " of " << qs(st.serial);
    if (!st.instrumentType.empty()) out << " (type " << qs(st.instrumentType) << ")";
    out << ", reference "
        << (st.referenceSerial.empty() ? QStringLiteral("---") : qs(st.referenceSerial)) << ", "
        << qs(st.formula) << ", made " << qs(logbookTime(st.made)) << " by " << qs(st.madeBy)
        << " on " << qs(st.workstation) << ", valid until "
        << qs(logbookTime(st.validUntil).substr(0, 10)) << "\n"
        << "measurand: " << qs(st.measurand) << "\n"
        << "reference certificate: "
        << (st.certificate.empty() ? QStringLiteral("not given") : qs(st.certificate)) << "\n"
        << "conditions: " << qs(st.conditions) << "\n";
    if (st.entry)
        out << "entry in force: "
            << (st.entry->entry ? QString::number(st.entry->entry) + " '" + qs(st.entry->comment) +
                                      "' written " + qs(logbookTime(*st.entry->written))
                                : QStringLiteral("none written by this program"))
            << "\n";
    if (!st.retired.empty()) out << "after correction: retired (" << qs(st.retired) << ")\n";
    if (st.service) out << "diagnosis: service (the instrument needs service)\n";
    for (const AngleBudget& b : st.angles) printAngle(out, b);
    if (!st.missing.empty()) out << "\nmissing:\n";
    for (const std::string& m : st.missing) out << "  " << qs(m) << "\n";
}

void addOptions(QCommandLineParser& parser) {
    parser.addOption(
        {QStringLiteral("serial"), QStringLiteral("The instrument."), QStringLiteral("S")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("Also the new PDF file."),
                      QStringLiteral("FILE.pdf")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    addOverrideOption(parser);
    parser.addOption({QStringLiteral("tolerance"),
                      QStringLiteral("The product tolerance, one for every angle or one per "
                                     "angle (25/45/75)."),
                      QStringLiteral("T[/T/T]")});
    parser.addOption({QStringLiteral("reference-uncertainty"),
                      QStringLiteral("The reference's expanded uncertainty (k = 2) from its "
                                     "certificate, one or one per angle."),
                      QStringLiteral("U[/U/U]")});
    parser.addOption({QStringLiteral("specimen"),
                      QStringLiteral("The specimen of the long-term repeatability."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("certificate"),
                      QStringLiteral("The reference's certificate: number, laboratory, date, due "
                                     "date, as one line."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("temperature"),
                      QStringLiteral("The room's temperature during the checks, as one line "
                                     "(\"23 °C\"), for the statement's conditions."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("valid-days"),
                      QStringLiteral("How many days the statement holds (default 180)."),
                      QStringLiteral("D")});
    parser.addOption({QStringLiteral("days"),
                      QStringLiteral("The long-term period in days (0: every record)."),
                      QStringLiteral("D")});
}

// The settings with what the command line gives put before them; a reason when it is wrong.
std::optional<std::string> applyOptions(const QCommandLineParser& parser,
                                        PerformanceSettings& settings) {
    const char decimal = userNumberFormat().decimalSeparator;
    for (const auto& [name, into] :
         {std::pair{QStringLiteral("tolerance"), &settings.tolerance},
          std::pair{QStringLiteral("reference-uncertainty"), &settings.referenceExpanded}}) {
        if (!parser.isSet(name)) continue;
        const auto values = perAngleInput(parser.value(name).toStdString(), decimal);
        if (!values)
            return "--" + name.toStdString() +
                   " takes one value or three joined by / (25/45/75), " + "each from 0.01 to 5.00";
        for (int a = 0; a < kAngleCount; ++a) (*into)[a] = (*values)[a];
    }
    TypedPerformance typed;
    typed.days = parser.value(QStringLiteral("days")).toStdString();
    typed.specimen = parser.value(QStringLiteral("specimen")).toStdString();
    typed.certificate = parser.value(QStringLiteral("certificate")).toStdString();
    typed.validDays = parser.value(QStringLiteral("valid-days")).toStdString();
    const PerformanceReading read = readPerformanceSettings(typed, decimal);
    if (read.problem && read.problem->field == PerformanceField::Days)
        return "--days takes a whole number of days from 0 (every record) to " +
               std::to_string(kMaxLongTermDays);
    if (read.problem && read.problem->field == PerformanceField::Certificate)
        return "--certificate takes one line of at most " + std::to_string(kMaxCertificateChars) +
               " characters";
    if (read.problem && read.problem->field == PerformanceField::ValidDays)
        return "--valid-days takes a whole number of days from 0 to " +
               std::to_string(kMaxLongTermDays);
    if (read.problem)
        return "--specimen takes one line of at most " + std::to_string(kMaxSpecimenChars) +
               " characters";
    if (parser.isSet(QStringLiteral("certificate")))
        settings.referenceCertificate = read.settings.referenceCertificate;
    if (parser.isSet(QStringLiteral("valid-days"))) {
        if (typed.validDays.empty()) return "--valid-days takes a whole number of days";
        settings.validDays = read.settings.validDays;
    }
    if (parser.isSet(QStringLiteral("days"))) settings.longTermDays = read.settings.longTermDays;
    if (parser.isSet(QStringLiteral("temperature"))) {
        const std::string t = parser.value(QStringLiteral("temperature")).trimmed().toStdString();
        if (!isLineOfText(t, kMaxSpecimenChars))
            return "--temperature takes one line of at most " + std::to_string(kMaxSpecimenChars) +
                   " characters";
        settings.temperature = t;
    }
    if (parser.isSet(QStringLiteral("specimen"))) settings.specimen = read.settings.specimen;
    return std::nullopt;
}

// A page written is a statement issued: the logbook keeps that it was, and a page the logbook
// could not keep ends as a failure (the logbook has told why). The record's id, 0 when none.
std::int64_t recordIssue(LogbookStore& logbook, const PerformanceStatement& statement,
                         const QString& page, Options& o) {
    const std::int64_t id = logbook.recordMarked(
        statementRecord(statement, QFileInfo(page).absoluteFilePath().toStdString()));
    o.io.notRecorded += logbook.notRecorded();
    return id;
}

}  // namespace

int runPerformance(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The performance statement of an instrument from its records in the logbook: per angle "
        "the short-term repeatability (the latest extended check), the long-term repeatability "
        "(the checks of one specimen over the period), the agreement with the reference (the "
        "latest diagnosed tile set), the reference's own uncertainty and the reading step, "
        "each as a standard uncertainty u along one direction of colour space in the formula "
        "of the thresholds; combined as a root sum of squares, expanded with Student's k for the "
        "effective degrees of freedom (near a product's standard: the 95th percentile of the "
        "difference one reading gives), and put in "
        "proportion to the product tolerance (share in per cent: up to 10, 25, 30 or above). "
        "The settings of the tile set give the tolerance, the reference's uncertainty, the "
        "specimen and the period; the options go before them. What is not on record is "
        "named.\nExit status: 0 a statement was made (even with parts missing), 2 the "
        "instrument has no records, the options are wrong, the PDF cannot be written or "
        "its issue cannot be recorded in the logbook (a PDF written is a statement issued)."));
    addOptions(parser);
    const QString usage = QStringLiteral(
        "Usage: qvl70s-cli performance --serial S [--out FILE.pdf] [--json] [options]");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    if (const auto code = readOverride(parser, o)) return *code;
    const QString serial = parser.value(QStringLiteral("serial"));
    if (serial.isEmpty()) return failed(o, "give --serial S");
    QtProfileStore profile;
    PerformanceSettings settings = performanceSettingsFromProfile(profile);
    if (const auto wrong = applyOptions(parser, settings)) return failed(o, *wrong);
    const auto logbook = openVerbLogbook(o, true);
    if (!logbook) return kExitFailed;
    const LocalTime now = localTimeOf(io.clock.calendarSeconds());
    std::string caution;
    if (const auto certificates = logbook->tileCertificates({}))
        caution = citeReferenceCertificate(settings, certificatesOf(*certificates), now);
    auto statement = instrumentStatement(*logbook, serial.toStdString(), settings, profile, now);
    if (statement && !caution.empty()) statement->missing.push_back(caution);
    if (statement) {
        statement->madeBy = operatorName();
        statement->workstation = workstationName();
    }
    if (!statement)
        return failed(
            o, "the logbook " + logbook->where() + " holds no record of " + serial.toStdString());
    const QString out = parser.value(QStringLiteral("out"));
    // A page written is a statement issued: not of an instrument whose checks are overdue,
    // unless a supervisor says why.
    if (!out.isEmpty()) {
        const Clearance cleared = verbClearance(o, *logbook, statement->serial);
        if (!cleared.cleared) return failed(o, "no statement was issued");
        statement->overdue = cleared.overdue;
        statement->overrideReason = cleared.overrideReason;
    }
    QString error;
    if (!out.isEmpty() && !writePerformanceSheet(*statement, out, &error))
        return failed(o, error.toStdString());
    const std::int64_t recorded = out.isEmpty() ? 0 : recordIssue(*logbook, *statement, out, o);
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject json = statementJson(*statement, out);
        json.insert("recorded", recorded ? QJsonValue(qint64(recorded)) : QJsonValue());
        json.insert("source", qs(readSource(*logbook)));
        io.out << QJsonDocument(json).toJson(QJsonDocument::Indented);
        return kExitPassed;
    }
    printStatement(io.out, *statement);
    if (!out.isEmpty()) io.out << "pdf: " << out << "\n";
    if (recorded) io.out << "recorded: logbook record " << recorded << "\n";
    return kExitPassed;
}

}  // namespace qv::cli
