#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/app/csv.h"
#include "core/app/number_format.h"

namespace qv {
namespace {

TEST(NumberFormat, OneRuleForEachAudience) {
    const NumberFormat comma{',', ";"};
    const NumberFormat point{'.', ","};
    EXPECT_EQ(comma.file(-0.0000001), "-0,000000");  // files keep what printf wrote
    EXPECT_EQ(comma.display(-0.001), "0,00");        // the screen never shows -0.00
    EXPECT_EQ(point.display(-0.005001), "-0.01");
    EXPECT_EQ(point.display(std::numeric_limits<double>::quiet_NaN()), kEmptyField);
    EXPECT_EQ(instrumentNumber(-0.001), "-0.00");  // the instrument reads "%4.2lf" as it is
    EXPECT_EQ(instrumentNumber(1.005), "1.00");
    EXPECT_EQ(roundedToTwoDecimals(-0.001), 0.0);
    EXPECT_FALSE(std::signbit(roundedToTwoDecimals(-0.001)));
}

TEST(NumberFormat, AFileNumberReadsBackWithTheUsersSeparatorOrAPoint) {
    const NumberFormat comma{',', ";"};
    for (double v : {0.0, -12.345678, 99.5, 1e-6})
        EXPECT_EQ(comma.readFile(comma.file(v)), std::round(v * 1e6) / 1e6) << v;
    EXPECT_EQ(comma.readFile(" 1.5 "), 1.5);
    for (const char* bad : {"", "1,5,0", "1.5x", "nan", "inf", "1e999", "--1", "0x10"})
        EXPECT_FALSE(comma.readFile(bad)) << bad;
    EXPECT_FALSE(NumberFormat{}.readFile(std::string(65, '1')));
}

TEST(NumberFormat, FilesFromOtherToolsAreReadAsAtofReadsThem) {
    const NumberFormat comma{',', ";"};
    const NumberFormat point{'.', ","};
    struct Case {
        const char* field;
        double withComma;
        double withPoint;
    };
    const Case cases[] = {
        {"45,12", 45.12, 45.0}, {"45.12", 45.12, 45.12}, {" \t-1,5e2x", -150.0, -1.0},
        {"12abc", 12.0, 12.0},  {"", 0.0, 0.0},          {"abc", 0.0, 0.0},
        {"nan", 0.0, 0.0},      {"inf", 0.0, 0.0},       {"1e999", 0.0, 0.0},
        {"0x10", 0.0, 0.0},     {"--1", 0.0, 0.0},       {"1,5,7", 1.5, 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(comma.readLenient(c.field), c.withComma) << c.field;
        EXPECT_EQ(point.readLenient(c.field), c.withPoint) << c.field;
    }
    // Files keep what printf wrote, also with fewer decimals.
    EXPECT_EQ(comma.file(-0.004, 2), "-0,00");
    EXPECT_EQ(point.file(0.125, 2), "0.12");
    EXPECT_EQ(point.file(0.9765, 3), "0.977");
}

TEST(Csv, WrittenFieldsReadBackAndLinesKeepTheirNumbers) {
    const NumberFormat format{',', ";"};
    CsvWriter w(format);
    w.field("a;b\r\nc").number(-1.25).last("end").endLine();
    w.endLine().field("x").endLine("");
    EXPECT_EQ(w.text(), "a b  c;-1,250000;end\r\n\r\nx;");

    const CsvReadResult read = readCsv(w.text(), format.listSeparator);
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read.table.lines.size(), 3u);
    EXPECT_EQ(read.table.at(0, 1), "-1,250000");
    EXPECT_EQ(format.readFile(read.table.at(0, 1)), -1.25);
    EXPECT_EQ(read.table.fieldCount(1), 1u);
    EXPECT_EQ(read.table.at(2, 0), "x");
    EXPECT_EQ(read.table.at(9, 9), "");
    // A list separator of several characters splits at its first one.
    EXPECT_EQ(readCsv("1;|2", ";|").table.at(0, 1), "|2");
}

TEST(Csv, AnOverlongLineOrTooManyLinesRefusesTheWholeFile) {
    const std::string longLine(5000, 'x');
    const CsvReadResult tooLong = readCsv("a,b\n" + longLine + "\nc,d\n", ",");
    EXPECT_EQ(tooLong.error, CsvError::LineTooLong);
    EXPECT_EQ(tooLong.errorLine, 2u);
    EXPECT_TRUE(tooLong.table.lines.empty());
    EXPECT_EQ(readCsv("1\n2\n3\n", ",", CsvLimits{10, 2}).error, CsvError::TooManyLines);
    EXPECT_EQ(readCsv("1", "").error, CsvError::NoSeparator);
    EXPECT_TRUE(readCsv(std::string("a\0b,c\r\n", 7), ",").ok());
}

}  // namespace
}  // namespace qv
