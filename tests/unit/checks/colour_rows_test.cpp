// Text tables for the colour command line.
#include "core/checks/colour_rows.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

using Kind = RowOutcome::Kind;

// "id" and 31 values joined by sep; value j is from + step * j.
std::string spectrumRow(const std::string& id, char sep, double from = 5.0, double step = 3.0,
                        bool comma = false) {
    std::string row = id;
    for (int j = 0; j < 31; ++j) {
        std::string v = formatFixed4(from + step * j);
        if (comma) v[v.find('.')] = ',';
        row += sep + v;
    }
    return row;
}

TEST(ColourRows, SpectraGiveLabWithFourDecimalsWhateverTheSeparator) {
    ColourRowConverter c(ColourTable::Spectra);
    std::string heading = "id";
    for (int nm = 400; nm <= 700; nm += 10) heading += "," + std::to_string(nm);
    EXPECT_EQ(c.feed(heading).kind, Kind::Skipped);  // a heading of wavelengths
    EXPECT_EQ(c.feed("").kind, Kind::Skipped);

    // Ramp 5..95 %: L*a*b* 76.2723 9.4625 40.7150 (see the tristimulus tests).
    const RowOutcome comma = c.feed(spectrumRow("tile 1", ',') + "\r");
    ASSERT_EQ(comma.kind, Kind::Result) << comma.text;
    EXPECT_EQ(comma.text, "tile 1\t76.2723\t9.4625\t40.7150");
    EXPECT_EQ(c.feed(spectrumRow("t2", ';', 5.0, 3.0, true)).text, "t2\t76.2723\t9.4625\t40.7150");
    EXPECT_EQ(c.feed(spectrumRow("t3", '\t') + "\t").text, "t3\t76.2723\t9.4625\t40.7150");
    EXPECT_EQ(c.feed(spectrumRow("black", ',', 0.0, 0.0)).text, "black\t0.0000\t0.0000\t0.0000");
    EXPECT_EQ(c.resultRows(), 4);
    EXPECT_EQ(c.badRows(), 0);
}

TEST(ColourRows, BadSpectrumRowsAreRefusedWithTheirLineNumber) {
    ColourRowConverter c(ColourTable::Spectra);
    EXPECT_EQ(c.feed("sample;r400;r410").kind, Kind::Skipped);  // named heading
    RowOutcome r = c.feed(spectrumRow("short", ',').substr(0, 40));
    EXPECT_EQ(r.kind, Kind::Error);
    EXPECT_NE(r.text.find("line 2:"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("31 reflectances"), std::string::npos) << r.text;

    std::string typo = spectrumRow("typo", ',');
    typo.replace(typo.find(",8.0000"), 7, ",8.O000");
    r = c.feed(typo);
    EXPECT_EQ(r.kind, Kind::Error);
    EXPECT_NE(r.text.find("line 3: reflectance at 410 nm '8.O000'"), std::string::npos) << r.text;

    EXPECT_EQ(c.feed(spectrumRow("extra", ',') + ",1").kind, Kind::Error);
    EXPECT_EQ(c.feed(spectrumRow("", ',')).kind, Kind::Error);
    EXPECT_EQ(c.feed(spectrumRow("nan", ',', 1.0, 0.0) + "").kind, Kind::Result);
    std::string withNan = spectrumRow("x", ',');
    withNan.replace(withNan.find(",5.0000"), 7, ",nan");
    EXPECT_EQ(c.feed(withNan).kind, Kind::Error);
    std::string huge = "huge";  // parses, but Z overflows
    for (int j = 0; j < 31; ++j) huge += ",1.7e308";
    const RowOutcome overflow = c.feed(huge);
    EXPECT_EQ(overflow.kind, Kind::Error);
    EXPECT_NE(overflow.text.find("no finite"), std::string::npos) << overflow.text;
    EXPECT_EQ(c.badRows(), 6);
    EXPECT_EQ(c.resultRows(), 1);
}

TEST(ColourRows, AFirstRowWithNumbersIsDataNotAHeading) {
    ColourRowConverter c(ColourTable::Spectra);
    std::string typo = spectrumRow("first", ',');
    typo.replace(typo.find(",8.0000"), 7, ",x");
    EXPECT_EQ(c.feed(typo).kind, Kind::Error);
    ColourRowConverter lone(ColourTable::Spectra);
    EXPECT_EQ(lone.feed("just an id").kind, Kind::Error);
}

TEST(ColourRows, LabPairsGiveTheChosenDifference) {
    // Sharma pair 14, in blanks, commas and semicolons with decimal commas.
    ColourRowConverter de00(ColourTable::LabPairs, DeltaEFormula::Ciede2000);
    EXPECT_EQ(de00.feed("L1 a1 b1 L2 a2 b2").kind, Kind::Skipped);
    EXPECT_EQ(de00.feed("50.0000 -0.0010 2.4900  50.0000 0.0010 -2.4900").text, "4.8045");
    EXPECT_EQ(de00.feed("50,-0.001,2.49,50,0.001,-2.49").text, "4.8045");
    EXPECT_EQ(de00.feed("50;-0,001;2,49;50;0,001;-2,49").text, "4.8045");
    ColourRowConverter de76(ColourTable::LabPairs);
    EXPECT_EQ(de76.feed("50 0 0 53 4 0").text, "5.0000");
    const RowOutcome five = de76.feed("50 0 0 53 4");
    EXPECT_EQ(five.kind, Kind::Error);
    EXPECT_NE(five.text.find("line 2: expected 6 numbers"), std::string::npos) << five.text;
    const RowOutcome word = de76.feed("50 0 0 53 4 zero");
    EXPECT_NE(word.text.find("field 6 'zero'"), std::string::npos) << word.text;
}

TEST(ColourRows, NumbersAreReadAndWrittenWithoutTheLocale) {
    EXPECT_EQ(parseDecimal("+1.5"), 1.5);
    EXPECT_EQ(parseDecimal(" -2e1 "), -20.0);
    EXPECT_EQ(parseDecimal("1,5", true), 1.5);
    EXPECT_FALSE(parseDecimal("1,5"));
    EXPECT_FALSE(parseDecimal("1.5x"));
    EXPECT_FALSE(parseDecimal(""));
    EXPECT_FALSE(parseDecimal("inf"));
    EXPECT_FALSE(parseDecimal("nan"));
    EXPECT_FALSE(parseDecimal("0x10"));
    EXPECT_FALSE(parseDecimal(std::string(100, '1')));
    EXPECT_EQ(formatFixed4(-0.00004), "0.0000");
    EXPECT_EQ(formatFixed4(-0.00005), "-0.0001");
    EXPECT_EQ(formatFixed4(4.80449), "4.8045");
    EXPECT_EQ(formatFixed4(1e20), "100000000000000000000.0000");
}

}  // namespace
}  // namespace qv
