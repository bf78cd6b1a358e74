#pragma once

#include <optional>
#include <string>

#include "core/app/seams.h"
#include "core/coeff/entry_state.h"
#include "core/link/identify.h"

namespace qv {

// Emptying one entry: the deletion dialog shows the entry and its comment and sends USD when
// the operator confirms there. A road without that dialog (the command line) reads the entry
// first and asks its question through the prompter. The outcome goes to the shared state for
// the write dialog.
class DeleteEntryWorkflow {
public:
    DeleteEntryWorkflow(const Seams& seams, int entry, std::string comment);

    // For a road without the deletion dialog: identifies the instrument (type 53 only) and reads
    // what the entry holds; false when the instrument may not be asked (told already).
    bool open();
    // For a road without the deletion dialog: the operator's consent to empty the entry read by
    // open(). A free entry loses nothing and needs none; any other is asked about.
    bool consent();
    // Sends USD (to a type-53 instrument only). True when the entry was deleted and the dialog
    // closes.
    bool confirm();
    void cancel();

    int entry() const { return entry_; }
    const std::string& comment() const { return comment_; }
    const std::optional<EntryState>& entryState() const { return state_; }

private:
    std::optional<IdentifyResult> identifyType53();

    Seams s_;
    int entry_;
    std::string comment_;
    std::optional<EntryState> state_;
};

}  // namespace qv
