#pragma once

// The two result files of the inter-instrument check: the target file after a target
// measurement (it can later be registered as reference data: its serial and spectra stand
// where registration reads them) and the judgement file after each judgement.

#include <array>
#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"

namespace qv {

// Date, target serial, two blank lines, the heading, then per angle the label and every
// stored value (reflectances and coordinates), the last one without a separator.
std::string formatTargetFile(const ThreeAngles& target, const std::string& targetSerial,
                             const LocalTime& time, const StringTable& texts,
                             const NumberFormat& format);

// Date, both serials, a blank line, the target block, then the sample block whose heading
// adds the colour-difference column; every value is followed by the separator. A judgement
// that verifies a correction adds, after a blank line, the colour differences before it.
std::string formatJudgementFile(
    const ThreeAngles& target, const ThreeAngles& sample, const std::string& targetSerial,
    const std::string& sampleSerial, const LocalTime& time, const StringTable& texts,
    const NumberFormat& format,
    const std::optional<std::array<double, kAngleCount>>& beforeCorrection = std::nullopt);

// Save them into the data folder under string 199 or 194 followed by the time.
SavedFile writeTargetFile(FileStore& files, const std::string& dataFolder,
                          const ThreeAngles& target, const std::string& targetSerial,
                          const LocalTime& time, const StringTable& texts,
                          const NumberFormat& format);
SavedFile writeJudgementFile(
    FileStore& files, const std::string& dataFolder, const ThreeAngles& target,
    const ThreeAngles& sample, const std::string& targetSerial, const std::string& sampleSerial,
    const LocalTime& time, const StringTable& texts, const NumberFormat& format,
    const std::optional<std::array<double, kAngleCount>>& beforeCorrection = std::nullopt);

}  // namespace qv
