#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

#include "core/app/number_format.h"
#include "core/link/commands.h"
#include "core/link/reply_judgement.h"

namespace qv {
namespace {

std::array<double, kUcsBlockValueCount> block(double first, double rest) {
    std::array<double, kUcsBlockValueCount> v{};
    v.fill(rest);
    v[0] = first;
    return v;
}

TEST(Commands, EntryCommandsTakeThreeDigitEntriesOneToThirty) {
    EXPECT_EQ(buildUcrCommand(1), "UCR,1,001\r\n");
    EXPECT_EQ(buildUcrCommand(30), "UCR,1,030\r\n");
    EXPECT_EQ(buildUsdCommand(12), "USD,012\r\n");
    // Entry 30 fills the 10-byte delete buffer exactly: nine characters and the zero.
    ASSERT_TRUE(buildUsdCommand(30));
    EXPECT_EQ(buildUsdCommand(30)->size() + 1, kEntryDeleteBufferBytes);
    for (int bad : {0, -1, 31, 1000, std::numeric_limits<int>::min()}) {
        EXPECT_FALSE(buildUcrCommand(bad)) << bad;
        EXPECT_FALSE(buildUsdCommand(bad)) << bad;
        EXPECT_FALSE(buildUcsHeaderCommand(bad, "c", "t", "s")) << bad;
        EXPECT_FALSE(buildUcsBlockCommand(bad, 0, block(1, 1))) << bad;
    }
}

TEST(Commands, UcsHeaderIsBoundedAndSingleLine) {
    EXPECT_EQ(buildUcsHeaderCommand(7, "Panel A", "06.12.2026 05:28:35", "L70S-000001"),
              "UCS,1,007,Panel A,06.12.2026 05:28:35,L70S-000001\r\n");
    // 511 characters fit the 512-byte buffer, 512 do not.
    const std::size_t fixed = std::string("UCS,1,007,,t,s\r\n").size();
    const std::string fits(kEntryWriteBufferBytes - 1 - fixed, 'c');
    ASSERT_TRUE(buildUcsHeaderCommand(7, fits, "t", "s"));
    EXPECT_EQ(buildUcsHeaderCommand(7, fits, "t", "s")->size(), kEntryWriteBufferBytes - 1);
    EXPECT_FALSE(buildUcsHeaderCommand(7, fits + "c", "t", "s"));
    EXPECT_FALSE(buildUcsHeaderCommand(7, std::string(100000, 'c'), "t", "s"));
    // A line break or zero byte would end the command early or start a second one.
    EXPECT_FALSE(buildUcsHeaderCommand(7, "a\r\nMES", "t", "s"));
    EXPECT_FALSE(buildUcsHeaderCommand(7, "a", "t\n", "s"));
    EXPECT_FALSE(buildUcsHeaderCommand(7, "a", "t", std::string("s\0x", 3)));
}

TEST(Commands, UcsBlocksFormatTwoDecimalsWithAPointAndRefuseWhatDoesNotFit) {
    const auto cmd = buildUcsBlockCommand(7, 0, block(92.456, 1.0));
    ASSERT_TRUE(cmd);
    std::string expected = "UCS,2,007,92.46";
    for (int i = 1; i < 32; ++i) expected += ",1.00";
    EXPECT_EQ(*cmd, expected + "\r\n");
    EXPECT_EQ(buildUcsBlockCommand(7, 2, block(1, 1))->substr(0, 6), "UCS,4,");
    EXPECT_FALSE(buildUcsBlockCommand(7, 3, block(1, 1)));
    EXPECT_FALSE(buildUcsBlockCommand(7, -1, block(1, 1)));
    const std::array<double, 31> shortBlock{};
    EXPECT_FALSE(buildUcsBlockCommand(7, 0, shortBlock));
    EXPECT_FALSE(buildUcsBlockCommand(7, 0, block(std::numeric_limits<double>::quiet_NaN(), 1)));
    EXPECT_FALSE(buildUcsBlockCommand(7, 0, block(std::numeric_limits<double>::infinity(), 1)));
    // Huge values would overflow the 512-byte buffer: each 1e100 takes 104 characters.
    auto huge = block(1, 1);
    std::fill_n(huge.begin(), 3, 1e100);
    ASSERT_TRUE(buildUcsBlockCommand(7, 0, huge));
    EXPECT_EQ(buildUcsBlockCommand(7, 0, huge)->size(), 9 + 3 * 105 + 29 * 5 + 2u);
    huge[3] = 1e100;
    EXPECT_FALSE(buildUcsBlockCommand(7, 0, huge));
    EXPECT_FALSE(buildUcsBlockCommand(7, 0, block(1, 1e20)));
}

TEST(Commands, ValueFormatMatchesPrintfFourPointTwo) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0.00"},   {5.0, "5.00"},       {0.125, "0.12"},    {0.135, "0.14"},
        {-0.5, "-0.50"}, {104.987, "104.99"}, {99.995, "100.00"}, {1.005, "1.00"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(instrumentNumber(value), text) << value;
}

TEST(ReplyJudgement, FourJudgementsAsTheCommandsUseThem) {
    struct Case {
        const char* reply;
        bool nonEmpty, firstField, statusPrefix;
        StatusCode status;
    };
    const Case cases[] = {
        {"", false, false, false, StatusCode::NoReply},
        {"OK00\r", true, false, true, StatusCode::Accepted},
        {"OK00,1\r", true, true, true, StatusCode::Accepted},
        {"OK00xyz\r", true, false, true, StatusCode::Accepted},
        {"ok00,1\r", true, false, false, StatusCode::Unrecognised},
        {"OK0", true, false, false, StatusCode::Unrecognised},
        {"OK01\r", true, false, false, StatusCode::Refused},
        {"OK02", true, false, false, StatusCode::Refused},
        {"OK03,x", true, false, false, StatusCode::Refused},
        {"OK04\r", true, false, false, StatusCode::Refused},
        {"ER11\r", true, false, false, StatusCode::Refused},
        {"OK05\r", true, false, false, StatusCode::Unrecognised},
        {" OK00,", true, false, false, StatusCode::Unrecognised},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(judgeNonEmpty(c.reply), c.nonEmpty);
        EXPECT_EQ(judgeFirstField(c.reply), c.firstField);
        EXPECT_EQ(judgeStatusPrefix(c.reply), c.statusPrefix);
        EXPECT_EQ(judgeStatusCode(c.reply), c.status);
    }
    EXPECT_TRUE(succeeded(StatusCode::Unrecognised));
    EXPECT_FALSE(succeeded(StatusCode::Refused));
    EXPECT_FALSE(succeeded(StatusCode::NoReply));
}

}  // namespace
}  // namespace qv
