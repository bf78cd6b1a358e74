#include <gtest/gtest.h>

#include <filesystem>

#include <stdlib.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/app/number_format.h"
#include "core/measure/data_line.h"

namespace qv {
namespace {

TEST(DataLine, TakesFieldsTwoToThirtyTwoAndFillsTheRestWithZero) {
    const AngleSpectrum shortLine = parseDataLine("OK00,1.5,2.5\r");
    ASSERT_EQ(shortLine.size(), 31u);
    EXPECT_EQ(shortLine[0], 1.5);
    EXPECT_EQ(shortLine[1], 2.5);
    for (int j = 2; j < 31; ++j) EXPECT_EQ(shortLine[j], 0.0) << j;

    std::string wide = "X";
    for (int i = 1; i <= 39; ++i) wide += "," + std::to_string(i) + ".25";
    const AngleSpectrum wideLine = parseDataLine(wide + "\r");
    ASSERT_EQ(wideLine.size(), 31u);
    EXPECT_EQ(wideLine[0], 1.25);
    EXPECT_EQ(wideLine[30], 31.25);

    EXPECT_EQ(parseDataLine("").size(), 31u);
    EXPECT_EQ(parseDataLine(std::string(5000, ',')), AngleSpectrum(31, 0.0));
}

TEST(DataLine, ReadsNumbersLikeAtofInTheCLocale) {
    const AngleSpectrum s = parseDataLine("OK00,  12.34,abc,-7e1,+3.5x,,  , 99.9\r");
    EXPECT_EQ(s[0], 12.34);  // leading blanks skipped
    EXPECT_EQ(s[1], 0.0);    // no number
    EXPECT_EQ(s[2], -70.0);
    EXPECT_EQ(s[3], 3.5);  // stops at the first character that cannot continue
    EXPECT_EQ(s[4], 0.0);
    EXPECT_EQ(s[5], 0.0);
    EXPECT_DOUBLE_EQ(s[6], 99.9);  // carriage return at the end is harmless
    EXPECT_EQ(parseInstrumentNumber(std::string("4.5\0"
                                                "9",
                                                5)),
              4.5);
}

// Switches the process to a locale with a decimal comma, compiling one into a temporary
// folder when the system has none installed.
bool useCommaLocale() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) return true;
    // The compiled locale lives as long as the test program and leaves nothing behind.
    struct Folder {
        std::string path;
        Folder() {
            char templ[] = "/tmp/qv-locale-XXXXXX";
            if (mkdtemp(templ) == nullptr) return;
            path = templ;
            const std::string cmd =
                "localedef -i de_DE -f UTF-8 " + path + "/de_DE.UTF-8 >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0) remove();
        }
        ~Folder() { remove(); }
        void remove() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
            path.clear();
        }
    };
    static Folder folder;
    if (folder.path.empty()) return false;
    setenv("LOCPATH", folder.path.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(DataLine, IgnoresAndKeepsTheProcessLocale) {
    if (!useCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma available";
    ASSERT_EQ(std::localeconv()->decimal_point, std::string(","));
    const std::string before = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(parseDataLine("OK00,12.34,0,5")[0], 12.34);
    EXPECT_EQ(before, std::setlocale(LC_ALL, nullptr));
    std::setlocale(LC_ALL, "C");
}

TEST(FileNumber, SixDecimalsWithTheUsersSeparator) {
    EXPECT_EQ((NumberFormat{',', ";"}.file(12.3456789)), "12,345679");
    EXPECT_EQ((NumberFormat{'.', ","}.file(-0.5)), "-0.500000");
    EXPECT_EQ((NumberFormat{'.', ","}.file(1e300)).size(), 301u + 7u);
    EXPECT_EQ((NumberFormat{',', ";"}.file(0.0)), "0,000000");
}

}  // namespace
}  // namespace qv
