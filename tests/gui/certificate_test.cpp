// The certificate of a logbook record as a PDF, through the command line: the logbook found
// where the programs keep it, the page painted without a screen, no file written over; the
// spectra of an inter-instrument check drawn from its judgement file.
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>

#include "core/files/validation_files.h"
#include "core/tiles/diagnosis.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "report/log/certificate.h"
#include "report/log/certificate_chart.h"

#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/temp_home.h"

namespace qv {
namespace {

TEST(Certificate, ARecordOfTheLogbookBecomesAPdfThatIsNeverWrittenOver) {
    const test::TempHome home;
    CheckRecord r = emptyRecord(RecordKind::Verification, {2026, 12, 7, 15, 4, 5});
    r.serial = "L70S-200002";
    r.referenceSerial = "L70S-100001";
    r.threshold = 0.6;
    r.formula = "dE00";
    r.passed = true;
    for (AngleRecord& a : r.angles) a = {{52.3, 38.5, 21.1}, 0.12, 0.71};
    std::int64_t id = 0;
    {
        SqlLogbook logbook(logbookPath());
        ASSERT_TRUE(logbook.isOpen());
        logbook.record(r);
        id = logbook.records(r.serial).at(0).id;
    }
    const QString out = QString::fromStdString(home.path() + "/record.pdf");
    const QStringList args{"certificate", "--record", QString::number(id), "--out", out};
    const test::CliRun run = test::runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QFile pdf(out);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_GT(pdf.size(), 1000);
    EXPECT_EQ(pdf.read(5), "%PDF-");

    const test::CliRun again = test::runCli(args);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    const test::CliRun missing =
        test::runCli({"certificate", "--record", QString::number(id + 1), "--out", out + "2"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("holds no record"), std::string::npos) << missing.err;
}

// Bluish pixels: nothing else on the page but the target's curves is drawn in blue.
int targetPixels(const QImage& page) {
    int count = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            count += c.blue() - c.red() > 60;
        }
    return count;
}

TEST(Certificate, AnInterInstrumentCheckShowsBothSpectraFromItsJudgementFile) {
    const test::TempHome home;
    ThreeAngles target, sample;
    for (int a = 0; a < kAngleCount; ++a) {
        target[a] = AngleSpectrum(kSpectrumPoints, 40.0 - 10 * a);
        sample[a] = AngleSpectrum(kSpectrumPoints, 41.0 - 10 * a);
    }
    const std::string file = home.path() + "/Judgement_20261207_150405.csv";
    std::ofstream(file, std::ios::binary)
        << formatJudgementFile(target, sample, "L70S-100001", "L70S-200002",
                               {2026, 12, 7, 15, 4, 5}, test::projectStrings(), userNumberFormat());
    CheckRecord r = emptyRecord(RecordKind::InterInstrument, {2026, 12, 7, 15, 4, 5});
    r.serial = "L70S-200002";
    r.referenceSerial = "L70S-100001";
    r.files = {file};
    std::int64_t id = 0;
    {
        SqlLogbook logbook(logbookPath());
        logbook.record(r);
        id = logbook.records(r.serial).at(0).id;
    }
    const QString out = QString::fromStdString(home.path() + "/inter.pdf");
    const test::CliRun run =
        test::runCli({"certificate", "--record", QString::number(id), "--out", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Spectra not shown"), std::string::npos) << run.err;

    AtomicFileStore files;
    const RecordSpectra spectra =
        recordSpectra(r, files, userNumberFormat(), test::projectStrings());
    ASSERT_TRUE(spectra.spectra) << spectra.problem;
    EXPECT_GT(targetPixels(renderCertificate(r, spectra, 100)), 100);
    EXPECT_EQ(targetPixels(renderCertificate(r, RecordSpectra{{}, "moved"}, 100)), 0);
}

// A set diagnosed with every term identified and long reasons, the most a page must hold.
CheckRecord diagnosedSet(const std::string& folder) {
    CheckRecord r = emptyRecord(RecordKind::TileSet, {2026, 12, 7, 15, 4, 5});
    r.serial = "L70S-200002";
    r.instrumentType = "53";
    r.referenceSerial = "L70S-100001";
    r.operatorName = "lab";
    r.threshold = 0.5;
    r.formula = "dE00";
    r.passed = false;
    r.comment = "TWELVE TILES OF THE LAB";
    r.files = {folder + "/TileSet_20261207_150405.csv"};
    for (AngleRecord& g : r.angles) g = {{NAN, NAN, NAN}, 0.41, 0.93};
    DiagnosisRecord d;
    for (int a = 0; a < kAngleCount; ++a) {
        d[a] = {a == 0 ? "write-factors" : "service",
                "wavelength shift: the instrument's scale reads short at " +
                    std::to_string(kAngleDegrees[a]) +
                    " degrees (-0.42 nm), which factors cannot remove; it explains 87 % of the "
                    "mean colour difference",
                0.61,
                0.12,
                {}};
        for (std::size_t k = 0; k < kTermCount; ++k) {
            const TermInfo& info = termInfo(static_cast<Term>(k));
            d[a].terms.push_back({std::string(info.key),
                                  -info.limit * (3.7 + static_cast<double>(k)), info.limit / 3,
                                  k != 3 || a != 1});
        }
    }
    r.diagnosis = d;
    return r;
}

// Whether every pixel of the box (in millimetres) is white.
bool blank(const QImage& page, double x, double y, double w, double h, int dpi) {
    const auto px = [dpi](double mm) { return static_cast<int>(mm * dpi / 25.4); };
    for (int j = px(y); j < px(y + h); ++j)
        for (int i = px(x); i < px(x + w); ++i)
            if (page.pixel(i, j) != qRgb(255, 255, 255)) return false;
    return true;
}

// The diagnosis fits the one page above the signature, however much it holds.
TEST(Certificate, ASetsDiagnosisFitsItsOnePageAboveTheSignature) {
    const test::TempHome home;
    const CheckRecord r = diagnosedSet(home.path());
    const QString pdfPath = QString::fromStdString(home.path() + "/set.pdf");
    QString error;
    ASSERT_TRUE(writeCertificate(r, {}, pdfPath, &error)) << error.toStdString();
    QFile pdf(pdfPath);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.readAll().count("/Type /Page\n"), 1);

    constexpr int kDpi = 100;
    const QImage page = renderCertificate(r, {}, kDpi);
    // Left of the signature, from just above its line to the footer's rule: nothing drawn.
    EXPECT_TRUE(blank(page, 20.0, 250.0, 98.0, 19.0, kDpi));
    CheckRecord without = r;
    without.diagnosis.reset();
    EXPECT_NE(page, renderCertificate(without, {}, kDpi));
}

TEST(Certificate, ReflectanceAxesEndOnARoundValueInAtMostFiveSteps) {
    const std::pair<double, AxisScale> cases[] = {{0.0, {1, 1}},      {4.5, {5, 1}},
                                                  {5.5, {6, 2}},      {75.0, {80, 20}},
                                                  {101.0, {125, 25}}, {140.0, {150, 50}}};
    for (const auto& [largest, scale] : cases) {
        const AxisScale got = reflectanceScale(largest);
        EXPECT_EQ(got.top, scale.top) << largest;
        EXPECT_EQ(got.step, scale.step) << largest;
    }
    // A file's absurd reflectance still gives a few ticks, not a loop without end.
    const AxisScale absurd = reflectanceScale(1.7e308);
    EXPECT_LE(absurd.top / absurd.step, 5.0);
}

}  // namespace
}  // namespace qv
