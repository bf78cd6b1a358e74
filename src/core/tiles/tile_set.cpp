#include "core/tiles/tile_set.h"

#include <algorithm>
#include <cctype>

#include "core/app/number_format.h"
#include "core/app/profile_store.h"
#include "core/app/thresholds.h"
#include "core/measure/average_workflow.h"

namespace qv {

namespace {

// The names are kept in one setting, joined by this character (which no name may hold).
constexpr char kJoin = '|';
constexpr std::size_t kLimitChars = 4;

bool allowedCharacter(unsigned char c) {
    if (c >= 0x80) return true;  // part of a UTF-8 letter
    if (std::isalnum(c)) return true;
    return std::string_view(" -_.()+/").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

// Characters, not bytes: a UTF-8 continuation byte does not start one.
std::size_t characters(std::string_view s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

TileSetProblem::Kind nameProblem(const std::string& name, bool mayBeEmpty) {
    using Kind = TileSetProblem::Kind;
    if (name.empty()) return mayBeEmpty ? Kind::None : Kind::EmptyName;
    if (characters(name) > kMaxTileNameChars) return Kind::LongName;
    // "---" is what the settings answer for a value never saved.
    if (name == kNotSet ||
        !std::all_of(name.begin(), name.end(), [](char c) { return allowedCharacter(c); }))
        return Kind::BadCharacter;
    return Kind::None;
}

std::optional<double> savedLimit(ProfileStore& profile, std::string_view key) {
    const std::string text = profile.read(key);
    if (text == kNotSet) return std::nullopt;
    return limitInput(text, '.');
}

}  // namespace

TileSet defaultTileSet() {
    return {"Default",
            {"white", "light grey", "mid grey", "dark grey", "black", "red", "yellow", "green",
             "blue"}};
}

TileSet trimmedTileSet(TileSet set) {
    set.name = trimmed(set.name);
    for (std::string& t : set.tiles) t = trimmed(t);
    return set;
}

TileSetProblem checkTileSet(const TileSet& raw) {
    using Kind = TileSetProblem::Kind;
    const TileSet set = trimmedTileSet(raw);
    if (nameProblem(set.name, true) != Kind::None) return {Kind::BadSetName};
    if (set.tiles.empty()) return {Kind::NoTiles};
    if (set.tiles.size() > kMaxTiles) return {Kind::TooManyTiles, kMaxTiles};
    for (std::size_t i = 0; i < set.tiles.size(); ++i) {
        const std::string& t = set.tiles[i];
        if (const Kind k = nameProblem(t, false); k != Kind::None) return {k, i};
        if (std::find(set.tiles.begin(), set.tiles.begin() + static_cast<long>(i), t) !=
            set.tiles.begin() + static_cast<long>(i))
            return {Kind::Duplicate, i};
    }
    return {};
}

std::string describe(const TileSetProblem& p, const TileSet& set) {
    using Kind = TileSetProblem::Kind;
    const std::string which = "tile " + std::to_string(p.tile + 1) +
                              (p.tile < set.tiles.size() && !set.tiles[p.tile].empty()
                                   ? " (\"" + set.tiles[p.tile] + "\")"
                                   : std::string());
    switch (p.kind) {
        case Kind::None:
            return {};
        case Kind::NoTiles:
            return "a tile set needs at least one tile";
        case Kind::TooManyTiles:
            return "a tile set holds at most " + std::to_string(kMaxTiles) + " tiles";
        case Kind::EmptyName:
            return which + " has no name";
        case Kind::LongName:
            return which + " has more than " + std::to_string(kMaxTileNameChars) + " characters";
        case Kind::BadCharacter:
            return which + ": a name holds letters, digits, blanks and - _ . ( ) + / only";
        case Kind::BadSetName:
            return "the set's name: at most " + std::to_string(kMaxTileNameChars) +
                   " letters, digits, blanks and - _ . ( ) + /";
        case Kind::Duplicate:
            return which + " is named twice";
    }
    return {};
}

TileSet tileSetFromProfile(ProfileStore& profile) {
    const std::string tiles = profile.read(key::kTileSetTiles);
    if (tiles == kNotSet) return defaultTileSet();
    TileSet set;
    set.name = profile.read(key::kTileSetName);
    if (set.name == kNotSet) set.name.clear();
    std::size_t start = 0;
    while (start <= tiles.size()) {
        const std::size_t end = std::min(tiles.find(kJoin, start), tiles.size());
        set.tiles.push_back(tiles.substr(start, end - start));
        start = end + 1;
    }
    return checkTileSet(set).ok() ? set : defaultTileSet();
}

bool saveTileSet(ProfileStore& profile, const TileSet& raw) {
    if (!checkTileSet(raw).ok()) return false;
    const TileSet set = trimmedTileSet(raw);
    std::string joined;
    for (const std::string& t : set.tiles) joined += (joined.empty() ? "" : "|") + t;
    profile.write(key::kTileSetName, set.name);
    profile.write(key::kTileSetTiles, joined);
    return true;
}

int readingsPerTileFromProfile(ProfileStore& profile) {
    const long kept = leadingInt(profile.read(key::kTileReadings));
    return kept >= 1 && kept <= kMaxAverageMeasurements ? static_cast<int>(kept) : 1;
}

void saveReadingsPerTile(ProfileStore& profile, int readings) {
    profile.write(key::kTileReadings,
                  std::to_string(std::clamp(readings, 1, kMaxAverageMeasurements)));
}

SetLimits setLimitsFromProfile(ProfileStore& profile) {
    SetLimits limits;
    if (auto v = savedLimit(profile, key::kTileMeanThreshold)) limits.meanThreshold = *v;
    if (auto v = savedLimit(profile, key::kTileLargestThreshold)) limits.largestThreshold = *v;
    limits.productTolerance = savedLimit(profile, key::kProductTolerance);
    return limits;
}

bool saveSetLimits(ProfileStore& profile, const SetLimits& limits) {
    if (!checkSetLimits(limits).ok()) return false;
    profile.write(key::kTileMeanThreshold, formatFixed(limits.meanThreshold, 2));
    profile.write(key::kTileLargestThreshold, formatFixed(limits.largestThreshold, 2));
    profile.write(key::kProductTolerance, limits.productTolerance
                                              ? formatFixed(*limits.productTolerance, 2)
                                              : std::string(kNotSet));
    return true;
}

std::optional<double> limitInput(std::string_view text, char decimal) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > kLimitChars || t.find_first_of("eE") != std::string::npos)
        return std::nullopt;
    const auto v = wholeNumber(t, decimal);
    if (!v || *v < kMinThreshold || *v > kMaxThreshold) return std::nullopt;
    return roundedToTwoDecimals(*v);
}

std::string limitFieldName(LimitField field) {
    switch (field) {
        case LimitField::Mean:
            return "Mean below";
        case LimitField::Largest:
            return "Largest below";
        case LimitField::ProductTolerance:
            return "Product tolerance";
    }
    return {};
}

LimitsProblem checkSetLimits(const SetLimits& limits) {
    using Kind = LimitsProblem::Kind;
    const auto isLimit = [](double v) { return limitInput(formatFixed(v, 2), '.').has_value(); };
    if (!isLimit(limits.meanThreshold)) return {Kind::NotALimit, LimitField::Mean};
    if (!isLimit(limits.largestThreshold)) return {Kind::NotALimit, LimitField::Largest};
    if (limits.productTolerance && !isLimit(*limits.productTolerance))
        return {Kind::NotALimit, LimitField::ProductTolerance};
    if (limits.meanThreshold > limits.largestThreshold)
        return {Kind::MeanAboveLargest, LimitField::Mean};
    return {};
}

std::string describe(const LimitsProblem& problem) {
    const std::string field = "\"" + limitFieldName(problem.field) + "\"";
    switch (problem.kind) {
        case LimitsProblem::Kind::None:
            return {};
        case LimitsProblem::Kind::NotALimit:
            return field + " takes a value from " + formatFixed(kMinThreshold, 2) + " to " +
                   formatFixed(kMaxThreshold, 2);
        case LimitsProblem::Kind::MeanAboveLargest:
            return field + " lies above \"" + limitFieldName(LimitField::Largest) +
                   "\": the mean of the differences never exceeds their largest. Lower the "
                   "mean limit or raise the largest";
    }
    return {};
}

LimitsReading readSetLimits(const TypedLimits& typed, char decimal) {
    using Kind = LimitsProblem::Kind;
    LimitsReading r;
    const auto mean = limitInput(typed.mean, decimal);
    if (!mean) return {{}, {Kind::NotALimit, LimitField::Mean}};
    const auto largest = limitInput(typed.largest, decimal);
    if (!largest) return {{}, {Kind::NotALimit, LimitField::Largest}};
    r.limits.meanThreshold = *mean;
    r.limits.largestThreshold = *largest;
    if (!trimmed(typed.tolerance).empty()) {
        r.limits.productTolerance = limitInput(typed.tolerance, decimal);
        if (!r.limits.productTolerance)
            return {{}, {Kind::NotALimit, LimitField::ProductTolerance}};
    }
    r.problem = checkSetLimits(r.limits);
    return r;
}

}  // namespace qv
