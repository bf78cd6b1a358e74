#include "core/coeff/coefficient_write_workflow.h"

#include "core/app/hold_back.h"

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

CoefficientWriteWorkflow::CoefficientWriteWorkflow(const Seams& seams)
    : writeRecord(recordFileHook(seams)), s_(seams) {
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
    // The readings were taken before the list was read: an entry deleted from this dialog may
    // still be what they passed through.
    for (int i = 0; i < view_.rowCount; ++i)
        heldAtOpening_ = heldAtOpening_ || !normalisedComment(view_.rows[i].comment).empty() ||
                         !view_.rows[i].unreadable.empty();
    showBasis();
    if (view_.rowCount > 0) select(preselectedRow());
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

// The entry the readings passed through is never offered first: writing over the correction in
// use is a choice the operator makes, not a default. The first free entry is, and else the one
// after the entry in use; an entry that could not be read counts as held.
int CoefficientWriteWorkflow::preselectedRow() const {
    int inUse = -1;
    const auto& basis = s_.state.entryBasis;
    if (basis && basis->kind == WriteBasis::Kind::Entry &&
        s_.state.entryBasisSerial == s_.state.sampleSerial)
        for (int i = 0; i < view_.rowCount; ++i)
            if (view_.rows[i].entry == basis->entry) inUse = i;
    for (int i = 0; i < view_.rowCount; ++i)
        if (normalisedComment(view_.rows[i].comment).empty() && view_.rows[i].unreadable.empty())
            return i;
    if (inUse < 0) return 0;
    return view_.rowCount > 1 ? (inUse + 1) % view_.rowCount : -1;
}

void CoefficientWriteWorkflow::select(int row) {
    if (row >= view_.rowCount) return;
    view_.selected = row < 0 ? -1 : row;
    // An entry that could not be read may hold something: it may be emptied, with consent.
    view_.deleteEnabled = row >= 0 && (!normalisedComment(view_.rows[row].comment).empty() ||
                                       !view_.rows[row].unreadable.empty());
}

WriteOutcome CoefficientWriteWorkflow::write() {
    heldBack_ = false;
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
    // An instrument whose checks are overdue is not corrected on their strength, unless a
    // supervisor says why it should be; asked before anything goes to the instrument.
    clearance_ = clearance(s_.logbook, s_.prompter, connectedSerial_,
                           localTimeOf(s_.clock.calendarSeconds()));
    if (!clearance_.cleared) {
        heldBack_ = true;
        return WriteOutcome::Stays;
    }
    entryState_ = readEntryState(*s_.state.commPort, s_.clock, view_.rows[view_.selected].entry);
    // Consent to overwrite first; then what the factors stand on. A No leaves the dialog open
    // for another entry, with the comment as typed.
    if (!entryState_->free() && !overwriteAgreed()) {
        declined_ = true;
        return WriteOutcome::Stays;
    }
    if (!basisSettled()) return WriteOutcome::Stays;
    return writeSelected();
}

bool CoefficientWriteWorkflow::overwriteAgreed() {
    EntryRow& row = view_.rows[view_.selected];
    row.comment = entryState_->comment;
    row.unreadable = entryState_->reason;
    // The list shows what is about to be overwritten before the question is asked.
    if (onViewChanged) onViewChanged();
    Message question = messageBox(kStrOverwriteEntry, Icon::Question, Buttons::YesNo);
    question.detail = describe(*entryState_) + ". The new entry is about to be written on " +
                      "instrument " + connectedSerial_ + " (type " + kWritingType + ").";
    return s_.prompter.ask(question) == Answer::Yes;
}

bool CoefficientWriteWorkflow::basisSettled() {
    beneath_.reset();
    beneathEntry_.clear();
    onTopOf_.clear();
    basisMissing_ = false;
    basisRefusal_.clear();
    const BasisSources sources{s_.logbook, s_.files, s_.format, s_.strings};
    const std::vector<EntryRow> rows(view_.rows.begin(), view_.rows.begin() + view_.rowCount);
    const EntryBasis basis = findEntryBasis(rows, connectedSerial_, sources);
    heldText_ = describeHeld(basis);
    const std::optional<WriteBasis> answer = basisAnswer(basis);
    if (!answer) {
        basisMissing_ = true;
        return false;
    }
    BasisFactors f = basisFactors(basis, *answer, sources);
    if (!f.factors) {
        basisRefusal_ = f.refusal;
        Message m = withSuffix(kStrBasisNotKnown, Icon::Stop, " " + f.refusal);
        m.detail = describeHeld(basis);
        s_.prompter.ask(m);
        return false;
    }
    beneath_ = std::move(f.factors);
    if (answer->kind == WriteBasis::Kind::Entry)
        beneathEntry_ = basis.find(answer->entry)->row.number;
    const auto found = entriesApply(s_.profile, connectedSerial_);
    if (found && found->effect == EntryEffect::DoesNotApply && !basis.held.empty()) {
        // A consent, not a fact: the last write did not change the readings.
        Message q = messageBox(kStrEntriesIgnored, Icon::Question, Buttons::YesNo);
        q.detail = describe(*found) + "\n" + describeHeld(basis);
        if (s_.prompter.ask(q) != Answer::Yes) {
            declined_ = true;
            return false;
        }
    }
    return true;
}

std::optional<WriteBasis> CoefficientWriteWorkflow::basisAnswer(const EntryBasis& basis) {
    // Factors from a coefficient file (a sample without an instrument type) are written as the
    // file has them: they correct no readings taken here.
    if (s_.state.sampleType.empty()) return WriteBasis{WriteBasis::Kind::None, 0};
    if (givenBasis_) return givenBasis_;
    if (s_.state.entryBasis && s_.state.entryBasisSerial == connectedSerial_)
        return s_.state.entryBasis;
    if (basis.held.empty() && !heldAtOpening_) return WriteBasis{WriteBasis::Kind::None, 0};
    const std::optional<WriteBasis> asked = askBasis(basis);
    if (asked) {
        s_.state.entryBasis = asked;
        s_.state.entryBasisSerial = connectedSerial_;
        showBasis();
    }
    return asked;
}

std::optional<WriteBasis> CoefficientWriteWorkflow::askBasis(const EntryBasis& basis) {
    std::vector<std::string> choices{"none: the readings passed through no entry"};
    std::vector<WriteBasis> meaning{{WriteBasis::Kind::None, 0}};
    for (const HeldEntry& e : basis.held) {
        choices.push_back("entry " + describe(e));
        meaning.push_back({WriteBasis::Kind::Entry, e.row.entry});
    }
    choices.push_back("I do not know");
    meaning.push_back({WriteBasis::Kind::NotKnown, 0});
    Message q = messageBox(kStrWhichEntryApplies, Icon::Question, Buttons::OkCancel);
    q.suffix = " " + connectedSerial_ + ".";
    if (const auto found = entriesApply(s_.profile, connectedSerial_)) q.detail = describe(*found);
    const std::optional<std::size_t> chosen = s_.prompter.askChoice(q, choices);
    if (!chosen || *chosen >= meaning.size()) return std::nullopt;
    return meaning[*chosen];
}

void CoefficientWriteWorkflow::showBasis() {
    if (s_.state.sampleType.empty())
        view_.basis = "factors from a coefficient file, written as the file has them";
    else if (s_.state.entryBasis && s_.state.entryBasisSerial == s_.state.sampleSerial)
        view_.basis = "the readings passed through " + describe(*s_.state.entryBasis);
    else if (!heldAtOpening_)
        view_.basis = "the instrument holds no entry: the factors correct the readings as they are";
    else
        view_.basis = "which entry the readings passed through is asked before the write";
}

WriteOutcome CoefficientWriteWorkflow::writeSelected() {
    EntryRow& row = view_.rows[view_.selected];
    // On top of the entry beneath: factors against the readings without it, so that the new
    // entry, which takes its place, gives its factors x the ratio measured now.
    ThreeAngles sample = s_.state.sampleSpectrum;
    if (!beneathEntry_.empty()) {
        sample = withoutFactors(sample, *beneath_);
        for (AngleSpectrum& angle : sample)
            angle.resize(std::min<std::size_t>(angle.size(), kSpectrumPoints));
    }
    writeRecorded_.reset();
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
    written_ = writtenCorrection(contents);
    // The instrument changed: what its readings pass through is asked again.
    s_.state.entryBasis.reset();
    showBasis();
    if (writeRecord) {
        recordFile_ = writeRecord(contents, sample);
        if (!recordFile_.ok()) reportUnsavedFile(s_.prompter, recordFile_);
    }
    CheckRecord written = entryRecord(s_, RecordKind::EntryWrite, contents.serial, kWritingType,
                                      contents.entry, contents.comment, recordFile_.path);
    // The instrument the factors bring this one onto: the entry's certificate looks for the
    // diagnosis of this pair.
    written.referenceSerial = s_.state.targetSerial;
    written.factors = sentFactors(contents.blocks);
    markCleared(written, clearance_);
    written.id = s_.logbook ? s_.logbook->recordMarked(written) : 0;
    if (written.id != 0) writeRecorded_ = std::move(written);
    Message done = messageBox(kStrEntryWritten, Icon::Information);
    if (!onTopOf_.empty())
        done.suffix = " The factors were computed on top of entry " + onTopOf_ + "'s.";
    s_.prompter.ask(done);
    return WriteOutcome::Written;
}

std::optional<WrittenCorrection> CoefficientWriteWorkflow::writtenCorrection(
    const EntryContents& contents) const {
    auto now = factorsAt31(sentFactors(contents.blocks));
    if (!now || !beneath_) return std::nullopt;
    WrittenCorrection w{contents.entry, *now};
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            if ((*beneath_)[a][j] != 0.0) w.change[a][j] /= (*beneath_)[a][j];
    return w;
}

void CoefficientWriteWorkflow::reportUnfinishedWrite(const EntryWriteProgress& p,
                                                     const EntryContents& contents) {
    s_.state.bConnected = false;
    s_.state.entryBasis.reset();
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
        if (s_.logbook) s_.logbook->recordMarked(r);
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
