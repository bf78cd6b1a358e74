#include "core/app/logbook.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/app/number_format.h"

namespace qv {

namespace {
constexpr std::array<std::pair<RecordKind, std::string_view>, 9> kNames = {{
    {RecordKind::Repeatability, "repeatability"},
    {RecordKind::InterInstrument, "inter-instrument"},
    {RecordKind::Verification, "verification"},
    {RecordKind::EntryWrite, "entry-write"},
    {RecordKind::EntryDeletion, "entry-deletion"},
    {RecordKind::TileSet, "tile-set"},
    {RecordKind::ExtendedRepeatability, "extended-repeatability"},
    {RecordKind::Calibration, "calibration"},
    {RecordKind::Statement, "statement"},
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

}  // namespace qv
