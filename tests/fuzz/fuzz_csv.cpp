// Coefficient and reference files come from anywhere: whatever a CSV file holds, reading it
// refuses or splits it without a crash, keeps every byte of a line within its fields, and never
// lets a long line shift the numbering of the lines after it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/number_format.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte chooses the separators, the rest is the file.
    const bool comma = data[0] & 1;
    const qv::NumberFormat format{comma ? ',' : '.', comma ? ";" : ","};
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const qv::CsvLimits limits{64, 32};
    const qv::CsvReadResult read = qv::readCsv(file, format.listSeparator, limits);
    std::size_t lines = 0;
    for (char c : file) lines += c == '\n' ? 1 : 0;
    if (!file.empty() && file.back() != '\n') ++lines;
    if (!read.ok()) {
        FUZZ_CHECK(read.table.lines.empty() && read.errorLine >= 1);
        return 0;
    }
    FUZZ_CHECK(read.table.lines.size() == lines && lines <= limits.maxLines);
    std::size_t bytes = 0;
    for (const auto& line : read.table.lines) {
        FUZZ_CHECK(!line.empty());
        for (const std::string& field : line) {
            bytes += field.size() + 1;
            FUZZ_CHECK(field.find('\n') == std::string::npos);
            FUZZ_CHECK(field.size() <= limits.maxLineBytes);
            if (const auto v = format.readFile(field)) {
                // A number read from a file writes back and reads again to itself.
                FUZZ_CHECK(format.readFile(format.file(*v)).has_value() ||
                           format.file(*v).size() > 64);
            }
        }
    }
    FUZZ_CHECK(bytes <= file.size() + read.table.lines.size());
    return 0;
}
