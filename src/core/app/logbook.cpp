#include "core/app/logbook.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/app/number_format.h"

namespace qv {

namespace {
constexpr std::array<RecordKindRow, 11> kRecordKinds = {{
    {RecordKind::Repeatability, "repeatability", "Repeatability", "Repeatability check", false,
     TrendKind::Repeatability},
    {RecordKind::InterInstrument, "inter-instrument", "Inter-instrument", "Inter-instrument check",
     true, TrendKind::InterInstrument},
    {RecordKind::Verification, "verification", "Verification", "Verification of a user calibration",
     true, TrendKind::InterInstrument},
    {RecordKind::EntryWrite, "entry-write", "Entry written", "User calibration entry written",
     false, std::nullopt},
    {RecordKind::EntryDeletion, "entry-deletion", "Entry deleted", "User calibration entry deleted",
     false, std::nullopt},
    {RecordKind::TileSet, "tile-set", "Tile set", "Tile set check", false, TrendKind::TileSet},
    {RecordKind::ExtendedRepeatability, "extended-repeatability", "Repeatability (extended)",
     "Repeatability over many readings", false, std::nullopt},
    {RecordKind::Calibration, "calibration", "White calibration", "White calibration", false,
     std::nullopt},
    {RecordKind::Statement, "statement", "Statement issued", "Performance statement issued", false,
     std::nullopt},
    {RecordKind::Profile, "profile", "Profile", "Standardisation profile", false, std::nullopt},
    {RecordKind::CheckTile, "check-tile", "Check tile", "Check tile against its certificate", false,
     TrendKind::CheckTile},
}};
}  // namespace

const RecordKindRow& kindRow(RecordKind kind) {
    for (const RecordKindRow& row : kRecordKinds)
        if (row.kind == kind) return row;
    // Every kind has its row; an out-of-range value reads as the first.
    return kRecordKinds.front();
}

std::string_view kindName(RecordKind kind) {
    return kindRow(kind).key;
}

std::optional<RecordKind> kindFromName(std::string_view name) {
    for (const RecordKindRow& row : kRecordKinds)
        if (row.key == name) return row.kind;
    return std::nullopt;
}

CheckRecord emptyRecord(RecordKind kind, const LocalTime& time) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    CheckRecord r;
    r.kind = kind;
    r.time = time;
    r.threshold = kNone;
    for (AngleRecord& a : r.angles)
        a = {{kNone, kNone, kNone}, kNone, kNone, {kNone, kNone, kNone}, kNone, kNone};
    return r;
}

std::string factorsText(const std::vector<double>& factors) {
    std::string text;
    for (double f : factors) {
        if (!text.empty()) text += ' ';
        std::string one = instrumentNumber(f);
        text += one.substr(one.find_first_not_of(' '));
    }
    return text;
}

std::vector<double> factorsFromText(std::string_view text) {
    std::vector<double> out;
    while (!text.empty()) {
        const std::size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        const std::size_t end = std::min(text.find(' '), text.size());
        double v = 0.0;
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + end, v);
        if (ec != std::errc() || ptr != text.data() + end || !std::isfinite(v) ||
            out.size() == kRecordFactorCount)
            return {};
        out.push_back(v);
        text.remove_prefix(end);
    }
    return out.size() == kRecordFactorCount ? out : std::vector<double>{};
}

std::string overdueText(const std::vector<std::string>& reasons) {
    std::string out;
    for (std::size_t i = 0; i < reasons.size(); ++i) out += (i ? "; " : "") + reasons[i];
    return out;
}

std::int64_t Logbook::recordMarked(CheckRecord record) {
    if (record.overdue.empty())
        record.overdue = overdueText(overdueChecks(record.serial, record.time));
    return this->record(record);
}

}  // namespace qv
