#include "core/coeff/coefficient_write_workflow.h"

#include <cstdio>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/entry_state.h"
#include "core/coeff/file_choice.h"
#include "core/files/record_file.h"
#include "core/link/identify.h"

namespace qv {

namespace {
// Only a type-53 instrument takes entries (the list checks it before anything is written).
const std::string kWritingType = "53";
// A sample spectrum needs more than this many values: its reflectances and its coordinates.
constexpr std::size_t kShortSample = 30;

Message withSuffix(int id, Icon icon, std::string suffix) {
    Message m = messageBox(id, icon);
    m.suffix = std::move(suffix);
    return m;
}

}  // namespace

CoefficientWriteWorkflow::CoefficientWriteWorkflow(const Seams& seams) : s_(seams) {
    for (auto& row : view_.sample) row.fill(kEmptyField);
}

bool CoefficientWriteWorkflow::open() {
    // A comment proposed by a coefficient file is offered once.
    if (!s_.state.coeffFileComment.empty()) {
        view_.comment = s_.state.coeffFileComment;
        s_.state.coeffFileComment.clear();
    }
    return typeCheck();
}

bool CoefficientWriteWorkflow::typeCheck() {
    if (!s_.state.commPort) {
        reportLinkLost(LinkError{LinkFailure::WriteFailed, "IDR", -1, {}});
        return false;
    }
    const IdentifyResult id = IdentifyInstrument(*s_.state.commPort, s_.clock);
    tellIdentified(s_.activity, id);
    if (isType53Instrument(id)) return true;
    reportLinkLost(id.ok() ? LinkError{LinkFailure::Unrecognised, "IDR", -1, "type 40"} : id.error);
    return false;
}

void CoefficientWriteWorkflow::reportLinkLost(const LinkError& error) {
    s_.state.bConnected = false;
    s_.prompter.ask(lostLinkMessage(error));
}

void CoefficientWriteWorkflow::addRow(const EntryRow& row) {
    if (view_.rowCount >= kLastEntry) return;
    view_.rows[static_cast<std::size_t>(view_.rowCount++)] = row;
}

bool CoefficientWriteWorkflow::listDone(bool stopped, const LinkError& listError) {
    if (!listError.ok()) reportLinkLost(listError);
    if (stopped || !listError.ok()) return false;
    if (view_.rowCount > 0) select(0);
    showSample();
    return true;
}

void CoefficientWriteWorkflow::showSample() {
    const ThreeAngles& sample = s_.state.sampleSpectrum;
    for (int a = 0; a < kAngleCount; ++a)
        view_.dataInvalid = view_.dataInvalid || sample[a].size() <= kShortSample;
    if (view_.dataInvalid) {
        s_.prompter.ask(messageBox(kStrSampleIncomplete, Icon::Warning));
        return;
    }
    view_.sample = coordinateTexts(sample, s_.format);
}

void CoefficientWriteWorkflow::select(int row) {
    if (row >= view_.rowCount) return;
    view_.selected = row < 0 ? -1 : row;
    // An entry that could not be read may hold something: it may be emptied, with consent.
    view_.deleteEnabled = row >= 0 && (!normalisedComment(view_.rows[row].comment).empty() ||
                                       !view_.rows[row].unreadable.empty());
}

WriteOutcome CoefficientWriteWorkflow::write() {
    if (!typeCheck()) return WriteOutcome::Stays;
    if (view_.dataInvalid) {
        s_.prompter.ask(messageBox(kStrFactorsRefused, Icon::Stop));
        return WriteOutcome::Closes;
    }
    const IdentifyResult connected = IdentifyInstrument(*s_.state.commPort, s_.clock);
    tellIdentified(s_.activity, connected);
    connectedSerial_ = connectedSerial(connected);
    if (connectedSerial_ != s_.state.sampleSerial) {
        s_.prompter.ask(messageBox(kStrOtherInstrument, Icon::Warning));
        return WriteOutcome::Closes;
    }
    if (view_.selected < 0) {
        s_.prompter.ask(messageBox(kStrChooseFirst, Icon::Warning));
        return WriteOutcome::Stays;
    }
    view_.comment = normalisedComment(view_.comment);
    if (view_.comment.empty()) {
        s_.prompter.ask(messageBox(kStrEnterComment, Icon::Warning));
        return WriteOutcome::Stays;
    }
    if (forbiddenCommentCharacter(view_.comment)) {
        s_.prompter.ask(messageBox(kStrCommentCharacters, Icon::Warning));
        return WriteOutcome::Stays;
    }
    entryState_ = readEntryState(*s_.state.commPort, s_.clock, view_.rows[view_.selected].entry);
    // Consent to overwrite first; then what the factors stand on.
    if ((!entryState_->free() && !overwriteAgreed()) || !basisAgreed()) {
        declined_ = true;
        return WriteOutcome::Closes;
    }
    return writeSelected();
}

bool CoefficientWriteWorkflow::overwriteAgreed() {
    EntryRow& row = view_.rows[view_.selected];
    row.comment = entryState_->comment;
    row.unreadable = entryState_->reason;
    // The list shows what is about to be overwritten before the question is asked.
    if (onViewChanged) onViewChanged();
    Message question = messageBox(kStrOverwriteEntry, Icon::Information, Buttons::YesNo);
    question.detail = describe(*entryState_) + ". The new entry is about to be written on " +
                      "instrument " + connectedSerial_ + " (type " + kWritingType + ").";
    return s_.prompter.ask(question) == Answer::Yes;
}

bool CoefficientWriteWorkflow::basisAgreed() {
    beneath_.reset();
    beneathEntry_.clear();
    onTopOf_.clear();
    const std::vector<EntryRow> rows(view_.rows.begin(), view_.rows.begin() + view_.rowCount);
    const EntryBasis basis =
        findEntryBasis(rows, connectedSerial_, {s_.logbook, s_.files, s_.format, s_.strings});
    if (basis.held.empty()) return true;
    const EntriesApply applies = entriesApply(s_.profile, connectedSerial_);
    if (applies == EntriesApply::DoNotApply) {
        Message q = messageBox(kStrEntriesIgnored, Icon::Question, Buttons::YesNo);
        q.detail = describeHeld(basis);
        return s_.prompter.ask(q) == Answer::Yes;
    }
    if (!basis.lastFactors) {
        Message m = messageBox(kStrEntriesHeld, Icon::Information);
        m.detail = describeHeld(basis);
        s_.prompter.ask(m);
        return true;
    }
    return onTopAgreed(basis, applies);
}

bool CoefficientWriteWorkflow::onTopAgreed(const EntryBasis& basis, EntriesApply applies) {
    const HeldEntry& last = basis.held[*basis.last];
    const bool unknown = applies == EntriesApply::Unknown;
    Message m = unknown ? messageBox(kStrEntryBeneathQuestion, Icon::Question, Buttons::YesNo)
                        : messageBox(kStrOnTopOfEntry, Icon::Information);
    m.suffix = " " + describe(last);
    m.detail = describeHeld(basis);
    // Not knowing, the readings are taken as they are unless the operator says otherwise.
    if (s_.prompter.ask(m) != Answer::Yes && unknown) return true;
    beneath_ = basis.lastFactors;
    beneathEntry_ = last.row.number;
    return true;
}

WriteOutcome CoefficientWriteWorkflow::writeSelected() {
    EntryRow& row = view_.rows[view_.selected];
    // On top of the entry beneath: factors against the readings without it, so that the new
    // entry, which takes its place, gives its factors x the ratio measured now.
    ThreeAngles sample = s_.state.sampleSpectrum;
    if (beneath_) {
        sample = withoutFactors(sample, *beneath_);
        for (AngleSpectrum& angle : sample)
            angle.resize(std::min<std::size_t>(angle.size(), kSpectrumPoints));
    }
    const BlocksResult blocks = buildCoefficientBlocks(s_.state.targetSpectrum, sample);
    if (!blocks.ok()) {
        s_.prompter.ask(
            withSuffix(kStrFactorsRefused, Icon::Stop, "\n" + describe(*blocks.outOfRange)));
        return WriteOutcome::Stays;
    }
    const EntryContents contents{row.entry, writtenComment(view_.comment),
                                 entryTimeStamp(localTimeOf(s_.clock.calendarSeconds())),
                                 connectedSerial_, blocks.blocks};
    if (const auto why = unsendableSerial(contents.serial)) {
        s_.prompter.ask(withSuffix(kStrEntryNotWritten, Icon::Stop, " " + *why + "."));
        return WriteOutcome::Stays;
    }
    // Every command is built before the first one goes out.
    const EntryWritePlanResult planned = planEntryWrite(contents, !entryState_->free());
    if (!planned.plan) {
        s_.prompter.ask(withSuffix(kStrEntryNotWritten, Icon::Stop, " " + planned.refusal + "."));
        return WriteOutcome::Stays;
    }
    row.comment = view_.comment;
    row.unreadable.clear();
    const EntryWriteProgress progress = writeEntry(*s_.state.commPort, s_.clock, *planned.plan);
    if (progress.emptied) view_.deleteEnabled = false;
    if (!progress.complete()) {
        reportUnfinishedWrite(progress, contents);
        return WriteOutcome::Closes;
    }
    onTopOf_ = beneathEntry_;
    if (writeRecord) {
        recordFile_ = writeRecord(contents, sample);
        if (!recordFile_.ok()) reportUnsavedFile(s_.prompter, recordFile_);
    }
    CheckRecord written = entryRecord(s_, RecordKind::EntryWrite, contents.serial, kWritingType,
                                      contents.entry, contents.comment, recordFile_.path);
    // The instrument the factors bring this one onto: the entry's certificate looks for the
    // diagnosis of this pair.
    written.referenceSerial = s_.state.targetSerial;
    if (s_.logbook) s_.logbook->record(written);
    Message done = messageBox(kStrEntryWritten, Icon::Information);
    if (!onTopOf_.empty())
        done.suffix = " The factors were computed on top of entry " + onTopOf_ + "'s.";
    s_.prompter.ask(done);
    return WriteOutcome::Written;
}

void CoefficientWriteWorkflow::reportUnfinishedWrite(const EntryWriteProgress& p,
                                                     const EntryContents& contents) {
    s_.state.bConnected = false;
    EntryRow& row = view_.rows[view_.selected];
    const std::string failure = describe(p.failure);
    if (p.headerWritten) {
        // The instrument lists the entry under its new comment with factors missing.
        const std::string from = std::to_string(kAngleDegrees[p.blocksWritten]);
        Message m = withSuffix(kStrEntryIncomplete, Icon::Stop,
                               " " + from + "\xC2\xB0 on. Write the entry again, or delete it.");
        m.detail = failure;
        s_.prompter.ask(m);
        CheckRecord r = entryRecord(s_, RecordKind::EntryWrite, contents.serial, kWritingType,
                                    contents.entry, contents.comment);
        r.passed = false;  // on record as written, and as unusable
        if (s_.logbook) s_.logbook->record(r);
        return;
    }
    row.comment = p.emptied ? std::string() : entryState_->comment;
    row.unreadable = p.emptied          ? std::string()
                     : !p.emptying.ok() ? describe(p.emptying)
                                        : entryState_->reason;
    if (p.emptied) {
        // What the instrument held is gone although nothing new went in: on record as such.
        s_.prompter.ask(withSuffix(kStrEntryEmptied, Icon::Stop, " " + failure + "."));
        recordEntryChange(s_, RecordKind::EntryDeletion, contents.serial, kWritingType,
                          contents.entry, entryState_->comment);
        return;
    }
    if (p.emptying.ok()) {
        s_.prompter.ask(lostLinkMessage(p.failure));
        return;
    }
    // The old entry was to go first, and the instrument did not confirm that it went: what it
    // holds now is not known.
    Message m = withSuffix(kStrEntryNotWritten, Icon::Stop,
                           " " + failure +
                               ". The instrument did not confirm that the old entry "
                               "was deleted (" +
                               describe(p.emptying) +
                               "); list the entries to see "
                               "what it holds.");
    s_.prompter.ask(m);
}

bool CoefficientWriteWorkflow::beginDelete() {
    if (view_.selected < 0) {
        s_.prompter.ask(messageBox(kStrChooseFirst, Icon::Warning));
        return false;
    }
    return typeCheck();
}

void CoefficientWriteWorkflow::endDelete() {
    if (!s_.state.coeffEntryDeleted || view_.selected < 0) return;
    view_.rows[view_.selected].comment = " ";
    view_.rows[view_.selected].unreadable.clear();
    view_.deleteEnabled = false;
}

std::function<SavedFile(const EntryContents&, const ThreeAngles&)> recordFileHook(
    const Seams& seams) {
    return [seams](const EntryContents& c, const ThreeAngles& sample) {
        const SharedState& s = seams.state;
        const CoefficientRecord record{localTimeOf(seams.clock.calendarSeconds()),
                                       s.sampleSerial,
                                       c.comment,
                                       c.blocks,
                                       s.repeatSpectrum,
                                       s.targetSpectrum,
                                       sample};
        return writeRecordFile(seams.files, s.dataFolder(), record, seams.strings, seams.format);
    };
}

}  // namespace qv
