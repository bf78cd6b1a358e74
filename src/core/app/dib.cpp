#include "core/app/dib.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <fstream>
#include <iterator>

#include "core/app/prompter.h"

namespace qv {

namespace {
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kMaskBytes = 12;
constexpr std::uint32_t kMaxPaletteEntries = 256;
// 16 million pixels: a 4096 x 4096 picture, far more than a splash needs.
constexpr std::uint64_t kMaxPixels = 1u << 24;

std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t u16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::int32_t i32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(u32(p));
}
const std::uint8_t* bytes(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

bool validBitCount(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// One channel picked out by a bit mask and scaled to 0..255.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const std::uint64_t raw = (value & mask) >> shift;
    const std::uint64_t max = (std::uint64_t(1) << width) - 1;
    return static_cast<std::uint32_t>((raw * 255 + max / 2) / max);
}
}  // namespace

void CDib::Empty() {
    m_lpBMIH.clear();
    m_lpImage.clear();
    m_dwSizeImage = 0;
    m_nColorTableEntries = 0;
    palette_.clear();
    table_.clear();
    masks_[0] = masks_[1] = masks_[2] = 0;
    width_ = height_ = bitCount_ = 0;
    topDown_ = false;
    stride_ = 0;
}

int CDib::Read(std::string_view file) {
    Empty();
    const int message = parseHeader(file);
    if (message != 0) Empty();
    return message;
}

int CDib::parseHeader(std::string_view file) {
    if (file.size() < kFileHeaderBytes) return kStrBitmapUnreadable;
    const std::uint8_t* f = bytes(file);
    if (u16(f) != 0x4D42) return kStrNotABitmap;
    const std::uint32_t offset = u32(f + 10);
    if (offset < kFileHeaderBytes + kInfoHeaderBytes) return kStrNotABitmap;
    if (offset > file.size()) return kStrBitmapUnreadable;

    m_lpBMIH.assign(f + kFileHeaderBytes, f + offset);
    const std::uint8_t* h = m_lpBMIH.data();
    const std::uint32_t headerSize = u32(h);
    if (headerSize < kInfoHeaderBytes || headerSize > m_lpBMIH.size()) return kStrNotABitmap;
    const std::int32_t width = i32(h + 4);
    const std::int32_t height = i32(h + 8);
    const int bits = u16(h + 14);
    const std::uint32_t compression = u32(h + 16);
    const std::uint32_t declaredSize = u32(h + 20);
    const std::uint32_t coloursUsed = u32(h + 32);

    if (width <= 0 || height == 0 || height == INT32_MIN || !validBitCount(bits))
        return kStrNotABitmap;
    const std::uint64_t rows =
        static_cast<std::uint64_t>(height < 0 ? -std::int64_t(height) : height);
    if (std::uint64_t(width) * rows > kMaxPixels) return kStrNotABitmap;

    std::uint32_t tableStart = headerSize;
    if (compression == kBiBitfields && (bits == 16 || bits == 32)) {
        if (headerSize == kInfoHeaderBytes) tableStart += kMaskBytes;
        if (m_lpBMIH.size() < kInfoHeaderBytes + kMaskBytes) return kStrNotABitmap;
        for (int i = 0; i < 3; ++i) masks_[i] = u32(h + kInfoHeaderBytes + 4 * i);
        if (masks_[0] == 0 && masks_[1] == 0 && masks_[2] == 0) return kStrNotABitmap;
    } else if (compression != kBiRgb) {
        return kStrNotABitmap;  // run-length and embedded formats are not drawn
    }

    // Rows are padded to whole 32-bit words.
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bits) + 31) / 32 * 4;
    const std::uint64_t needed = stride * rows;
    if (needed > UINT32_MAX) return kStrNotABitmap;
    m_dwSizeImage = declaredSize == 0 ? static_cast<std::uint32_t>(needed) : declaredSize;
    if (m_dwSizeImage < needed) return kStrNotABitmap;
    // Some writers declare a few bytes of slack beyond the last row; what the rows need must be
    // in the file.
    const std::uint64_t available = file.size() - offset;
    if (available < needed) return kStrBitmapUnreadable;
    m_lpImage.assign(f + offset, f + offset + std::min<std::uint64_t>(m_dwSizeImage, available));

    if (const int message = takeColourTable(tableStart, coloursUsed, bits)) return message;

    width_ = width;
    height_ = static_cast<int>(rows);
    topDown_ = height < 0;
    bitCount_ = bits;
    stride_ = static_cast<std::uint32_t>(stride);
    m_nColorTableEntries = static_cast<std::int32_t>(coloursUsed);
    MakePalette();
    return 0;
}

int CDib::takeColourTable(std::uint32_t tableStart, std::uint32_t coloursUsed, int bits) {
    const std::uint8_t* h = m_lpBMIH.data();
    const std::uint32_t room =
        tableStart < m_lpBMIH.size() ? std::uint32_t(m_lpBMIH.size() - tableStart) / 4 : 0;
    if (coloursUsed > kMaxPaletteEntries || coloursUsed > room) return kStrNotABitmap;
    std::uint32_t entries = coloursUsed;
    if (bits <= 8 && entries == 0) entries = std::min<std::uint32_t>(room, 1u << bits);
    if (bits <= 8 && entries == 0) return kStrNotABitmap;  // indexed pixels without colours
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = h + tableStart + 4 * i;
        table_.push_back(DibColour{e[0], e[1], e[2], e[3]});
    }
    return 0;
}

bool CDib::MakePalette() {
    if (m_nColorTableEntries == 0) return false;
    palette_.assign(table_.begin(), table_.begin() + m_nColorTableEntries);
    for (DibColour& c : palette_) c.reserved = 0;  // palette entry flags
    return true;
}

std::uint32_t CDib::tableColour(std::uint32_t index) const {
    if (index >= table_.size()) return 0xFF000000u;  // beyond the table: black
    const DibColour& c = table_[index];
    return 0xFF000000u | std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue;
}

std::uint32_t CDib::pixelAt(const std::uint8_t* row, int x) const {
    switch (bitCount_) {
        case 1:
            return tableColour((row[x / 8] >> (7 - x % 8)) & 1u);
        case 4:
            return tableColour((row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFu);
        case 8:
            return tableColour(row[x]);
        case 16: {
            const std::uint32_t v = u16(row + 2 * x);
            const bool fields = masks_[0] | masks_[1] | masks_[2];
            return 0xFF000000u | channel(v, fields ? masks_[0] : 0x7C00u) << 16 |
                   channel(v, fields ? masks_[1] : 0x03E0u) << 8 |
                   channel(v, fields ? masks_[2] : 0x001Fu);
        }
        case 24: {
            const std::uint8_t* p = row + 3 * x;
            return 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
        }
        default: {
            const std::uint32_t v = u32(row + 4 * x);
            if (masks_[0] | masks_[1] | masks_[2])
                return 0xFF000000u | channel(v, masks_[0]) << 16 | channel(v, masks_[1]) << 8 |
                       channel(v, masks_[2]);
            return 0xFF000000u | (v & 0xFFFFFFu);
        }
    }
}

std::vector<std::uint32_t> CDib::argbPixels() const {
    std::vector<std::uint32_t> out;
    if (empty()) return out;
    out.reserve(std::size_t(width_) * std::size_t(height_));
    for (int y = 0; y < height_; ++y) {
        const int fileRow = topDown_ ? y : height_ - 1 - y;
        const std::uint8_t* row = m_lpImage.data() + std::size_t(fileRow) * stride_;
        for (int x = 0; x < width_; ++x) out.push_back(pixelAt(row, x));
    }
    return out;
}

bool readDibFile(const std::string& path, CDib& dib, Prompter& prompter) {
    std::ifstream in(path, std::ios::binary);
    std::string file;
    int message = kStrBitmapUnreadable;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0);
        if (size >= 0 && std::uint64_t(size) <= kMaxBitmapFileBytes) {
            file.assign(std::istreambuf_iterator<char>(in), {});
            if (!in.bad()) message = dib.Read(file);
        }
    }
    if (message == 0) return true;
    dib.Empty();
    Message box;
    box.stringId = message;
    box.icon = Icon::Exclamation;
    box.captionId = kCaptionApplicationName;
    prompter.ask(box);
    return false;
}

}  // namespace qv
