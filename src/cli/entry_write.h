#pragma once

#include "cli/session.h"

namespace qv::cli {

struct EntryWrite {
    int code = kExitFailed;
    bool written = false;  // the entry holds the factors (also when the record file failed)
};

// Writes the factors of the session's target and sample (and the sample's serial) into entry
// --entry of the connected instrument as the write dialog does, an occupied entry only with
// --yes, and leaves the record file. Prints what was written.
EntryWrite writeIntoEntry(Session& s, const Seams& seams, const Options& o);

}  // namespace qv::cli
