#pragma once

// What new correction factors stand on. An instrument under correction often holds entries
// already; before a write the program looks at the entries held, and where the readings pass
// through an entry this program wrote (see entries_apply.h), new factors are computed on top of
// that entry's (new = its factors x the ratio measured now), since the new entry takes its
// place.

#include <optional>
#include <string>
#include <vector>

#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/coeff/entry_exchanges.h"
#include "core/colour/spectrum.h"
#include "core/measure/entries_apply.h"

namespace qv {

// An occupied entry of the list, and whether this program wrote it (its write on record in
// the logbook, under the same number and comment, at the entry's own time stamp).
struct HeldEntry {
    EntryRow row;
    std::optional<CheckRecord> written;
};

struct EntryBasis {
    std::vector<HeldEntry> held;
    // The complete entry written last for the instrument (by its time stamp), index into held.
    std::optional<std::size_t> last;
    // Its factors per angle at 31 wavelengths (interpolated between the 16 written, as the
    // instrument does), when this program wrote it and its record file reads whole.
    std::optional<ThreeAngles> lastFactors;
};

struct BasisSources {
    Logbook* logbook = nullptr;
    FileStore& files;
    const NumberFormat& format;
    const StringTable& strings;
};

EntryBasis findEntryBasis(const std::vector<EntryRow>& rows, const std::string& serial,
                          const BasisSources& sources);

// `003 "SILVER" (06.12.2026 05:28:35, written by this program)`, one line per entry held.
std::string describe(const HeldEntry& entry);
std::string describeHeld(const EntryBasis& basis);

// The readings as they would be without the entry's factors: sample / factors.
ThreeAngles withoutFactors(const ThreeAngles& sample, const ThreeAngles& factors);

}  // namespace qv
