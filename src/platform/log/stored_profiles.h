#pragma once

// The standardisation profiles a logbook keeps: each record with the file it names, read whole
// and checked against the digest the logbook took when it was recorded, so a profile file edited
// since is never applied. The standardise verb and the profiles window read them here.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/string_table.h"
#include "core/tiles/fleet_drift.h"
#include "core/tiles/profile_file.h"
#include "platform/log/logbook_store.h"

namespace qv {

struct StoredProfile {
    CheckRecord record;
    std::optional<ProfileFile> file;
    // Without the file, why not, in English.
    std::string problem;
    // Due before its date: the newest check against its master since it was made lands further
    // off through it than its residual allows (dueByCheck); empty when none does.
    std::string dueByCheck;
};

// Profile `id`, or with id 0 the newest of the instrument `serial`: nothing when the logbook has
// none (`why` says so); a profile of another instrument is refused the same way.
std::optional<StoredProfile> storedProfile(LogbookStore& logbook, FileStore& files,
                                           const StringTable& texts, std::int64_t id,
                                           const std::string& serial, std::string& why);

// Every profile of every instrument in the logbook, each instrument's newest first.
std::vector<StoredProfile> storedProfiles(LogbookStore& logbook, FileStore& files,
                                          const StringTable& texts);

// Whether a profile on record may be applied at `now`: its file read whole and unchanged, and
// neither past its date nor contradicted by a later check (due again).
enum class ProfileStatus { Current, Due, Unusable };
ProfileStatus profileStatus(const StoredProfile& profile, const LocalTime& now);

// The drift of each fleet between its two newest profilings, from the profiles that can be used.
std::vector<FleetDrift> storedDrifts(const std::vector<StoredProfile>& profiles);

}  // namespace qv
