// The result file over many readings comes back through the import from wherever the operator
// keeps it: whatever it holds, reading it either gives every reading's three angles with 31
// values each, as many readings as the header says, or says, naming a line, why not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/files/extended_repeatability_file.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const qv::FileRead<qv::ExtendedReport> read =
        qv::readExtendedFile(file.text, file.format, limits);
    if (!read.contents) {
        FUZZ_CHECK(read.problem.rfind("line ", 0) == 0);
        FUZZ_CHECK(std::atoi(read.problem.c_str() + 5) >= 1);
        return 0;
    }
    const qv::ExtendedReport& r = *read.contents;
    FUZZ_CHECK(r.readings >= 2 && r.readings <= qv::kMaxReadingsInFile);
    FUZZ_CHECK(r.lab.size() == static_cast<std::size_t>(r.readings));
    FUZZ_CHECK(r.spectra.size() == r.lab.size());
    FUZZ_CHECK(!r.serial.empty());
    for (const qv::ThreeAngles& reading : r.spectra)
        for (const qv::AngleSpectrum& s : reading) FUZZ_CHECK(s.size() == qv::kSpectrumPoints);
    const qv::CheckRecord c = qv::extendedRecord(r, {});
    FUZZ_CHECK(c.kind == qv::RecordKind::ExtendedRepeatability && !c.passed);
    return 0;
}
