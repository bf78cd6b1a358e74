#pragma once

// The coefficient record file, left in the data folder after every successful write: what was
// written into the instrument and the data it came from. Its target and sample spectra stand
// on lines 33 to 35 and 37 to 39, where the coefficient file reader takes them from, and its
// serial is written under string 188, which shares its text with the reader's key 210: a
// record file can be loaded again as a coefficient file.

#include <string>

#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
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

}  // namespace qv
