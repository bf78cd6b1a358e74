#pragma once

#include <QTextStream>
#include <optional>

#include "cli/session.h"
#include "core/measure/entries_apply.h"

namespace qv::cli {

struct EntryWrite {
    int code = kExitFailed;
    bool written = false;  // the entry holds the factors (also when the record file failed)
    // What the write changes in the readings, for the verification.
    std::optional<WrittenCorrection> correction;
    std::optional<CheckRecord> record;  // the write as the logbook keeps it
};

// Writes the factors of the session's target and sample (and the sample's serial) into entry
// --entry of the connected instrument as the write dialog does, an occupied entry only with
// --yes, and leaves the record file. Factors from readings taken here stand on --basis when the
// instrument holds entries (without it nothing is written). Prints what was written.
EntryWrite writeIntoEntry(Session& s, const Seams& seams, const Options& o);

// How far from its specimen the entry `write` holds, when the pair's diagnosis is on record;
// nothing otherwise (the certificate says why). Where the radius is not known, why.
void printValidity(const Seams& seams, const CheckRecord& write, QTextStream& out);

}  // namespace qv::cli
