#include "core/coeff/coefficient_write_workflow.h"

#include <cstdio>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/file_choice.h"
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
    view_.deleteEnabled = row >= 0 && !normalisedComment(view_.rows[row].comment).empty();
}

WriteOutcome CoefficientWriteWorkflow::write() {
    if (!typeCheck()) return WriteOutcome::Stays;
    if (view_.dataInvalid) {
        s_.prompter.ask(messageBox(kStrFactorsRefused, Icon::Stop));
        return WriteOutcome::Closes;
    }
    connectedSerial_ = connectedSerial(IdentifyInstrument(*s_.state.commPort, s_.clock));
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
    const int entry = view_.rows[view_.selected].entry;
    const ExchangeResult query = queryEntry(*s_.state.commPort, s_.clock, entry);
    if (query.reply.empty()) return WriteOutcome::Stays;
    return writeSelected(presentEntryComment(query.reply));
}

WriteOutcome CoefficientWriteWorkflow::writeSelected(const std::string& present) {
    EntryRow& row = view_.rows[view_.selected];
    if (!present.empty()) {
        row.comment = present;
        if (s_.prompter.ask(messageBox(kStrOverwriteEntry, Icon::Information, Buttons::YesNo)) ==
            Answer::No)
            return WriteOutcome::Closes;
    }
    const BlocksResult blocks =
        buildCoefficientBlocks(s_.state.targetSpectrum, s_.state.sampleSpectrum);
    if (!blocks.ok()) {
        s_.prompter.ask(
            withSuffix(kStrFactorsRefused, Icon::Stop, "\n" + describe(*blocks.outOfRange)));
        return WriteOutcome::Stays;
    }
    EntryContents contents{row.entry, writtenComment(view_.comment),
                           entryTimeStamp(localTimeOf(s_.clock.calendarSeconds())),
                           connectedSerial_, blocks.blocks};
    if (const auto why = unsendableSerial(contents.serial)) {
        s_.prompter.ask(withSuffix(kStrEntryNotWritten, Icon::Stop, " " + *why + "."));
        return WriteOutcome::Stays;
    }
    bool emptied = false;
    // The instrument takes a new entry only where none is; the old one goes first.
    if (!present.empty() && deleteEntry(*s_.state.commPort, s_.clock, row.entry).ok()) {
        row.comment.clear();
        view_.deleteEnabled = false;
        emptied = true;
    }
    row.comment = view_.comment;
    // Stamped when the entry is written, after any deletion.
    contents.timeStamp = entryTimeStamp(localTimeOf(s_.clock.calendarSeconds()));
    const LinkError written = writeEntry(*s_.state.commPort, s_.clock, contents);
    if (!written.ok()) {
        s_.state.bConnected = false;
        Message m = lostLinkMessage(written);
        if (emptied) {
            m = withSuffix(kStrEntryEmptied, Icon::Stop, " " + describe(written) + ".");
            // What the instrument held is gone although nothing new went in: on record as such.
            recordEntryChange(s_, RecordKind::EntryDeletion, contents.serial, kWritingType,
                              row.entry, present);
        }
        s_.prompter.ask(m);
        return WriteOutcome::Closes;
    }
    if (writeRecord) {
        recordFile_ = writeRecord(contents);
        if (!recordFile_.ok()) reportUnsavedFile(s_.prompter, recordFile_);
    }
    recordEntryChange(s_, RecordKind::EntryWrite, contents.serial, kWritingType, contents.entry,
                      contents.comment, recordFile_.path);
    s_.prompter.ask(messageBox(kStrEntryWritten, Icon::Information));
    return WriteOutcome::Written;
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
    view_.deleteEnabled = false;
}

}  // namespace qv
