// Registration files are made by other tools: whatever one holds, reading it refuses a file
// with an overlong line whole, stops only where a rule says and reads nothing after the stop,
// keeps values finite, and accepts exactly the files whose spectra hold 32 values each.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/files/registration_file.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const qv::CsvLimits limits{qv::fuzz::kFuzzLineBytes, 1000};
    const qv::RegistrationFileRead read =
        qv::readRegistrationFile(file.text, file.format, qv::fuzz::FileKeyTexts(), limits);
    const auto& spectra = read.spectra;
    if (read.csvError != qv::CsvError::None) {
        FUZZ_CHECK(read.csvError == qv::CsvError::LineTooLong);
        FUZZ_CHECK(read.csvErrorLine >= 1 && read.csvErrorLine <= 8);
        FUZZ_CHECK(!read.targetSerial && !read.accepted);
        FUZZ_CHECK(std::all_of(spectra.begin(), spectra.end(), [](auto& s) { return s.empty(); }));
        return 0;
    }
    for (const auto& s : spectra) {
        FUZZ_CHECK(s.size() <= qv::fuzz::kFuzzLineBytes + 1);
        for (double v : s) FUZZ_CHECK(std::isfinite(v));
    }
    const bool stopped = read.stop != qv::ReadStop::None;
    FUZZ_CHECK(stopped == (read.stopLine != 0) && read.stopLine <= 8);
    switch (read.stop) {
        case qv::ReadStop::ShortSerial:
            FUZZ_CHECK(read.targetSerial && read.targetSerial->size() < qv::kMinSerialChars);
            [[fallthrough]];
        case qv::ReadStop::RefusedKey:
            FUZZ_CHECK(read.stopLine <= 3);
            break;
        case qv::ReadStop::EmptyField:
        case qv::ReadStop::EmptyLine:
            FUZZ_CHECK(read.stopLine >= 6);
            break;
        case qv::ReadStop::None:
            break;
    }
    // Nothing is read after the line that stopped reading.
    for (std::size_t line = 6; stopped && line <= 8; ++line)
        if (line >= read.stopLine && (line > read.stopLine || read.stop == qv::ReadStop::EmptyLine))
            FUZZ_CHECK(spectra[line - 6].empty());
    FUZZ_CHECK(read.accepted == std::all_of(spectra.begin(), spectra.end(), [](auto& s) {
                   return s.size() >= qv::kMinRegistrationValues;
               }));
    return 0;
}
