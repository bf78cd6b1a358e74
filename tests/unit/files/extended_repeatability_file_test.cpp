// The result file over many readings: written with either separators, read back, recognised by
// the logbook's import and the CGATS export, and refused wherever it is damaged.
#include "core/files/extended_repeatability_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/log/cgats_export.h"
#include "core/log/result_file_import.h"
#include "support/project_strings.h"

namespace qv {
namespace {

ExtendedReport report(int n) {
    ExtendedReport r;
    r.serial = "L70S-000042";
    r.instrumentType = "53";
    r.readings = n;
    r.handling = true;
    r.specimen = "Tile 7";
    r.formula = "dE00";
    r.time = {2026, 12, 8, 14, 5, 9};
    for (int k = 0; k < n; ++k) {
        ThreeAngles s;
        ReadingLab lab{};
        for (int a = 0; a < kAngleCount; ++a) {
            for (int j = 0; j < kSpectrumPoints; ++j) s[a].push_back(10 + a + j * 0.5 + k * 1e-3);
            lab[a] = {50.0 + k * 0.01, -a * 1.25, 3.000001 * (k - a)};
        }
        r.spectra.push_back(s);
        r.lab.push_back(lab);
    }
    for (int a = 0; a < kAngleCount; ++a)
        r.spread[a] = {n, {50.5, -a * 1.25, 1.5}, {0.02, 0.003, 0.5 + a}, 0.25 * (a + 1), 0.75};
    r.spread[2].largest = std::numeric_limits<double>::quiet_NaN();
    return r;
}

TEST(ExtendedFile, ReadBackWithEitherSeparatorsAndRecordedAsTheCheckRecordsIt) {
    for (const NumberFormat& format : {NumberFormat('.', ","), NumberFormat(',', ";")}) {
        const ExtendedReport r = report(12);
        const std::string text = formatExtendedFile(r, format);
        EXPECT_NE(text.find("\r\n"), std::string::npos);
        const FileRead<ExtendedReport> back = readExtendedFile(text, format);
        ASSERT_TRUE(back.contents) << back.problem;
        const ExtendedReport& b = *back.contents;
        EXPECT_EQ(b.readings, 12);
        EXPECT_TRUE(b.handling);
        EXPECT_EQ(b.specimen, "Tile 7");
        EXPECT_EQ(b.formula, "dE00");
        EXPECT_NEAR(b.lab[11][2][2], r.lab[11][2][2], 1e-9);  // six decimals
        EXPECT_EQ(b.spectra[11][2][30], r.spectra[11][2][30]);
        EXPECT_TRUE(std::isnan(b.spread[2].largest));  // written as "---"
        EXPECT_EQ(b.spread[2].sd[2], 2.5);

        // The import knows it by its layout and makes the check's own record.
        const ResultFileRead imported = recordFromResultFile(text, format, test::projectStrings());
        ASSERT_TRUE(imported.record) << imported.reason;
        const CheckRecord expected = extendedRecord(r, {});
        EXPECT_EQ(imported.record->kind, RecordKind::ExtendedRepeatability);
        EXPECT_EQ(imported.record->specimen, expected.specimen);
        EXPECT_EQ(imported.record->readings, 12);
        EXPECT_EQ(imported.record->angles[1].sd, expected.angles[1].sd);
        EXPECT_EQ(imported.record->angles[1].lab, expected.angles[1].lab);
        EXPECT_EQ(imported.record->angles[0].deltaE, 0.25);
        EXPECT_FALSE(imported.record->passed.has_value());

        const CgatsExport cgats = exportSpectra(text, format, test::projectStrings());
        ASSERT_TRUE(cgats.ok()) << cgats.problem;
        EXPECT_NE(cgats.text.find("NUMBER_OF_SETS 36"), std::string::npos);
        EXPECT_NE(cgats.text.find("\"reading 12 75\""), std::string::npos);
    }
}

TEST(ExtendedFile, EveryDamageIsRefusedWithItsLine) {
    const NumberFormat format('.', ",");
    const std::string good = formatExtendedFile(report(10), format);
    const struct {
        std::string from, to;
        std::size_t line;
    } damages[] = {
        {"Repeatability readings,10", "Repeatability readings,1", 2},
        {"Repeatability readings,10", "Repeatability readings,101", 2},
        {"Repeatability readings,10", "Repeatability readings,11", 45},  // the file ends early
        {"Repeatability readings,10", "Repeatability readings,2.5", 2},
        {"Handling,yes", "Handling,maybe", 5},
        {"Instrument,L70S-000042", "Instrument, ", 3},
        {"\r\n1,45,", "\r\n1,46,", 11},
        {"\r\n3,25,50.020000", "\r\n3,25,5O.020000", 16},
        {"\r\n10,75,", "\r\n11,75,", 39},
        {"\r\n45,", "\r\n45x,", 43},
        {"MCDM", "MCDM,extra", 41},
        {"0.250000,0.020000", "0.250000,-0.020000", 42},  // a standard deviation below zero
        {"\r\n1,25,50.000000,0.000000,0.000000,10.000000",
         "\r\n1,25,50.000000,0.000000,0.000000,---", 10},
    };
    for (const auto& d : damages) {
        std::string text = good;
        const std::size_t at = text.find(d.from);
        ASSERT_NE(at, std::string::npos) << d.from;
        text.replace(at, d.from.size(), d.to);
        const FileRead<ExtendedReport> read = readExtendedFile(text, format);
        EXPECT_FALSE(read.contents) << d.to;
        EXPECT_EQ(read.problem.rfind("line " + std::to_string(d.line) + ":", 0), 0u)
            << d.to << ": " << read.problem;
    }
    // Every shorter file is refused, never half read.
    for (std::size_t cut = 0; cut < good.size(); cut += 97)
        EXPECT_FALSE(readExtendedFile(good.substr(0, cut), format).contents) << cut;
}

}  // namespace
}  // namespace qv
