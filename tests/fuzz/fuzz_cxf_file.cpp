// CxF documents come from other colour tools and from wherever the operator keeps them: whatever
// one holds, the reader either gives back spectra of the program's shape or says why not.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/colour/spectrum.h"
#include "fuzz_check.h"
#include "platform/log/cxf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    const qv::CxfRead read = qv::readCxf(document);
    if (!read.ok()) {
        FUZZ_CHECK(read.spectra.empty());
        return 0;
    }
    FUZZ_CHECK(!read.spectra.empty());
    for (const qv::NamedSpectrum& s : read.spectra) {
        FUZZ_CHECK(s.angle >= 0 && s.angle < qv::kAngleCount);
        FUZZ_CHECK(s.reflectances.size() == std::size_t(qv::kSpectrumPoints));
        // Interpolated between finite numbers; the name ends with its angle.
        for (double v : s.reflectances) FUZZ_CHECK(!std::isnan(v));
        const std::string degrees = " " + std::to_string(qv::kAngleDegrees[s.angle]);
        FUZZ_CHECK(s.name.size() >= degrees.size() &&
                   s.name.compare(s.name.size() - degrees.size(), degrees.size(), degrees) == 0);
    }
    return 0;
}
