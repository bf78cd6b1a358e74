#pragma once

#include <array>
#include <string>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
#include "core/files/file_lines.h"

namespace qv {

using RepeatSeries = std::array<AngleSpectrum, 9>;

// The file's text: header lines, then for each measurement a block header and its three angle
// rows (spectrum, coordinates and, for measurements 2 and 3, the total colour difference).
// Lines end in CR LF. A non-empty `deltaELabel` names the colour-difference formula in the
// heading of that column.
// A copy standardised to the master says so on line 3 (blank in readings as taken):
// `standardisedBy` names the profile.
std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format, const std::string& deltaELabel = {},
                                    const std::string& standardisedBy = {});

// Writes the file into the data folder, complete or not at all, never over an earlier one.
// Returns its path, or empty when nothing was written (no data folder, or the save failed).
std::string writeRepeatabilityFile(FileStore& files, const std::string& dataFolder,
                                   const RepeatSeries& series, const std::string& instrumentId,
                                   const LocalTime& time, const StringTable& texts,
                                   const NumberFormat& format, const std::string& deltaELabel = {});

// Where the file has what: the serial under the date, the three blocks' headings (each followed
// by its 25°, 45° and 75° rows), the last line.
namespace repeatability_layout {
inline constexpr std::size_t kSerialLine = 2;
inline constexpr std::size_t kStandardisedLine = 3;
inline constexpr std::array<std::size_t, 3> kBlockHeadings = {5, 9, 13};
inline constexpr std::size_t kLastLine = 16;
}  // namespace repeatability_layout

// The file's contents: the series as it was written (per row the 31 reflectances, then the
// coordinates and, in measurements 2 and 3, the colour difference).
struct RepeatabilityFile {
    LocalTime time;
    std::string serial;
    std::string formula;  // named in the colour-difference heading; empty when not
    RepeatSeries series;
    std::string standardisedBy;  // a copy standardised to the master: its profile
};

// Its first lines: the instrument's serial under the date and no comment line after it.
bool isRepeatabilityFile(const CsvTable& head, const StringTable& texts);

// Every row at least its 31 reflectances (what follows them is kept as it stands: the
// coordinates and, as written, the differences); lines after the last are never looked at.
FileRead<RepeatabilityFile> readRepeatabilityFile(std::string_view text, const NumberFormat& format,
                                                  const StringTable& texts,
                                                  const CsvLimits& limits = {});

}  // namespace qv
