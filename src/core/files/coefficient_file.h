#pragma once

// A coefficient file as the program reads it: header lines 1 to 3 (key, separator, value), the
// target spectra on lines 33 to 35 and the sample spectra on lines 37 to 39, one angle each in
// the order 25°, 45°, 75°. Every other line is ignored. Files come from other tools, so numbers
// are read leniently (see NumberFormat::readLenient).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"
#include "core/files/file_lines.h"

namespace qv {

// A file is accepted when every sample spectrum holds at least this many values.
inline constexpr std::size_t kMinCoefficientFileValues = 30;

struct CoefficientFileRead {
    // Not None: a line over the CSV bound refused the whole file, and nothing below was read.
    CsvError csvError = CsvError::None;
    std::size_t csvErrorLine = 0;
    // Present when a serial (string 210) or comment (string 204) line was read: the serial
    // trimmed, also when it was too short and stopped reading; the comment as written.
    std::optional<std::string> sampleSerial;
    std::optional<std::string> comment;
    ThreeAngles target;
    ThreeAngles sample;
    ReadStop stop = ReadStop::None;
    std::size_t stopLine = 0;  // 1-based; 0 when reading did not stop
    bool accepted = false;
};

// Header keys: string 210 (the sample serial; fewer than 8 characters stops reading), 204
// (the comment), 187 (ignored: the record file's time stamp); any other key stops reading. A
// header line without a separator is ignored. What was read before a stop is kept.
CoefficientFileRead readCoefficientFile(std::string_view text, const NumberFormat& format,
                                        const StringTable& texts, const CsvLimits& limits = {});

}  // namespace qv
