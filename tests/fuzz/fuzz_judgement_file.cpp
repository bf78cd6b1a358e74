// Judgement files reach the tile-set verb from wherever the operator keeps them: whatever one
// holds, reading it either takes exactly 31 finite reflectances per angle for both
// instruments or says, naming a line it looks at, why not.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/tiles/set_files.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const qv::FileRead<qv::JudgementFile> read =
        qv::readJudgementFile(file.text, file.format, qv::fuzz::FileKeyTexts(), limits);
    if (!read.ok()) {
        FUZZ_CHECK(read.problem.rfind("line ", 0) == 0);
        const int line = std::atoi(read.problem.c_str() + 5);
        FUZZ_CHECK(line >= 1 && line <= 12);
        return 0;
    }
    const qv::TileSpectra tile = qv::judgedTile(*read.contents);
    for (const auto* spectra : {&tile.target, &tile.sample})
        for (const auto& s : *spectra) {
            FUZZ_CHECK(s.size() == qv::kSpectrumPoints);
            for (double v : s) FUZZ_CHECK(std::isfinite(v));
        }
    return 0;
}
