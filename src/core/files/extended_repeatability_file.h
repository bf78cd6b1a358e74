#pragma once

// The result file of the repeatability check over many readings: every reading's L*, a*, b*
// and reflectances per angle, and per angle how far the readings spread about their mean. The
// file is the check's whole record: the logbook's import makes the same record from it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
#include "core/colour/spread.h"
#include "core/files/file_lines.h"

namespace qv {

// The file's name begins with this, then the time stamp.
inline constexpr std::string_view kExtendedFilePrefix = "ExtendedRepeatability_";
// An untrusted file may say it holds at most this many readings; lines after the last one such
// a file can have are never looked at.
inline constexpr int kMaxReadingsInFile = 100;
inline constexpr std::size_t kMaxExtendedFileLines = 7 + 2 + 3 * kMaxReadingsInFile + 2 + 3;

// The header keys, in English whatever the string table holds (as the tile set's file).
namespace extended_key {
inline constexpr std::string_view kDate = "Date";
inline constexpr std::string_view kReadings = "Repeatability readings";
inline constexpr std::string_view kInstrument = "Instrument";
inline constexpr std::string_view kType = "Instrument type";
inline constexpr std::string_view kHandling = "Handling";
inline constexpr std::string_view kSpecimen = "Specimen";
inline constexpr std::string_view kFormula = "Colour difference";
inline constexpr std::string_view kReadingColumn = "Reading";
inline constexpr std::string_view kAngleColumn = "Angle";
}  // namespace extended_key

using ReadingLab = std::array<LabTriple, kAngleCount>;

// Everything the check found, as it is handed back, written and read back.
struct ExtendedReport {
    std::string serial;
    std::string instrumentType;  // "53", "40"; empty when not known
    int readings = 0;
    bool handling = false;  // the specimen was lifted and placed again between readings
    std::string specimen;   // as the operator typed it; may be empty
    std::string formula;    // the label of the colour-difference formula, "dE*ab", ...
    LocalTime time;
    std::vector<ThreeAngles> spectra;  // per reading: 31 reflectances (%) per angle
    std::vector<ReadingLab> lab;       // per reading: L*, a*, b* per angle
    std::array<AngleSpread, kAngleCount> spread{};
};

// Header lines (date, readings, instrument, type, handling, specimen, formula), a blank line,
// the heading and one row per reading and angle (reading, angle, L*, a*, b*, 31 reflectances),
// a blank line, the heading and one summary row per angle (mean L*, a*, b*, MCDM, sd L*, sd
// a*, sd b*, largest). CR LF, the user's separators; a value that could not be computed is
// written as "---".
std::string formatExtendedFile(const ExtendedReport& report, const NumberFormat& format);

// Writes the file into the data folder, complete or not at all, never over an earlier one.
SavedFile writeExtendedFile(FileStore& files, const std::string& dataFolder,
                            const ExtendedReport& report, const NumberFormat& format);

// Its first lines: the number of readings under the date.
bool isExtendedFile(const CsvTable& head, const StringTable& texts);

// Reads a file laid out as formatExtendedFile writes it, with the separators `format` names
// (numbers also with a point). Nothing is half read: any line out of place, a reflectance that
// is no number or a spread below zero refuses the file.
FileRead<ExtendedReport> readExtendedFile(std::string_view text, const NumberFormat& format,
                                          const CsvLimits& limits = {});

// The logbook's record of the check: per angle the mean as its L*, a*, b*, the MCDM as its
// colour difference, the standard deviations and the largest difference; no threshold and no
// verdict. `file` is the result file's path (empty when none was written).
CheckRecord extendedRecord(const ExtendedReport& report, const std::string& file);

}  // namespace qv
