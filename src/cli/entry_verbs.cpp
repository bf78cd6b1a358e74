// The instrument's user-calibration entries without a window: list them, empty one.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <atomic>
#include <vector>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/app/string_division.h"
#include "core/coeff/entry_exchanges.h"
#include "core/coeff/entry_rules.h"

namespace qv::cli {

namespace {

// The entry's row as the list shows it, with the rest of its header when the reply holds it.
struct ListedEntry {
    EntryRow row;
    std::string timeStamp;
    std::string serial;
};

ListedEntry withHeader(const EntryRow& row, Session& s) {
    ListedEntry e{row, {}, {}};
    if (row.comment.empty()) return e;
    const ExchangeResult reply = queryEntry(s.port(), s.clock, row.entry);
    StringDivision fields(reply.reply);
    e.timeStamp = QString::fromStdString(fields.GetField(3)).trimmed().toStdString();
    e.serial = QString::fromStdString(fields.GetField(4)).trimmed().toStdString();
    return e;
}

int runEntries(const QStringList& arguments) {
    Options o;
    if (auto code = parse(arguments,
                          QStringLiteral("Lists the 30 user-calibration entries of the type 53 "
                                         "instrument on PORT: number, comment and, for an "
                                         "occupied entry, its time stamp and serial.\n"
                                         "Exit status: 0 listed, 2 failed (the reason is "
                                         "printed)."),
                          {.json = true}, o))
        return *code;
    Session s;
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    std::vector<EntryRow> rows;
    const std::atomic<bool> stop{false};
    const LinkError error = readEntryList(s.port(), s.clock, stop,
                                          [&rows](const EntryRow& row) { rows.push_back(row); });
    if (!error.ok()) return failed(o, "the entries cannot be read: " + describe(error));
    QTextStream out(stdout);
    QJsonArray list;
    for (const EntryRow& row : rows) {
        const ListedEntry e = withHeader(row, s);
        if (o.json) {
            list.append(QJsonObject{{"entry", row.entry},
                                    {"comment", QString::fromStdString(row.comment)},
                                    {"timeStamp", QString::fromStdString(e.timeStamp)},
                                    {"serial", QString::fromStdString(e.serial)}});
            continue;
        }
        out << QString::fromStdString(row.number) << "  "
            << QString::fromStdString(row.comment.empty() ? "(free)" : row.comment)
                   .leftJustified(18);
        if (!row.comment.empty())
            out << QString::fromStdString(e.timeStamp) << "  " << QString::fromStdString(e.serial);
        out << "\n";
    }
    if (o.json) out << QJsonDocument(list).toJson(QJsonDocument::Indented);
    return kExitPassed;
}

int runDeleteEntry(const QStringList& arguments) {
    Options o;
    if (auto code = parse(arguments,
                          QStringLiteral("Empties user-calibration entry N of the instrument on "
                                         "PORT (USD). An occupied entry is emptied only with "
                                         "--yes.\nExit status: 0 emptied, 1 refused (occupied "
                                         "without --yes), 2 failed (the reason is printed)."),
                          {.entry = true}, o))
        return *code;
    Session s;
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    const std::string comment = listedEntryComment(queryEntry(s.port(), s.clock, o.entry).reply);
    if (!comment.empty() && !o.yes) {
        QTextStream(stderr) << o.verb << ": entry " << o.entry << " holds \""
                            << QString::fromStdString(comment) << "\"; give --yes to empty it\n";
        return kExitCheckFailed;
    }
    const LinkError deleted = deleteEntry(s.port(), s.clock, o.entry);
    if (!deleted.ok()) return failed(o, describe(deleted));
    QTextStream(stdout) << "entry " << o.entry << " emptied\n";
    return kExitPassed;
}

}  // namespace

static const bool entriesRegistered =
    (registerVerb({"entries", "The 30 user-calibration entries of the instrument", &runEntries}),
     true);
static const bool deleteEntryRegistered =
    (registerVerb({"delete-entry", "Empties one user-calibration entry", &runDeleteEntry}), true);

}  // namespace qv::cli
