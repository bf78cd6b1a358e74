// The certificate of a logbook record as a PDF, through the command line: the logbook found
// where the programs keep it, the page painted without a screen, no file written over; the
// spectra of an inter-instrument check drawn from its judgement file.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "core/files/record_file.h"
#include "core/files/validation_files.h"
#include "core/tiles/diagnosis.h"
#include "gui_fixture.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "report/log/certificate.h"
#include "report/log/certificate_chart.h"

#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/record_builder.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::blank;

TEST(Certificate, ARecordOfTheLogbookBecomesAPdfThatIsNeverWrittenOver) {
    const test::TempHome home;
    const CheckRecord r = test::RecordBuilder(RecordKind::Verification, {2026, 12, 7, 15, 4, 5})
                              .serial("L70S-200002")
                              .reference("L70S-100001")
                              .judged(0.6, "dE00", true)
                              .angles({{52.3, 38.5, 21.1}, 0.12, 0.71})
                              .build();
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
    const CheckRecord r = test::RecordBuilder(RecordKind::InterInstrument, {2026, 12, 7, 15, 4, 5})
                              .serial("L70S-200002")
                              .reference("L70S-100001")
                              .files({file})
                              .build();
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
    return test::RecordBuilder(RecordKind::TileSet, {2026, 12, 7, 15, 4, 5})
        .serial("L70S-200002")
        .instrumentType("53")
        .reference("L70S-100001")
        .operatorName("lab")
        .judged(0.5, "dE00", false)
        .comment("TWELVE TILES OF THE LAB")
        .files({folder + "/TileSet_20261207_150405.csv"})
        .angles({{NAN, NAN, NAN}, 0.41, 0.93})
        .diagnosis(d)
        .build();
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

// A light specimen as both instruments read it at every angle: the one under correction
// 1 % too high at every wavelength (or `offset` % higher), the written factors taking it off.
CoefficientRecord writtenOnALightSpecimen(double offset = 0.0) {
    ThreeAngles target, sample;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) {
            target[a].push_back(78.0 - 6.0 * a + 0.02 * j);
            const double read = offset != 0.0 ? target[a].back() + offset : target[a].back() * 1.01;
            sample[a].push_back(std::round(read * 100.0) / 100.0);
        }
    return {{2026, 12, 7, 15, 4, 5}, "L70S-200002", "LAB", {}, {}, target, sample};
}

// An orange: dark below 540 nm, a steep edge near 575 nm; the instrument under correction
// reads it through an offset of 0.3 % and a scale 1 nm short.
CoefficientRecord writtenOnAnOrange() {
    const auto orange = [](double nm) { return 6.0 + 74.0 / (1.0 + std::exp((575.0 - nm) / 9.0)); };
    ThreeAngles target, sample;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const double nm = 400.0 + 10.0 * j;
            target[a].push_back(std::round(orange(nm) * 100.0) / 100.0);
            sample[a].push_back(std::round((orange(nm + 1.0) + 0.3) * 100.0) / 100.0);
        }
    return {{2026, 12, 7, 15, 4, 5}, "L70S-200002", "LAB", {}, {}, target, sample};
}

// A tile set of the pair, diagnosed with every term at every angle: `key` at `value`, the
// others identified as nothing but those in `open`, kept as given.
CheckRecord diagnosedWith(const std::string& key, double value, const LocalTime& time,
                          const std::string& reference, const std::vector<TermRecord>& open = {}) {
    CheckRecord r = emptyRecord(RecordKind::TileSet, time);
    r.serial = "L70S-200002";
    r.referenceSerial = reference;
    r.threshold = 0.3;
    r.formula = "dE00";
    r.comment = "LAB TILES";
    r.readings = 5;
    DiagnosisRecord d;
    for (AngleDiagnosisRecord& a : d) {
        a = {"service", "an offset", 0.4, 0.1, {}};
        for (std::size_t k = 0; k < kTermCount; ++k) {
            const std::string term(termInfo(static_cast<Term>(k)).key);
            const auto given = std::find_if(open.begin(), open.end(),
                                            [&](const TermRecord& t) { return t.key == term; });
            a.terms.push_back(given != open.end()
                                  ? *given
                                  : TermRecord{term, term == key ? value : 0.0, 0.01, true});
        }
    }
    r.diagnosis = d;
    return r;
}

// The verification of the entry: the specimen measured again through it, `deltaE` left.
CheckRecord verifiedWith(double deltaE, const LocalTime& time, const std::string& formula) {
    CheckRecord r = emptyRecord(RecordKind::Verification, time);
    r.serial = "L70S-200002";
    r.referenceSerial = "L70S-100001";
    r.threshold = 0.5;
    r.formula = formula;
    for (AngleRecord& a : r.angles) a.deltaE = deltaE;
    return r;
}

struct WrittenEntry {
    CheckRecord write;
    std::int64_t setId = 0;
};

// The logbook with `sets`, an inter-instrument check of the pair with its threshold, the write,
// its record file beside it, and the records `after` it.
WrittenEntry recordWrite(const test::TempHome& home, const std::vector<CheckRecord>& sets,
                         const std::vector<CheckRecord>& after = {},
                         const CoefficientRecord& entry = writtenOnALightSpecimen()) {
    const std::string file = home.path() + "/Coefficients_20261207_150405.csv";
    std::ofstream(file, std::ios::binary)
        << formatRecordFile(entry, test::projectStrings(), userNumberFormat());
    CheckRecord check = emptyRecord(RecordKind::InterInstrument, {2026, 12, 7, 15, 0, 0});
    check.serial = "L70S-200002";
    check.referenceSerial = "L70S-100001";
    check.threshold = 0.5;
    check.formula = "dE00";
    CheckRecord write = emptyRecord(RecordKind::EntryWrite, {2026, 12, 7, 15, 4, 5});
    write.serial = "L70S-200002";
    write.instrumentType = "53";
    write.referenceSerial = "L70S-100001";
    write.entry = 3;
    write.comment = "LAB";
    write.files = {file};
    SqlLogbook logbook(logbookPath());
    WrittenEntry out;
    for (const CheckRecord& set : sets) {
        const std::int64_t id = logbook.record(set);
        if (!out.setId) out.setId = id;
    }
    logbook.record(check);
    out.write = write;
    out.write.id = logbook.record(write);
    for (const CheckRecord& r : after) logbook.record(r);
    return out;
}

RecordValidity validityOf(const CheckRecord& write) {
    SqlLogbook logbook(logbookPath());
    AtomicFileStore files;
    return recordValidity(write, logbook, files, userNumberFormat(), test::projectStrings());
}

// The diagnosis before the write, of the same pair, decides; the text says which it is and how
// far the entry holds at each angle; the page stays one page with its signature free.
TEST(Certificate, AnEntryWrittenStatesHowFarFromItsSpecimenItHolds) {
    const test::TempHome home;
    // A gain the factors remove, diagnosed after the write; an offset they cannot, before it;
    // a set of another reference in between.
    const WrittenEntry w = recordWrite(
        home,
        {diagnosedWith("offset", 1.5, {2026, 12, 7, 14, 0, 0}, "L70S-100001"),
         diagnosedWith("gain", 1.0, {2026, 12, 7, 14, 30, 0}, "L70S-100009"),
         diagnosedWith("gain", 1.0, {2026, 12, 7, 16, 0, 0}, "L70S-100001")},
        {verifiedWith(0.05, {2026, 12, 7, 15, 6, 0}, "dE00")}, writtenOnALightSpecimen(1.5));
    const RecordValidity v = validityOf(w.write);
    ASSERT_TRUE(v.validity) << v.problem;
    ASSERT_TRUE(v.set);
    EXPECT_EQ(v.set->id, w.setId);
    const QStringList text = validityParagraphs(v, userNumberFormat());
    ASSERT_EQ(text.size(), 1 + kAngleCount);
    EXPECT_TRUE(text[0].startsWith(
        QStringLiteral("Predicted from the diagnosis of tile-set record %1 of 2026-12-07 14:00")
            .arg(w.setId)))
        << text[0].toStdString();
    EXPECT_TRUE(text[0].contains(QStringLiteral("inter-instrument check, record")))
        << text[0].toStdString();
    for (int a = 0; a < kAngleCount; ++a) {
        const QString& angle = text[1 + a];
        EXPECT_TRUE(angle.startsWith(QStringLiteral("%1°: Within ").arg(kAngleDegrees[a])))
            << angle.toStdString();
        EXPECT_TRUE(angle.contains(QStringLiteral(
            "dE00 of the specimen, for the colours tried, the predicted residual stays below the "
            "inter-instrument threshold 0.50 dE00. Predicted residual at 2, 3.5 and 7 dE00 from "
            "the specimen: ")))
            << angle.toStdString();
        EXPECT_TRUE(angle.contains(QStringLiteral("the verification measured 0.05 dE00.")))
            << angle.toStdString();
        // 1.5 % added to every reading does not hold far from a light specimen.
        EXPECT_EQ((*v.validity)[a].bound, RadiusBound::Within);
        EXPECT_LT((*v.validity)[a].radius, 20.0);
    }

    const QString pdfPath = QString::fromStdString(home.path() + "/entry.pdf");
    QString error;
    ASSERT_TRUE(writeCertificate(w.write, {}, pdfPath, &error, v)) << error.toStdString();
    QFile pdf(pdfPath);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.readAll().count("/Type /Page\n"), 1);
    constexpr int kDpi = 100;
    const QImage page = renderCertificate(w.write, {}, kDpi, v);
    EXPECT_TRUE(blank(page, 20.0, 250.0, 98.0, 19.0, kDpi));
    EXPECT_NE(page, renderCertificate(w.write, {}, kDpi));

    // The verb finds the same diagnosis in the logbook.
    const QString out = QString::fromStdString(home.path() + "/entry-cli.pdf");
    const test::CliRun run =
        test::runCli({"certificate", "--record", QString::number(w.write.id), "--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(Certificate, AnEntryWithoutADiagnosisOfItsPairSaysItsValidityIsNotKnown) {
    struct Row {
        const char* name;
        std::vector<CheckRecord> sets;
        const char* why;
    };
    const Row rows[] = {
        {"no set", {}, "no tile set of instrument L70S-200002 and reference L70S-100001"},
        {"only after the write",
         {diagnosedWith("offset", 1.5, {2026, 12, 7, 16, 0, 0}, "L70S-100001")},
         "diagnosed before the write is on record"},
        {"another reference",
         {diagnosedWith("offset", 1.5, {2026, 12, 7, 14, 0, 0}, "L70S-100009")},
         "and reference L70S-100001"},
    };
    for (const Row& r : rows) {
        const test::TempHome home;
        const WrittenEntry w = recordWrite(home, r.sets);
        const RecordValidity v = validityOf(w.write);
        EXPECT_FALSE(v.validity) << r.name;
        const QStringList text = validityParagraphs(v, userNumberFormat());
        ASSERT_EQ(text.size(), 1) << r.name;
        EXPECT_TRUE(text[0].startsWith(QStringLiteral("Not known: "))) << text[0].toStdString();
        EXPECT_TRUE(text[0].contains(QLatin1String(r.why))) << text[0].toStdString();
    }
    // A pure gain on record: the factors hold everywhere. Without the record file, not known.
    const test::TempHome home;
    WrittenEntry w =
        recordWrite(home, {diagnosedWith("gain", 1.0, {2026, 12, 7, 14, 0, 0}, "L70S-100001")},
                    {verifiedWith(0.05, {2026, 12, 7, 15, 6, 0}, "dE00")});
    const QStringList beyond = validityParagraphs(validityOf(w.write), userNumberFormat());
    ASSERT_EQ(beyond.size(), 1 + kAngleCount);
    EXPECT_TRUE(beyond[2].contains(QStringLiteral("Within 20 dE00 of the specimen and beyond")))
        << beyond[2].toStdString();
    w.write.files = {home.path() + "/moved.csv"};
    const QStringList moved = validityParagraphs(validityOf(w.write), userNumberFormat());
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0], QStringLiteral("Not known: moved.csv cannot be read (moved or deleted?)."));
    // Other kinds of record say nothing of it.
    EXPECT_TRUE(
        validityParagraphs(validityOf(diagnosedSet(home.path())), userNumberFormat()).isEmpty());
}

// A repeatability check of the instrument that measured `deltaE` between its readings.
CheckRecord repeatedWith(double deltaE, const LocalTime& time) {
    CheckRecord r = emptyRecord(RecordKind::Repeatability, time);
    r.serial = "L70S-200002";
    r.threshold = 0.2;
    r.formula = "dE00";
    for (AngleRecord& a : r.angles) a.deltaE = deltaE;
    return r;
}

// The radius stands only where the entry's own verification measured at the specimen what the
// prediction says there, give or take the instrument's reading noise.
TEST(Certificate, AnEntryHoldsOnlyWhereItsVerificationConfirmsThePredictionAtTheSpecimen) {
    const LocalTime later{2026, 12, 7, 15, 6, 0};
    CheckRecord rewritten = emptyRecord(RecordKind::EntryWrite, {2026, 12, 7, 15, 5, 0});
    rewritten.serial = "L70S-200002";
    rewritten.entry = 4;
    struct Row {
        const char* name;
        std::vector<CheckRecord> after;
        const char* text;  // in every angle's paragraph
    };
    const Row rows[] = {
        {"none", {}, "Not known until the entry is verified (the specimen measured again"},
        {"far",
         {verifiedWith(0.9, later, "dE00")},
         "Not known: the prediction does not hold at the specimen itself (predicted 0.0"},
        {"far on a noisy instrument",
         {repeatedWith(1.0, {2026, 12, 7, 15, 5, 0}), verifiedWith(0.9, later, "dE00")},
         "the verification measured 0.90 dE00."},
        {"after another entry",
         {rewritten, verifiedWith(0.05, later, "dE00")},
         "Not known until the entry is verified"},
        {"in another formula",
         {verifiedWith(0.05, later, "dE*ab")},
         "Not known until the entry is verified"},
    };
    for (const Row& r : rows) {
        const test::TempHome home;
        const WrittenEntry w = recordWrite(
            home, {diagnosedWith("offset", 1.5, {2026, 12, 7, 14, 0, 0}, "L70S-100001")}, r.after,
            writtenOnALightSpecimen(1.5));
        const QStringList text = validityParagraphs(validityOf(w.write), userNumberFormat());
        ASSERT_EQ(text.size(), 1 + kAngleCount) << r.name;
        EXPECT_TRUE(text[0].contains(
            QStringLiteral("Tried: colours made lighter, darker, greyer or with a broad band "
                           "added, 19 kinds")))
            << text[0].toStdString();
        for (int a = 1; a <= kAngleCount; ++a)
            EXPECT_TRUE(text[a].contains(QLatin1String(r.text)))
                << r.name << ": " << text[a].toStdString();
    }
}

// The entry on an orange after a set that left the wavelength shift open: the certificate
// states a radius whose prediction at the orange matches what the verification measured
// there, or says that it is not known and why; never that the entry fails where the
// verification found it holding.
TEST(Certificate, AnEntryOnAnOrangeDoesNotContradictItsVerification) {
    const LocalTime before{2026, 12, 7, 14, 0, 0};
    const std::vector<CheckRecord> verified = {verifiedWith(0.09, {2026, 12, 7, 15, 6, 0}, "dE00")};
    // The shift the orange shows (1 nm) near the value the set fitted, and far from it.
    std::size_t stated = 0;
    for (double shift : {0.8, -0.6}) {
        const test::TempHome home;
        const WrittenEntry w = recordWrite(
            home,
            {diagnosedWith("offset", 0.3, before, "L70S-100001", {{"shift", shift, 0.3, false}})},
            verified, writtenOnAnOrange());
        const RecordValidity v = validityOf(w.write);
        ASSERT_TRUE(v.validity) << v.problem;
        const QStringList text = validityParagraphs(v, userNumberFormat());
        ASSERT_EQ(text.size(), 1 + kAngleCount);
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleValidity& at = (*v.validity)[a];
            const std::string paragraph = text[1 + a].toStdString();
            std::printf("shift %.1f nm: %s\n", shift, paragraph.c_str());
            EXPECT_NEAR(at.measured, 0.09, 1e-12);
            if (at.bound == RadiusBound::NotKnown) {
                EXPECT_TRUE(
                    text[1 + a].contains(QStringLiteral("Not known: the prediction does "
                                                        "not hold at the specimen")))
                    << paragraph;
                EXPECT_TRUE(text[1 + a].contains(QStringLiteral("measured 0.09 dE00")))
                    << paragraph;
                continue;
            }
            ++stated;
            EXPECT_LE(std::abs(at.atSpecimen - 0.09), at.allowance) << paragraph;
            EXPECT_TRUE(
                text[1 + a].contains(QStringLiteral("the verification measured 0.09 dE00.")))
                << paragraph;
        }
    }
    EXPECT_GE(stated, 3u);
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
