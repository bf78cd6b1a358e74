// The instrument's user-calibration entries without a window: list them, empty one.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <atomic>
#include <vector>

#include "cli/entry_write.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "core/coeff/coefficient_file_workflow.h"
#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/delete_entry_workflow.h"
#include "core/coeff/entry_exchanges.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/entry_state.h"
#include "core/coeff/file_choice.h"
#include "core/files/coefficient_file.h"
#include "core/files/record_file.h"
#include "core/link/commands.h"
#include "core/log/record_validity.h"
#include "platform/app/data_folder.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

void printValidity(const Seams& seams, const CheckRecord& write, QTextStream& out) {
    if (!seams.logbook) return;
    const RecordValidity v =
        recordValidity(write, *seams.logbook, seams.files, seams.format, seams.strings);
    if (!v.validity) return;
    out << "entry valid near its specimen (residual below "
        << QString::fromStdString(seams.format.display(v.threshold) + " " + v.formula)
        << ", diagnosis of tile-set record " << v.set->id;
    if (v.verification) out << ", verification record " << v.verification->id;
    out << "):";
    std::vector<std::string> whyNot;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleValidity& at = (*v.validity)[a];
        out << (a ? ", " : " ") << (at.bound == RadiusBound::Within ? "within " : "")
            << QString::fromStdString(radiusText(at, seams.format))
            << (at.bound == RadiusBound::NotKnown ? " at " : " dE00 at ") << kAngleDegrees[a]
            << " degrees";
        const std::string why = validitySentence(at, v.threshold, v.formula, seams.format);
        if (at.bound == RadiusBound::NotKnown &&
            std::find(whyNot.begin(), whyNot.end(), why) == whyNot.end())
            whyNot.push_back(why);
    }
    out << "\n";
    for (const std::string& why : whyNot) out << QString::fromStdString(why) << "\n";
    const bool anyStated =
        std::any_of(v.validity->begin(), v.validity->end(),
                    [](const AngleValidity& at) { return at.bound != RadiusBound::NotKnown; });
    if (anyStated) out << QString::fromStdString(triedText()) << "\n";
}

EntryWrite writeIntoEntry(Session& s, const Seams& seams, const Options& o) {
    // The write dialog's road: its identification, the entry list (what the instrument holds
    // decides what the factors stand on), its questions (answered from --yes), its commands.
    CoefficientWriteWorkflow w(seams);
    if (!w.open()) return {kExitFailed, false, std::nullopt, std::nullopt};
    // Nobody is there to press Stop: the list ends at the first entry that cannot be read, as an
    // instrument that does not answer would keep the command line 5 s per entry. The chosen
    // entry is queried again before anything is written, whatever the list says.
    std::atomic<bool> stop{false};
    bool chosenListed = false;
    const LinkError listed = readEntryList(s.port(), s.clock, stop, [&](const EntryRow& row) {
        w.addRow(row);
        chosenListed = chosenListed || row.entry == o.entry;
        if (!row.unreadable.empty()) stop = true;
    });
    if (!chosenListed) w.addRow({o.entry, entryNumberText(o.entry).value_or(""), {}, {}, {}, {}});
    if (!w.listDone(false, listed)) return {kExitFailed, false, std::nullopt, std::nullopt};
    const auto& rows = w.view().rows;
    const auto chosen = std::find_if(rows.begin(), rows.begin() + w.view().rowCount,
                                     [&o](const EntryRow& row) { return row.entry == o.entry; });
    w.select(static_cast<int>(chosen - rows.begin()));
    w.setComment(o.comment.toStdString());
    if (const auto basis = parseBasis(o.basis.toStdString())) w.giveBasis(*basis);
    const WriteOutcome outcome = w.write();
    if (w.heldBack()) {
        o.io.err << o.verb << ": nothing was written\n";
        return {kExitFailed, false, std::nullopt, std::nullopt};
    }
    if (w.basisMissing()) {
        o.io.err << o.verb << ": " << QString::fromStdString(w.heldEntries()) << "\n"
                 << o.verb
                 << ": which of them (if any) the readings passed through cannot be read from "
                    "the instrument; give --basis none or --basis N (nothing was written)\n";
        return {kExitFailed, false, std::nullopt, std::nullopt};
    }
    if (!w.basisRefusal().empty()) return {kExitCheckFailed, false, std::nullopt, std::nullopt};
    if (w.declined()) {
        o.io.err << o.verb << ": " << QString::fromStdString(describe(*w.entryState()))
                 << "; give --yes to write over it\n";
        return {kExitCheckFailed, false, std::nullopt, std::nullopt};
    }
    if (outcome != WriteOutcome::Written)
        return {s.state.bConnected ? kExitCheckFailed : kExitFailed, false, std::nullopt,
                std::nullopt};
    QTextStream& out = o.io.out;
    out << "entry " << o.entry << " written\n";
    if (w.recordFile().ok())
        out << "record file " << QString::fromStdString(w.recordFile().path) << "\n";
    return {w.recordFile().ok() ? kExitPassed : kExitFailed, true, w.written(), w.writeRecorded()};
}

int runEntries(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(arguments,
                          QStringLiteral("Lists the 30 user-calibration entries of the type 53 "
                                         "instrument on PORT: number, comment and, for an "
                                         "occupied entry, its time stamp and serial.\n"
                                         "Exit status: 0 listed, 2 failed (the reason is "
                                         "printed)."),
                          {.json = true}, o))
        return *code;
    Session s(o);
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    std::vector<EntryRow> rows;
    const std::atomic<bool> stop{false};
    const LinkError error = readEntryList(s.port(), s.clock, stop,
                                          [&rows](const EntryRow& row) { rows.push_back(row); });
    if (!error.ok()) return failed(o, "the entries cannot be read: " + describe(error));
    QTextStream& out = o.io.out;
    QJsonArray list;
    for (const EntryRow& row : rows) {
        if (o.json) {
            QJsonObject entry{{"entry", row.entry},
                              {"comment", QString::fromStdString(row.comment)},
                              {"timeStamp", QString::fromStdString(row.timeStamp)},
                              {"serial", QString::fromStdString(row.serial)}};
            if (!row.unreadable.empty())
                entry["unreadable"] = QString::fromStdString(row.unreadable);
            list.append(entry);
            continue;
        }
        out << QString::fromStdString(row.number) << "  ";
        if (!row.unreadable.empty())
            out << "(not read: " << QString::fromStdString(row.unreadable) << ")";
        else if (row.comment.empty())
            out << "(free)";
        else
            out << QString::fromStdString(row.comment).leftJustified(18)
                << QString::fromStdString(row.timeStamp) << "  "
                << QString::fromStdString(row.serial);
        out << "\n";
    }
    if (o.json) out << QJsonDocument(list).toJson(QJsonDocument::Indented);
    return kExitPassed;
}

int runDeleteEntry(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(arguments,
                          QStringLiteral("Empties user-calibration entry N of the instrument on "
                                         "PORT (USD). An occupied entry is emptied only with "
                                         "--yes.\nExit status: 0 emptied, 1 refused (occupied "
                                         "without --yes), 2 failed (the reason is printed)."),
                          {.entry = true}, o))
        return *code;
    Session s(o);
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    s.useDataFolder();
    // The deletion's road without its dialog: the entry read, the question answered from
    // --yes, USD.
    DeleteEntryWorkflow deletion(s.seams(), o.entry, {});
    if (!deletion.open()) return kExitFailed;
    if (!deletion.consent()) {
        o.io.err << o.verb << ": " << QString::fromStdString(describe(*deletion.entryState()))
                 << "; give --yes to empty it\n";
        return kExitCheckFailed;
    }
    if (!deletion.confirm())
        return failed(o, "entry " + std::to_string(o.entry) + " was not emptied");
    o.io.out << "entry " << o.entry << " emptied\n";
    return kExitPassed;
}

namespace {

// The coefficient file dialog's road: the file --from names read into the pair, or refused
// with the dialog's reason.
bool loadCoefficientFile(Session& s, const Seams& seams, const Options& o) {
    s.prompter.givenFile = o.from.toStdString();
    CoefficientFileWorkflow file(seams);
    if (file.browse()) return true;
    failed(o, o.from.toStdString() + " is not a complete coefficient file");
    return false;
}

}  // namespace

int runWriteEntry(const QStringList& arguments, Io& io) {
    Options o{io};
    if (auto code = parse(arguments,
                          QStringLiteral("Writes correction factors (target / sample at 16 "
                                         "wavelengths per angle) from a coefficient file into "
                                         "entry N of the instrument under correction on PORT, "
                                         "and leaves the record file in the data folder. An "
                                         "occupied entry is overwritten only with --yes.\n"
                                         "Exit status: 0 written, 1 refused (occupied, another "
                                         "instrument, a comment or factor out of the rules), 2 "
                                         "failed (the reason is printed)."),
                          {.entry = true, .comment = true, .from = true}, o))
        return *code;
    Session s(o);
    s.useDataFolder();
    const Seams seams = s.seams(userNumberFormat());
    if (!loadCoefficientFile(s, seams, o)) return kExitFailed;
    if (!openPort(s, o) || !connectInstrument(s, o)) return kExitFailed;
    const EntryWrite written = writeIntoEntry(s, seams, o);
    if (written.record) printValidity(seams, *written.record, o.io.out);
    return written.code;
}

}  // namespace qv::cli
