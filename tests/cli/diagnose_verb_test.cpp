// qvl70s-cli diagnose and profile in process, on judgement files written from the simulator's
// instrument model: the remedy and its exit code, the JSON read back, and files it cannot read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "core/colour/colour_requests.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/colour/items.h"
#include "core/files/repeatability_file.h"
#include "core/files/validation_files.h"
#include "core/tiles/profile_file.h"
#include "platform/log/cxf_file.h"
#include "platform/log/sql_logbook.h"
#include "sim/instrument.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/sample_certificate.h"
#include "support/temp_home.h"

namespace qv {
namespace {

const QStringList kTiles = {"white", "lightgrey", "midgrey", "darkgrey", "yellow",
                            "green", "red",       "blue",    "orange",   "violet"};

// The readings as the instrument sends them: two decimals.
ThreeAngles read(sim::InstrumentConfig c, const QString& specimen) {
    c.specimen = specimen.toStdString();
    const sim::AngleSpectra truth = sim::Instrument(c).expectedReading();
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a)
        for (double v : truth[a]) out[a].push_back(std::round(v * 100.0) / 100.0);
    return out;
}

// One judgement file per tile in `dir`, the instrument under correction (`serial`) as `dut`
// reads, its reading of `changed` changed by `change`.
QStringList judgementFiles(const QTemporaryDir& dir, const sim::InstrumentConfig& dut,
                           const QString& changed = {},
                           const std::function<void(ThreeAngles&)>& change = {},
                           const std::string& serial = "L70S-200002") {
    QStringList files;
    for (const QString& tile : kTiles) {
        const QString path = dir.filePath(QString::fromStdString(serial) + "_" + tile + ".csv");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        ThreeAngles sample = read(dut, tile);
        if (tile == changed) change(sample);
        f.write(QByteArray::fromStdString(formatJudgementFile(read({}, tile), sample, "L70S-100001",
                                                              serial, {2026, 12, 8, 9, 0, 0},
                                                              test::projectStrings(), {})));
        files << path;
    }
    return files;
}

test::CliRun diagnose(const QStringList& files, bool json = true) {
    QStringList args = {"diagnose", "--tiles", kTiles.join(',')};
    if (json) args << "--json";
    return test::runCli(args + files);
}

TEST(DiagnoseCli, AGainCallsForFactorsAndTheJsonReadsBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sim::InstrumentConfig dut;
    dut.gain.fill(1.02);
    const test::CliRun run = diagnose(judgementFiles(dir, dut));
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(root["recommendation"].toString(), "write-factors");
    EXPECT_EQ(root["instrument"].toString(), "L70S-200002");
    ASSERT_EQ(root["tiles"].toArray().size(), kTiles.size());
    EXPECT_EQ(root["tiles"].toArray()[6].toObject()["name"].toString(), "red");
    const QJsonArray angles = root["angles"].toArray();
    ASSERT_EQ(angles.size(), 3);
    for (int a = 0; a < 3; ++a) {
        const QJsonObject angle = angles[a].toObject();
        EXPECT_EQ(angle["angle"].toInt(), kAngleDegrees[a]);
        EXPECT_EQ(angle["recommendation"].toString(), "write-factors") << a;
        const QJsonObject gain = angle["terms"].toObject()["gain"].toObject();
        EXPECT_TRUE(gain["identified"].toBool());
        EXPECT_NEAR(gain["value"].toDouble(), 2.0, 0.05);
        EXPECT_EQ(gain["unit"].toString(), "%");
        EXPECT_GT(gain["standardError"].toDouble(), 0.0);
        EXPECT_EQ(angle["terms"].toObject().size(), 7);
        EXPECT_LT(angle["meanAfterFactors"].toDouble(), angle["meanBefore"].toDouble());
        EXPECT_LT(angle["largestAfterFactors"].toDouble(), angle["largestBefore"].toDouble());
        EXPECT_TRUE(angle["leaveOneOut"].toObject()["model"].isDouble());
        EXPECT_TRUE(angle["leaveOneOut"].toObject()["factorsLargest"].isDouble());
        EXPECT_TRUE(angle["meanAfterModel"].isDouble());
        EXPECT_GE(gain["standardError"].toDouble(), gain["jackknifeError"].toDouble());
        EXPECT_GE(gain["standardError"].toDouble(), gain["leastSquaresError"].toDouble());
        EXPECT_TRUE(angle["terms"]["shift"]["definition"].toString().startsWith(
            "band centres lie this many nm longer than nominal"));
        for (const char* list : {"unseen", "unresolved", "inseparable", "suspectTiles"})
            EXPECT_TRUE(angle[list].isArray()) << list;
        EXPECT_EQ(angle["evidence"]["tiles"].toInt(), kTiles.size());
    }
}

// Equal instruments, one tile read 4 % high: read it again, by name; nothing is written.
TEST(DiagnoseCli, OneTileReadHighIsToBeReadAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const test::CliRun run = diagnose(judgementFiles(dir, {}, "yellow", [](ThreeAngles& sample) {
        for (AngleSpectrum& a : sample)
            for (double& v : a) v = std::round(v * 104.0) / 100.0;
    }));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(root["recommendation"].toString(), "remeasure");
    const QJsonObject at45 = root["angles"].toArray()[1].toObject();
    ASSERT_EQ(at45["suspectTiles"].toArray().size(), 1);
    EXPECT_EQ(at45["suspectTiles"][0]["name"].toString(), "yellow");
    EXPECT_EQ(at45["suspectTiles"][0]["index"].toInt(), 4);
    EXPECT_TRUE(at45["reason"].toString().contains("clean, place again and read tile 5 'yellow'"));
}

// A reading of -50 % is no reading: the tile is named and nothing is diagnosed.
TEST(DiagnoseCli, AnImplausibleReadingIsRefusedNamingItsTile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const test::CliRun run = diagnose(
        judgementFiles(dir, {}, "darkgrey", [](ThreeAngles& sample) { sample[1][5] = -50.0; }));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("nothing is diagnosed: tile 4 'darkgrey': the instrument under "
                           "correction read -50.00 % at 450 nm, at 45 degrees"),
              std::string::npos)
        << run.err;
}

TEST(DiagnoseCli, AShiftCallsForServiceAndNamesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sim::InstrumentConfig dut;
    dut.shiftNm = 1.0;  // its scale reads 1 nm long
    const test::CliRun run = diagnose(judgementFiles(dir, dut), false);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.out.find("service: wavelength calibration: band centres lie 1.0 nm shorter "
                           "than nominal at 45 degrees (its scale reads 1.0 nm long)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("recommendation service"), std::string::npos) << run.out;
}

TEST(DiagnoseCli, AMissingOrDamagedFileEndsWithItsReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList files = judgementFiles(dir, {});
    files[3] = dir.filePath("none.csv");
    const test::CliRun missing = diagnose(files);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");

    QFile damaged(dir.filePath("damaged.csv"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("Date;8.12.2026\r\nno serials here\r\n\x01\x02;;;\r\n");
    damaged.close();
    files[3] = damaged.fileName();
    const test::CliRun bad = diagnose(files);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("damaged.csv is not a judgement file"), std::string::npos) << bad.err;
    EXPECT_EQ(diagnose(files.mid(1)).exitCode, 2);  // ten names, nine files
}

// Errors a profile takes back out: 2 % gain, bands 0.5 nm off.
sim::InstrumentConfig gainedAndShifted() {
    sim::InstrumentConfig dut;
    dut.gain.fill(1.02);
    dut.shiftNm = 0.5;
    return dut;
}

// profile's exit code over the set as `dut` reads it, its judgement files in `dir`.
int profiled(const QTemporaryDir& dir, const sim::InstrumentConfig& dut) {
    return test::runCli(QStringList{"profile", "--tiles", kTiles.join(',')} +
                        judgementFiles(dir, dut))
        .exitCode;
}

// A product colour none of the tiles is: half red, half blue, as `c` reads it.
ThreeAngles redBlue(const sim::InstrumentConfig& c) {
    ThreeAngles red = read(c, "red");
    const ThreeAngles blue = read(c, "blue");
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) red[a][j] = (red[a][j] + blue[a][j]) / 2;
    return red;
}

// A judgement file at `path` of the master's reading against the instrument `serial`'s; its text.
std::string writeJudgement(const QString& path, const ThreeAngles& target,
                           const ThreeAngles& sample, const std::string& serial,
                           const LocalTime& time) {
    const std::string text = formatJudgementFile(target, sample, "L70S-100001", serial, time,
                                                 test::projectStrings(), {});
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(text));
    return text;
}

// profile: fitted on the files, kept as a file the logbook's record names, and refused on a set
// with an implausible reading before anything is kept.
TEST(ProfileCli, AProfileIsKeptAsAFileAndARecordAndRefusedOnAnImplausibleSet) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    const test::CliRun run = test::runCli(
        QStringList{"profile", "--tiles", kTiles.join(','), "--json", "--valid-days", "30"} +
        judgementFiles(dir, dut));
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_GT(root["profile"].toInteger(), 0);
    EXPECT_EQ(root["serial"].toString(), "L70S-200002");
    EXPECT_EQ(root["master"].toString(), "L70S-100001");
    EXPECT_EQ(root["validUntil"].toString().size(), 10);
    ASSERT_EQ(root["angles"].toArray().size(), 3);
    for (const QJsonValue& angle : root["angles"].toArray()) {
        EXPECT_LT(angle["residualLoo"].toDouble(), 0.1) << angle["angle"].toInt();
        EXPECT_NEAR(std::abs(angle["terms"]["shift"].toDouble()), 0.5, 0.1);
    }
    // The file reads back whole and the logbook's record names it.
    QFile file(root["file"].toString());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    EXPECT_TRUE(readProfileFile(text, *resultFileFormat(text, {}, test::projectStrings()),
                                test::projectStrings())
                    .ok());
    const test::CliRun history = test::runCli({"history", "--serial", "L70S-200002", "--json"});
    EXPECT_NE(history.out.find("\"profile\""), std::string::npos) << history.out;
    EXPECT_NE(history.out.find(root["file"].toString().toStdString()), std::string::npos);

    const test::CliRun refused = test::runCli(
        QStringList{"profile", "--tiles", kTiles.join(',')} +
        judgementFiles(dir, dut, "darkgrey", [](ThreeAngles& sample) { sample[1][5] = -50.0; }));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("darkgrey"), std::string::npos) << refused.err;
}

// A product colour the set did not hold (half red, half blue) standardised through the profile:
// the copy agrees with the master, the file as read stays as it was, and neither the copy nor a
// profile file changed after it was recorded is taken.
TEST(StandardiseCli, ACopyAgreesWithTheMasterAndNothingIsStandardisedTwice) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    const test::CliRun made = test::runCli(
        QStringList{"profile", "--tiles", kTiles.join(','), "--json"} + judgementFiles(dir, dut));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const QString product = dir.filePath("product.csv");
    const std::string raw =
        writeJudgement(product, redBlue({}), redBlue(dut), "L70S-200002", {2026, 12, 8, 10, 0, 0});
    const test::CliRun run = test::runCli({"standardise", "--json", product});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject file =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out))["files"][0].toObject();
    for (const QJsonValue& angle : file["angles"].toArray()) {
        EXPECT_GT(angle["deltaEBefore"].toDouble(), 0.25);
        EXPECT_LT(angle["deltaEAfter"].toDouble(), angle["deltaEBefore"].toDouble() / 5)
            << angle["angle"].toInt();
    }
    QFile same(product);
    ASSERT_TRUE(same.open(QIODevice::ReadOnly));
    EXPECT_EQ(same.readAll().toStdString(), raw);
    const QString copy = file["out"].toString();
    EXPECT_TRUE(copy.endsWith("product_standardised.csv"));
    const test::CliRun twice = test::runCli({"standardise", copy});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_NE(twice.err.find("standardised already"), std::string::npos) << twice.err;
    // The import takes the copy for no check of its own.
    const test::CliRun imported = test::runCli({"import", dir.path()});
    EXPECT_NE(imported.out.find("product_standardised.csv: line 4: a standardised copy"),
              std::string::npos)
        << imported.out;

    // The export reads the sample through the same profile: its spectra are the copy's.
    const QString asRead = dir.filePath("raw.txt"), standardised = dir.filePath("std.txt"),
                  ofCopy = dir.filePath("copy.txt");
    ASSERT_EQ(test::runCli({"export", "--cgats", product, "--out", asRead}).exitCode, 0);
    const test::CliRun exported =
        test::runCli({"export", "--cgats", product, "--standardised", "--out", standardised});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    ASSERT_EQ(test::runCli({"export", "--cgats", copy, "--out", ofCopy}).exitCode, 0);
    const auto data = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        return all.mid(all.indexOf("BEGIN_DATA\r\n"));
    };
    EXPECT_EQ(data(standardised), data(ofCopy));
    EXPECT_NE(data(standardised), data(asRead));

    // The CGATS file as read, standardised itself: the same spectra and differences, named as
    // standardised, so that neither it nor the export of a standardised copy goes through again.
    const test::CliRun cgats = test::runCli({"standardise", "--json", asRead});
    ASSERT_EQ(cgats.exitCode, 0) << cgats.err;
    const QJsonObject cgatsFile =
        QJsonDocument::fromJson(QByteArray::fromStdString(cgats.out))["files"][0].toObject();
    EXPECT_TRUE(cgatsFile["out"].toString().endsWith("raw_standardised.txt"));
    EXPECT_EQ(data(cgatsFile["out"].toString()), data(standardised));
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_NEAR(cgatsFile["angles"][a]["deltaEAfter"].toDouble(),
                    file["angles"][a]["deltaEAfter"].toDouble(), 1e-4);
    for (const QString& done : {cgatsFile["out"].toString(), ofCopy}) {
        const test::CliRun again = test::runCli({"standardise", done});
        EXPECT_NE(again.err.find("standardised already (profile"), std::string::npos) << again.err;
    }
    // A CGATS file that names no instrument is standardised only for the one the operator names.
    QFile rawFile(asRead);
    ASSERT_TRUE(rawFile.open(QIODevice::ReadOnly));
    QByteArray unnamed = rawFile.readAll();
    unnamed.replace("INSTRUMENTATION \"target L70S-100001, sample L70S-200002\"\r\n", "");
    const QString anonymous = dir.filePath("other tool.txt");
    QFile other(anonymous);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(unnamed);
    other.close();
    const test::CliRun unknown = test::runCli({"standardise", anonymous});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("names no instrument: give --serial"), std::string::npos)
        << unknown.err;
    const test::CliRun named =
        test::runCli({"standardise", "--json", "--serial", "L70S-200002", anonymous});
    EXPECT_EQ(named.exitCode, 0) << named.err;

    const QString profileFile =
        QJsonDocument::fromJson(QByteArray::fromStdString(made.out))["file"].toString();
    QFile edited(profileFile);
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("\r\n");
    edited.close();
    QFile::remove(copy);
    const test::CliRun changed = test::runCli({"standardise", product});
    EXPECT_EQ(changed.exitCode, 2);
    EXPECT_NE(changed.err.find("changed after it was recorded"), std::string::npos) << changed.err;
}

// The same product standardised into a CxF3 document: the sample's spectra are its readings
// through the profile, which the document names; a CGATS file's copy is refused, and no export
// writes over a file.
TEST(StandardiseCli, AStandardisedCopyIsExportedAsCxfNamingItsProfile) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    ASSERT_EQ(profiled(dir, dut), 0);
    const QString product = dir.filePath("product.csv");
    writeJudgement(product, redBlue({}), redBlue(dut), "L70S-200002", {2026, 12, 8, 10, 0, 0});
    const QString asRead = dir.filePath("raw.cxf"), standardised = dir.filePath("std.cxf");
    ASSERT_EQ(test::runCli({"export", "--cxf", product, "--out", asRead}).exitCode, 0);
    const QStringList exportStandardised{"export",         "--cxf", product,
                                         "--standardised", "--out", standardised};
    const test::CliRun run = test::runCli(exportStandardised);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto document = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll().toStdString();
    };
    const std::string written = document(standardised);
    const CxfRead before = readCxf(document(asRead)), after = readCxf(written);
    ASSERT_EQ(after.spectra.size(), 6u) << after.problem;
    ASSERT_EQ(before.spectra.size(), 6u) << before.problem;
    for (std::size_t i = 0; i < after.spectra.size(); ++i)
        EXPECT_EQ(after.spectra[i].specimen == "target",
                  after.spectra[i].reflectances == before.spectra[i].reflectances)
            << after.spectra[i].name;
    // The profile's label, once: "profile 1 to L70S-100001 of 2026-12-08".
    EXPECT_TRUE(QString::fromStdString(written).contains(QRegularExpression(
        "CalibrationStandard>profile \\d+ to L70S-100001 of \\d{4}-\\d\\d-\\d\\d</")))
        << written;
    EXPECT_EQ(test::runCli(exportStandardised).exitCode, 2);  // never over the first
    const QString cgats = dir.filePath("raw.txt"), refused = dir.filePath("refused.cxf");
    ASSERT_EQ(test::runCli({"export", "--cgats", product, "--out", cgats}).exitCode, 0);
    const test::CliRun fromCgats =
        test::runCli({"export", "--cxf", cgats, "--standardised", "--out", refused});
    EXPECT_NE(fromCgats.err.find("exported as CGATS; give --cgats"), std::string::npos);
    EXPECT_FALSE(QFile::exists(refused));
}

// Three instruments profiled to their mean reading: each gets a profile to the virtual master,
// and through them a product colour none of the tiles is reads alike on all three.
TEST(ProfileCli, AFleetProfiledToItsVirtualMasterReadsAProductAlike) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::pair<std::string, sim::InstrumentConfig>> fleet = [] {
        sim::InstrumentConfig gained, shifted, both = gainedAndShifted();
        gained.gain.fill(1.02);
        shifted.shiftNm = -0.6;
        return std::vector<std::pair<std::string, sim::InstrumentConfig>>{
            {"L70S-000011", gained}, {"L70S-000012", shifted}, {"L70S-000013", both}};
    }();
    QStringList files;
    QStringList serials;
    for (const auto& [serial, config] : fleet) {
        files += judgementFiles(dir, config, {}, {}, serial);
        serials << QString::fromStdString(serial);
    }
    const test::CliRun run =
        test::runCli(QStringList{"profile", "--tiles", kTiles.join(','), "--virtual-master",
                                 serials.join(','), "--json"} +
                     files);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray profiles =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out))["profiles"].toArray();
    ASSERT_EQ(profiles.size(), 3);
    for (const QJsonValue& p : profiles)
        EXPECT_EQ(p["master"].toString(), "virtual master of 3 instruments");
    // The product (half red, half blue) as each reads it, and as each copy has it standardised:
    // the largest colour difference between two instruments at any angle.
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    ColourRequests colour(*engine);
    std::vector<ThreeAngles> asRead, standardised;
    for (const auto& [serial, config] : fleet) {
        ThreeAngles product = redBlue(config);
        for (int a = 0; a < kAngleCount; ++a) {
            colour.setSample(a, product[a]);
            appendCoordinates(product[a], colour.coordinates(kSampleMode));
        }
        asRead.push_back(product);
        const QString path = dir.filePath(QString::fromStdString(serial) + "_product.csv");
        writeJudgement(path, redBlue({}), product, serial, {2026, 12, 8, 10, 0, 0});
        const test::CliRun done = test::runCli({"standardise", "--json", path});
        ASSERT_EQ(done.exitCode, 0) << done.err;
        QFile copy(QJsonDocument::fromJson(QByteArray::fromStdString(done.out))["files"][0]["out"]
                       .toString());
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        const auto back =
            readJudgementFile(copy.readAll().toStdString(), {}, test::projectStrings());
        ASSERT_TRUE(back.ok()) << back.problem;
        standardised.push_back(back.contents->sample);
    }
    const auto largest = [](const std::vector<ThreeAngles>& fleetRows) {
        double out = 0.0;
        for (std::size_t i = 0; i < fleetRows.size(); ++i)
            for (std::size_t k = i + 1; k < fleetRows.size(); ++k)
                for (int a = 0; a < kAngleCount; ++a) {
                    double sum = 0.0;
                    for (std::size_t c = kCoordinateElement; c < kCoordinateElement + 3; ++c)
                        sum += std::pow(fleetRows[i][a][c] - fleetRows[k][a][c], 2);
                    out = std::max(out, std::sqrt(sum));
                }
        return out;
    };
    std::printf(
        "virtual master: largest dE*ab between two instruments %.3f as read, %.3f "
        "standardised\n",
        largest(asRead), largest(standardised));
    EXPECT_GT(largest(asRead), 0.5);
    EXPECT_LT(largest(standardised), largest(asRead) / 5);

    // The fleet profiled again after every instrument's gain rose by 1 %: the virtual master
    // moved with them, no profile shows it, the tiles they keep do.
    QTemporaryDir later;
    QStringList again;
    for (auto [serial, config] : fleet) {
        for (double& g : config.gain) g *= 1.01;
        again += judgementFiles(later, config, {}, {}, serial);
    }
    ASSERT_EQ(test::runCli(QStringList{"profile", "--tiles", kTiles.join(','), "--virtual-master",
                                       serials.join(',')} +
                           again)
                  .exitCode,
              0);
    const test::CliRun listed = test::runCli({"profiles", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const QJsonDocument all = QJsonDocument::fromJson(QByteArray::fromStdString(listed.out));
    EXPECT_EQ(all["profiles"].toArray().size(), 6);
    EXPECT_EQ(all["profiles"][0]["status"].toString(), "current");
    const QJsonArray drift = all["drift"].toArray();
    ASSERT_EQ(drift.size(), 1);
    EXPECT_TRUE(drift[0]["virtualMaster"].toBool());
    EXPECT_EQ(drift[0]["instruments"].toInt(), 3);
    EXPECT_EQ(drift[0]["tiles"].toInt(), kTiles.size());
    for (const QJsonValue& a : drift[0]["angles"].toArray()) {
        EXPECT_GT(a["deltaE"].toDouble(), 0.2) << a["angle"].toInt();
        EXPECT_GT(a["lab"][0].toDouble(), 0.0);  // lighter
        EXPECT_LT(a["expanded"].toDouble(), a["deltaE"].toDouble() / 4);
    }
    const test::CliRun text = test::runCli({"profiles"});
    EXPECT_NE(text.out.find("virtual master, 3 instruments on 10 tiles"), std::string::npos)
        << text.out;
}

// A repeatability series of the instrument is standardised reading by reading: the copy names
// its profile, its readings are what the master reads, and it is not standardised again.
TEST(StandardiseCli, ARepeatabilitySeriesIsStandardisedReadingByReading) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    ASSERT_EQ(profiled(dir, dut), 0);
    RepeatSeries series;
    const ThreeAngles black = read(dut, "black");
    for (std::size_t i = 0; i < series.size(); ++i) series[i] = black[i % kAngleCount];
    const QString path = dir.filePath("Repeatability.csv");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(formatRepeatabilityFile(
            series, "L70S-200002", {2026, 12, 8, 11, 0, 0}, test::projectStrings(), {})));
    }
    const test::CliRun run = test::runCli({"standardise", "--json", path});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QFile copy(
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out))["files"][0]["out"].toString());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const auto back =
        readRepeatabilityFile(copy.readAll().toStdString(), {}, test::projectStrings());
    ASSERT_TRUE(back.ok()) << back.problem;
    EXPECT_EQ(back.contents->standardisedBy.rfind("profile ", 0), 0u);
    // The master's own reading of the tile, within what two-decimal readings allow.
    const ThreeAngles master = read({}, "black");
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; j += 10)
            EXPECT_NEAR(back.contents->series[std::size_t(3 + a)][j], master[a][j], 0.03);
    EXPECT_EQ(test::runCli({"standardise", copy.fileName()}).exitCode, 2);
}

// A check against the master after the profile was made, on an instrument that drifted since:
// through the profile it lands beyond what the profile's residual allows, so the profile is
// due before its date.
TEST(StandardiseCli, AProfileALaterCheckContradictsIsDue) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    ASSERT_EQ(profiled(dir, dut), 0);
    const auto writeCheck = [&](const sim::InstrumentConfig& now, const QString& name) {
        const QString folder = dir.filePath(name);
        QDir().mkpath(folder);
        const QString path = folder + "/Judgement_20261231_090000.csv";
        // As the check writes it: the sample's coordinates and its difference after its readings.
        ThreeAngles target = read({}, "orange"), sample = read(now, "orange");
        const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
        ColourRequests colour(*engine);
        colour.prepareDifferences();
        for (int a = 0; a < kAngleCount; ++a) {
            colour.setTarget(a, target[a]);
            colour.request(item::kTotalDifference, kTargetMode);
            colour.setSample(a, sample[a]);
            const double dE = colour.request(item::kTotalDifference, kSampleMode);
            appendCoordinates(sample[a], colour.coordinates(kSampleMode));
            setDifference(sample[a], dE);
        }
        writeJudgement(path, target, sample, "L70S-200002", {2026, 12, 31, 9, 0, 0});
        const test::CliRun imported = test::runCli({"import", folder});
        EXPECT_NE(imported.out.find("1 imported"), std::string::npos) << imported.out;
        return path;
    };
    // Still as profiled: the check agrees and the profile stands.
    const QString agreeing = writeCheck(dut, "same");
    EXPECT_EQ(test::runCli({"standardise", "--strict", agreeing}).exitCode, 0);
    sim::InstrumentConfig drifted = dut;
    drifted.gain.fill(1.035);
    const QString later = writeCheck(drifted, "drifted");
    const test::CliRun strict = test::runCli({"standardise", "--strict", later});
    EXPECT_EQ(strict.exitCode, 2);
    EXPECT_NE(strict.err.find("is due: the check of 20261231_090000 reads"), std::string::npos)
        << strict.err;
}

// Against certified values: the instrument under correction (2 % high, its bands 0.5 nm long)
// read the set 5 °C warmer than its certificates, beside a reference instrument 3 % low. The
// certificates stand for the reference: judged at the certificates' temperature, the set reads
// as it does against the certified values themselves, whatever the reference read.
TEST(AgreementCli, AgainstCertifiedValuesTheCertificatesStandForTheReference) {
    const test::TempHome home;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InstrumentConfig dut = gainedAndShifted();
    sim::InstrumentConfig reference;
    reference.gain.fill(0.97);
    QStringList warm, asCertified;
    {
        SqlLogbook logbook(logbookPath());
        for (const QString& tile : kTiles) {
            TileCertificate c = test::sampleCertificate(tile.toStdString());
            c.number = "NCL-" + tile.toStdString();
            c.spectra = read({}, tile);
            for (auto& angle : c.coefficients)
                for (double& v : angle) v = -0.06;  // % per °C: 0.3 % over five degrees
            std::string why;
            ASSERT_EQ(logbook.addTileCertificate(c, why), CertificateAdded::Added) << why;
            ThreeAngles sample = read(dut, tile), hot = sample;
            for (auto& angle : hot)
                for (double& v : angle) v = std::round((v - 0.06 * 5) * 100.0) / 100.0;
            const LocalTime time{2026, 12, 8, 9, 0, 0};
            warm << dir.filePath("warm_" + tile + ".csv");
            writeJudgement(warm.back(), read(reference, tile), hot, "L70S-200002", time);
            asCertified << dir.filePath("certified_" + tile + ".csv");
            writeJudgement(asCertified.back(), c.spectra, sample, "L70S-200002", time);
        }
    }
    const QStringList set{"agreement", "--tiles", kTiles.join(','), "--json"};
    const auto json = [](const test::CliRun& r) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    };
    const test::CliRun plain = test::runCli(set + asCertified);
    const test::CliRun certified =
        test::runCli(set + QStringList{"--certified", "--temperature", "28"} + warm);
    ASSERT_NE(certified.exitCode, 2) << certified.err;
    const QJsonObject p = json(plain), c = json(certified);
    EXPECT_EQ(c["referenceInstrument"].toString(), "certified values");
    EXPECT_EQ(c["certified"]["temperature"].toDouble(), 28.0);
    EXPECT_EQ(c["certified"]["certificates"].toArray().size(), kTiles.size());
    EXPECT_EQ(c["passed"], p["passed"]);
    for (int t = 0; t < kTiles.size(); ++t)
        for (int a = 0; a < kAngleCount; ++a)
            EXPECT_NEAR(c["tiles"][t]["deltaE"][a].toDouble(),
                        p["tiles"][t]["deltaE"][a].toDouble(), 0.01)
                << kTiles[t].toStdString() << " " << a;

    // Without the temperature the warm readings are judged as read, and it says so.
    const test::CliRun uncorrected = test::runCli(set + QStringList{"--certified"} + warm);
    const QJsonObject u = json(uncorrected);
    EXPECT_TRUE(u["certified"]["notes"][0].toString().startsWith("not corrected for temperature"));
    EXPECT_GT(std::abs(u["angles"][0]["mean"].toDouble() - p["angles"][0]["mean"].toDouble()),
              0.05);
    for (int a = 0; a < kAngleCount; ++a)
        std::printf(
            "%d°: mean dE against the certificates %.3f, 5 °C warm corrected %.3f, "
            "uncorrected %.3f\n",
            kAngleDegrees[a], p["angles"][a]["mean"].toDouble(), c["angles"][a]["mean"].toDouble(),
            u["angles"][a]["mean"].toDouble());

    // A tile without a certificate, or a temperature without certified values: nothing judged.
    const test::CliRun missing = test::runCli(
        QStringList{"agreement", "--certified", "--tiles", kTiles.join(',') + ",black"} + warm +
        QStringList{warm.front()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("no certificate on record for black"), std::string::npos)
        << missing.err;
    EXPECT_EQ(test::runCli(set + QStringList{"--temperature", "28"} + warm).exitCode, 2);

    // A profile to the certified values: its master says so, and it misses a tile left out
    // as little as a profile to an instrument does.
    const test::CliRun profile =
        test::runCli(QStringList{"profile", "--tiles", kTiles.join(','), "--json", "--certified",
                                 "--temperature", "28"} +
                     warm);
    ASSERT_EQ(profile.exitCode, 0) << profile.err;
    EXPECT_EQ(json(profile)["master"].toString(), "certified values");
    for (const QJsonValue& angle : json(profile)["angles"].toArray())
        EXPECT_LT(angle["residualLoo"].toDouble(), 0.1) << angle["angle"].toInt();
}

}  // namespace
}  // namespace qv
