#pragma once

// The header keys and block titles of the result, coefficient and registration files, as the
// program's string table has them, and the file under test: the first byte chooses the
// separators, the rest is the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/number_format.h"
#include "core/app/string_table.h"

namespace qv::fuzz {

class FileKeyTexts : public StringTable {
public:
    std::string text(int id) const override {
        switch (id) {
            case 187:
                return "Date";
            case 188:
            case 210:
                return "Serial No.";
            case 195:
            case 200:
                return "Target serial No.";
            case 196:
            case 201:
                return "Sample serial No.";
            case 204:
                return "Comment";
            case 205:
                return "Sample reflectance in percent used for the coefficients";
            case 206:
                return "Correction factors (target / sample)";
            case 189:
                return "Measurement 1";
            case 191:
                return "Measurement 2";
            case 193:
                return "Measurement 3";
            case 197:
                return "Target";
            case 198:
                return "Sample";
            default:
                return {};
        }
    }
};

struct FuzzFile {
    NumberFormat format;
    std::string_view text;
};

inline FuzzFile fuzzFile(const std::uint8_t* data, std::size_t size) {
    const bool comma = data[0] & 1;
    return {NumberFormat{comma ? ',' : '.', comma ? ";" : ","},
            std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

// Lines long enough for the seeds, short enough that the mutator reaches the refusal.
inline constexpr std::size_t kFuzzLineBytes = 512;

}  // namespace qv::fuzz
