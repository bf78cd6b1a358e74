// The inter-instrument result files against files laid out by hand from the file tables, and
// the rule that a result never replaces an earlier one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/app/csv.h"
#include "core/app/string_ids.h"
#include "core/files/validation_files.h"
#include "platform/app/atomic_file_store.h"
#include "support/project_strings.h"
#include "support/temp_home.h"

namespace qv {
namespace {

ThreeAngles spectra(double base, bool withDifference) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) out[a].push_back(base + 0.25 * j + 1.5 * a);
        for (double v : {50.0 + a, -1.25 + a, 3.5 - a}) out[a].push_back(v);
        if (withDifference) out[a].push_back(0.125 * (a + 1));
    }
    return out;
}

std::string golden(const char* name) {
    std::ifstream in(std::string(QV_SOURCE_DIR "/tests/data/validation_files/") + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const LocalTime kTime{2026, 12, 7, 15, 4, 5};

TEST(ValidationFiles, TargetAndJudgementFilesAreLaidOutAsTheTablesSay) {
    const auto& texts = test::projectStrings();
    EXPECT_EQ(formatTargetFile(spectra(20.0, false), "L70S-100001", kTime, texts, {',', ";"}),
              golden("target_comma.csv"));
    EXPECT_EQ(formatJudgementFile(spectra(20.0, false), spectra(20.5, true), "L70S-100001",
                                  "L70S-200002", kTime, texts, {'.', ","}),
              golden("judgement_point.csv"));
}

TEST(ValidationFiles, ATargetFileKeepsItsSerialAndSpectraWhereRegistrationReadsThem) {
    const auto& texts = test::projectStrings();
    const ThreeAngles target = spectra(20.0, false);
    const NumberFormat format{',', ";"};
    const CsvReadResult read =
        readCsv(formatTargetFile(target, "L70S-100001", kTime, texts, format), ";");
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.table.at(1, 0), texts.text(kStrRegisteredSerialLabel));
    EXPECT_EQ(read.table.at(1, 1), "L70S-100001");
    for (int a = 0; a < kAngleCount; ++a) {
        ASSERT_EQ(read.table.fieldCount(5 + a), 35u);  // label, 31 reflectances, L*, a*, b*
        for (int j = 0; j < 34; ++j)
            EXPECT_EQ(format.readFile(read.table.at(5 + a, 1 + j)), target[a][j]);
    }
}

TEST(ValidationFiles, ResultsWithinOneSecondGetDistinctNamesAndFailuresSayWhy) {
    test::TempHome home;
    const std::string folder = home.path() + "/Data";
    std::filesystem::create_directories(folder);
    AtomicFileStore files;
    const auto& texts = test::projectStrings();
    const ThreeAngles t = spectra(20.0, false);
    const SavedFile first = writeTargetFile(files, folder, t, "A", kTime, texts, {});
    const SavedFile second = writeTargetFile(files, folder, t, "B", kTime, texts, {});
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.name, "Target_20261207_150405.csv");
    EXPECT_EQ(second.name, "Target_20261207_150405_2.csv");
    std::ifstream in(first.path, std::ios::binary);
    // The first file still holds serial A.
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find(",A\r\n"),
              std::string::npos);
    const SavedFile missing = writeTargetFile(files, folder + "/gone", t, "A", kTime, texts, {});
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.name, "Target_20261207_150405.csv");
    EXPECT_FALSE(missing.error.empty());
    EXPECT_EQ(writeTargetFile(files, "", t, "A", kTime, texts, {}).error,
              "there is no data folder");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

}  // namespace
}  // namespace qv
