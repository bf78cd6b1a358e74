// CxF3 documents from other writers read to the program's 31 wavelengths, and damaged or hostile
// documents refused with a reason; the command line's export end to end.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/files/validation_files.h"
#include "core/log/cxf_spectra.h"
#include "platform/app/locale_format.h"
#include "platform/log/cxf_file.h"
#include "support/cli_run.h"
#include "support/project_strings.h"

namespace qv {
namespace {

// A reflectance factor that curves, so that interpolation between the wrong samples shows.
double factorAt(double nm) {
    return 0.2 + 0.5 * std::pow((nm - 380) / 350, 2);
}

std::string values(double startNm, double stepNm, double endNm) {
    std::ostringstream out;
    out.precision(17);
    for (double nm = startNm; nm <= endNm + 1e-9; nm += stepNm) out << factorAt(nm) << "\n  ";
    return out.str();
}

// As another writer might: a default namespace, a spacing of its own, elements we do not know,
// single-angle measurement conditions beside the multi-angle ones.
std::string foreignDocument(double startNm, double stepNm, double endNm) {
    std::string cs;
    for (const char* n : {"45as25", "45as45", "45as75"})
        cs += std::string("<ColorSpecification Id=\"m") + n +
              "\"><Vendor>x</Vendor><MeasurementSpec><GeometryChoice><MultiAngle>"
              "<BRDFAngle>" +
              n +
              "</BRDFAngle></MultiAngle></GeometryChoice>"
              "<WavelengthRange StartWL=\"" +
              std::to_string(startNm) + "\" Increment=\"" + std::to_string(stepNm) +
              "\"/><Device><SerialNumber>X-9</SerialNumber></Device>"
              "</MeasurementSpec></ColorSpecification>";
    cs +=
        "<ColorSpecification Id=\"d8\"><MeasurementSpec><GeometryChoice><SingleAngle>"
        "<IlluminationAngle>8</IlluminationAngle></SingleAngle></GeometryChoice>"
        "</MeasurementSpec></ColorSpecification>";
    std::string object =
        "<Object Name=\"panel\" Id=\"p\"><CreationDate>x</CreationDate><ColorValues>"
        "<ColorCIELab><L>1</L></ColorCIELab>";
    for (const char* n : {"m45as25", "m45as45", "m45as75", "d8"})
        object += std::string("<ReflectanceSpectrum ColorSpecification=\"") + n + "\">" +
                  values(startNm, stepNm, endNm) + "</ReflectanceSpectrum>";
    object += "</ColorValues></Object>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CxF xmlns=\"" +
           std::string(kCxfNamespace) + "\"><Resources><ObjectCollection>" + object +
           "</ObjectCollection><ColorSpecificationCollection>" + cs +
           "</ColorSpecificationCollection></Resources></CxF>\n";
}

TEST(CxfRead, AnotherWritersSpacingIsResampledTo400To700By10) {
    // 5 nm from 380 to 730 lands on every 10 nm; 4 nm from 382 does not.
    for (const auto& [start, step] : {std::pair{380.0, 5.0}, {382.0, 4.0}, {400.0, 10.0}}) {
        const CxfRead read = readCxf(foreignDocument(start, step, 730));
        ASSERT_TRUE(read.ok()) << read.problem;
        ASSERT_EQ(read.spectra.size(), 3u) << "the single-angle spectrum is left out";
        for (int a = 0; a < kAngleCount; ++a) {
            const NamedSpectrum& s = read.spectra[std::size_t(a)];
            EXPECT_EQ(s.name, "panel " + std::to_string(kAngleDegrees[a]));
            EXPECT_EQ(s.angle, a);
            EXPECT_EQ(s.serial, "X-9");
            ASSERT_EQ(s.reflectances.size(), std::size_t(kSpectrumPoints));
            // Linear between samples 4 nm apart: the curve's second derivative bounds the error.
            // (at a midpoint the error of a quadratic is exactly h²/8 times its second derivative).
            const double allowed = step == 4.0 ? 1.001 * 16.0 / 8 / (350 * 350) * 100 : 1e-9;
            for (int j = 0; j < kSpectrumPoints; ++j)
                EXPECT_NEAR(s.reflectances[std::size_t(j)], 100 * factorAt(400 + 10 * j), allowed)
                    << start << "/" << step << " at " << 400 + 10 * j;
        }
    }
}

TEST(CxfRead, ARangeShortOf400To700IsRefused) {
    for (const auto& [start, end] : {std::pair{410.0, 730.0}, {380.0, 690.0}}) {
        const CxfRead read = readCxf(foreignDocument(start, 5, end));
        EXPECT_FALSE(read.ok());
        EXPECT_NE(read.problem.find("does not cover 400 to 700 nm"), std::string::npos)
            << read.problem;
    }
    EXPECT_FALSE(resampledSpectrum(400, 0, std::vector<double>(31, 1.0)));
    EXPECT_FALSE(resampledSpectrum(400, -10, std::vector<double>(31, 1.0)));
    EXPECT_FALSE(resampledSpectrum(400, 10, {}));
    EXPECT_FALSE(resampledSpectrum(std::nan(""), 10, std::vector<double>(31, 1.0)));
}

TEST(CxfRead, DamagedAndHostileDocumentsAreRefused) {
    const std::string good = foreignDocument(400, 10, 700);
    std::string truncated = good.substr(0, good.size() / 2);
    std::string notANumber = good;
    notANumber.replace(notANumber.find("\">0.") + 2, 1, "x");
    std::string tooLarge = good;
    tooLarge.replace(tooLarge.find("\">0.") + 2, 1, "1e300 ");
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE CxF [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n<CxF>&b;</CxF>";
    const std::string external =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE CxF [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
        "<CxF>&e;</CxF>";
    struct Case {
        std::string document;
        std::string says;
    };
    for (const Case& c :
         std::vector<Case>{{truncated, "line "},
                           {notANumber, "is not a reflectance factor"},
                           {tooLarge, "\"1e300\" is not a reflectance factor"},
                           {laughs, "line 2: a document type declaration is not accepted"},
                           {external, "document type declaration"},
                           {"<html><body/></html>", "line 1: not a CxF document"},
                           {"<CxF><Resources/></CxF>", "no reflectance spectrum"},
                           {"", "line "},
                           {std::string(300, '\x01'), "line "},
                           {"<CxF><a></b></CxF>", "line 1: not well-formed XML"},
                           {std::string(kMaxCxfBytes + 1, ' '), "larger than 16 MiB"}}) {
        const CxfRead read = readCxf(c.document);
        EXPECT_FALSE(read.ok()) << c.document.substr(0, 60);
        EXPECT_TRUE(read.spectra.empty());
        EXPECT_NE(read.problem.find(c.says), std::string::npos) << read.problem << " / " << c.says;
    }
}

TEST(CxfRead, NotationsAreKnownInAnyCase) {
    EXPECT_EQ(angleOfNotation(" 45AS75 "), 2);
    EXPECT_EQ(angleOfNotation("45as45"), 1);
    EXPECT_FALSE(angleOfNotation("45as15"));
    EXPECT_FALSE(angleOfNotation("25"));
    EXPECT_EQ(cxfPathBeside("a/Judgement_1.CSV"), "a/Judgement_1.cxf");
    EXPECT_EQ(cxfPathBeside("a/b.txt"), "a/b.txt.cxf");
}

TEST(CxfRead, TheCommandLineExportsAResultFileAndNeverWritesOverOne) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Judgement_20261207_150405.csv"));
    ThreeAngles target, sample;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) {
            target[std::size_t(a)].push_back(40 + a + 0.5 * j);
            sample[std::size_t(a)].push_back(41 + a + 0.25 * j);
        }
    std::ofstream(file.toStdString(), std::ios::binary)
        << formatJudgementFile(target, sample, "L70S-100001", "L70S-200002",
                               {2026, 12, 7, 15, 4, 5}, test::projectStrings(), userNumberFormat());
    const test::CliRun run = test::runCli({"export", "--cxf", file, "--layout", "per-angle"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QString written = dir.filePath(QStringLiteral("Judgement_20261207_150405.cxf"));
    EXPECT_EQ(run.out, written.toStdString() + "\n");
    std::ifstream in(written.toStdString(), std::ios::binary);
    const std::string document{std::istreambuf_iterator<char>(in), {}};
    const CxfRead read = readCxf(document);
    ASSERT_TRUE(read.ok()) << read.problem;
    ASSERT_EQ(read.spectra.size(), 6u);
    EXPECT_EQ(read.spectra[5].name, "sample 75");
    EXPECT_EQ(read.spectra[5].serial, "L70S-200002");
    EXPECT_NEAR(read.spectra[5].reflectances[30], 43 + 0.25 * 30, 1e-6);
    EXPECT_EQ(read.spectra[0].serial, "L70S-100001");

    // The program itself, grouped: the same spectra.
    const QString grouped = dir.filePath(QStringLiteral("grouped.cxf"));
    const test::CliRun program = test::runCliProcess({"export", "--cxf", file, "--out", grouped});
    ASSERT_EQ(program.exitCode, 0) << program.err;
    std::ifstream groupedIn(grouped.toStdString(), std::ios::binary);
    const std::string groupedDocument{std::istreambuf_iterator<char>(groupedIn), {}};
    const CxfRead fromProgram = readCxf(groupedDocument);
    ASSERT_TRUE(fromProgram.ok()) << fromProgram.problem;
    ASSERT_EQ(fromProgram.spectra.size(), read.spectra.size());
    for (std::size_t i = 0; i < read.spectra.size(); ++i) {
        EXPECT_EQ(fromProgram.spectra[i].name, read.spectra[i].name);
        EXPECT_EQ(fromProgram.spectra[i].reflectances, read.spectra[i].reflectances);
    }

    const test::CliRun again = test::runCli({"export", "--cxf", file});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    const test::CliRun layout =
        test::runCli({"export", "--cxf", file, "--layout", "flat", "--out", written + "2"});
    EXPECT_EQ(layout.exitCode, 2);
    EXPECT_NE(layout.err.find("--layout"), std::string::npos) << layout.err;
    const test::CliRun both = test::runCli({"export", "--cxf", file, "--cgats", file});
    EXPECT_EQ(both.exitCode, 2);
}

}  // namespace
}  // namespace qv
