#pragma once

#include <array>
#include <string>

#include "core/app/file_store.h"
#include "core/app/string_table.h"
#include "core/measure/file_number.h"
#include "core/colour/spectrum.h"

namespace qv {

// String numbers of the repeatability result file.
inline constexpr int kStrResultFilePrefix = 186;
inline constexpr int kStrDateLabel = 187;
inline constexpr int kStrInstrumentLabel = 188;
inline constexpr int kStrFirstBlock = 189;
inline constexpr int kStrDeltaEColumn = 192;
inline constexpr int kStrSecondBlock = 191;
inline constexpr int kStrThirdBlock = 193;
inline constexpr int kStrCoordinate2Column = 215;
inline constexpr int kStrCoordinate3Column = 216;
inline constexpr int kStrCoordinate1Column = 217;

using RepeatSeries = std::array<AngleSpectrum, 9>;

// "20260314_091502": year, month, day, hour, minute, second.
std::string resultTimestamp(const LocalTime& time);

// String 186 + timestamp + ".csv".
std::string repeatabilityFileName(const StringTable& texts, const LocalTime& time);

// The file's text: header lines, then for each measurement a block header and its three angle
// rows (spectrum, coordinates and, for measurements 2 and 3, the total colour difference).
// Lines end in CR LF. A non-empty `deltaELabel` names the colour-difference formula in the
// heading of that column.
std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format,
                                    const std::string& deltaELabel = {});

// Writes the file into the data folder, complete or not at all. Returns its path, or empty
// when nothing was written (no data folder, or the save failed).
std::string writeRepeatabilityFile(FileStore& files, const std::string& dataFolder,
                                   const RepeatSeries& series, const std::string& instrumentId,
                                   const LocalTime& time, const StringTable& texts,
                                   const NumberFormat& format, const std::string& deltaELabel = {});

}  // namespace qv
