#pragma once

// How often the lab wants each kind of check made on every instrument, set once for the whole
// lab and kept in the logbook, and how many days before a check falls due it shows as due soon.
// No interval is in force until the lab sets one, so a fresh logbook holds nothing back.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/logbook.h"

namespace qv {

enum class CheckKind {
    Calibration,
    Repeatability,
    InterInstrument,
    TileSet,
    Statement,
    Profile,
    CheckTile
};
inline constexpr int kCheckKindCount = 7;
inline constexpr std::array<CheckKind, kCheckKindCount> kCheckKinds = {
    CheckKind::Calibration, CheckKind::Repeatability, CheckKind::InterInstrument,
    CheckKind::TileSet,     CheckKind::Statement,     CheckKind::Profile,
    CheckKind::CheckTile};

// "calibration", "repeatability", "inter-instrument", "tile-set", "statement", "profile",
// "check-tile": as the
// logbook keeps it and the command line takes it, and back.
std::string_view checkKindName(CheckKind kind);
std::optional<CheckKind> checkKindFromName(std::string_view name);
// "white calibration", "repeatability check", "inter-instrument check", "tile set",
// "performance statement", "standardisation profile": as a sentence names it.
std::string_view checkKindWords(CheckKind kind);

// The kind of check a record counts as: an inter-instrument check and the verification after a
// write alike prove the pair's agreement. None for a write, a deletion and a series over many
// readings, which states a spread and no verdict.
std::optional<CheckKind> checkKindOf(RecordKind kind);

struct CheckInterval {
    std::optional<int> days;  // none: no interval in force
    int leadDays = 0;         // due soon from this many days before the due date
    bool operator==(const CheckInterval&) const = default;
};
using CheckIntervals = std::array<CheckInterval, kCheckKindCount>;
inline const CheckInterval& intervalOf(const CheckIntervals& all, CheckKind kind) {
    return all[static_cast<std::size_t>(kind)];
}

// What a lab is offered: a daily calibration, repeatability check and check tile (due soon only on
// the day it is due), the pair's agreement monthly, a tile set and a profile quarterly, a statement
// yearly; each lead a fraction of its interval.
CheckInterval suggestedInterval(CheckKind kind);

// Why the interval cannot be kept (days from 1 to kMaxLongTermDays, a lead from 0 to less than
// the days; no interval has no lead); empty when it can.
std::string whyNotInterval(const CheckInterval& interval);

struct IntervalSetting {
    CheckKind kind = CheckKind::Calibration;
    CheckInterval interval;
};
// "KIND=DAYS", "KIND=DAYS,lead=DAYS" or "KIND=none". Without a lead, the suggested one, kept
// below the days. Nothing, and `why`, for anything else.
std::optional<IntervalSetting> readIntervalSetting(std::string_view text, std::string& why);

}  // namespace qv
