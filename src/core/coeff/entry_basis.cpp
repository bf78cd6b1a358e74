#include "core/coeff/entry_basis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/file_choice.h"
#include "core/files/coefficient_file.h"
#include "core/link/commands.h"

namespace qv {

namespace {

// A write goes on record within moments of the time stamp it sends.
constexpr long long kSameWriteSeconds = 120;

std::optional<long long> secondsOf(const LocalTime& t) {
    if (t.year <= 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0)
        return std::nullopt;
    return daysFromCivil(t) * 86400 + t.hour * 3600LL + t.minute * 60LL + t.second;
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

// A write of ours at the entry's time stamp, under its number and comment; `complete`: one that
// sent every block (an incomplete one is on record as not passed).
bool sameWrite(const EntryRow& row, const CheckRecord& r, bool complete) {
    if (r.kind != RecordKind::EntryWrite || r.entry != row.entry) return false;
    if (complete != (r.passed != false)) return false;
    if (normalisedComment(r.comment) != normalisedComment(row.comment)) return false;
    const auto entry = entrySeconds(row.timeStamp);
    const auto recorded = secondsOf(r.time);
    return entry && recorded && std::llabs(*entry - *recorded) <= kSameWriteSeconds;
}

// The 48 factors of a record written before the logbook kept them, from its record file:
// target / sample at the 16 written wavelengths, as the entry keeps them.
std::vector<double> recordFileFactors(const CheckRecord& r, const BasisSources& s) {
    std::string text;
    if (r.files.empty() || !s.files.readAll(r.files.front(), kMaxChosenFileBytes, text)) return {};
    const CoefficientFileRead read = readCoefficientFile(text, s.format, s.strings);
    if (!read.accepted) return {};
    const BlocksResult blocks = buildCoefficientBlocks(read.target, read.sample);
    return blocks.ok() ? sentFactors(blocks.blocks) : std::vector<double>{};
}

bool occupied(const EntryRow& row) {
    return !normalisedComment(row.comment).empty() || !row.unreadable.empty();
}

const std::string kMeasureWithout =
    " Have the instrument apply no entry (choose none on the instrument, or delete its entries), "
    "measure the specimen again, and say that the readings passed through no entry.";

}  // namespace

const HeldEntry* EntryBasis::find(int entry) const {
    for (const HeldEntry& e : held)
        if (e.row.entry == entry) return &e;
    return nullptr;
}

std::optional<WriteBasis> parseBasis(std::string_view text) {
    if (text == "none") return WriteBasis{WriteBasis::Kind::None, 0};
    int n = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || n < 1 ||
        n > kLastEntry)
        return std::nullopt;
    return WriteBasis{WriteBasis::Kind::Entry, n};
}

std::string describe(const WriteBasis& b) {
    switch (b.kind) {
        case WriteBasis::Kind::None:
            return "no entry";
        case WriteBasis::Kind::Entry:
            return "entry " + entryNumberText(b.entry).value_or(std::to_string(b.entry));
        case WriteBasis::Kind::NotKnown:
            break;
    }
    return "not known";
}

EntryBasis findEntryBasis(const std::vector<EntryRow>& rows, const std::string& serial,
                          const BasisSources& sources) {
    EntryBasis basis;
    // The instrument's history is read only when there is an entry to look it up for.
    if (std::none_of(rows.begin(), rows.end(), occupied)) return basis;
    const std::vector<CheckRecord> records =
        sources.logbook ? sources.logbook->records(serial) : std::vector<CheckRecord>{};
    for (const EntryRow& row : rows) {
        if (!occupied(row)) continue;
        HeldEntry held{row, std::nullopt, false};
        // Newest first: the latest write of this entry at its time stamp.
        for (const CheckRecord& r : records) {
            if (sameWrite(row, r, false)) {
                held.incomplete = true;
                break;
            }
            if (sameWrite(row, r, true)) {
                held.written = r;
                break;
            }
        }
        basis.held.push_back(held);
    }
    return basis;
}

BasisFactors basisFactors(const EntryBasis& basis, const WriteBasis& answer,
                          const BasisSources& sources) {
    if (answer.kind == WriteBasis::Kind::None) {
        ThreeAngles ones;
        for (AngleSpectrum& a : ones) a.assign(kSpectrumPoints, 1.0);
        return {ones, {}};
    }
    if (answer.kind == WriteBasis::Kind::NotKnown)
        return {std::nullopt,
                "Which entry the readings passed through is not known." + kMeasureWithout};
    const std::string name = describe(answer);
    const std::string atStart = "E" + name.substr(1);  // "Entry 003", opening a sentence
    const HeldEntry* e = basis.find(answer.entry);
    if (!e || !e->row.unreadable.empty())
        return {std::nullopt,
                "The instrument does not list " + name + " as holding factors." + kMeasureWithout};
    if (e->incomplete)
        return {std::nullopt, atStart +
                                  " is incomplete: a write of this program failed part way, "
                                  "so what the instrument applies through it is not known. "
                                  "Write it again or delete it." +
                                  kMeasureWithout};
    if (!e->written)
        return {std::nullopt, atStart +
                                  " was not written by this program (or its write is not in "
                                  "this logbook): its factors are not known." +
                                  kMeasureWithout};
    std::vector<double> sent = e->written->factors;
    if (sent.empty()) sent = recordFileFactors(*e->written, sources);
    auto factors = factorsAt31(sent);
    if (!factors)
        return {std::nullopt, "The factors of " + name + " are not on record." + kMeasureWithout};
    return {std::move(factors), {}};
}

std::optional<ThreeAngles> factorsAt31(const std::vector<double>& k) {
    if (k.size() != kRecordFactorCount) return std::nullopt;
    ThreeAngles f;
    for (int a = 0; a < kAngleCount; ++a) {
        const double* at = &k[static_cast<std::size_t>(a * kBlockWavelengths)];
        f[a].resize(kSpectrumPoints);
        for (int j = 0; j < kSpectrumPoints; ++j)
            f[a][j] = j % 2 == 0 ? at[j / 2] : (at[j / 2] + at[j / 2 + 1]) / 2.0;
    }
    return f;
}

std::vector<double> sentFactors(const CoefficientBlocks& blocks) {
    std::vector<double> out;
    for (const CoefficientBlock& block : blocks)
        for (int i = 0; i < kBlockWavelengths; ++i)
            // The instrument keeps each factor to two decimals, and applies them so.
            out.push_back(block.size() == 2 * kBlockWavelengths
                              ? roundedToTwoDecimals(block[kBlockWavelengths + i])
                              : std::nan(""));
    return out;
}

std::string describe(const HeldEntry& e) {
    if (!e.row.unreadable.empty())
        return e.row.number + " (could not be read: " + e.row.unreadable + ")";
    std::string text = e.row.number + " \"" + normalisedComment(e.row.comment) + "\" (" +
                       (e.row.timeStamp.empty() ? std::string("no date") : e.row.timeStamp);
    if (!e.row.serial.empty()) text += ", " + e.row.serial;
    return text + (e.incomplete ? ", incomplete write of this program)"
                   : e.written  ? ", written by this program)"
                                : ", not written by this program)");
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
