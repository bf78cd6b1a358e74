// The instrument logbook from the command line: earlier result files taken into it, and an
// instrument's history read from it.
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <cmath>
#include <optional>
#include <utility>

#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/import_folder.h"
#include "platform/log/logbook_server_tasks.h"

namespace qv::cli {

namespace {

int printImported(const Options& o, const std::string& folder,
                  const std::vector<ImportedFile>& files);

}  // namespace

namespace {

// Another workstation's logbook file sent to the server, each record once.
int importLogbookFile(const Options& o, const std::string& file) {
    const auto target = openVerbLogbook(o);
    if (!target) return kExitFailed;
    auto* fleet = dynamic_cast<FleetLogbook*>(target.get());
    SqlLogbook* server = fleet ? fleet->server() : nullptr;
    if (!server)
        return failed(o, fleet ? "the logbook server " + fleet->where() +
                                     " cannot be used: " + describe(fleet->problem())
                               : std::string("a logbook file is imported into a logbook server; "
                                             "set QV_LOGBOOK or give --logbook server"));
    std::string why;
    const auto from = readLogbookFile(file, &why);
    if (!from) return failed(o, why);
    const LogbookImport done = importLogbook(*from->logbook, *server);
    o.io.out << "sent " << done.sent << ", already on the server " << done.already << ", not sent "
             << done.failed << "\n";
    return done.failed == 0 ? kExitPassed : kExitFailed;
}

}  // namespace

int runImport(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Takes the result files in FOLDER (the data folder when not given) into the logbook: "
        "repeatability, judgement, coefficient record and tile-set files, each known by its "
        "contents and recorded once however often it is imported. Target files and files of "
        "other programs are named and skipped. Given a logbook file (logbook.sqlite) instead, "
        "sends its records to the logbook server, each once.\n"
        "Exit status: 0 done, 2 the folder or the logbook cannot be used, or a file could not be "
        "recorded."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("The folder to read, or a logbook file."));
    const QString usage = QStringLiteral("Usage: qvl70s-cli import [options] [FOLDER|LOGBOOK]");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    const QStringList positional = parser.positionalArguments();
    const std::string folder =
        positional.isEmpty() ? setUpDataFolder() : positional.front().toStdString();
    if (!folder.empty() && QFileInfo(qs(folder)).isFile()) return importLogbookFile(o, folder);
    if (folder.empty() || !QDir(qs(folder)).exists())
        return failed(o, "no folder " + (folder.empty() ? std::string("to import") : folder));
    const auto logbook = openVerbLogbook(o);
    if (!logbook) return kExitFailed;
    Session s(o);
    const auto files = importFolder(folder, *logbook, userNumberFormat(), s.strings());
    return printImported(o, folder, files);
}

namespace {

int printImported(const Options& o, const std::string& folder,
                  const std::vector<ImportedFile>& files) {
    QTextStream& out = o.io.out;
    bool refused = false;
    for (const ImportedFile& f : files) {
        const QString name = QDir(qs(folder)).relativeFilePath(qs(f.path));
        switch (f.outcome) {
            case ImportedFile::Outcome::Imported:
                out << "imported " << name << " (" << qs(f.detail) << ")\n";
                break;
            case ImportedFile::Outcome::AlreadyRecorded:
                out << "already recorded " << name << "\n";
                break;
            case ImportedFile::Outcome::Skipped:
                out << "skipped " << name << ": " << qs(f.detail) << "\n";
                break;
            case ImportedFile::Outcome::NotRecorded:
                out << "not recorded " << name << ": " << qs(f.detail) << "\n";
                refused = true;
                break;
        }
    }
    out << qs(importCounts(files)) << "\n";
    return refused ? kExitFailed : kExitPassed;
}

}  // namespace

int runLogbook(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "sync: sends the records that wait on this workstation for the logbook server, oldest "
        "first, each once. where: names the logbook in force and how many records wait.\n"
        "Exit status: 0 done (nothing left waiting), 2 the server cannot be used or records are "
        "still waiting."));
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("sync or where."));
    const QString usage = QStringLiteral("Usage: qvl70s-cli logbook [options] sync|where");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    const QString action = parser.positionalArguments().value(0);
    if (action != QLatin1String("sync") && action != QLatin1String("where"))
        return failed(o, "give sync or where");
    const auto logbook = openVerbLogbook(o);
    if (!logbook) return kExitFailed;
    auto* fleet = dynamic_cast<FleetLogbook*>(logbook.get());
    if (!fleet) {
        o.io.out << "logbook: " << qs(logbook->where()) << " (this workstation)\n";
        return kExitPassed;
    }
    const FleetLogbook::Synced done =
        action == QLatin1String("sync")
            ? fleet->sync()
            : FleetLogbook::Synced{0, 0, int(fleet->local().waiting().size())};
    o.io.out << "logbook: " << qs(fleet->where()) << " ("
             << (fleet->serverOpen() ? QStringLiteral("connected")
                                     : qs(describe(fleet->problem()) + ": " + fleet->why()))
             << ")\n";
    if (action == QLatin1String("sync"))
        o.io.out << "sent " << done.sent << ", already on the server " << done.already << ", ";
    o.io.out << "waiting " << done.left << "\n";
    // Refused records stay on this workstation for someone to look at; they keep no check
    // behind them waiting.
    for (const SqlLogbook::RefusedRecord& r : fleet->local().refused())
        o.io.out << "refused by the server: record " << -r.id << " of "
                 << qs(r.serial.substr(0, 40)) << (r.serial.size() > 40 ? "..." : "") << " at "
                 << qs(r.time) << ": " << qs(r.why) << "\n";
    return fleet->serverOpen() && done.left == 0 ? kExitPassed : kExitFailed;
}

namespace {

QJsonValue orNull(double v) {
    return std::isnan(v) ? QJsonValue() : QJsonValue(v);
}

QString verdict(const CheckRecord& r) {
    return r.passed ? (*r.passed ? QStringLiteral("PASSED") : QStringLiteral("FAILED"))
                    : QStringLiteral("---");
}

// Per angle the decision, its reason, the predicted means and the terms by their keys, as the
// diagnose verb prints them; null for a record without a diagnosis.
QJsonValue diagnosisJson(const std::optional<DiagnosisRecord>& d) {
    if (!d) return {};
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosisRecord& g = (*d)[a];
        QJsonObject terms;
        for (const TermRecord& t : g.terms)
            terms.insert(qs(t.key), QJsonObject{{"value", finiteOrNull(t.value)},
                                                {"standardError", finiteOrNull(t.standardError)},
                                                {"identified", t.identified}});
        angles.append(
            QJsonObject{{"angle", kAngleDegrees[a]},
                        {"recommendation", qs(g.decision)},
                        {"reason", qs(g.reason)},
                        {"meanAfterFactors", finiteOrNull(g.meanAfterFactors)},
                        {"meanAfterModel", finiteOrNull(g.meanAfterModel)},
                        {"heldOutRmsAfterFactors", finiteOrNull(g.heldOutRmsAfterFactors)},
                        {"terms", terms}});
    }
    return angles;
}

QJsonObject recordJson(const CheckRecord& r) {
    const bool extended = r.kind == RecordKind::ExtendedRepeatability;
    QJsonArray angles;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        QJsonObject angle{{"angle", kAngleDegrees[a]},
                          {"lab", QJsonArray{orNull(g.lab[0]), orNull(g.lab[1]), orNull(g.lab[2])}},
                          {"deltaE", orNull(g.deltaE)},
                          {"beforeDeltaE", orNull(g.beforeDeltaE)}};
        // Over many readings: the mean as lab, the MCDM as deltaE, and the spread.
        if (extended) {
            angle.insert("sd", QJsonArray{orNull(g.sd[0]), orNull(g.sd[1]), orNull(g.sd[2])});
            angle.insert("largest", orNull(g.largest));
        }
        angles.append(angle);
    }
    QJsonArray files;
    for (const std::string& f : r.files) files.append(qs(f));
    QJsonObject record{{"id", qint64(r.id)},
                       {"time", qs(logbookTime(r.time))},
                       {"kind", qs(std::string(kindName(r.kind)))},
                       {"serial", qs(r.serial)},
                       {"instrumentType", qs(r.instrumentType)},
                       {"referenceSerial", qs(r.referenceSerial)},
                       {"operator", qs(r.operatorName)},
                       {"workstation", qs(r.workstation)},
                       {"uuid", qs(r.uuid)},
                       {"threshold", orNull(r.threshold)},
                       {"formula", qs(r.formula)},
                       {"passed", r.passed ? QJsonValue(*r.passed) : QJsonValue()},
                       {"entry", r.entry},
                       {"comment", qs(r.comment)},
                       {"angles", angles},
                       {"files", files},
                       {"diagnosis", diagnosisJson(r.diagnosis)}};
    if (extended) {
        record.insert("readings", r.readings);
        record.insert("handling", r.handling);
        record.insert("specimen", qs(r.specimen));
    }
    return record;
}

void printRecordsHeading(QTextStream& out) {
    // The record's number first: the certificate verb takes it.
    out << QStringLiteral("record").leftJustified(8) << QStringLiteral("time").leftJustified(21)
        << QStringLiteral("kind").leftJustified(24) << QStringLiteral("verdict").leftJustified(9)
        << "   dE 25   dE 45   dE 75  workstation  files\n";
}

void printRecords(QTextStream& out, const std::vector<CheckRecord>& records) {
    for (const CheckRecord& r : records) {
        out << QString::number(r.id).leftJustified(8) << qs(logbookTime(r.time)).leftJustified(21)
            << qs(std::string(kindName(r.kind))).leftJustified(24) << verdict(r).leftJustified(9);
        for (const AngleRecord& g : r.angles)
            out << (std::isnan(g.deltaE) ? QStringLiteral("---") : number(g.deltaE, 2))
                       .rightJustified(8);
        out << "  "
            << qs(r.workstation.empty() ? std::string("---") : r.workstation).leftJustified(11);
        for (const std::string& f : r.files) out << "  " << qs(f);
        out << "\n";
        if (!r.diagnosis) continue;
        for (int a = 0; a < kAngleCount; ++a)
            out << "        " << kAngleDegrees[a] << " degrees: " << qs((*r.diagnosis)[a].decision)
                << ": " << qs((*r.diagnosis)[a].reason) << "\n";
    }
}

int printInstruments(QTextStream& out, LogbookStore& logbook, bool json) {
    const auto instruments = logbook.instruments();
    if (json) {
        QJsonArray all;
        for (const auto& i : instruments)
            all.append(QJsonObject{{"serial", qs(i.serial)},
                                   {"type", qs(i.type)},
                                   {"records", i.records},
                                   {"lastTime", qs(i.lastTime)}});
        out << QJsonDocument(QJsonObject{{"source", qs(readSource(logbook))}, {"instruments", all}})
                   .toJson(QJsonDocument::Indented);
        return kExitPassed;
    }
    for (const auto& i : instruments)
        out << qs(i.serial).leftJustified(20) << qs(i.type).leftJustified(4)
            << QString::number(i.records).rightJustified(6) << " records, last " << qs(i.lastTime)
            << "\n";
    if (instruments.empty()) out << "The logbook holds no records yet.\n";
    return kExitPassed;
}

// One instrument's records, read and printed a page at a time: a history of any length costs
// one page's memory. JSON is written as it is read, its "source" last, when it is known.
int printHistory(QTextStream& out, LogbookStore& logbook, const QString& serial,
                 const QString& since, const std::optional<QString>& workstation, bool json,
                 Options& o) {
    constexpr int kPage = 500;
    const auto pages = logbook.history(serial.toStdString(), since.toStdString());
    if (json)
        out << "{\n    \"serial\": "
            << QJsonDocument(QJsonArray{serial}).toJson(QJsonDocument::Compact).mid(1).chopped(1)
            << ",\n    \"records\": [";
    bool first = true;
    for (std::vector<CheckRecord> page = pages->next(kPage); !page.empty();
         page = pages->next(kPage)) {
        if (workstation)
            std::erase_if(page, [only = workstation->toStdString()](const CheckRecord& r) {
                return r.workstation != only;
            });
        if (!json) {
            if (std::exchange(first, false)) printRecordsHeading(out);
            printRecords(out, page);
            continue;
        }
        for (const CheckRecord& r : page)
            out << (std::exchange(first, false) ? "\n        " : ",\n        ")
                << QJsonDocument(recordJson(r)).toJson(QJsonDocument::Compact);
    }
    if (json)
        out << (first ? "]" : "\n    ]") << ",\n    \"source\": \"" << qs(readSource(logbook))
            << "\"\n}\n";
    else if (first)
        printRecordsHeading(out);
    if (!pages->failed()) return kExitPassed;
    out.flush();
    return failed(o, "the logbook stopped answering part way: the history shown is not whole");
}

}  // namespace

int runHistory(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Without --serial, the instruments in the logbook with their number of records and the "
        "time of the last; with it, that instrument's records, newest first: number, time, kind, "
        "verdict, the colour difference per angle and the files; under a diagnosed tile set, "
        "each angle's decision and its reason. The records of every workstation are shown, "
        "with the workstation that made each.\n"
        "Exit status: 0 done, 2 the options are wrong or the logbook cannot be opened."));
    parser.addOption(
        {QStringLiteral("serial"), QStringLiteral("The instrument."), QStringLiteral("S")});
    parser.addOption({QStringLiteral("since"), QStringLiteral("Records from this day on."),
                      QStringLiteral("YYYY-MM-DD")});
    parser.addOption({QStringLiteral("workstation"),
                      QStringLiteral("Only the records made at this workstation."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    const QString usage = QStringLiteral("Usage: qvl70s-cli history [options]");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    const QString since = parser.value(QStringLiteral("since"));
    static const QRegularExpression kDay(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!since.isEmpty() && !kDay.match(since).hasMatch())
        return failed(o, "--since takes a day as YYYY-MM-DD");
    const auto logbook = openVerbLogbook(o);
    if (!logbook) return kExitFailed;
    QTextStream& out = o.io.out;
    const bool json = parser.isSet(QStringLiteral("json"));
    if (!parser.isSet(QStringLiteral("serial"))) return printInstruments(out, *logbook, json);
    return printHistory(out, *logbook, parser.value(QStringLiteral("serial")), since,
                        parser.isSet(QStringLiteral("workstation"))
                            ? std::optional(parser.value(QStringLiteral("workstation")))
                            : std::nullopt,
                        json, o);
}

}  // namespace qv::cli
