// The tiles' certificates and the check tile as real windows offscreen: a certificate and its
// coefficients imported from files, then a simulated green tile read 5 °C warm with and
// without the room's temperature.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "core/tiles/certificate_files.h"
#include "gui/log/history_dlg.h"
#include "gui/log/trend_chart.h"
#include "gui/tiles/check_tile_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/cxf_file.h"
#include "platform/log/sql_logbook.h"
#include "sim/specimens.h"
#include "support/sample_certificate.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct CheckTileDialogs : test::GuiFixture {
    void SetUp() override {
        ASSERT_EQ(sim.control("set A:thermo=0.25,room=28"), "ok");
        ASSERT_TRUE(state.commPort->open(sim.port()));
        clock.rawReadSource = state.commPort.get();
        context.logbook = &logbook;
    }
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // The simulator's green tile with the room at `roomC`, as an ideal instrument reads it.
    static ThreeAngles green(double roomC) {
        const auto s =
            sim::specimenSpectra("green", sim::AngleWavelengthErrors{}, 0.25 * (roomC - 23.0));
        ThreeAngles out;
        for (int a = 0; a < kAngleCount; ++a) out[a].assign((*s)[a].begin(), (*s)[a].end());
        return out;
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = home.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    test::SimInstrument sim{"53", "L70S-000001", "green"};
    SqlLogbook logbook{home.path() + "/logbook.sqlite"};
};

TEST_F(CheckTileDialogs, ACertificateImportedThenTheTileCheckedWarmWithAndWithoutItsTemperature) {
    TileCertificate c = test::sampleCertificate();
    c.spectra = green(23.0);
    const ThreeAngles cold = green(18.0), warm = green(28.0);
    std::string table;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        table += std::to_string(kStartNm + kStepNm * j);
        for (int a = 0; a < kAngleCount; ++a)
            table += " " + std::to_string((warm[a][j] - cold[a][j]) / 10.0);
        table += "\n";
    }
    {
        CTileCertificatesDlg certificates(context, &logbook);
        child<QLineEdit>(certificates, "tileEdit")->setText(QStringLiteral("green"));
        child<QLineEdit>(certificates, "certificateEdit")
            ->setText(QString::fromStdString(write("green.cgats", formatCgatsCertificate(c))));
        child<QLineEdit>(certificates, "coefficientsEdit")
            ->setText(QString::fromStdString(write("green.txt", table)));
        child<QPushButton>(certificates, "importButton")->click();
        auto* outcome = child<QLabel>(certificates, "outcomeLabel");
        EXPECT_EQ(outcome->text(), "Certificate NCL-2026-0147 of tile green recorded.");
        child<QPushButton>(certificates, "importButton")->click();
        EXPECT_EQ(outcome->text(), "Certificate NCL-2026-0147 of tile green already recorded.");
        auto* rows = child<QTableWidget>(certificates, "certificateTable");
        ASSERT_EQ(rows->rowCount(), 1);
        EXPECT_EQ(rows->item(0, 6)->text(), "yes");
        child<QLineEdit>(certificates, "coefficientsEdit")
            ->setText(QString::fromStdString(write("bad.txt", "400 0.1\n405 0.1\n")));
        child<QPushButton>(certificates, "importButton")->click();
        EXPECT_TRUE(outcome->text().contains("bad.txt: line 2:")) << outcome->text().toStdString();
    }

    CCheckTileDlg check(context, &logbook);
    EXPECT_EQ(child<QComboBox>(check, "tileCombo")->currentText(), "green");
    child<QCheckBox>(check, "temperatureKnown")->setChecked(true);
    child<QDoubleSpinBox>(check, "temperature")->setValue(28.0);
    child<QPushButton>(check, "readButton")->click();
    ASSERT_TRUE(check.lastRun() && check.lastRun()->ran) << check.lastRun()->problem;
    EXPECT_TRUE(check.lastRun()->check.corrected);
    auto* results = child<QTableWidget>(check, "resultTable");
    ASSERT_EQ(results->rowCount(), 3);
    for (int a = 0; a < kAngleCount; ++a) EXPECT_LT(results->item(a, 1)->text().toDouble(), 0.02);
    EXPECT_TRUE(child<QLabel>(check, "verdictLabel")->text().startsWith("Verdict: passed"));

    child<QCheckBox>(check, "temperatureKnown")->setChecked(false);
    child<QPushButton>(check, "readButton")->click();
    EXPECT_FALSE(check.lastRun()->check.corrected);
    EXPECT_GT(results->item(1, 1)->text().toDouble(), 0.3);
    EXPECT_TRUE(
        child<QLabel>(check, "verdictLabel")->text().contains("not corrected for temperature"));
    const auto records = logbook.records("L70S-000001");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, RecordKind::CheckTile);

    // The history's trend of check tiles: both checks at each angle, the limit beside them.
    CHistoryDlg history(context, logbook, nullptr, "L70S-000001");
    ASSERT_TRUE(test::readThrough(history));
    auto* kinds = child<QComboBox>(history, "trendKindCombo");
    kinds->setCurrentIndex(kinds->findText(QStringLiteral("Check tiles")));
    emit kinds->activated(kinds->currentIndex());
    auto* trend = child<TrendChart>(history, "trendChart");
    for (int a = 0; a < kAngleCount; ++a) EXPECT_EQ(trend->points(a).size(), 2) << a;
    EXPECT_FALSE(trend->thresholdPoints().isEmpty());
}

// A laboratory's CxF3 document holds spectra only: its number and date are typed beside it,
// numbers with the user's decimal comma or a point. A number that does not read is refused
// naming its field with nothing recorded, and the same import twice is recognised.
TEST_F(CheckTileDialogs, ACxfCertificateTakesTheFieldsTypedBesideIt) {
    CxfSpecimen green{"green", "", std::string(kAsRead), {}};
    green.angles = test::sampleCertificate().spectra;
    const std::string file = write(
        "green.cxf",
        formatCxf({"Tile certificate", "2026-03-01T10:00:00", {green}, {}}, CxfLayout::Grouped));
    context.format = NumberFormat(',');
    CTileCertificatesDlg certificates(context, &logbook);
    const auto type = [&](const char* field, const std::string& text) {
        child<QLineEdit>(certificates, field)->setText(QString::fromStdString(text));
    };
    for (const auto& [field, text] : {std::pair{"tileEdit", "green"},
                                      {"certificateEdit", file.c_str()},
                                      {"numberEdit", "NCL-7"},
                                      {"dateEdit", "2026-03-01"},
                                      {"uncertaintyEdit", "0.12"},
                                      {"temperatureEdit", "23,5"},
                                      {"limitEdit", "0,4 dE"}})
        type(field, text);
    auto* outcome = child<QLabel>(certificates, "outcomeLabel");
    auto* rows = child<QTableWidget>(certificates, "certificateTable");
    child<QPushButton>(certificates, "importButton")->click();
    EXPECT_EQ(outcome->text(), "The limit (dE*ab) is not a number: nothing is recorded.");
    EXPECT_EQ(rows->rowCount(), 0);

    type("limitEdit", "0,4");
    child<QPushButton>(certificates, "importButton")->click();
    EXPECT_EQ(outcome->text(), "Certificate NCL-7 of tile green recorded.");
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->item(0, 3)->text(), "2026-03-01");
    EXPECT_EQ(rows->item(0, 5)->text(), QStringLiteral("23.5 °C"));
    EXPECT_EQ(rows->item(0, 7)->text(), "0.40");
    child<QPushButton>(certificates, "importButton")->click();
    EXPECT_EQ(outcome->text(), "Certificate NCL-7 of tile green already recorded.");
}

}  // namespace
}  // namespace qv
