// The CGATS export read back by a minimal parser of its own, converted by ArgyllCMS and
// compared with the program's own coordinates, and refused for anything that is not a result
// file of the program.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "core/colour/colour_requests.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/files/record_file.h"
#include "core/files/validation_files.h"
#include "core/log/cgats_export.h"
#include "platform/app/locale_format.h"
#include "support/cli_run.h"
#include "support/project_strings.h"

namespace qv {
namespace {

const LocalTime kTime{2026, 12, 7, 15, 4, 5};

struct Cgats {
    std::string identifier;
    std::map<std::string, std::string> keywords;
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> rows;
};

// Blank-separated tokens, quotes around a string removed.
std::vector<std::string> tokens(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string t;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            in.get();
            std::getline(in, t, '"');
        } else {
            in >> t;
        }
        out.push_back(t);
    }
    return out;
}

Cgats parseCgats(const std::string& text) {
    Cgats c;
    std::istringstream in(text);
    std::string line;
    enum { Header, Format, Data } section = Header;
    while (std::getline(in, line)) {
        const auto t = tokens(line);
        if (t.empty()) continue;
        if (c.identifier.empty())
            c.identifier = t[0];
        else if (t[0] == "BEGIN_DATA_FORMAT")
            section = Format;
        else if (t[0] == "BEGIN_DATA")
            section = Data;
        else if (t[0] == "END_DATA_FORMAT" || t[0] == "END_DATA")
            section = Header;
        else if (section == Format)
            c.fields.insert(c.fields.end(), t.begin(), t.end());
        else if (section == Data)
            c.rows.push_back(t);
        else if (t.size() == 2)
            c.keywords[t[0]] = t[1];
    }
    return c;
}

// Smooth spectra of a red, a blue, a green, a light grey and a dark one, in percent.
ThreeAngles spectra(int colour, bool sample) {
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    ColourRequests colour_(*engine);
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const double x = j / 30.0;
            const double shape[] = {5 + 70 / (1 + std::exp(-(x - 0.6) * 25)),
                                    8 + 50 * std::exp(-std::pow((x - 0.15) / 0.2, 2)),
                                    6 + 45 * std::exp(-std::pow((x - 0.5) / 0.15, 2)), 80 + 5 * x,
                                    3 + x};
            out[a].push_back(shape[colour] * (1.0 - 0.2 * a) + (sample ? 0.3 : 0.0));
        }
        // Evaluated as the check evaluates a measurement, and kept as the file keeps it.
        sample ? colour_.setSample(a, out[a]) : colour_.setTarget(a, out[a]);
        appendCoordinates(out[a], colour_.coordinates(sample ? kSampleMode : kTargetMode));
    }
    return out;
}

std::string judgementFile(int colour, const NumberFormat& format) {
    return formatJudgementFile(spectra(colour, false), spectra(colour, true), "L70S-100001",
                               "L70S-200002", kTime, test::projectStrings(), format);
}

TEST(CgatsExport, AJudgementFileReadsBackWithEverySpectrumAndItsHeader) {
    const NumberFormat comma{',', ";"};
    const CgatsExport e = exportSpectra(judgementFile(0, comma), comma, test::projectStrings());
    ASSERT_TRUE(e.ok()) << e.problem;
    const Cgats c = parseCgats(e.text);
    EXPECT_EQ(c.identifier, "CTI3");  // the identifier ArgyllCMS reads spectra from
    EXPECT_EQ(c.keywords.at("CREATED"), "2026-12-07T15:04:05");
    EXPECT_EQ(c.keywords.at("INSTRUMENTATION"), "target L70S-100001, sample L70S-200002");
    for (const auto& [key, value] : {std::pair{"SPECTRAL_BANDS", 31.0},
                                     {"SPECTRAL_START_NM", 400.0},
                                     {"SPECTRAL_END_NM", 700.0},
                                     {"SPECTRAL_NORM", 100.0},
                                     {"NUMBER_OF_FIELDS", 33.0},
                                     {"NUMBER_OF_SETS", 6.0}})
        EXPECT_EQ(std::stod(c.keywords.at(key)), value) << key;
    ASSERT_EQ(c.fields.size(), 33u);
    EXPECT_EQ(c.fields[2], "SPEC_400");
    EXPECT_EQ(c.fields[32], "SPEC_700");
    ASSERT_EQ(c.rows.size(), 6u);
    const ThreeAngles target = spectra(0, false);
    const ThreeAngles sample = spectra(0, true);
    for (std::size_t r = 0; r < 6; ++r) {
        const auto& row = c.rows[r];
        ASSERT_EQ(row.size(), 33u);
        EXPECT_EQ(row[1], (r < 3 ? "target " : "sample ") + std::to_string(kAngleDegrees[r % 3]));
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_NEAR(std::stod(row[2 + j]), (r < 3 ? target : sample)[r % 3][j], 1e-6);
    }
}

// ArgyllCMS weights 1 nm colour-matching functions, the program the published 10 nm factors:
// the two agree closely, not exactly.
TEST(CgatsExport, ArgyllReadsTheExportToTheProgramsOwnCoordinates) {
    const QString spec2cie = QStandardPaths::findExecutable(QStringLiteral("spec2cie"));
    ASSERT_FALSE(spec2cie.isEmpty())
        << "spec2cie (ArgyllCMS, Debian package argyll) is missing: run scripts/install-deps";
    QTemporaryDir dir;
    double largest = 0.0;
    for (int colour = 0; colour < 5; ++colour) {
        const NumberFormat point{'.', ","};
        const std::string in = dir.filePath(QStringLiteral("in.txt")).toStdString();
        const QString out = dir.filePath(QStringLiteral("out%1.ti3").arg(colour));
        std::ofstream(in, std::ios::binary)
            << exportSpectra(judgementFile(colour, point), point, test::projectStrings()).text;
        QProcess p;
        p.start(spec2cie, {"-i", "D65", "-o", "1964_10", QString::fromStdString(in), out});
        ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0)
            << p.readAllStandardError().data();
        std::ifstream converted(out.toStdString());
        const Cgats c = parseCgats({std::istreambuf_iterator<char>(converted), {}});
        ASSERT_EQ(c.rows.size(), 6u);
        // L*, a*, b* for D65 stand side by side.
        const auto lab = std::find(c.fields.begin(), c.fields.end(), "D65LAB_L") - c.fields.begin();
        const ThreeAngles own[] = {spectra(colour, false), spectra(colour, true)};
        for (std::size_t r = 0; r < 6; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += std::pow(std::stod(c.rows[r].at(lab + k)) - own[r / 3][r % 3][31 + k], 2);
            largest = std::max(largest, std::sqrt(sum));
        }
    }
    EXPECT_LT(largest, 0.5);
    std::printf("largest dE*ab between spec2cie and the program: %.4f\n", largest);
}

TEST(CgatsExport, EveryResultFileKindNamesItsSamplesAndOthersAreRefused) {
    const auto& texts = test::projectStrings();
    const NumberFormat point{'.', ","};
    const auto exported = [&](const std::string& file) {
        return parseCgats(exportSpectra(file, point, texts).text);
    };
    RepeatSeries series;
    for (int i = 0; i < 9; ++i) series[i] = spectra(i % 5, false)[i % 3];
    const Cgats repeat =
        exported(formatRepeatabilityFile(series, "L70S-0001", kTime, texts, point));
    ASSERT_EQ(repeat.rows.size(), 9u);
    EXPECT_EQ(repeat.rows[4][1], "measurement 2 45");
    EXPECT_EQ(repeat.keywords.at("INSTRUMENTATION"), "L70S-0001");
    // A record written without a repeatability series holds the target and the sample only.
    const CoefficientRecord record{kTime, "L70S-200002",     "LAB 1",         {},
                                   {},    spectra(1, false), spectra(1, true)};
    const Cgats rec = exported(formatRecordFile(record, texts, point));
    ASSERT_EQ(rec.rows.size(), 6u);
    EXPECT_EQ(rec.rows[3][1], "sample 25");
    EXPECT_EQ(exported(formatTargetFile(spectra(2, false), "L70S-100001", kTime, texts, point))
                  .rows.size(),
              3u);

    std::string truncated = judgementFile(0, point);
    truncated.resize(truncated.size() / 2);
    std::string damaged = judgementFile(0, point);
    damaged.insert(damaged.find("\r\n45,") + 5, "x");  // a reflectance that is no number
    for (const std::string& foreign :
         {std::string(), std::string("CTI3\r\nBEGIN_DATA\r\n"), std::string(5000, 'x'),
          std::string("Date,20261207_150405\r\nTile set,A\r\n"), truncated, damaged}) {
        const CgatsExport e = exportSpectra(foreign, point, texts);
        EXPECT_FALSE(e.ok());
        EXPECT_TRUE(e.text.empty());
    }
    // Written where the decimal separator is a comma, read where it is a point: the same spectra.
    EXPECT_EQ(exportSpectra(judgementFile(0, {',', ";"}), point, texts).text,
              exportSpectra(judgementFile(0, point), point, texts).text);
}

TEST(CgatsExport, TheCommandLineNeverWritesOverAnExistingFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Judgement_20261207_150405.csv"));
    // Written as the program writes files for this user, so that the program reads it back.
    std::ofstream(file.toStdString(), std::ios::binary) << judgementFile(3, userNumberFormat());
    const test::CliRun first = test::runCli({"export", "--cgats", file});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const QString written = dir.filePath(QStringLiteral("Judgement_20261207_150405.cgats.txt"));
    EXPECT_EQ(first.out, written.toStdString() + "\n");
    const test::CliRun again = test::runCli({"export", "--cgats", file, "--out", written});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace qv
