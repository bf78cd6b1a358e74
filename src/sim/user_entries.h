#pragma once

// The instrument's 30 user-calibration entries and the state file that keeps them across runs.

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "core/colour/spectrum.h"

namespace qv::sim {

inline constexpr int kEntryCount = 30;
// Each block: 16 reflectances (%) at 400, 420, ..., 700 nm, then 16 factors.
inline constexpr int kBlockPoints = 16;
inline constexpr int kBlockValues = 2 * kBlockPoints;
inline constexpr std::size_t kMaxCommentChars = 16;
// Time stamp and serial of an entry.
inline constexpr std::size_t kMaxHeaderChars = 32;

struct UserEntry {
    bool written = false;  // a header (UCS,1) is stored
    std::string comment;
    std::string timeStamp;
    std::string serial;
    std::array<std::array<double, kBlockValues>, kAngleCount> blocks{};
    std::array<bool, kAngleCount> haveBlock{};
    std::uint64_t sequence = 0;  // larger = written later, within one instrument

    bool complete() const { return written && haveBlock[0] && haveBlock[1] && haveBlock[2]; }
    bool empty() const { return !written && !haveBlock[0] && !haveBlock[1] && !haveBlock[2]; }
};

using EntryTable = std::array<UserEntry, kEntryCount>;
// Entries of every instrument, by instrument name.
using EntryStore = std::map<std::string, EntryTable>;

// What reading a state file came to.
enum class StateLoad {
    Read,     // the whole file; a missing or empty file reads as an empty store
    Damaged,  // a state file with damaged lines: the rest was read, `error` says how many
    Refused,  // not a state file, or not readable: nothing read, and it must not be overwritten
};

// Reads a state file into `store`; `error` says what was wrong unless it was Read.
StateLoad loadState(const std::string& path, EntryStore& store, std::string& error);

// Writes the store to a temporary file beside `path` and renames it over `path`, so the file
// is always either the old or the new state.
bool saveState(const std::string& path, const EntryStore& store, std::string& error);

}  // namespace qv::sim
