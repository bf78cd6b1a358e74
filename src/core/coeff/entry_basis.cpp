#include "core/coeff/entry_basis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/file_choice.h"
#include "core/files/coefficient_file.h"

namespace qv {

namespace {

// A write goes on record within moments of the time stamp it sends.
constexpr long long kSameWriteSeconds = 120;

long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

std::optional<long long> secondsOf(const LocalTime& t) {
    if (t.year <= 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0)
        return std::nullopt;
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600LL + t.minute * 60LL +
           t.second;
}

// "dd.mm.yyyy hh:mm:ss", as an entry keeps its time.
std::optional<long long> entrySeconds(const std::string& stamp) {
    LocalTime t;
    char tail = 0;
    if (std::sscanf(stamp.c_str(), "%d.%d.%d %d:%d:%d%c", &t.day, &t.month, &t.year, &t.hour,
                    &t.minute, &t.second, &tail) != 6)
        return std::nullopt;
    return secondsOf(t);
}

bool sameWrite(const EntryRow& row, const CheckRecord& r) {
    if (r.kind != RecordKind::EntryWrite || r.entry != row.entry || r.passed == false) return false;
    if (normalisedComment(r.comment) != normalisedComment(row.comment)) return false;
    const auto entry = entrySeconds(row.timeStamp);
    const auto recorded = secondsOf(r.time);
    return entry && recorded && std::llabs(*entry - *recorded) <= kSameWriteSeconds;
}

// The factors of a record file at 31 wavelengths: target / sample at the 16 written ones as
// the entry keeps them, interpolated linearly between.
std::optional<ThreeAngles> recordFactors(const CheckRecord& r, const BasisSources& s) {
    std::string text;
    if (r.files.empty() || !s.files.readAll(r.files.front(), kMaxChosenFileBytes, text))
        return std::nullopt;
    const CoefficientFileRead read = readCoefficientFile(text, s.format, s.strings);
    if (!read.accepted) return std::nullopt;
    const BlocksResult blocks = buildCoefficientBlocks(read.target, read.sample);
    if (!blocks.ok()) return std::nullopt;
    ThreeAngles f;
    for (int a = 0; a < kAngleCount; ++a) {
        // The instrument keeps each factor to two decimals, and applies them so.
        std::array<double, kBlockWavelengths> k{};
        for (int i = 0; i < kBlockWavelengths; ++i)
            k[i] = roundedToTwoDecimals(blocks.blocks[a][kBlockWavelengths + i]);
        f[a].resize(kSpectrumPoints);
        for (int j = 0; j < kSpectrumPoints; ++j)
            f[a][j] = j % 2 == 0 ? k[j / 2] : (k[j / 2] + k[j / 2 + 1]) / 2.0;
    }
    return f;
}

}  // namespace

EntryBasis findEntryBasis(const std::vector<EntryRow>& rows, const std::string& serial,
                          const BasisSources& sources) {
    EntryBasis basis;
    const auto occupied = [](const EntryRow& row) {
        return !normalisedComment(row.comment).empty() || !row.unreadable.empty();
    };
    // The instrument's history is read only when there is an entry to look it up for.
    if (std::none_of(rows.begin(), rows.end(), occupied)) return basis;
    const std::vector<CheckRecord> records =
        sources.logbook ? sources.logbook->records(serial) : std::vector<CheckRecord>{};
    std::optional<long long> lastTime;
    for (const EntryRow& row : rows) {
        if (!occupied(row)) continue;
        HeldEntry held{row, std::nullopt};
        // Newest first: the latest write of this entry at its time stamp.
        const auto it = std::find_if(records.begin(), records.end(),
                                     [&](const CheckRecord& r) { return sameWrite(row, r); });
        if (it != records.end()) held.written = *it;
        basis.held.push_back(held);
        const auto t = entrySeconds(row.timeStamp);
        if (t && row.serial == serial && (!lastTime || *t > *lastTime)) {
            lastTime = t;
            basis.last = basis.held.size() - 1;
        }
    }
    if (basis.last && basis.held[*basis.last].written)
        basis.lastFactors = recordFactors(*basis.held[*basis.last].written, sources);
    return basis;
}

std::string describe(const HeldEntry& e) {
    if (!e.row.unreadable.empty())
        return e.row.number + " (could not be read: " + e.row.unreadable + ")";
    std::string text = e.row.number + " \"" + normalisedComment(e.row.comment) + "\" (" +
                       (e.row.timeStamp.empty() ? std::string("no date") : e.row.timeStamp);
    return text + (e.written ? ", written by this program)" : ", not written by this program)");
}

std::string describeHeld(const EntryBasis& basis) {
    std::string text = "The instrument holds:";
    for (const HeldEntry& e : basis.held) text += "\n  entry " + describe(e);
    return text;
}

ThreeAngles withoutFactors(const ThreeAngles& sample, const ThreeAngles& factors) {
    ThreeAngles raw = sample;
    for (int a = 0; a < kAngleCount; ++a)
        for (std::size_t j = 0; j < raw[a].size() && j < factors[a].size(); ++j)
            if (factors[a][j] != 0.0) raw[a][j] /= factors[a][j];
    return raw;
}

}  // namespace qv
