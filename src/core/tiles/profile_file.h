#pragma once

// A standardisation profile as a file: what the logbook's profile record points at, and what
// `standardise` applies. The file is the profile whole (both stages of every angle and how well
// it predicts colours left out of its fit); the record keeps its digest, so a file changed
// after it was recorded is known. English keys, as the tile set's file.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/files/file_lines.h"
#include "core/tiles/profile.h"

namespace qv {

namespace profile_key {
inline constexpr std::string_view kVersion = "Profile version";
inline constexpr std::string_view kInstrument = "Instrument";
inline constexpr std::string_view kMaster = "Master";
inline constexpr std::string_view kSet = "Tile set";
inline constexpr std::string_view kSetRecord = "Tile-set record";
inline constexpr std::string_view kValidUntil = "Valid until";
}  // namespace profile_key

// A reader of a later layout would misread this one: the version is written and checked.
// Version 2 adds the tiles the profile was fitted on; version 1 files are still read.
inline constexpr int kProfileFileVersion = 2;
// More tiles than any set holds: a file claiming more is not read.
inline constexpr std::size_t kMaxProfileFileTiles = 100;
// How long a profile stands before it is due again, unless the lab says otherwise.
inline constexpr int kProfileValidDays = 90;

// A virtual master is the fleet's mean: no serial, the number of instruments behind it.
std::string virtualMasterName(int instruments);
bool isVirtualMaster(std::string_view master);

struct ProfileFile {
    LocalTime time;  // made
    std::string serial;
    std::string master;  // its serial, or virtualMasterName(N)
    std::string setName;
    std::int64_t setRecord = 0;  // the tile-set record it was fitted on; 0 when not recorded
    LocalTime validUntil;
    Profile profile;
    // The tiles it was fitted on, as the master (target) and the instrument (sample) read them,
    // so that the next profiling shows how the readings of the same tiles moved; none in a
    // version 1 file.
    std::vector<std::string> tileNames{};
    std::vector<TileSpectra> tiles{};
};

// The header (date, version, instrument, master, set, its record, valid until), a blank line,
// one row per angle (ridge, held-out residual mean and 95th percentile, tiles, unseen terms),
// a blank line, one row per angle and term (value, standard error, identified), a blank line,
// per angle the affine stage's offsets and slopes at the 31 wavelengths, a blank line, and per
// tile and angle its two readings (master, instrument). A value that is not finite is written
// "---" (a ridge so: the stage is off).
std::string formatProfileFile(const ProfileFile& file, const NumberFormat& format);
SavedFile writeProfileFile(FileStore& files, const std::string& folder, const ProfileFile& file,
                           const NumberFormat& format);

bool isProfileFile(const CsvTable& head, const StringTable& texts);
FileRead<ProfileFile> readProfileFile(std::string_view text, const NumberFormat& format,
                                      const StringTable& texts, const CsvLimits& limits = {});

// The logbook's record of a profile: per angle the held-out residual (mean as the difference,
// 95th percentile as the largest), the tiles behind it, the master as the reference, and in the
// comment the set, its record and the date the profile stands until. The terms and the stage
// stay in the file.
CheckRecord profileRecord(const ProfileFile& file, const std::string& path);

}  // namespace qv
