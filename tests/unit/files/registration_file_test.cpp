// The registration file reader against files laid out by hand, and against the result files
// of the inter-instrument check: a target file registers, a judgement file does not.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <string>

#include "core/files/registration_file.h"
#include "core/files/validation_files.h"
#include "support/project_strings.h"
#include "unit/files/file_text.h"

namespace qv {
namespace {

using Lines = std::map<int, std::string>;

// A file the reader accepts: 31 values and a final separator (32 values) per angle.
Lines acceptedFile() {
    Lines lines{{1, "Date;20261207_150405"}, {2, "Target serial No.;L70S-100001"}};
    for (int a = 0; a < 3; ++a)
        lines[6 + a] = test::spectrumLine(std::to_string(kAngleDegrees[a]), 31) + ";";
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
    std::array<std::size_t, 3> values;  // per angle
    ReadStop stop;
    std::size_t stopLine;
    bool accepted;
};

TEST(RegistrationFile, HeaderKeysAndSpectrumLinesAreReadAsTheRulesSay) {
    const std::string serial = "L70S-100001";
    const Case cases[] = {
        {"accepted", acceptedFile(), serial, {32, 32, 32}, ReadStop::None, 0, true},
        {"31 values without a final separator refused",
         with(acceptedFile(), {{7, test::spectrumLine("45", 31)}}),
         serial,
         {32, 31, 32},
         ReadStop::None,
         0,
         false},
        {"label skipped anywhere but last, 34 values",
         with(acceptedFile(), {{8, test::spectrumLine("75", 33) + ";75;75"}}),
         serial,
         {32, 32, 34},
         ReadStop::None,
         0,
         true},
        {"an empty field keeps its line and stops reading",
         with(acceptedFile(), {{6, "25;1;;2;"}}),
         serial,
         {3, 0, 0},
         ReadStop::EmptyField,
         6,
         false},
        {"an empty spectrum line stops reading",
         with(acceptedFile(), {{7, ""}}),
         serial,
         {32, 0, 0},
         ReadStop::EmptyLine,
         7,
         false},
        {"sample serial key refuses a complete file",
         with(acceptedFile(), {{1, "Sample serial No.;L70S-200002"}}),
         std::nullopt,
         {0, 0, 0},
         ReadStop::RefusedKey,
         1,
         false},
        {"serial key of record files refuses",
         with(acceptedFile(), {{3, "Serial No.;x"}}),
         serial,
         {0, 0, 0},
         ReadStop::RefusedKey,
         3,
         false},
        {"seven-character serial kept, stops",
         with(acceptedFile(), {{2, "Target serial No.;\t1234567 ;L70S-100001"}}),
         "1234567",
         {0, 0, 0},
         ReadStop::ShortSerial,
         2,
         false},
        {"other keys, lines without separator, lines 4, 5 and 9 ignored",
         with(acceptedFile(), {{1, "Remark;x"},
                               {3, "Serial No."},
                               {4, "Serial No.;x"},
                               {5, "Target;400nm"},
                               {9, ""}}),
         serial,
         {32, 32, 32},
         ReadStop::None,
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RegistrationFileRead read =
            readRegistrationFile(test::fileText(c.lines, 9), {',', ";"}, test::projectStrings());
        EXPECT_EQ(read.csvError, CsvError::None);
        EXPECT_EQ(read.targetSerial, c.serial);
        for (int a = 0; a < 3; ++a) EXPECT_EQ(read.spectra[a].size(), c.values[a]) << a;
        EXPECT_EQ(read.stop, c.stop);
        EXPECT_EQ(read.stopLine, c.stopLine);
        EXPECT_EQ(read.accepted, c.accepted);
    }
    const RegistrationFileRead emptyField =
        readRegistrationFile(test::fileText(with(acceptedFile(), {{6, "25;1;;2;"}}), 9), {',', ";"},
                             test::projectStrings());
    EXPECT_EQ(emptyField.spectra[0], (AngleSpectrum{1.0, 2.0, 0.0}));
}

TEST(RegistrationFile, ALineOverTheBoundRefusesTheWholeFile) {
    const RegistrationFileRead read =
        readRegistrationFile(test::fileText(with(acceptedFile(), {{7, std::string(4097, '1')}}), 9),
                             {',', ";"}, test::projectStrings());
    EXPECT_EQ(read.csvError, CsvError::LineTooLong);
    EXPECT_EQ(read.csvErrorLine, 7u);
    EXPECT_FALSE(read.targetSerial);
    EXPECT_FALSE(read.accepted);
}

ThreeAngles measuredTarget() {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) out[a].push_back(20.0 + 0.25 * j + 1.5 * a);
        for (double v : {50.0 + a, -1.25 + a, 3.5 - a}) out[a].push_back(v);
    }
    return out;
}

TEST(RegistrationFile, ATargetResultFileRegistersWithItsSerialAndCoordinates) {
    const auto& texts = test::projectStrings();
    const LocalTime time{2026, 12, 7, 15, 4, 5};
    for (const NumberFormat& format : {NumberFormat{',', ";"}, NumberFormat{'.', ","}}) {
        SCOPED_TRACE(format.listSeparator);
        const RegistrationFileRead read = readRegistrationFile(
            formatTargetFile(measuredTarget(), " L70S-100001", time, texts, format), format, texts);
        EXPECT_EQ(read.targetSerial, "L70S-100001");
        EXPECT_EQ(read.spectra, measuredTarget());  // 34 values: no coordinates to compute
        EXPECT_TRUE(read.accepted);
        // A judgement file names the sample's instrument on line 3 and is refused.
        const RegistrationFileRead judgement = readRegistrationFile(
            formatJudgementFile(measuredTarget(), measuredTarget(), "L70S-100001", "L70S-200002",
                                time, texts, format),
            format, texts);
        EXPECT_EQ(judgement.stop, ReadStop::RefusedKey);
        EXPECT_EQ(judgement.stopLine, 3u);
        EXPECT_FALSE(judgement.accepted);
    }
}

}  // namespace
}  // namespace qv
