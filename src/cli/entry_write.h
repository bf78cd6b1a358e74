#pragma once

#include <optional>

#include "cli/session.h"
#include "core/measure/entries_apply.h"

namespace qv::cli {

struct EntryWrite {
    int code = kExitFailed;
    bool written = false;  // the entry holds the factors (also when the record file failed)
    // What the write changes in the readings, for the verification.
    std::optional<WrittenCorrection> correction;
};

// Writes the factors of the session's target and sample (and the sample's serial) into entry
// --entry of the connected instrument as the write dialog does, an occupied entry only with
// --yes, and leaves the record file. Factors from readings taken here stand on --basis when the
// instrument holds entries (without it nothing is written). Prints what was written.
EntryWrite writeIntoEntry(Session& s, const Seams& seams, const Options& o);

}  // namespace qv::cli
