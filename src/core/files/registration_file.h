#pragma once

// A registration file as the program reads it: header lines 1 to 3 (key, separator, value)
// and the reference spectra of 25°, 45° and 75° on lines 6, 7 and 8; every other line is
// ignored. The target result file of the inter-instrument check is such a file. Files come
// from other tools, so numbers are read leniently (see NumberFormat::readLenient).
//
// Colour coordinates are not completed here: when an accepted file has fewer than 34 values
// in any spectrum, the registration workflow appends to every angle (also one that already
// has 34) L*, a*, b* computed by the colour engine from the spectrum as target data, each kept
// in single precision.

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

// A file is accepted when every spectrum holds at least this many values.
inline constexpr std::size_t kMinRegistrationValues = 32;

struct RegistrationFileRead {
    // Not None: a line over the CSV bound refused the whole file, and nothing below was read.
    CsvError csvError = CsvError::None;
    std::size_t csvErrorLine = 0;
    // Present when a serial line (string 200) was read: trimmed, also when it was too short
    // and stopped reading.
    std::optional<std::string> targetSerial;
    ThreeAngles spectra;
    ReadStop stop = ReadStop::None;
    std::size_t stopLine = 0;  // 1-based; 0 when reading did not stop
    bool accepted = false;
};

// Header keys: string 200 (the serial; fewer than 8 characters stops reading); 201 and 188
// stop reading (the sample serial of a judgement file, the serial of a record or repeatability
// file); any other key is ignored, as is a line without a separator. Spectrum lines: an empty
// field before the last adds nothing and makes the line the last one read; an empty line
// stops reading. What was read before a stop is kept.
RegistrationFileRead readRegistrationFile(std::string_view text, const NumberFormat& format,
                                          const StringTable& texts, const CsvLimits& limits = {});

}  // namespace qv
