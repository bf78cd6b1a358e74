#pragma once

#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kProfileSection = "QV-L70s";
inline constexpr std::string_view kNotSet = "---";

// Per-user settings: text values by section and key. A key never written reads as
// the default the caller passes ("---" by convention, meaning "not set").
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual std::string read(std::string_view section, std::string_view key,
                             std::string_view fallback) = 0;
    virtual void write(std::string_view section, std::string_view key, std::string_view value) = 0;

    std::string read(std::string_view key) { return read(kProfileSection, key, kNotSet); }
    void write(std::string_view key, std::string_view value) { write(kProfileSection, key, value); }
};

// Profile keys, all in section "QV-L70s".
namespace key {
inline constexpr std::string_view kComPort = "ComPort";
inline constexpr std::string_view kBaudRate = "BaudRate";
inline constexpr std::string_view kDataLength = "DataLength";
inline constexpr std::string_view kParity = "Parity";
inline constexpr std::string_view kStopBits = "StopBits";
inline constexpr std::string_view kCoeffFilePath = "COEFF_FILE_PATH";
inline constexpr std::string_view kFileRegPath = "FILE_REG_PATH";
inline constexpr std::string_view kInstThreshold = "INST_THLD_VAL";
inline constexpr std::string_view kDefThreshold = "DEF_THLD_VAL";
inline constexpr std::string_view kDeltaEFormula = "DELTA_E_FORMULA";
// The tile set: its name, the tile names joined by '|', the set's two thresholds and the
// product tolerance the mean is put in proportion to.
inline constexpr std::string_view kTileSetName = "TILE_SET_NAME";
inline constexpr std::string_view kTileSetTiles = "TILE_SET_TILES";
inline constexpr std::string_view kTileMeanThreshold = "TILE_MEAN_THLD_VAL";
inline constexpr std::string_view kTileLargestThreshold = "TILE_MAX_THLD_VAL";
inline constexpr std::string_view kProductTolerance = "PRODUCT_TOLERANCE";
// How many readings one press in the tile window averages.
inline constexpr std::string_view kTileReadings = "TILE_READINGS";
}  // namespace key

}  // namespace qv
