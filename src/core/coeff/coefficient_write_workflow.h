#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/hold_back.h"
#include "core/app/seams.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_basis.h"
#include "core/coeff/entry_exchanges.h"
#include "core/coeff/entry_state.h"
#include "core/link/commands.h"
#include "core/measure/average_workflow.h"
#include "core/measure/entries_apply.h"

namespace qv {

// What the write dialog shows.
struct CoefficientWriteView {
    std::array<EntryRow, kLastEntry> rows{};
    int rowCount = 0;
    int selected = -1;
    std::string comment;     // the comment field
    CoordinateTexts sample;  // L*, a*, b* of the sample, [coordinate][angle]
    bool deleteEnabled = false;
    bool dataInvalid = false;
    // What the readings the factors correct passed through, as the operator said for this
    // connection ("entry 003"), or what the factors come from; empty before it is asked.
    std::string basis;
};

// How a write attempt ended for the dialog.
enum class WriteOutcome { Stays, Closes, Written };

// Writing correction factors into one of the instrument's entries: the entry list, the
// comment, the factors from the shared target and sample spectra, the four UCS commands and
// the record of what was written.
class CoefficientWriteWorkflow {
public:
    explicit CoefficientWriteWorkflow(const Seams& seams);

    // The identification before the list is read; false: the dialog closes (told already).
    bool open();
    // Rows as the entry-list worker hands them over, then its end.
    void addRow(const EntryRow& row);
    // False when the dialog closes (the list was stopped or the worker could not identify).
    bool listDone(bool stopped, const LinkError& listError);
    void select(int row);  // -1: none (the operator cleared the selection)
    void setComment(std::string comment) { view_.comment = std::move(comment); }
    WriteOutcome write();

    // Before the delete dialog opens for the selected entry: false when it may not.
    bool beginDelete();
    // After it: a deleted entry leaves a blank row.
    void endDelete();

    const CoefficientWriteView& view() const { return view_; }
    const SavedFile& recordFile() const { return recordFile_; }
    // What the selected entry held when the last write looked at it.
    const std::optional<EntryState>& entryState() const { return entryState_; }
    // The operator (or the command line without --yes) declined to overwrite it.
    bool declined() const { return declined_; }
    // The lab's check intervals held the instrument back and nobody gave a reason to go ahead
    // (the command line without --override): nothing was written.
    bool heldBack() const { return heldBack_; }
    // What the last write found overdue and why it went ahead all the same.
    const Clearance& lastClearance() const { return clearance_; }
    // What the readings passed through, as the command line's --basis gives it; without it the
    // operator is asked when the instrument holds entries.
    void giveBasis(const WriteBasis& basis) { givenBasis_ = basis; }
    // The instrument holds entries and nobody said what the readings passed through (the
    // command line without --basis): nothing was written.
    bool basisMissing() const { return basisMissing_; }
    // The entries the instrument held when the last write looked, in words.
    const std::string& heldEntries() const { return heldText_; }
    // Why no factors could be computed on top of the entry beneath; empty when they could.
    const std::string& basisRefusal() const { return basisRefusal_; }
    // What the last write changes in the readings, for the verification.
    const std::optional<WrittenCorrection>& written() const { return written_; }
    // The logbook's record of the last write, with its id; none when the logbook kept none.
    const std::optional<CheckRecord>& writeRecorded() const { return writeRecorded_; }
    // Runs when the view changed in the middle of a step, before a question is asked.
    std::function<void()> onViewChanged;
    // The entry the last write computed its factors on top of ("003"); empty when none.
    const std::string& onTopOf() const { return onTopOf_; }
    // The record file is written through this (the coefficient files know its layout), with
    // the sample the factors were computed from: recordFileHook unless replaced. A write leaves
    // no record file only where this is emptied on purpose.
    std::function<SavedFile(const EntryContents&, const ThreeAngles& sample)> writeRecord;

private:
    bool typeCheck();
    void reportLinkLost(const LinkError& error);
    void showSample();
    int preselectedRow() const;
    bool overwriteAgreed();
    // Looks at the entries the instrument holds and settles what the factors stand on; false
    // when nothing may be written (told already).
    bool basisSettled();
    std::optional<WriteBasis> basisAnswer(const EntryBasis& basis);
    std::optional<WriteBasis> askBasis(const EntryBasis& basis);
    void showBasis();
    std::optional<WrittenCorrection> writtenCorrection(const EntryContents& contents) const;
    WriteOutcome writeSelected();
    void reportUnfinishedWrite(const EntryWriteProgress& progress, const EntryContents& contents);

    Seams s_;
    CoefficientWriteView view_;
    std::string connectedSerial_;
    SavedFile recordFile_;
    std::optional<CheckRecord> writeRecorded_;
    std::optional<EntryState> entryState_;
    bool declined_ = false;
    bool heldBack_ = false;
    Clearance clearance_;
    bool heldAtOpening_ = false;
    std::optional<WriteBasis> givenBasis_;
    bool basisMissing_ = false;
    std::string basisRefusal_;
    std::string heldText_;
    // The factors of what the readings pass through (ones for none).
    std::optional<ThreeAngles> beneath_;
    std::string beneathEntry_, onTopOf_;
    std::optional<WrittenCorrection> written_;
};

// The record file of a write made through `seams`: the entry's contents with the shared
// state's series and target and the sample the factors came from, saved in the data folder at
// the clock's time.
std::function<SavedFile(const EntryContents&, const ThreeAngles&)> recordFileHook(
    const Seams& seams);

}  // namespace qv
