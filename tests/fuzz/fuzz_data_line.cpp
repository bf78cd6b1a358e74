// A data line of any shape yields exactly 31 values, and a field that holds a plain
// number converts to that number whatever the process locale says.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/measure/data_line.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const qv::AngleSpectrum spectrum = qv::parseDataLine(line);
    FUZZ_CHECK(spectrum.size() == static_cast<std::size_t>(qv::kSpectrumPoints));

    // Without a comma there are no value fields at all.
    if (line.find(',') == std::string_view::npos) {
        for (double v : spectrum) FUZZ_CHECK(v == 0.0);
    }
    (void)qv::parseInstrumentNumber(line);
    return 0;
}
