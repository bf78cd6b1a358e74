#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/string_ids.h"

namespace qv {

class Prompter;

// Bitmap messages carry the application name as caption rather than string 111.
inline constexpr int kCaptionApplicationName = 0;
// Larger files are refused unread: no picture of this program comes near it.
inline constexpr std::size_t kMaxBitmapFileBytes = 64u << 20;

// One colour-table entry as the file stores it.
struct DibColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// A device-independent bitmap read from an untrusted file. Every offset, size, bit count and
// dimension of the header is checked against the file before anything is allocated or read:
// a header that does not describe a bitmap gives message 160, a file shorter than its header
// promises gives message 163.
class CDib {
public:
    // Replaces the content with the bitmap held in `file` (the whole file). Returns 0 on
    // success, otherwise the number of the message that explains the refusal (then empty).
    int Read(std::string_view file);
    void Empty();
    // Builds the palette from the colour table; false when the colour-used count is 0.
    bool MakePalette();

    bool empty() const { return m_lpBMIH.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    int bitCount() const { return bitCount_; }
    std::uint32_t sizeImage() const { return m_dwSizeImage; }
    std::int32_t colourTableEntries() const { return m_nColorTableEntries; }
    bool hasPalette() const { return !palette_.empty(); }
    const std::vector<DibColour>& palette() const { return palette_; }

    // Drawing stretches the bitmap four pixels wider than it is.
    int drawWidth() const { return width_ + 4; }
    int drawHeight() const { return height_; }
    // The pixels as 0xFFRRGGBB, rows from top to bottom; empty when there is no bitmap.
    std::vector<std::uint32_t> argbPixels() const;

private:
    int parseHeader(std::string_view file);
    // The colour table after the header (its entries from `tableStart`); 0 or the message.
    int takeColourTable(std::uint32_t tableStart, std::uint32_t coloursUsed, int bits);
    std::uint32_t pixelAt(const std::uint8_t* row, int x) const;
    std::uint32_t tableColour(std::uint32_t index) const;

    std::vector<std::uint8_t> m_lpBMIH;  // info header followed by the colour table
    std::vector<std::uint8_t> m_lpImage;
    std::uint32_t m_dwSizeImage = 0;
    std::int32_t m_nColorTableEntries = 0;
    std::vector<DibColour> palette_;
    std::vector<DibColour> table_;  // every colour-table entry the file holds
    std::uint32_t masks_[3] = {0, 0, 0};
    int width_ = 0;
    int height_ = 0;
    bool topDown_ = false;
    int bitCount_ = 0;
    std::uint32_t stride_ = 0;
};

// Reads the bitmap file at `path` into `dib`; on refusal shows message 160 or 163 (OK button,
// application name as caption) and returns false.
bool readDibFile(const std::string& path, CDib& dib, Prompter& prompter);

}  // namespace qv
