#pragma once

// What new correction factors stand on. Factors computed from readings just taken correct
// those readings; when the readings passed through an entry, the new entry takes its place and
// must carry that entry's factors times the ratio measured now. Which entry (if any) the
// instrument applies cannot be read from it: the operator says so, and the answer is a fact
// about the readings, never a consent and never a guess. The factors of the entry beneath come
// from the logbook's record of its write, which keeps them as they were sent.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/shared_state.h"
#include "core/app/string_table.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_exchanges.h"
#include "core/colour/spectrum.h"

namespace qv {

// "none" or an entry number 1 to 30 ("3", "003"), as the command line takes it.
std::optional<WriteBasis> parseBasis(std::string_view text);
// "no entry", "entry 003", "not known".
std::string describe(const WriteBasis& basis);

// An occupied entry of the list and what the logbook knows of it: this program's complete
// write at the entry's own time stamp, or a write of ours that failed part way.
struct HeldEntry {
    EntryRow row;
    std::optional<CheckRecord> written;
    bool incomplete = false;
};

struct EntryBasis {
    std::vector<HeldEntry> held;
    const HeldEntry* find(int entry) const;
};

struct BasisSources {
    Logbook* logbook = nullptr;
    FileStore& files;
    const NumberFormat& format;
    const StringTable& strings;
};

EntryBasis findEntryBasis(const std::vector<EntryRow>& rows, const std::string& serial,
                          const BasisSources& sources);

// The factors per angle at 31 wavelengths (interpolated between the 16 written, as the
// instrument applies them) of what the readings passed through, or why they are not known.
// Basis none: all ones.
struct BasisFactors {
    std::optional<ThreeAngles> factors;
    std::string refusal;  // why no factors can be computed on top of it
};
BasisFactors basisFactors(const EntryBasis& basis, const WriteBasis& answer,
                          const BasisSources& sources);

// `003 "SILVER" (06.12.2026 05:28:35, L70S-000042, written by this program)`.
std::string describe(const HeldEntry& entry);
std::string describeHeld(const EntryBasis& basis);

// The 48 factors of an entry's blocks (16 per angle) at 31 wavelengths, linearly between the
// written ones; nothing unless there are 48.
std::optional<ThreeAngles> factorsAt31(const std::vector<double>& factors);
// The 48 factors of blocks (the second half of each), rounded as the instrument keeps them.
std::vector<double> sentFactors(const CoefficientBlocks& blocks);

// The readings as they would be without the entry's factors: sample / factors.
ThreeAngles withoutFactors(const ThreeAngles& sample, const ThreeAngles& factors);

}  // namespace qv
