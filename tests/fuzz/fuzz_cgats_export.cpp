// The export reads result files from wherever the operator keeps them: whatever one holds,
// it either writes a whole CGATS file with 31 reflectances per sample or says why not,
// naming a line it looks at.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "core/colour/spectrum.h"
#include "core/files/extended_repeatability_file.h"
#include "core/log/cgats_export.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const qv::CgatsExport e =
        qv::exportSpectra(file.text, file.format, qv::fuzz::FileKeyTexts(), limits);
    if (!e.ok()) {
        FUZZ_CHECK(e.text.empty());
        if (e.problem.rfind("line ", 0) == 0) {
            const int line = std::atoi(e.problem.c_str() + 5);
            // A file of many readings is looked at further than the others' 40 lines.
            FUZZ_CHECK(line >= 1 && static_cast<std::size_t>(line) <=
                                        std::max<std::size_t>(40, qv::kMaxExtendedFileLines + 1));
        } else {
            FUZZ_CHECK(e.problem == "the file holds no spectrum");
        }
        return 0;
    }
    FUZZ_CHECK(e.text.rfind("CTI3\r\n", 0) == 0);
    // Every data row: its number, its quoted name and 31 values.
    const std::size_t begin = e.text.find("\r\nBEGIN_DATA\r\n");
    const std::size_t end = e.text.find("END_DATA\r\n", begin);
    FUZZ_CHECK(begin != std::string::npos && end != std::string::npos);
    std::istringstream rows(e.text.substr(begin + 14, end - begin - 14));
    std::string row;
    while (std::getline(rows, row)) {
        const std::size_t close = row.rfind('"');
        FUZZ_CHECK(close != std::string::npos && row.find('"') < close);
        std::istringstream values(row.substr(close + 1));
        int count = 0;
        for (double v; values >> v;) ++count;
        FUZZ_CHECK(count == qv::kSpectrumPoints);
    }
    return 0;
}
