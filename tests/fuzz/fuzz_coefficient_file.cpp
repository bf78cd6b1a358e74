// Coefficient files are made by other tools: whatever one holds, reading it refuses a file
// with an overlong line whole, stops only where a header rule says, keeps serials trimmed and
// values finite, and accepts exactly the files whose sample spectra hold 30 values each.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/files/coefficient_file.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

namespace {

bool finiteAndBounded(const qv::ThreeAngles& spectra) {
    for (const auto& s : spectra) {
        // Every value comes from a field, and a field from at least one byte of its line.
        if (s.size() > qv::fuzz::kFuzzLineBytes + 1) return false;
        for (double v : s)
            if (!std::isfinite(v)) return false;
    }
    return true;
}

bool empty(const qv::ThreeAngles& spectra) {
    return std::all_of(spectra.begin(), spectra.end(), [](const auto& s) { return s.empty(); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const qv::CoefficientFileRead read =
        qv::readCoefficientFile(file.text, file.format, qv::fuzz::FileKeyTexts(), limits);
    if (read.csvError != qv::CsvError::None) {
        FUZZ_CHECK(read.csvError == qv::CsvError::LineTooLong);
        FUZZ_CHECK(read.csvErrorLine >= 1 && read.csvErrorLine <= 39);
        FUZZ_CHECK(!read.sampleSerial && !read.comment && !read.accepted);
        FUZZ_CHECK(empty(read.target) && empty(read.sample));
        return 0;
    }
    FUZZ_CHECK(finiteAndBounded(read.target) && finiteAndBounded(read.sample));
    if (read.sampleSerial) {
        const std::string& s = *read.sampleSerial;
        FUZZ_CHECK(s.empty() ||
                   (s.find_first_of(" \t\r\n") != 0 && s.find_last_of(" \t\r\n") != s.size() - 1));
    }
    const bool stopped = read.stop != qv::ReadStop::None;
    FUZZ_CHECK(read.stop == qv::ReadStop::None || read.stop == qv::ReadStop::ShortSerial ||
               read.stop == qv::ReadStop::RefusedKey);
    FUZZ_CHECK(stopped == (read.stopLine != 0) && read.stopLine <= 3);
    if (read.stop == qv::ReadStop::ShortSerial)
        FUZZ_CHECK(read.sampleSerial && read.sampleSerial->size() < qv::kMinSerialChars);
    // The spectra stand after the header: a header stop leaves them empty.
    if (stopped) FUZZ_CHECK(empty(read.target) && empty(read.sample) && !read.accepted);
    FUZZ_CHECK(read.accepted == std::all_of(read.sample.begin(), read.sample.end(), [](auto& s) {
                   return s.size() >= qv::kMinCoefficientFileValues;
               }));
    return 0;
}
