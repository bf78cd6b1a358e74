// CGATS tables: the export's own text read and written back byte for byte, what other tools
// write (fractions, comments, sets over lines) read as percent, damaged tables refused at
// their line, and a copy standardised through a profile changing the instrument's sets alone.
#include <gtest/gtest.h>

#include "core/colour/colour_requests.h"
#include "core/files/cgats_file.h"
#include "core/files/validation_files.h"
#include "core/log/cgats_export.h"
#include "core/tiles/standardise.h"
#include "support/project_strings.h"

namespace qv {
namespace {

ThreeAngles spectra(double base) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) out[a].push_back(base + 0.25 * j + 1.5 * a);
    return out;
}

std::string judgementCgats() {
    const auto& texts = test::projectStrings();
    const std::string judgement =
        formatJudgementFile(spectra(20.0), spectra(21.0), "L70S-100001", "L70S-200002",
                            {2026, 12, 7, 15, 4, 5}, texts, {});
    return exportSpectra(judgement, {}, texts).text;
}

// Everything from the field names on, with `values` for the data of one set.
std::string table(const std::string& head, const std::string& values) {
    std::string fields = "SAMPLE_NAME";
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) fields += " " + cgatsSpectralField(nm);
    return head + "BEGIN_DATA_FORMAT\n" + fields + "\nEND_DATA_FORMAT\nBEGIN_DATA\n" + values +
           "\nEND_DATA\n";
}

std::string values(double v, int n = kSpectrumPoints) {
    std::string out;
    for (int i = 0; i < n; ++i) out += " " + formatFixed(v, 4);
    return out;
}

TEST(CgatsFile, TheExportReadsBackWholeAndWritesTheSameText) {
    const std::string text = judgementCgats();
    const auto read = readCgats(text);
    ASSERT_TRUE(read.ok()) << read.problem;
    EXPECT_EQ(formatCgats(*read.contents), text);
    EXPECT_EQ(cgatsKeyword(*read.contents, "INSTRUMENTATION"),
              "target L70S-100001, sample L70S-200002");
    const auto s = cgatsSpectra(*read.contents);
    ASSERT_TRUE(s.ok()) << s.problem;
    ASSERT_EQ(s.contents->size(), 6u);
    EXPECT_EQ((*s.contents)[4].name, "sample 45");
    EXPECT_EQ((*s.contents)[4].angle, 1);
    EXPECT_DOUBLE_EQ((*s.contents)[4].reflectances[2], 21.0 + 0.5 + 1.5);
}

TEST(CgatsFile, FractionsCommentsAndSetsOverLinesReadAsPercent) {
    const std::string text =
        "CGATS.17\n# from another tool\nKEYWORD \"SPECTRAL_NORM\"\n"
        "SPECTRAL_NORM \"1.0\"\n" +
        table("", "\"tile 75\"" + values(0.25, 10) + "\n" + values(0.25, 21));
    const auto read = readCgats(text);
    ASSERT_TRUE(read.ok()) << read.problem;
    auto s = cgatsSpectra(*read.contents);
    ASSERT_TRUE(s.ok()) << s.problem;
    EXPECT_EQ((*s.contents)[0].angle, 2);
    EXPECT_DOUBLE_EQ((*s.contents)[0].reflectances[30], 25.0);
    // Written back in the file's own scale.
    CgatsTable copy = *read.contents;
    (*s.contents)[0].reflectances[0] = 50.0;
    setCgatsSpectrum(copy, (*s.contents)[0]);
    EXPECT_EQ(copy.sets[0][1], "0.500000");
}

TEST(CgatsFile, DamagedTablesAreRefusedAtTheirLine) {
    const std::string ok = "\"white 25\"" + values(80.0);
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {"", "line 1: no CGATS identifier"},
        {"CTI3\nDESCRIPTOR \"open\n", "line 2: a string left open"},
        {table("CTI3\n", ok).substr(0, 60), "no END_DATA"},
        {table("CTI3\n", "\"white 25\"" + values(80.0, 30)), "fewer values than there are fields"},
        {table("CTI3\nNUMBER_OF_SETS 2\n", ok), "NUMBER_OF_SETS says 2, the data holds 1"},
        {table("CTI3\n", ok) + "CTI3\n", "a second table"},
        {"CTI3\nBEGIN_DATA\n1\nEND_DATA\n", "line 2: data before the field names"},
        {table("CTI3\n", ok + " END_DATA 3"), "something after END_DATA"},
    };
    for (const auto& c : cases) {
        const auto read = readCgats(c.text);
        EXPECT_FALSE(read.ok()) << c.text;
        EXPECT_NE(read.problem.find(c.problem), std::string::npos) << read.problem;
    }
    const struct {
        std::string text;
        std::string problem;
    } unread[] = {
        {table("CTI3\n", "\"white\"" + values(80.0)), "set 1: \"white\" names no angle"},
        {table("CTI3\n", "\"white 25\"" + values(80.0, 30) + " x"), "set 1: SPEC_700 is not"},
        {table("CTI3\nSPECTRAL_NORM \"0\"\n", ok), "SPECTRAL_NORM is not a positive number"},
    };
    for (const auto& c : unread) {
        const auto read = readCgats(c.text);
        ASSERT_TRUE(read.ok()) << read.problem;
        const auto s = cgatsSpectra(*read.contents);
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.problem.find(c.problem), std::string::npos) << s.problem;
    }
}

// A profile that adds 1 % everywhere: the sample's sets move by 1 %, the target's do not, the
// copy names the profile and is refused a second time.
TEST(CgatsFile, AStandardisedCopyChangesTheInstrumentsSetsAlone) {
    Profile profile;
    for (AngleProfile& a : profile.angles) {
        a.offset.fill(1.0);
        a.slope.fill(1.0);
    }
    const auto table = readCgats(judgementCgats());
    ASSERT_TRUE(table.ok());
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    const auto copy = standardiseCgats(*engine, *table.contents, profile, "profile 7");
    ASSERT_TRUE(copy.ok()) << copy.problem;
    ASSERT_TRUE(copy.contents->compared);
    const auto before = *cgatsSpectra(*table.contents).contents;
    const auto after = *cgatsSpectra(copy.contents->table).contents;
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_NEAR(after[i].reflectances[9] - before[i].reflectances[9], i < 3 ? 0.0 : 1.0, 1e-9)
            << before[i].name;
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_GT(copy.contents->deltaEAfter[a], copy.contents->deltaEBefore[a]);
    EXPECT_EQ(cgatsKeyword(copy.contents->table, kCgatsStandardisedKeyword), "profile 7");
    const auto again = standardiseCgats(*engine, copy.contents->table, profile, "profile 7");
    EXPECT_NE(again.problem.find("standardised already (profile 7)"), std::string::npos);
}

}  // namespace
}  // namespace qv
