#pragma once

// The colour exchange format (CxF3) for the spectra of result files: written for colour tools
// that take multi-angle reflectances, and read back from such files, ours or another writer's.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/file_store.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/log/cxf_spectra.h"
#include "core/log/result_kinds.h"

namespace qv {

inline constexpr std::string_view kCxfNamespace = "http://colorexchangeformat.com/CxF3-core";

// Grouped: one object per specimen with its three angles. Per angle: one object per specimen
// and angle, named "target 45as25", for readers that take a single spectrum per object.
enum class CxfLayout { Grouped, PerAngle };

// The document, reflectances as factors (1.0 = 100 %).
std::string formatCxf(const CxfContents& contents, CxfLayout layout);

// A file larger than this is refused unread.
inline constexpr std::size_t kMaxCxfBytes = 16u << 20;

struct CxfRead {
    // Per specimen and angle, named "<object> 25", the 31 reflectances in percent.
    std::vector<NamedSpectrum> spectra;
    // Empty when read; otherwise why not (malformed XML with its line).
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// Every reflectance spectrum of `document` whose measurement conditions are a multi-angle geometry
// at 25°, 45° or 75° aspecular, resampled to 400..700 nm by 10 nm. Untrusted: no document type
// declaration (so no entity is expanded), nothing above kMaxCxfBytes.
CxfRead readCxf(std::string_view document);

// Reads the result file at `resultFile` and saves its spectra as the new CxF file `out`, never
// over an existing one. Empty when written; otherwise why not, naming the file.
std::string exportCxfFile(FileStore& files, const std::string& resultFile, const std::string& out,
                          CxfLayout layout, const NumberFormat& format, const StringTable& texts);

}  // namespace qv
