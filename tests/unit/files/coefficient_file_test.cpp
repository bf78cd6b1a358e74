// The coefficient file reader against files laid out by hand: header keys, spectrum lines,
// the 30-value acceptance and the refusal of a line over the CSV bound.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "core/files/coefficient_file.h"
#include "support/project_strings.h"
#include "unit/files/file_text.h"

namespace qv {
namespace {

using Lines = std::map<int, std::string>;

// A file the reader accepts: serial, comment, two-value target lines, 30-value sample lines.
Lines acceptedFile() {
    Lines lines{{1, "Date;20261207_150405"}, {2, "Serial No.;L70S-200002"},
                {3, "Comment;LOT 12"},       {33, "25;1.5;2.5"},
                {34, "45;1.5;2.5"},          {35, "75;1.5;2.5"}};
    for (int a = 0; a < 3; ++a)
        lines[37 + a] = test::spectrumLine(std::to_string(kAngleDegrees[a]), 30);
    return lines;
}

Lines with(Lines lines, const Lines& changes) {
    for (const auto& [n, text] : changes) lines[n] = text;
    return lines;
}

struct Case {
    const char* name;
    Lines lines;
    std::optional<std::string> serial;
    std::optional<std::string> comment;
    AngleSpectrum target25;
    std::size_t sampleValues;  // in each sample spectrum
    ReadStop stop;
    std::size_t stopLine;
    bool accepted;
    NumberFormat format{'.', ";"};
    int lineCount = 40;
};

TEST(CoefficientFile, HeaderKeysAndSpectrumLinesAreReadAsTheRulesSay) {
    const std::string serial = "L70S-200002";
    const AngleSpectrum two{1.5, 2.5};
    const Case cases[] = {
        {"accepted", acceptedFile(), serial, "LOT 12", two, 30, ReadStop::None, 0, true},
        {"serial trimmed, comment kept as written up to a second separator",
         with(acceptedFile(), {{2, "Serial No.; \tL70S-200002 \t"}, {3, "Comment; LOT ;x"}}),
         serial, " LOT ", two, 30, ReadStop::None, 0, true},
        {"seven-character serial kept, stops before the spectra",
         with(acceptedFile(), {{2, "Serial No.; L70S-20 "}}),
         "L70S-20",
         std::nullopt,
         {},
         0,
         ReadStop::ShortSerial,
         2,
         false},
        {"unknown key stops",
         with(acceptedFile(), {{3, "comment;LOT 12"}}),
         serial,
         std::nullopt,
         {},
         0,
         ReadStop::RefusedKey,
         3,
         false},
        {"lines without separator and lines 4 to 32 ignored",
         with(acceptedFile(), {{2, "Serial No."}, {3, ""}, {4, "Remark;x"}}), std::nullopt,
         std::nullopt, two, 30, ReadStop::None, 0, true},
        {"label skipped inside a line, empty field read as 0.0",
         with(acceptedFile(), {{33, "25;1.5;25;;2.5"}}),
         serial,
         "LOT 12",
         {1.5, 0.0, 2.5},
         30,
         ReadStop::None,
         0,
         true},
        {"trailing separator appends 0.0",
         with(acceptedFile(), {{33, "25;1.5;"}}),
         serial,
         "LOT 12",
         {1.5, 0.0},
         30,
         ReadStop::None,
         0,
         true},
        {"the label as last field is a value",
         with(acceptedFile(), {{33, "25;1.5;25"}}),
         serial,
         "LOT 12",
         {1.5, 25.0},
         30,
         ReadStop::None,
         0,
         true},
        {"a line of the label alone is its value",
         with(acceptedFile(), {{33, "25"}}),
         serial,
         "LOT 12",
         {25.0},
         30,
         ReadStop::None,
         0,
         true},
        {"29 sample values refused",
         with(acceptedFile(), {{38, test::spectrumLine("45", 28) + ";"}}), serial, "LOT 12", two,
         30, ReadStop::None, 0, false},
        {"target lines only refused", acceptedFile(), serial, "LOT 12", two, 0, ReadStop::None, 0,
         false, NumberFormat{'.', ";"}, 35},
        {"empty sample lines read as 0.0 each",
         with(acceptedFile(), {{37, ""}, {38, ""}, {39, ""}}), serial, "LOT 12", two, 1,
         ReadStop::None, 0, false},
        {"decimal comma read with a comma user format",
         with(acceptedFile(), {{33, "25;45,12;1.5"}}),
         serial,
         "LOT 12",
         {45.12, 1.5},
         30,
         ReadStop::None,
         0,
         true,
         NumberFormat{',', ";"}},
        {"decimal comma read with a point user format",
         with(acceptedFile(), {{33, "25;45,12;x;1e999"}}),
         serial,
         "LOT 12",
         {45.0, 0.0, 0.0},
         30,
         ReadStop::None,
         0,
         true},
        {"a long line after line 39 is never looked at",
         with(acceptedFile(), {{40, std::string(5000, '1')}}), serial, "LOT 12", two, 30,
         ReadStop::None, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CoefficientFileRead read = readCoefficientFile(test::fileText(c.lines, c.lineCount),
                                                             c.format, test::projectStrings());
        EXPECT_EQ(read.csvError, CsvError::None);
        EXPECT_EQ(read.sampleSerial, c.serial);
        EXPECT_EQ(read.comment, c.comment);
        EXPECT_EQ(read.target[0], c.target25);
        EXPECT_EQ(read.sample[0].size(), c.sampleValues);
        EXPECT_EQ(read.stop, c.stop);
        EXPECT_EQ(read.stopLine, c.stopLine);
        EXPECT_EQ(read.accepted, c.accepted);
    }
}

TEST(CoefficientFile, ALineOverTheBoundRefusesTheWholeFile) {
    const std::string text =
        test::fileText(with(acceptedFile(), {{20, std::string(5000, ';')}}), 39);
    const CoefficientFileRead read = readCoefficientFile(text, {'.', ";"}, test::projectStrings());
    EXPECT_EQ(read.csvError, CsvError::LineTooLong);
    EXPECT_EQ(read.csvErrorLine, 20u);
    EXPECT_FALSE(read.sampleSerial);
    EXPECT_TRUE(read.sample[0].empty());
    EXPECT_FALSE(read.accepted);
}

}  // namespace
}  // namespace qv
