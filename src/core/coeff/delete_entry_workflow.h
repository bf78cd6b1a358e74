#pragma once

#include <string>

#include "core/app/seams.h"

namespace qv {

// The confirmation before an entry is emptied: it shows the entry and its comment and sends
// USD when the operator confirms. The outcome goes to the shared state for the write dialog.
class DeleteEntryWorkflow {
public:
    DeleteEntryWorkflow(const Seams& seams, int entry, std::string comment);

    // True when the entry was deleted and the dialog closes.
    bool confirm();
    void cancel();

    int entry() const { return entry_; }
    const std::string& comment() const { return comment_; }

private:
    Seams s_;
    int entry_;
    std::string comment_;
};

}  // namespace qv
