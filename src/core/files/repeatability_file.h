#pragma once

#include <array>
#include <string>

#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"

namespace qv {

using RepeatSeries = std::array<AngleSpectrum, 9>;

// The file's text: header lines, then for each measurement a block header and its three angle
// rows (spectrum, coordinates and, for measurements 2 and 3, the total colour difference).
// Lines end in CR LF. A non-empty `deltaELabel` names the colour-difference formula in the
// heading of that column.
std::string formatRepeatabilityFile(const RepeatSeries& series, const std::string& instrumentId,
                                    const LocalTime& time, const StringTable& texts,
                                    const NumberFormat& format,
                                    const std::string& deltaELabel = {});

// Writes the file into the data folder, complete or not at all, never over an earlier one.
// Returns its path, or empty when nothing was written (no data folder, or the save failed).
std::string writeRepeatabilityFile(FileStore& files, const std::string& dataFolder,
                                   const RepeatSeries& series, const std::string& instrumentId,
                                   const LocalTime& time, const StringTable& texts,
                                   const NumberFormat& format, const std::string& deltaELabel = {});

}  // namespace qv
