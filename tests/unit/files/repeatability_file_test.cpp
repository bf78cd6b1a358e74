#include <gtest/gtest.h>

#include <QLocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/app/string_table_text.h"
#include "core/files/repeatability_file.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "support/project_strings.h"
#include "support/temp_home.h"

namespace qv {
namespace {

std::vector<std::string> split(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + sep.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

double readNumber(std::string text, char decimal) {
    for (char& c : text)
        if (c == decimal) c = '.';
    std::size_t used = 0;
    const double v = std::stod(text, &used);
    EXPECT_EQ(used, text.size()) << text;
    return v;
}

// Measurement 1 carries 34 values per angle, measurements 2 and 3 35; every value distinct and
// exact to six decimals.
RepeatSeries makeSeries() {
    RepeatSeries series;
    for (int e = 0; e < 9; ++e) {
        const int count = e < 3 ? 34 : 35;
        for (int j = 0; j < count; ++j)
            series[e].push_back(e * 100 + j + 0.123456 - (j == 33) * 500);
    }
    return series;
}

std::vector<std::string> headerOf(const StringTable& t, int title, bool withDeltaE) {
    std::vector<std::string> h{t.text(title)};
    for (int nm = 400; nm <= 700; nm += 10) h.push_back(std::to_string(nm) + "nm");
    h.insert(h.end(),
             {t.text(217), t.text(215), t.text(216), withDeltaE ? t.text(192) + " (dE00)" : ""});
    return h;
}

TEST(ResultFile, ReadsBackFieldByFieldInACommaAndAPointLocale) {
    const TextStringTable& texts = test::projectStrings();
    const RepeatSeries series = makeSeries();
    const LocalTime time{2026, 3, 14, 9, 15, 2};
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        const NumberFormat format = numberFormatFor(locale);
        const std::string sep = format.listSeparator;
        ASSERT_EQ(sep, format.decimalSeparator == ',' ? ";" : ",");
        test::TempHome home;
        AtomicFileStore files;
        const std::string path = writeRepeatabilityFile(files, home.path(), series, "L70S-000001",
                                                        time, texts, format, "dE00");
        ASSERT_EQ(path, home.path() + "/" + texts.text(186) + "20260314_091502.csv");

        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        const std::vector<std::string> lines = split(content.str(), "\r\n");
        ASSERT_EQ(lines.size(), 17u);  // 16 lines, each ended by CR LF
        EXPECT_EQ(lines[16], "");
        EXPECT_EQ(split(lines[0], sep),
                  (std::vector<std::string>{texts.text(187), "20260314_091502"}));
        EXPECT_EQ(split(lines[1], sep), (std::vector<std::string>{texts.text(188), "L70S-000001"}));
        EXPECT_EQ(lines[2], "");
        EXPECT_EQ(lines[3], "");
        const int titles[3] = {189, 191, 193};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(split(lines[4 + 4 * k], sep), headerOf(texts, titles[k], k > 0)) << k;
            for (int a = 0; a < 3; ++a) {
                const std::vector<std::string> fields = split(lines[5 + 4 * k + a], sep);
                const AngleSpectrum& expected = series[3 * k + a];
                ASSERT_EQ(fields.size(), expected.size() + 2) << k << a;  // angle, values, end
                EXPECT_EQ(fields.front(), std::to_string(kAngleDegrees[a]));
                EXPECT_EQ(fields.back(), "");
                for (std::size_t j = 0; j < expected.size(); ++j)
                    EXPECT_NEAR(readNumber(fields[j + 1], format.decimalSeparator), expected[j],
                                5e-7);
            }
        }
    }
}

// The file's bytes are kept exactly as the program has always written them: both locales, the
// formula in the heading, an identification holding both separators, a value a hair below a
// rounding step.
TEST(ResultFile, BytesMatchTheFilesWrittenBefore) {
    RepeatSeries series = makeSeries();
    for (int e = 0; e < 9; ++e) series[e][5] -= 1e-9;
    const TextStringTable texts({{186, "Repeatability_"},
                                 {187, "Date"},
                                 {188, "Serial No."},
                                 {189, "Measurement 1"},
                                 {191, "Measurement 2"},
                                 {192, "dE"},
                                 {193, "Measurement 3"},
                                 {215, "a*"},
                                 {216, "b*"},
                                 {217, "L*"}});
    const LocalTime time{2026, 3, 14, 9, 15, 2};
    const auto golden = [](const char* name) {
        std::ifstream in(std::string(QV_SOURCE_DIR "/tests/data/result_file/") + name,
                         std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(formatRepeatabilityFile(series, "L70S-0001;X,Y", time, texts, {',', ";"}, "dE00"),
              golden("repeatability_comma.csv"));
    EXPECT_EQ(formatRepeatabilityFile(series, "L70S-0001;X,Y", time, texts, {'.', ","}),
              golden("repeatability_point.csv"));
}

TEST(ResultFile, AnInstrumentIdCannotBreakItsRow) {
    const TextStringTable& texts = test::projectStrings();
    for (const NumberFormat& format : {NumberFormat{',', ";"}, NumberFormat{'.', ","}}) {
        const std::string text =
            formatRepeatabilityFile(makeSeries(), "L70S;00,1\r\nX", {}, texts, format);
        const std::vector<std::string> lines = split(text, "\r\n");
        ASSERT_EQ(lines.size(), 17u);
        const std::string id = format.listSeparator == ";" ? "L70S 00,1  X" : "L70S;00 1  X";
        EXPECT_EQ(split(lines[1], format.listSeparator),
                  (std::vector<std::string>{texts.text(188), id}));
    }
}

TEST(ResultFile, NothingIsWrittenWithoutADataFolderOrAWritableOne) {
    const TextStringTable& texts = test::projectStrings();
    AtomicFileStore files;
    const NumberFormat format{'.', ","};
    EXPECT_EQ(writeRepeatabilityFile(files, "", makeSeries(), "x", {}, texts, format), "");
    test::TempHome home;
    const std::string missing = home.path() + "/no/such/folder";
    EXPECT_EQ(writeRepeatabilityFile(files, missing, makeSeries(), "x", {}, texts, format), "");
    EXPECT_FALSE(std::filesystem::exists(missing));
    // An undetermined time still yields a name.
    EXPECT_EQ(resultTimestamp(LocalTime{}), "000000_-1-1-1");
}

}  // namespace
}  // namespace qv
