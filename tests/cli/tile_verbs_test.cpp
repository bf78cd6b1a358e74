// qvl70s-cli certificate-import and check-tile in process against a simulated instrument whose
// green tile moves with the room: the certificate read at 23 °C, its coefficients measured at
// 18 and 28 °C, and the check tile read 5 °C warm with and without the correction.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>

#include "core/tiles/certificate_files.h"
#include "platform/log/cxf_file.h"
#include "platform/log/logbook_location.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/sample_certificate.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::CliRun;

struct TileCli : ::testing::Test {
    TileCli() { EXPECT_EQ(sim.control("set A:thermo=0.25"), "ok"); }
    CliRun run(QStringList args) {
        return test::runCli(args << QStringLiteral("--port") << QString::fromStdString(sim.port()));
    }
    // The tile as the instrument reads it with the room at `roomC`.
    ThreeAngles readAt(double roomC) {
        EXPECT_EQ(sim.control("set A:room=" + std::to_string(roomC)), "ok");
        const CliRun r = run({"measure", "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const QJsonArray angles =
            QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["angles"].toArray();
        ThreeAngles out;
        for (int a = 0; a < kAngleCount && a < angles.size(); ++a)
            for (const QJsonValue v : angles[a].toObject()["reflectancePercent"].toArray())
                out[a].push_back(v.toDouble());
        return out;
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = home.documents() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    QJsonObject checkJson(const CliRun& r) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    }

    test::TempHome home;
    test::SimInstrument sim{"53", "L70S-000001", "green"};
};

TEST_F(TileCli, FiveDegreesWarmCorrectedWithinTwoHundredthsAndUncorrectedSaidSo) {
    TileCertificate c = test::sampleCertificate();
    c.uncertainty = 0.1;
    c.spectra = readAt(23.0);
    const ThreeAngles cold = readAt(18.0), warm = readAt(28.0);
    std::string table = "# nm, 25, 45, 75 (% per degree)\n";
    for (int j = 0; j < kSpectrumPoints; ++j) {
        table += std::to_string(kStartNm + kStepNm * j);
        for (int a = 0; a < kAngleCount; ++a)
            table += "," + std::to_string((warm[a][j] - cold[a][j]) / 10.0);
        table += "\n";
    }
    const QString certificate =
        QString::fromStdString(write("green.cgats", formatCgatsCertificate(c)));
    const QString coefficients = QString::fromStdString(write("green-coefficients.csv", table));

    CliRun r = test::runCli({"certificate-import", certificate, "--tile", "green", "--coefficients",
                             coefficients, "--limit", "0.2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("certificate NCL-2026-0147 of tile green recorded"), std::string::npos);
    r = test::runCli({"certificate-import", certificate, "--tile", "green", "--coefficients",
                      coefficients, "--limit", "0.2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("already recorded"), std::string::npos) << r.out;
    // The same number with other certified values is refused; the values on record stand.
    r = test::runCli(
        {"certificate-import", certificate, "--tile", "green", "--uncertainty", "0.3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("other certified values"), std::string::npos) << r.err;
    // A damaged coefficients table is refused at its line, nothing recorded.
    const QString bad = QString::fromStdString(write("bad.csv", "400 0.1\n410 0.1 0.2 0.3\n"));
    r = test::runCli({"certificate-import", certificate, "--tile", "green", "--coefficients", bad});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("bad.csv: line 2: another number of columns"), std::string::npos) << r.err;

    // The room 5 °C above the certificate's: corrected, the tile lands on its certificate.
    ASSERT_EQ(sim.control("set A:room=28"), "ok");
    const std::size_t before = sim.received().size();
    r = run({"check-tile", "--tile", "green", "--temperature", "28", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    QJsonObject j = checkJson(r);
    EXPECT_EQ(j["tile"].toString(), "green");
    EXPECT_EQ(j["temperature"].toDouble(), 28.0);
    EXPECT_TRUE(j["corrected"].toBool());
    EXPECT_TRUE(j["passed"].toBool());
    for (const QJsonValue a : j["angles"].toArray()) {
        EXPECT_LT(a["deltaE"].toDouble(), 0.02) << a["angle"].toInt();
        EXPECT_DOUBLE_EQ(a["limit"].toDouble(), 0.2);
        std::printf("check tile %d°: corrected %.4f dE*ab\n", a["angle"].toInt(),
                    a["deltaE"].toDouble());
    }
    // It only identified and measured (each data line acknowledged): no command that changes
    // the instrument's settings was sent.
    for (std::size_t i = before; i < sim.received().size(); ++i) {
        const std::string command = sim.received()[i].substr(0, sim.received()[i].find('\\'));
        EXPECT_TRUE(command == "IDR" || command == "MES" || command == "&") << sim.received()[i];
    }

    // Without the temperature: judged as read, which the 5 °C puts beyond the tile's limit.
    r = run({"check-tile", "--tile", "green", "--json"});
    EXPECT_EQ(r.exitCode, 1) << r.err << r.out;
    j = checkJson(r);
    EXPECT_FALSE(j["corrected"].toBool());
    EXPECT_TRUE(j["temperature"].isNull());
    EXPECT_NE(j["notes"].toArray()[0].toString().indexOf("not corrected for temperature"), -1);
    for (const QJsonValue a : j["angles"].toArray()) {
        EXPECT_GT(a["deltaE"].toDouble(), 0.2);
        std::printf("check tile %d°: uncorrected %.4f dE*ab\n", a["angle"].toInt(),
                    a["deltaE"].toDouble());
    }

    // Both checks are on record as check tiles with their differences per angle.
    SqlLogbook logbook(logbookPath());
    const std::vector<CheckRecord> records = logbook.records("L70S-000001");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, RecordKind::CheckTile);
    EXPECT_EQ(records[0].specimen, "green");
    EXPECT_FALSE(*records[0].passed);
    EXPECT_GT(records[0].angles[1].deltaE, 0.2);
    EXPECT_LT(records[1].angles[1].deltaE, 0.02);
    EXPECT_NE(records[1].comment.find("corrected to 23.0"), std::string::npos)
        << records[1].comment;

    // No certificate for the tile: could not run.
    r = run({"check-tile", "--tile", "red"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no certificate of tile red"), std::string::npos) << r.err;
}

// A laboratory's CxF3 document holds the spectra alone: the certificate's number and date are
// given as options, and without them nothing is recorded.
TEST_F(TileCli, ACxfCertificateTakesItsFieldsFromTheOptions) {
    CxfContents contents;
    contents.descriptor = "Tile certificate";
    contents.created = "2026-03-01T10:00:00";
    CxfSpecimen green{"green", "", std::string(kAsRead), {}};
    const TileCertificate sample = test::sampleCertificate();
    for (int a = 0; a < kAngleCount; ++a) green.angles[a] = sample.spectra[a];
    contents.specimens = {green};
    const QString file =
        QString::fromStdString(write("green.cxf", formatCxf(contents, CxfLayout::Grouped)));
    CliRun r = test::runCli({"certificate-import", file, "--tile", "green"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no number"), std::string::npos) << r.err;
    r = test::runCli({"certificate-import", file, "--tile", "green", "--number", "NCL-7", "--date",
                      "2026-03-01", "--uncertainty", "0.12", "--temperature", "23", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject j = checkJson(r);
    EXPECT_TRUE(j["added"].toBool());
    EXPECT_FALSE(j["coefficients"].toBool());
    SqlLogbook logbook(logbookPath());
    const auto kept = logbook.tileCertificates("green");
    ASSERT_TRUE(kept && kept->rows.size() == 1u);
    const TileCertificate& c = kept->rows[0].certificate;
    EXPECT_EQ(c.number, "NCL-7");
    EXPECT_EQ(c.temperatureC, 23.0);
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_NEAR(c.spectra[a][15], sample.spectra[a][15], 1e-4) << a;
}

}  // namespace
}  // namespace qv
