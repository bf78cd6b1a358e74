#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/app/dib.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

namespace qv {
namespace {

// A bitmap file as writers make it: file header, 40-byte info header, colour table, rows.
struct BitmapSpec {
    BitmapSpec(int w, int h, int b) : width(w), height(h), bits(b) {}
    int width = 2;
    int height = 2;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint32_t> table;  // 0x00RRGGBB
    std::vector<std::uint32_t> masks;  // BI_BITFIELDS
    std::vector<std::uint8_t> rows;    // pixel data as stored
};

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}

std::string makeBitmap(const BitmapSpec& b) {
    const std::size_t extra = (b.masks.size() + b.table.size()) * 4;
    std::string f(54 + extra, '\0');
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, std::uint32_t(f.size() + b.rows.size()));
    put32(f, 10, std::uint32_t(54 + extra));
    put32(f, 14, 40);
    put32(f, 18, std::uint32_t(b.width));
    put32(f, 22, std::uint32_t(b.height));
    put16(f, 26, 1);
    put16(f, 28, std::uint16_t(b.bits));
    put32(f, 30, b.compression);
    put32(f, 34, b.sizeImage);
    put32(f, 46, b.coloursUsed);
    std::size_t at = 54;
    for (std::uint32_t m : b.masks) put32(f, (at += 4) - 4, m);
    for (std::uint32_t c : b.table) put32(f, (at += 4) - 4, c);
    f.append(b.rows.begin(), b.rows.end());
    return f;
}

// A 2 x 2 picture: bottom row stored first. Top row red, green; bottom row blue, white.
constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF;
const std::vector<std::uint32_t> kExpected = {kRed, kGreen, kBlue, kWhite};

TEST(Dib, ReadsEveryBitDepthIntoTheSamePicture) {
    BitmapSpec b4(2, 2, 4);
    b4.table = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    b4.rows = {0x23, 0, 0, 0, 0x01, 0, 0, 0};
    BitmapSpec b8(2, 2, 8);
    b8.coloursUsed = 4;
    b8.table = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    b8.rows = {2, 3, 0, 0, 0, 1, 0, 0};
    BitmapSpec b16(2, 2, 16);  // 5-5-5
    b16.rows = {0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03};
    BitmapSpec b16f(2, 2, 16);
    b16f.compression = 3;
    b16f.masks = {0xF800, 0x07E0, 0x001F};  // 5-6-5
    b16f.rows = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07};
    BitmapSpec b24(2, 2, 24);
    b24.rows = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
    BitmapSpec b32(2, 2, 32);
    b32.rows = {0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0};
    BitmapSpec b32top = b32;  // stored top row first
    b32top.height = -2;
    b32top.rows = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};

    for (const BitmapSpec* spec : {&b4, &b8, &b16, &b16f, &b24, &b32, &b32top}) {
        SCOPED_TRACE(spec->bits);
        CDib dib;
        ASSERT_EQ(dib.Read(makeBitmap(*spec)), 0);
        EXPECT_EQ(dib.width(), 2);
        EXPECT_EQ(dib.height(), 2);
        EXPECT_EQ(dib.argbPixels(), kExpected);
    }
    // Two colours: top row white, blue; bottom row blue, white.
    BitmapSpec b1(2, 2, 1);
    b1.table = {0x0000FF, 0xFFFFFF};
    b1.rows = {0b01000000, 0, 0, 0, 0b10000000, 0, 0, 0};
    CDib dib;
    ASSERT_EQ(dib.Read(makeBitmap(b1)), 0);
    EXPECT_EQ(dib.argbPixels(), (std::vector<std::uint32_t>{kWhite, kBlue, kBlue, kWhite}));
}

TEST(Dib, PaletteComesOnlyFromTheColourUsedCount) {
    BitmapSpec b8(2, 2, 8);
    b8.table = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    b8.rows = {2, 3, 0, 0, 0, 1, 0, 0};
    CDib dib;
    ASSERT_EQ(dib.Read(makeBitmap(b8)), 0);
    EXPECT_FALSE(dib.hasPalette());  // drawn with its colour table all the same
    EXPECT_EQ(dib.argbPixels(), kExpected);

    b8.coloursUsed = 3;
    ASSERT_EQ(dib.Read(makeBitmap(b8)), 0);
    ASSERT_TRUE(dib.hasPalette());
    ASSERT_EQ(dib.palette().size(), 3u);
    EXPECT_EQ(dib.palette()[0].red, 0xFF);
    EXPECT_EQ(dib.argbPixels()[3], 0xFF000000u);  // index 3 lies beyond the colours used

    BitmapSpec b24(1, 1, 24);
    b24.rows = {1, 2, 3, 0};
    ASSERT_EQ(dib.Read(makeBitmap(b24)), 0);
    EXPECT_FALSE(dib.hasPalette());
}

TEST(Dib, ImageSizeIsComputedFromWholeWordsPerRowAndDrawnFourPixelsWider) {
    BitmapSpec b(10, 3, 24);
    b.rows.assign(32 * 3, 0x80);  // 30 bytes of pixels padded to 32 per row
    CDib dib;
    ASSERT_EQ(dib.Read(makeBitmap(b)), 0);
    EXPECT_EQ(dib.sizeImage(), 96u);

    BitmapSpec wide(100, 1, 8);
    wide.table = {0x123456};
    wide.rows.assign(100, 0);
    ASSERT_EQ(dib.Read(makeBitmap(wide)), 0);
    EXPECT_EQ(dib.drawWidth(), 104);
    EXPECT_EQ(dib.drawHeight(), 1);
    EXPECT_EQ(dib.argbPixels().front(), 0xFF123456u);
}

TEST(Dib, RefusesHeadersThatDoNotFitTheFile) {
    BitmapSpec good(4, 2, 24);
    good.rows.assign(24, 0);
    const std::string file = makeBitmap(good);
    ASSERT_EQ(CDib().Read(file), 0);

    const auto with = [&](std::size_t at, std::uint32_t value) {
        std::string f = file;
        put32(f, at, value);
        return f;
    };
    const auto withBits = [&](std::uint16_t bits) {
        std::string f = file;
        put16(f, 28, bits);
        return f;
    };
    const struct {
        const char* what;
        std::string bytes;
        int message;
    } cases[] = {
        {"empty file", "", kStrBitmapUnreadable},
        {"13 bytes", file.substr(0, 13), kStrBitmapUnreadable},
        {"no BM", "PK" + file.substr(2), kStrNotABitmap},
        {"offset inside the file header", with(10, 20), kStrNotABitmap},
        {"offset beyond the end", with(10, 5000), kStrBitmapUnreadable},
        {"offset at 2^32-1", with(10, 0xFFFFFFFF), kStrBitmapUnreadable},
        {"info header of 12 bytes", with(14, 12), kStrNotABitmap},
        {"info header larger than the block", with(14, 400), kStrNotABitmap},
        {"width 0", with(18, 0), kStrNotABitmap},
        {"negative width", with(18, 0xFFFFFFFC), kStrNotABitmap},
        {"height 0", with(22, 0), kStrNotABitmap},
        {"height INT32_MIN", with(22, 0x80000000), kStrNotABitmap},
        {"268 million pixels", with(18, 0x10000000), kStrNotABitmap},
        {"bit count 7", withBits(7), kStrNotABitmap},
        {"bit count 0", withBits(0), kStrNotABitmap},
        {"run-length compression", with(30, 1), kStrNotABitmap},
        {"bit fields on 24-bit pixels", with(30, 3), kStrNotABitmap},
        {"image size smaller than the rows", with(34, 10), kStrNotABitmap},
        {"rows cut short", file.substr(0, file.size() - 1), kStrBitmapUnreadable},
        {"colours used beyond the table", with(46, 3), kStrNotABitmap},
        {"colours used 2^32-1", with(46, 0xFFFFFFFF), kStrNotABitmap},
        {"rows for 2^32 bytes", with(22, 0x7FFFFFFF), kStrNotABitmap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDib dib;
        EXPECT_EQ(dib.Read(c.bytes), c.message);
        EXPECT_TRUE(dib.empty());
        EXPECT_TRUE(dib.argbPixels().empty());
    }

    // Indexed pixels with no colour table at all.
    BitmapSpec bare(1, 1, 8);
    bare.rows = {0, 0, 0, 0};
    EXPECT_EQ(CDib().Read(makeBitmap(bare)), kStrNotABitmap);
    // A declared image size with a little slack past the end of the file is still drawn.
    BitmapSpec slack = good;
    slack.sizeImage = 26;
    EXPECT_EQ(CDib().Read(makeBitmap(slack)), 0);
}

TEST(Dib, FileReaderShowsTheMessageWithTheApplicationCaption) {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    CDib dib;
    EXPECT_FALSE(readDibFile(home.path() + "/Splash", dib, prompter));
    std::ofstream(home.path() + "/text") << "hello, not a picture";
    EXPECT_FALSE(readDibFile(home.path() + "/text", dib, prompter));
    ASSERT_EQ(prompter.ids(), (std::vector<int>{kStrBitmapUnreadable, kStrNotABitmap}));
    EXPECT_EQ(prompter.asked[0].captionId, kCaptionApplicationName);
    EXPECT_EQ(prompter.asked[0].buttons, Buttons::Ok);

    BitmapSpec b(1, 1, 24);
    b.rows = {0, 0, 0xFF, 0};
    std::ofstream(home.path() + "/Splash", std::ios::binary) << makeBitmap(b);
    EXPECT_TRUE(readDibFile(home.path() + "/Splash", dib, prompter));
    EXPECT_EQ(dib.argbPixels(), std::vector<std::uint32_t>{kRed});
    EXPECT_EQ(prompter.asked.size(), 2u);
}

}  // namespace
}  // namespace qv
