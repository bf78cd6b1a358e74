#pragma once

// Whether an instrument's readings follow the entry just written. How an instrument applies its
// entries (the one written last, one chosen on the instrument, none while the connection reset
// is in force) cannot be asked; the verification after a write shows it for that write, and
// what it showed is kept per instrument, dated, for the operator to see when next asked what
// the readings pass through.

#include <optional>
#include <string>
#include <vector>

#include "core/app/local_time.h"
#include "core/app/profile_store.h"
#include "core/colour/spectrum.h"

namespace qv {

// What a write changes in the readings: per angle at 31 wavelengths, the factors in force from
// now on over those the readings passed through before (new / beneath).
struct WrittenCorrection {
    int entry = 0;
    ThreeAngles change;
};

enum class EntryEffect { Applies, DoesNotApply, CannotTell };

// The readings of the same specimens before and after the write (one ThreeAngles per
// specimen), their signed change at each wavelength set against the change the factors
// predict (before x (change - 1)), angle by angle. Applies when every angle that can tell
// changed as predicted; does not apply when none moved; cannot tell otherwise (too little
// predicted change against the readings' own noise, or readings that moved another way, such as
// an over-correction).
EntryEffect judgeEntryEffect(const std::vector<ThreeAngles>& before,
                             const std::vector<ThreeAngles>& after,
                             const WrittenCorrection& written);

// What the verification after the instrument's last write found, and when.
struct EntriesApplyFinding {
    EntryEffect effect = EntryEffect::CannotTell;
    int entry = 0;
    std::string when;  // "09.12.2026 10:33"
};
std::optional<EntriesApplyFinding> entriesApply(ProfileStore& profile, const std::string& serial);
void rememberEntriesApply(ProfileStore& profile, const std::string& serial, EntryEffect found,
                          int entry, const LocalTime& when);
// "the verification of 09.12.2026 10:33 found that entry 004 applies".
std::string describe(const EntriesApplyFinding& finding);

}  // namespace qv
