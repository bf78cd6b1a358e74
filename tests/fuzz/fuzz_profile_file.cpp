// Profile files come back from the data folder, where anyone may have edited them: whatever one
// holds, reading it either gives three angles whose applied terms and affine stage are finite
// numbers, or says why not, naming a line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/tiles/profile_file.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const auto read = qv::readProfileFile(file.text, file.format, qv::fuzz::FileKeyTexts(), limits);
    if (!read.ok()) {
        FUZZ_CHECK(read.problem.rfind("line ", 0) == 0);
        FUZZ_CHECK(std::atoi(read.problem.c_str() + 5) >= 1);
        return 0;
    }
    FUZZ_CHECK(!read.contents->serial.empty() && !read.contents->master.empty());
    FUZZ_CHECK(read.contents->setRecord >= 0);
    for (const qv::AngleProfile& a : read.contents->profile.angles) {
        for (const qv::TermEstimate& t : a.terms)
            if (t.identified) FUZZ_CHECK(std::isfinite(t.value));
        for (std::size_t j = 0; j < qv::kSpectrumPoints; ++j)
            FUZZ_CHECK(std::isfinite(a.offset[j]) && std::isfinite(a.slope[j]));
        FUZZ_CHECK(a.ridge >= 0.0);
    }
    FUZZ_CHECK(read.contents->tileNames.size() == read.contents->tiles.size());
    FUZZ_CHECK(read.contents->tiles.size() <= qv::kMaxProfileFileTiles);
    for (const qv::TileSpectra& t : read.contents->tiles)
        for (int a = 0; a < qv::kAngleCount; ++a)
            FUZZ_CHECK(t.target[a].size() == qv::kSpectrumPoints &&
                       t.sample[a].size() == qv::kSpectrumPoints);
    return 0;
}
