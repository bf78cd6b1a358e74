#pragma once

// Whether an instrument's readings follow its user-calibration entries. How an instrument
// applies them (the one written last, one chosen on the instrument, none while the connection
// reset is in force) cannot be asked; the verification after a write shows it, and what it
// showed is kept per instrument for the corrections to come.

#include <array>
#include <optional>
#include <string>

#include "core/app/profile_store.h"
#include "core/colour/spectrum.h"

namespace qv {

enum class EntriesApply { Unknown, Apply, DoNotApply };

// As the verifications found it for the instrument `serial` (kept in the settings).
EntriesApply entriesApply(ProfileStore& profile, const std::string& serial);
void rememberEntriesApply(ProfileStore& profile, const std::string& serial, EntriesApply found);

// What a verification shows, from the colour differences to the reference per angle before
// the write, as predicted after it and as measured after it: the angle where the factors were
// to change most decides. Nothing when the expected change is within twice `noise` (nothing to
// tell by) or the readings moved part of the way.
std::optional<EntriesApply> judgeEntryEffect(const std::array<double, kAngleCount>& before,
                                             const std::array<double, kAngleCount>& predicted,
                                             const std::array<double, kAngleCount>& after,
                                             double noise);

}  // namespace qv
