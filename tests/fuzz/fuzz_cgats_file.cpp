// CGATS files come from other colour tools and from anyone's editor: whatever one holds,
// reading it either gives a table whose every set has a value per field, which writes and reads
// back to the same text, or says why not, naming a line; its spectra are 31 finite numbers each
// or refused.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/files/cgats_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const qv::CsvLimits limits{4096, 1000};
    const auto read = qv::readCgats(text, limits);
    if (!read.ok()) {
        FUZZ_CHECK(read.problem.rfind("line ", 0) == 0);
        FUZZ_CHECK(std::atoi(read.problem.c_str() + 5) >= 1);
        return 0;
    }
    const qv::CgatsTable& table = *read.contents;
    FUZZ_CHECK(!table.identifier.empty() && !table.fields.empty());
    for (const auto& set : table.sets) FUZZ_CHECK(set.size() == table.fields.size());
    const std::string written = qv::formatCgats(table);
    const auto again = qv::readCgats(written, {1u << 20, 1u << 20});
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(qv::formatCgats(*again.contents) == written);
    const auto spectra = qv::cgatsSpectra(table);
    if (!spectra.ok()) return 0;
    for (const qv::CgatsSpectrum& s : *spectra.contents) {
        FUZZ_CHECK(s.reflectances.size() == std::size_t(qv::kSpectrumPoints));
        for (double v : s.reflectances) FUZZ_CHECK(std::isfinite(v));
    }
    return 0;
}
