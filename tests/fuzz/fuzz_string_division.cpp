// Any reply line divides into fields that put back together give the line again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/string_division.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::StringDivision division(text);
    FUZZ_CHECK(division.source() == text);

    std::size_t commas = 0;
    for (char c : text) commas += c == ',' ? 1 : 0;
    FUZZ_CHECK(division.count() == static_cast<std::int32_t>(commas + 1));

    std::string joined;
    for (std::int32_t n = 1; n <= division.count(); ++n) {
        const std::string field = division.GetField(n);
        FUZZ_CHECK(field.find(',') == std::string::npos);
        if (n > 1) joined += ',';
        joined += field;
    }
    const bool droppedLineFeed = joined.size() + 1 == text.size();
    FUZZ_CHECK(joined == text ||
               (droppedLineFeed && text.back() == '\n' && text.substr(0, joined.size()) == joined));

    // Out-of-range numbers read empty; above the count the map is left alone.
    const std::size_t stored = division.fields().size();
    FUZZ_CHECK(division.GetField(division.count() + 1).empty());
    FUZZ_CHECK(division.fields().size() == stored);
    FUZZ_CHECK(division.GetField(0).empty());
    FUZZ_CHECK(division.GetField(INT32_MIN).empty());
    FUZZ_CHECK(division.GetField(INT32_MAX).empty());

    // Reuse forgets the earlier line.
    division.Reset(text.substr(0, size / 2));
    FUZZ_CHECK(division.source() == text.substr(0, size / 2));
    FUZZ_CHECK(static_cast<std::int32_t>(division.fields().size()) <= division.count());
    return 0;
}
