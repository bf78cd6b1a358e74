#pragma once

// The coefficient record file, left in the data folder after every successful write: what was
// written into the instrument and the data it came from. Its target and sample spectra stand
// on lines 33 to 35 and 37 to 39, where the coefficient file reader takes them from, and its
// serial is written under string 188, which shares its text with the reader's key 210: a
// record file can be loaded again as a coefficient file.

#include <string>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
#include "core/files/file_lines.h"
#include "core/files/repeatability_file.h"

namespace qv {

struct CoefficientRecord {
    LocalTime time;
    std::string sampleSerial;
    std::string comment;       // as written into the entry (already cut to 16 characters)
    ThreeAngles coefficients;  // per angle the 32 written values: 16 reflectances, 16 factors
    RepeatSeries repeatSeries;
    ThreeAngles target;
    ThreeAngles sample;
};

// 39 lines ended by CR LF, the last without a line end. Every number is followed by the
// separator; reflectances have two decimals, correction factors three. Line breaks and
// separator characters inside the serial or the comment become blanks. A value that a block or
// spectrum lacks is left out of its row (a write needs them all).
std::string formatRecordFile(const CoefficientRecord& record, const StringTable& texts,
                             const NumberFormat& format);

// Saves it into the data folder under string 203 followed by the time.
SavedFile writeRecordFile(FileStore& files, const std::string& dataFolder,
                          const CoefficientRecord& record, const StringTable& texts,
                          const NumberFormat& format);

// Where the file has what: the serial and comment under the date, the written reflectances and
// factors (a heading, then the 25°, 45° and 75° rows), the blocks' headings (each followed by
// its three rows) and the last line.
namespace record_layout {
inline constexpr std::size_t kSerialLine = 2;
inline constexpr std::size_t kCommentLine = 3;
inline constexpr std::size_t kReflectanceHeading = 5;
inline constexpr std::size_t kFirstReflectanceRow = 7;
inline constexpr std::size_t kFactorHeading = 10;
inline constexpr std::array<std::size_t, 3> kSeriesHeadings = {17, 21, 25};
inline constexpr std::size_t kTargetHeading = 32;
inline constexpr std::size_t kSampleHeading = 36;
inline constexpr std::size_t kLastLine = kSampleHeading + kAngleCount;
}  // namespace record_layout

// Its first lines: the instrument's serial under the date, then the comment line.
bool isRecordFile(const CsvTable& head, const StringTable& texts);

// The record as its file holds it: per angle the written reflectances and factors as they
// stand (16 of each in a whole file), the series (empty rows when the write had none), the
// target and the sample with at least their 31 reflectances.
FileRead<CoefficientRecord> readRecordFile(std::string_view text, const NumberFormat& format,
                                           const StringTable& texts, const CsvLimits& limits = {});

}  // namespace qv
