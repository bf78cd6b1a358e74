#pragma once

// The two result files of the inter-instrument check: the target file after a target
// measurement (it can later be registered as reference data: its serial and spectra stand
// where registration reads them) and the judgement file after each judgement.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
#include "core/files/file_lines.h"

namespace qv {

// Date, target serial, two blank lines, the heading, then per angle the label and every
// stored value (reflectances and coordinates), the last one without a separator.
std::string formatTargetFile(const ThreeAngles& target, const std::string& targetSerial,
                             const LocalTime& time, const StringTable& texts,
                             const NumberFormat& format);

// Date, both serials, a blank line, the target block, then the sample block whose heading
// adds the colour-difference column; every value is followed by the separator. A judgement
// that verifies a correction adds, after a blank line, the colour differences before it.
// A copy whose sample was standardised to the master says so on the line after the serials (empty
// in a file of readings as taken): `standardisedBy` names the profile.
std::string formatJudgementFile(
    const ThreeAngles& target, const ThreeAngles& sample, const std::string& targetSerial,
    const std::string& sampleSerial, const LocalTime& time, const StringTable& texts,
    const NumberFormat& format,
    const std::optional<std::array<double, kAngleCount>>& beforeCorrection = std::nullopt,
    const std::string& standardisedBy = {});

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

// Where the two files have what: the serials under the date, the blocks' headings (each
// followed by its 25°, 45° and 75° rows) and, in a verification, the differences before the
// correction after a blank line.
namespace validation_layout {
inline constexpr std::size_t kTargetSerialLine = 2;
inline constexpr std::size_t kSampleSerialLine = 3;
inline constexpr std::size_t kStandardisedLine = 4;
inline constexpr std::size_t kTargetHeading = 5;
inline constexpr std::size_t kTargetLastLine = kTargetHeading + kAngleCount;
inline constexpr std::size_t kSampleHeading = 9;
inline constexpr std::size_t kBeforeLine = 14;
}  // namespace validation_layout

// A target file's contents: each row the 31 reflectances and the coordinates after them.
struct TargetFile {
    LocalTime time;
    std::string targetSerial;
    ThreeAngles target;
};

// A judgement file's contents: the target's rows as in the target file, the sample's with the
// colour difference after the coordinates (as written: a file may lack them), and for a
// verification the differences before the correction.
struct JudgementFile {
    LocalTime time;
    std::string targetSerial;
    std::string sampleSerial;
    ThreeAngles target;
    ThreeAngles sample;
    // The line below the table names the differences before a correction (a verification)...
    bool verifies = false;
    // ...and holds three of them; a file whose line says so and holds fewer has none here.
    std::optional<std::array<double, kAngleCount>> beforeCorrection;
    // A copy standardised to the master: the profile it went through; empty for readings as
    // the instruments gave them.
    std::string standardisedBy;
};

// Their first lines: the target's serial under the date; the judgement file then the sample's.
bool isTargetFile(const CsvTable& head, const StringTable& texts);
bool isJudgementFile(const CsvTable& head, const StringTable& texts);

// Each row with at least its 31 reflectances (what follows them is kept as it stands); lines
// after the last of the layout are never looked at.
FileRead<TargetFile> readTargetFile(std::string_view text, const NumberFormat& format,
                                    const StringTable& texts, const CsvLimits& limits = {});
FileRead<JudgementFile> readJudgementFile(std::string_view text, const NumberFormat& format,
                                          const StringTable& texts, const CsvLimits& limits = {});

}  // namespace qv
