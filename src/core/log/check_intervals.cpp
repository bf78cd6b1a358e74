#include "core/log/check_intervals.h"

#include <algorithm>

#include "core/log/performance_settings.h"

namespace qv {

namespace {

struct KindRow {
    CheckKind kind;
    std::string_view name;
    std::string_view words;
    CheckInterval suggested;
};

constexpr std::array<KindRow, kCheckKindCount> kRows = {{
    {CheckKind::Calibration, "calibration", "white calibration", {1, 0}},
    {CheckKind::Repeatability, "repeatability", "repeatability check", {1, 0}},
    {CheckKind::InterInstrument, "inter-instrument", "inter-instrument check", {30, 7}},
    {CheckKind::TileSet, "tile-set", "tile set", {90, 14}},
    {CheckKind::Statement, "statement", "performance statement", {365, 30}},
    {CheckKind::Profile, "profile", "standardisation profile", {90, 14}},
    {CheckKind::CheckTile, "check-tile", "check tile", {1, 0}},
}};

const KindRow& rowOf(CheckKind kind) {
    return kRows[static_cast<std::size_t>(kind)];
}

}  // namespace

std::string_view checkKindName(CheckKind kind) {
    return rowOf(kind).name;
}

std::string_view checkKindWords(CheckKind kind) {
    return rowOf(kind).words;
}

std::optional<CheckKind> checkKindFromName(std::string_view name) {
    for (const KindRow& row : kRows)
        if (row.name == name) return row.kind;
    return std::nullopt;
}

std::optional<CheckKind> checkKindOf(RecordKind kind) {
    switch (kind) {
        case RecordKind::Calibration:
            return CheckKind::Calibration;
        case RecordKind::Repeatability:
            return CheckKind::Repeatability;
        case RecordKind::InterInstrument:
        case RecordKind::Verification:
            return CheckKind::InterInstrument;
        case RecordKind::TileSet:
            return CheckKind::TileSet;
        case RecordKind::Statement:
            return CheckKind::Statement;
        case RecordKind::Profile:
            return CheckKind::Profile;
        case RecordKind::CheckTile:
            return CheckKind::CheckTile;
        case RecordKind::EntryWrite:
        case RecordKind::EntryDeletion:
        case RecordKind::ExtendedRepeatability:
            return std::nullopt;
    }
    return std::nullopt;
}

CheckInterval suggestedInterval(CheckKind kind) {
    return rowOf(kind).suggested;
}

std::string whyNotInterval(const CheckInterval& interval) {
    const std::string most = std::to_string(kMaxLongTermDays);
    if (!interval.days) return interval.leadDays == 0 ? std::string() : "no interval takes no lead";
    if (*interval.days < 1 || *interval.days > kMaxLongTermDays)
        return "an interval is a whole number of days from 1 to " + most;
    if (interval.leadDays < 0 || interval.leadDays >= *interval.days)
        return "the lead is a whole number of days from 0 to less than the interval";
    return {};
}

std::optional<IntervalSetting> readIntervalSetting(std::string_view text, std::string& why) {
    const auto equals = text.find('=');
    const auto kind = checkKindFromName(text.substr(0, equals));
    if (equals == std::string_view::npos || !kind) {
        why =
            "give KIND=DAYS[,lead=DAYS] or KIND=none, KIND one of calibration, "
            "repeatability, inter-instrument, tile-set, statement, profile";
        return std::nullopt;
    }
    const std::string_view value = text.substr(equals + 1);
    const auto comma = value.find(',');
    const std::string_view days = value.substr(0, comma);
    IntervalSetting out{*kind, {}};
    if (days == "none" && comma == std::string_view::npos) return out;
    const std::optional<int> d = daysInput(days);
    constexpr std::string_view kLead = "lead=";
    const std::string_view lead =
        comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    const bool leadWritten = lead.substr(0, kLead.size()) == kLead;
    const std::optional<int> l = leadWritten ? daysInput(lead.substr(kLead.size())) : std::nullopt;
    if (!d || (comma != std::string_view::npos && !l)) {
        why = std::string(text) + ": give DAYS and lead=DAYS as whole numbers of days";
        return std::nullopt;
    }
    out.interval = {*d, l ? *l : std::min(suggestedInterval(*kind).leadDays, std::max(*d - 1, 0))};
    why = whyNotInterval(out.interval);
    if (!why.empty()) {
        why = std::string(text) + ": " + why;
        return std::nullopt;
    }
    return out;
}

}  // namespace qv
