// Bitmap files beside the program are outside bytes: any file is either refused with one of
// the two messages or read into a bitmap whose pixels can all be drawn.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/app/dib.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    qv::CDib dib;
    const int message = dib.Read(file);
    if (message != 0) {
        FUZZ_CHECK(message == qv::kStrNotABitmap || message == qv::kStrBitmapUnreadable);
        FUZZ_CHECK(dib.empty() && dib.width() == 0 && !dib.hasPalette());
        FUZZ_CHECK(dib.argbPixels().empty());
        return 0;
    }
    FUZZ_CHECK(!dib.empty() && dib.width() > 0 && dib.height() > 0);
    FUZZ_CHECK(dib.drawWidth() == dib.width() + 4);
    const std::vector<std::uint32_t> pixels = dib.argbPixels();
    FUZZ_CHECK(pixels.size() ==
               static_cast<std::size_t>(dib.width()) * static_cast<std::size_t>(dib.height()));
    for (std::uint32_t p : pixels) FUZZ_CHECK((p >> 24) == 0xFF);
    FUZZ_CHECK(dib.hasPalette() == (dib.colourTableEntries() != 0));
    FUZZ_CHECK(dib.palette().size() == static_cast<std::size_t>(dib.colourTableEntries()));

    // Reading again replaces everything.
    dib.MakePalette();
    FUZZ_CHECK(dib.Read(file) == 0);
    FUZZ_CHECK(dib.argbPixels() == pixels);
    return 0;
}
