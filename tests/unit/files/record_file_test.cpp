// The coefficient record file against a file laid out by hand from the record-file table, read
// back as a coefficient file, and saved without replacing an earlier one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/app/string_ids.h"
#include "core/files/coefficient_file.h"
#include "core/files/record_file.h"
#include "core/files/registration_file.h"
#include "platform/app/atomic_file_store.h"
#include "support/project_strings.h"
#include "support/temp_home.h"

namespace qv {
namespace {

AngleSpectrum spectrum(double base, int a, std::array<double, 3> coordinates,
                       std::optional<double> difference = std::nullopt) {
    AngleSpectrum out;
    for (int j = 0; j < kSpectrumPoints; ++j) out.push_back(base + 0.25 * j + 1.5 * a);
    out.insert(out.end(), coordinates.begin(), coordinates.end());
    if (difference) out.push_back(*difference);
    return out;
}

// The data of the hand-made file: ties at the third decimal and a -0.004 check the rounding
// and the sign of -0.00.
CoefficientRecord record() {
    CoefficientRecord r;
    r.time = {2026, 12, 7, 15, 4, 5};
    r.sampleSerial = "L70S-200002";
    r.comment = "LOT 12:A.B";
    for (int a = 0; a < kAngleCount; ++a) {
        r.target[a] = spectrum(20.0, a, {50.0 + a, -1.25 + a, 3.5 - a});
        r.sample[a] = spectrum(20.5, a, {50.0 + a, -1.25 + a, 3.5 - a}, 0.125 * (a + 1));
        for (int k = 0; k < 32; k += 2) r.coefficients[a].push_back(r.sample[a][k]);
        for (int k = 0; k < 32; k += 2)
            r.coefficients[a].push_back(r.target[a][k] / r.sample[a][k]);
    }
    for (int i = 0; i < 9; ++i) {
        const int k = i / 3;
        const std::array<double, 3> lab{60.0 + i, i == 0 ? -0.004 : 0.125 * i, 2.675 - i};
        r.repeatSeries[i] =
            spectrum(30.0 + k, i % 3, lab, k > 0 ? std::optional(0.375 * k) : std::nullopt);
    }
    return r;
}

std::string golden(const char* name) {
    std::ifstream in(std::string(QV_SOURCE_DIR "/tests/data/record_file/") + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RecordFile, IsLaidOutAsTheTableSays) {
    EXPECT_EQ(formatRecordFile(record(), test::projectStrings(), {',', ";"}),
              golden("record_comma.csv"));
}

AngleSpectrum roundedWithTrailingZero(const AngleSpectrum& values) {
    AngleSpectrum out;
    for (double v : values) out.push_back(roundedToTwoDecimals(v));
    out.push_back(0.0);  // rows end with the separator
    return out;
}

TEST(RecordFile, ReadsBackAsACoefficientFile) {
    const auto& texts = test::projectStrings();
    // The record file writes its serial under 188, the reader takes it under 210.
    EXPECT_EQ(texts.text(kStrInstrumentLabel), texts.text(kStrCoefficientSerialLabel));
    EXPECT_EQ(texts.text(kStrTargetSerialLabel), texts.text(kStrRegisteredSerialLabel));
    CoefficientRecord r = record();
    for (const NumberFormat& format : {NumberFormat{',', ";"}, NumberFormat{'.', ","}}) {
        SCOPED_TRACE(format.listSeparator);
        r.comment = "LOT" + format.listSeparator + "12";
        const std::string text = formatRecordFile(r, texts, format);
        const CoefficientFileRead read = readCoefficientFile(text, format, texts);
        EXPECT_TRUE(read.accepted);
        EXPECT_EQ(read.stop, ReadStop::None);
        EXPECT_EQ(read.sampleSerial, r.sampleSerial);
        EXPECT_EQ(read.comment, "LOT 12");  // a separator inside the comment became a blank
        for (int a = 0; a < kAngleCount; ++a) {
            EXPECT_EQ(read.target[a], roundedWithTrailingZero(r.target[a])) << a;
            EXPECT_EQ(read.sample[a], roundedWithTrailingZero(r.sample[a])) << a;
        }
        // It names the sample's instrument, so it is no reference data.
        EXPECT_EQ(readRegistrationFile(text, format, texts).stop, ReadStop::RefusedKey);
    }
}

TEST(RecordFile, IsSavedUnderItsTimeWithoutReplacingAnEarlierOne) {
    test::TempHome home;
    const std::string folder = home.path() + "/Data";
    std::filesystem::create_directories(folder);
    AtomicFileStore files;
    const auto& texts = test::projectStrings();
    const SavedFile first = writeRecordFile(files, folder, record(), texts, {',', ";"});
    const SavedFile second = writeRecordFile(files, folder, record(), texts, {',', ";"});
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.name, "Coefficients_20261207_150405.csv");
    EXPECT_EQ(second.name, "Coefficients_20261207_150405_2.csv");
    std::ifstream in(first.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), golden("record_comma.csv"));
}

}  // namespace
}  // namespace qv
