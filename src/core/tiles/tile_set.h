#pragma once

// A tile set: the named, ordered specimens an agreement between two instruments is judged
// over, and the limits the set is judged against, as the settings keep them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class ProfileStore;

inline constexpr std::size_t kMaxTiles = 24;
inline constexpr std::size_t kMaxTileNameChars = 24;

struct TileSet {
    std::string name;
    std::vector<std::string> tiles;
};

// White through greys to saturated colours, as instrument makers certify agreement.
TileSet defaultTileSet();

// Why a set cannot be kept. Names end up in CSV files and in the settings, so they hold
// letters, digits, blanks and - _ . ( ) + / (and any non-ASCII letter), nothing else; blanks
// around them do not count. The set's name may be empty.
struct TileSetProblem {
    enum class Kind {
        None,
        BadSetName,
        NoTiles,
        TooManyTiles,
        EmptyName,
        LongName,
        BadCharacter,
        Duplicate
    };
    Kind kind = Kind::None;
    std::size_t tile = 0;  // the offending tile's index
    bool ok() const { return kind == Kind::None; }
};
// The set with every name trimmed.
TileSet trimmedTileSet(TileSet set);
TileSetProblem checkTileSet(const TileSet& set);
// In English, naming the tile.
std::string describe(const TileSetProblem& problem, const TileSet& set);

// The kept set, or the default one when none is kept or the kept one breaks the rules.
TileSet tileSetFromProfile(ProfileStore& profile);
// False (nothing saved) when the set breaks the rules.
bool saveTileSet(ProfileStore& profile, const TileSet& set);

// How many readings a press in the tile window averages: 1 to 30, 1 when none is kept.
int readingsPerTileFromProfile(ProfileStore& profile);
void saveReadingsPerTile(ProfileStore& profile, int readings);

// The set passes when at every angle the mean and the largest colour difference lie below
// their thresholds. The product tolerance, when given, only puts the mean in proportion.
struct SetLimits {
    double meanThreshold = 0.3;
    double largestThreshold = 0.6;
    std::optional<double> productTolerance;
};
SetLimits setLimitsFromProfile(ProfileStore& profile);
// False (nothing saved) when a limit breaks the input rules below or the limits contradict
// each other.
bool saveSetLimits(ProfileStore& profile, const SetLimits& limits);

// A limit typed by the operator as the threshold dialog takes one: a whole number of at most
// four characters, the user's decimal separator or a point, from 0.01 to 5.00.
std::optional<double> limitInput(std::string_view text, char decimal);

// The three limits as the settings dialog labels them.
enum class LimitField { Mean, Largest, ProductTolerance };
std::string limitFieldName(LimitField field);

// Why limits cannot be kept, and which field is at fault. The mean of the differences never
// exceeds their largest, so a mean limit above the largest one says two things at once: the
// largest limit would always decide first.
struct LimitsProblem {
    enum class Kind { None, NotALimit, MeanAboveLargest };
    Kind kind = Kind::None;
    LimitField field = LimitField::Mean;
    bool ok() const { return kind == Kind::None; }
};
LimitsProblem checkSetLimits(const SetLimits& limits);
// In English, naming the field as the dialog labels it.
std::string describe(const LimitsProblem& problem);

// The limits as typed in the settings dialog; an empty tolerance means none.
struct TypedLimits {
    std::string mean;
    std::string largest;
    std::string tolerance;
};
struct LimitsReading {
    SetLimits limits;  // meaningful only when the problem is none
    LimitsProblem problem;
};
// Every field read as `limitInput` reads it, then the limits checked together; the first
// field at fault in the order of the dialog.
LimitsReading readSetLimits(const TypedLimits& typed, char decimal);

}  // namespace qv
