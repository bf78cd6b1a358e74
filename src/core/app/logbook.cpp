#include "core/app/logbook.h"

#include <limits>

namespace qv {

namespace {
constexpr std::array<std::pair<RecordKind, std::string_view>, 7> kNames = {{
    {RecordKind::Repeatability, "repeatability"},
    {RecordKind::InterInstrument, "inter-instrument"},
    {RecordKind::Verification, "verification"},
    {RecordKind::EntryWrite, "entry-write"},
    {RecordKind::EntryDeletion, "entry-deletion"},
    {RecordKind::TileSet, "tile-set"},
    {RecordKind::ExtendedRepeatability, "extended-repeatability"},
}};
}  // namespace

std::string_view kindName(RecordKind kind) {
    for (const auto& [k, name] : kNames)
        if (k == kind) return name;
    return {};
}

std::optional<RecordKind> kindFromName(std::string_view name) {
    for (const auto& [k, n] : kNames)
        if (n == name) return k;
    return std::nullopt;
}

CheckRecord emptyRecord(RecordKind kind, const LocalTime& time) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    CheckRecord r;
    r.kind = kind;
    r.time = time;
    r.threshold = kNone;
    for (AngleRecord& a : r.angles) a = {{kNone, kNone, kNone}, kNone, kNone, {kNone, kNone, kNone}, kNone, kNone};
    return r;
}

}  // namespace qv
