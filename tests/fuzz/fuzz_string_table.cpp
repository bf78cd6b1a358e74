// The string table ships beside the program as a text file: whatever it holds, reading it
// keeps only well-formed entries and never fails.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "core/app/string_table_text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::map<int, std::string> texts = qv::parseStringTable(file);
    std::size_t lines = 1;
    for (char c : file) lines += c == '\n' ? 1 : 0;
    FUZZ_CHECK(texts.size() <= lines);
    for (const auto& [id, text] : texts) FUZZ_CHECK(text.size() <= size);

    const qv::TextStringTable table(texts);
    FUZZ_CHECK(table.size() == texts.size());
    for (const auto& [id, text] : texts) FUZZ_CHECK(table.text(id) == text);
    FUZZ_CHECK(texts.count(-1) != 0 || table.text(-1).empty());
    return 0;
}
