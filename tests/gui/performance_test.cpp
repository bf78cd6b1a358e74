// The performance statement, reached from every side: the verb over a logbook file seeded as a
// laboratory would fill it, the one-page PDF however long its texts, the settings dialog's
// fields kept and shown again, the history window's button and long-term trend.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "core/app/string_ids.h"
#include "core/log/performance_settings.h"
#include "gui/log/history_dlg.h"
#include "gui/log/trend_chart.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/sql_logbook.h"
#include "report/kit/a4_page.h"
#include "report/log/certificate.h"
#include "report/log/performance_sheet.h"
#include "support/cli_run.h"

namespace qv {
namespace {

using test::blank;

constexpr const char* kSerial = "L70S-200002";

CheckRecord seeded(RecordKind kind, LocalTime time) {
    CheckRecord r = emptyRecord(kind, time);
    r.serial = kSerial;
    r.instrumentType = "53";
    r.formula = "dE*ab";
    return r;
}

// An extended check of the grey tile, five three-reading checks of it before, a tile set
// diagnosed and its factors written after it.
void seed(Logbook& logbook) {
    CheckRecord set = seeded(RecordKind::TileSet, {2026, 11, 15, 9, 0, 0});
    set.referenceSerial = "L70S-100001";
    set.comment = "Lab tiles";
    set.readings = 9;
    DiagnosisRecord d;
    for (int a = 0; a < kAngleCount; ++a) {
        set.angles[a].deltaE = 0.40;
        d[a] = {"write-factors", "gain", 0.15, 0.10, {}};
        d[a].heldOutRmsAfterFactors = 0.20 + 0.02 * a;
        // Each tile predicted off by that much along one coordinate or another.
        const double r = d[a].heldOutRmsAfterFactors;
        for (int t = 0; t < set.readings; ++t)
            d[a].tiles.push_back(
                {{90.0 - 8 * t, 2.0 * t, -1.0 * t},
                 {NAN, NAN, NAN},
                 {t % 3 == 0 ? r : 0.0, t % 3 == 1 ? -r : 0.0, t % 3 == 2 ? r : 0.0}});
        // At 75° the set could not see a wavelength shift.
        d[a].terms = {{"gain", 1.0, 0.02, true}, {"shift", 0.0, a == 2 ? INFINITY : 0.02, false}};
        d[a].lightnessLow = 20.0;
        d[a].lightnessHigh = 95.0;
    }
    set.diagnosis = d;
    logbook.record(set);
    CheckRecord write = seeded(RecordKind::EntryWrite, {2026, 11, 15, 9, 30, 0});
    write.entry = 3;
    logbook.record(write);
    for (int i = 0; i < 5; ++i) {
        CheckRecord r = seeded(RecordKind::Repeatability, {2026, 11, 20 + 2 * i, 8, 0, 0});
        r.specimen = "grey tile";
        for (int a = 0; a < kAngleCount; ++a) {
            r.angles[a].lab = {50.0 - 5 * a + 0.05 * (i - 2), 1.0 + 0.02 * (i % 2), -2.0};
            r.angles[a].deltaE = 0.03;
        }
        logbook.record(r);
    }
    CheckRecord ext = seeded(RecordKind::ExtendedRepeatability, {2026, 12, 1, 10, 0, 0});
    ext.readings = 20;
    ext.specimen = "grey tile";
    for (int a = 0; a < kAngleCount; ++a) {
        AngleRecord& g = ext.angles[a];
        g.lab = {50.0 - 5 * a, 1.0, -2.0};
        g.deltaE = 0.02 + 0.01 * a;
        g.sd = {0.01, 0.01, 0.01};
        g.largest = 0.05;
    }
    logbook.record(ext);
}

QJsonObject json(const test::CliRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

int pages(const QString& path) {
    QFile pdf(path);
    if (!pdf.open(QIODevice::ReadOnly)) return 0;
    const QByteArray data = pdf.readAll();
    return data.startsWith("%PDF-") ? static_cast<int>(data.count("/Type /Page\n")) : 0;
}

// Every contribution of one angle as the seeded logbook holds it.
void expectContributions(const QJsonArray& c, int a) {
    ASSERT_EQ(c.size(), 5);
    const char* const keys[] = {"shortTerm", "longTerm", "agreement", "reference", "resolution"};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(c[k]["kind"].toString(), QLatin1String(keys[k]));
        EXPECT_TRUE(c[k]["available"].toBool()) << keys[k];
        EXPECT_GT(c[k]["standard"].toDouble(), 0.0) << keys[k];
        EXPECT_FALSE(c[k]["source"].toString().isEmpty()) << keys[k];
    }
    EXPECT_DOUBLE_EQ(c[0]["figure"].toDouble(), 0.02 + 0.01 * a);
    EXPECT_EQ(c[0]["readings"].toInt(), 20);
    EXPECT_EQ(c[0]["date"].toString(), QStringLiteral("2026-12-01 10:00:00"));
    EXPECT_EQ(c[1]["readings"].toInt(), 6);  // the extended check and the five before it
    EXPECT_EQ(c[1]["from"].toString(), QStringLiteral("2026-11-20 08:00:00"));
    // The factors were written after the set: its prediction for tiles it did not fit counts,
    // recomputed from the tiles' differences.
    EXPECT_NEAR(c[2]["figure"].toDouble(), 0.20 + 0.02 * a, 1e-9);
    EXPECT_TRUE(c[2]["source"].toString().contains(QStringLiteral("after the factors")));
    EXPECT_DOUBLE_EQ(c[3]["figure"].toDouble(), 0.10 + 0.02 * a);
    EXPECT_DOUBLE_EQ(c[3]["standard"].toDouble(), (0.10 + 0.02 * a) / 2);
    EXPECT_TRUE(c[3]["date"].isNull());
    EXPECT_DOUBLE_EQ(c[4]["figure"].toDouble(), 0.01);
}

TEST(PerformanceVerb, ASeededLogbookIsStatedFieldByFieldPrintedAndRecorded) {
    const test::TempHome home;
    {
        SqlLogbook logbook(logbookPath());
        ASSERT_TRUE(logbook.isOpen());
        seed(logbook);
        QtProfileStore profile;
        ASSERT_TRUE(saveSetLimits(profile, {0.3, 0.6, 1.0}));
        PerformanceSettings settings;
        settings.tolerance[1] = 0.5;  // 25° and 75° keep the set's
        savePerformanceSettings(profile, settings);
    }
    const QString out = QString::fromStdString(home.path() + "/statement.pdf");
    const QStringList args{"performance",
                           "--serial",
                           kSerial,
                           "--json",
                           "--days",
                           "0",
                           "--out",
                           out,
                           "--reference-uncertainty",
                           "0.10/0.12/0.14",
                           "--certificate",
                           "No. 117, Lab A, 2026-03-01",
                           "--temperature",
                           "23 °C"};
    const test::CliRun run = test::runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject st = json(run);
    EXPECT_EQ(st["serial"].toString(), QLatin1String(kSerial));
    EXPECT_EQ(st["formula"].toString(), QStringLiteral("dE*ab"));
    EXPECT_FALSE(st["made"].toString().isEmpty());
    EXPECT_EQ(st["pdf"].toString(), out);
    EXPECT_EQ(st["certificate"].toString(), QStringLiteral("No. 117, Lab A, 2026-03-01"));
    EXPECT_TRUE(st["conditions"].toString().endsWith(QStringLiteral("; at 23 °C")));
    EXPECT_TRUE(st["number"].toString().startsWith(QStringLiteral("PS-L70S-200002-")));
    EXPECT_EQ(st["entry"]["entry"].toInt(), 3);
    EXPECT_TRUE(st["neutralOnly"].toBool());
    EXPECT_FALSE(st["angles"][0]["scope"]["neutralOnly"].toBool());
    EXPECT_TRUE(st["angles"][2]["scope"]["neutralOnly"].toBool());
    EXPECT_EQ(st["angles"][2]["scope"]["unseen"].toArray(), QJsonArray{QStringLiteral("shift")});
    EXPECT_DOUBLE_EQ(st["angles"][2]["scope"]["lightness"][1].toDouble(), 95.0);
    EXPECT_TRUE(st["missing"].toArray().isEmpty()) << run.out;
    const QJsonArray angles = st["angles"].toArray();
    ASSERT_EQ(angles.size(), kAngleCount);
    const double tolerances[] = {1.0, 0.5, 1.0};
    for (int a = 0; a < kAngleCount; ++a) {
        const QJsonObject g = angles[a].toObject();
        EXPECT_EQ(g["angle"].toInt(), kAngleDegrees[a]);
        const QJsonArray c = g["contributions"].toArray();
        expectContributions(c, a);
        double sum = 0.0;
        for (const QJsonValue& v : c) sum += std::pow(v["standard"].toDouble(), 2);
        EXPECT_NEAR(g["standard"].toDouble(), std::sqrt(sum), 1e-12);
        EXPECT_NEAR(g["expanded"].toDouble(),
                    g["coverageFactor"].toDouble() * g["standard"].toDouble(), 1e-12);
        EXPECT_GT(g["coverageFactor"].toDouble(), 2.0);  // nine tiles' worth of freedom
        EXPECT_GT(g["nearStandard"].toDouble(), 2.0 * g["standard"].toDouble());
        EXPECT_TRUE(g["agreementPerAxis"].toBool());
        EXPECT_DOUBLE_EQ(g["tolerance"].toDouble(), tolerances[a]);
        const double share = g["share"].toDouble();
        EXPECT_NEAR(share, 100 * g["expanded"].toDouble() / tolerances[a], 1e-9);
        EXPECT_NEAR(g["tur"].toDouble(), 100.0 / share, 1e-9);
        // The gauge bands judge six standard uncertainties, not U.
        const double gauge = g["gaugeShare"].toDouble();
        EXPECT_NEAR(gauge, 600 * g["standard"].toDouble() / tolerances[a], 1e-9);
        EXPECT_EQ(g["band"].toString(), gauge <= 10   ? QStringLiteral("up to 10 %")
                                        : gauge <= 25 ? QStringLiteral("up to 25 %")
                                        : gauge <= 30 ? QStringLiteral("up to 30 %")
                                                      : QStringLiteral("above 30 %"));
    }
    // The statement on its page, the sources of its figures continued on a second.
    EXPECT_EQ(pages(out), 2);
    // The page written is the statement issued, and the logbook keeps that it was; the record
    // does not count as a check in the next statement.
    {
        SqlLogbook logbook(logbookPath());
        const std::vector<CheckRecord> records = logbook.records(kSerial);
        ASSERT_FALSE(records.empty());
        const CheckRecord& issued = records.front();
        EXPECT_EQ(issued.kind, RecordKind::Statement);
        EXPECT_EQ(issued.id, st["recorded"].toInteger());
        EXPECT_EQ(issued.comment, st["number"].toString().toStdString());
        EXPECT_EQ(issued.files, std::vector<std::string>{out.toStdString()});
        EXPECT_EQ(issued.entry, 3);
        for (int a = 0; a < kAngleCount; ++a)
            EXPECT_DOUBLE_EQ(issued.angles[a].deltaE, angles[a]["expanded"].toDouble());
    }
    const test::CliRun again = test::runCli(args);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    QStringList unwritten = args;
    unwritten.removeAt(unwritten.indexOf(QStringLiteral("--out")) + 1);
    unwritten.removeAll(QStringLiteral("--out"));
    const QJsonObject next = json(test::runCli(unwritten));
    EXPECT_TRUE(next["recorded"].isNull());
    EXPECT_EQ(next["angles"].toArray(), angles);
}

// Reading noise alone is no uncertainty: with only an extended check on record the JSON holds
// no U, share or band, the text says so, and the page draws no bar.
TEST(PerformanceVerb, OnlyAnExtendedCheckStatesNoUncertaintyAndAnUnknownInstrumentFails) {
    const test::TempHome home;
    {
        SqlLogbook logbook(logbookPath());
        CheckRecord r = seeded(RecordKind::ExtendedRepeatability, {2026, 12, 1, 8, 0, 0});
        r.readings = 20;
        r.specimen = "grey tile";
        for (AngleRecord& g : r.angles) {
            g.lab = {50.0, 1.0, -2.0};
            g.deltaE = 0.03;
            g.sd = {0.01, 0.02, 0.02};
        }
        logbook.record(r);
    }
    const QStringList args{"performance", "--serial", kSerial, "--tolerance", "1"};
    const test::CliRun text = test::runCli(args);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("incomplete budget: not an uncertainty"), std::string::npos)
        << text.out;
    EXPECT_EQ(text.out.find("U (k = 2)"), std::string::npos) << text.out;
    const QJsonObject st = json(test::runCli(args + QStringList{"--json"}));
    EXPECT_GE(st["missing"].toArray().size(), 3);
    for (const QJsonValue& g : st["angles"].toArray()) {
        EXPECT_TRUE(g["contributions"][0]["available"].toBool());
        EXPECT_FALSE(g["complete"].toBool());
        for (const char* key : {"standard", "expanded", "share", "band"})
            EXPECT_TRUE(g[key].isNull()) << key;
    }
    const test::CliRun unknown = test::runCli({"performance", "--serial", "L70S-999999"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("holds no record of L70S-999999"), std::string::npos);
    for (const char* option : {"--tolerance", "--days", "--valid-days"}) {
        const test::CliRun bad = test::runCli({"performance", "--serial", kSerial, option, "x"});
        EXPECT_EQ(bad.exitCode, 2) << option;
        EXPECT_NE(bad.err.find(option), std::string::npos) << bad.err;
    }
}

// Long notes never run over the signature: what the statement's page has no room for goes on
// to pages of their own, none left out until the document's last page.
TEST(PerformanceSheet, LongNotesContinueOnTheNextPageAndNeverOverTheSignature) {
    const test::TempHome home;
    PerformanceStatement st = performanceStatement({}, {}, DeltaEFormula::Cmc, {2026, 12, 8});
    st.serial = std::string(80, 'S');
    st.specimen = std::string(200, 'n');
    for (AngleBudget& b : st.angles)
        for (Contribution& c : b.contributions) c.source = std::string(400, 'w') + " source";
    for (int i = 0; i < 12; ++i) st.missing.push_back(std::string(300, 'm') + " and more");
    constexpr int kDpi = 100;
    const QImage page = renderPerformanceSheet(st, kDpi);
    // Between the notes' last line and the signature lines nothing is drawn, however much
    // they hold.
    EXPECT_TRUE(blank(page, 18.0, 271.2, 174.0, 3.6, kDpi));
    const QImage next = renderPerformanceSheet(st, kDpi, 1);
    EXPECT_FALSE(blank(next, 18.0, 30.0, 174.0, 200.0, kDpi));
    const QString pdf = QString::fromStdString(home.path() + "/long.pdf");
    QString error;
    ASSERT_TRUE(writePerformanceSheet(st, pdf, &error)) << error.toStdString();
    EXPECT_EQ(pages(pdf), 2);
    // Notes that could fill a book end with a line that says so, on the last page allowed.
    for (int i = 0; i < 400; ++i) st.missing.push_back(std::string(300, 'x'));
    const QString book = QString::fromStdString(home.path() + "/book.pdf");
    ASSERT_TRUE(writePerformanceSheet(st, book, &error)) << error.toStdString();
    EXPECT_EQ(pages(book), kMostA4Pages);
}

struct PerformanceWindows : test::GuiFixture {
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
};

TEST_F(PerformanceWindows, TheSettingsDialogKeepsTheStatementsFieldsAndShowsThemAgain) {
    {
        CTileSetSettingsDlg dialog(context);
        child<QLineEdit>(dialog, "tolerance25Edit")->setText(QStringLiteral("0.8"));
        child<QLineEdit>(dialog, "tolerance75Edit")->setText(QStringLiteral("1.2"));
        child<QLineEdit>(dialog, "reference45Edit")->setText(QStringLiteral("0.12"));
        child<QLineEdit>(dialog, "certificateEdit")->setText(QStringLiteral("CAL 2026-117"));
        child<QLineEdit>(dialog, "daysEdit")->setText(QStringLiteral("30"));
        child<QLineEdit>(dialog, "specimenEdit")->setText(QStringLiteral("grey tile"));
        child<QLineEdit>(dialog, "validDaysEdit")->setText(QStringLiteral("365"));
        auto* reference = child<QLineEdit>(dialog, "reference75Edit");
        reference->setText(QStringLiteral("0.1.2"));
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].suffix.rfind(" \"Reference uncertainty\" at 75 degrees", 0),
                  0u);
        EXPECT_FALSE(reference->styleSheet().isEmpty());
        EXPECT_FALSE(savedPerformanceSettings(profile).tolerance[0]);  // nothing kept
        reference->clear();
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    const PerformanceSettings kept = savedPerformanceSettings(profile);
    EXPECT_EQ(kept.tolerance[0], 0.8);
    EXPECT_FALSE(kept.tolerance[1]);
    EXPECT_EQ(kept.referenceExpanded[1], 0.12);
    EXPECT_EQ(kept.referenceCertificate, "CAL 2026-117");
    EXPECT_EQ(kept.longTermDays, 30);
    CTileSetSettingsDlg again(context);
    EXPECT_EQ(child<QLineEdit>(again, "tolerance75Edit")->text(), QStringLiteral("1.20"));
    EXPECT_TRUE(child<QLineEdit>(again, "tolerance45Edit")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>(again, "specimenEdit")->text(), QStringLiteral("grey tile"));
    EXPECT_EQ(child<QLineEdit>(again, "daysEdit")->text(), QStringLiteral("30"));
    EXPECT_EQ(child<QLineEdit>(again, "validDaysEdit")->text(), QStringLiteral("365"));
}

TEST_F(PerformanceWindows, TheHistorySavesTheStatementAndDrawsTheLongTermRepeatability) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    seed(logbook);
    context.logbook = &logbook;
    state.strDataFolder = home.path();
    PerformanceSettings settings;
    settings.longTermDays = 0;
    savePerformanceSettings(profile, settings);
    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* trend = child<TrendChart>(dialog, "trendChart");
    auto* kinds = child<QComboBox>(dialog, "trendKindCombo");
    kinds->setCurrentIndex(kinds->findText(QStringLiteral("Long-term repeatability")));
    emit kinds->activated(kinds->currentIndex());
    for (int a = 0; a < kAngleCount; ++a) EXPECT_EQ(trend->points(a).size(), 6) << a;
    EXPECT_TRUE(trend->title().contains(QStringLiteral("of grey tile, 6 checks<br>MCDM 25° 0.")))
        << trend->title().toStdString();
    EXPECT_TRUE(trend->thresholdPoints().isEmpty());
    // Another trend takes the title away again.
    kinds->setCurrentIndex(kinds->findText(QStringLiteral("Repeatability series")));
    emit kinds->activated(kinds->currentIndex());
    EXPECT_TRUE(trend->title().isEmpty());

    const std::string pdf = home.path() + "/chosen.pdf";
    prompter.saveFiles.push_back(pdf);
    child<QPushButton>(dialog, "performanceButton")->click();
    ASSERT_TRUE(test::readThrough(dialog));
    ASSERT_EQ(prompter.offeredSavePaths.size(), 1u);
    EXPECT_EQ(prompter.offeredSavePaths[0].rfind(home.path() + "/Performance_L70S-200002_", 0), 0u);
    EXPECT_EQ(pages(QString::fromStdString(pdf)), 2);
    const auto records = logbook.records(kSerial);
    const auto issued = std::find_if(records.begin(), records.end(), [](const CheckRecord& r) {
        return r.kind == RecordKind::Statement;
    });
    ASSERT_NE(issued, records.end());
    EXPECT_EQ(issued->files, std::vector<std::string>{pdf});
    // Saved again over the same name: the file stays and the operator learns why.
    prompter.saveFiles.push_back(pdf);
    child<QPushButton>(dialog, "performanceButton")->click();
    ASSERT_TRUE(test::readThrough(dialog));
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrPerformanceNotSaved});
}

// The lab wants a statement yearly and none was ever issued: the history's statement and a
// record's certificate wait for a supervisor's reason, which the page and the record keep.
TEST_F(PerformanceWindows, AnOverdueInstrumentIsStatedAndCertifiedOnlyOnASupervisorsReason) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    seed(logbook);
    std::string why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::Statement, {365, 30}, why)) << why;
    context.logbook = &logbook;
    state.strDataFolder = home.path();
    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    child<QPushButton>(dialog, "performanceButton")->click();
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrHeldBack});
    EXPECT_TRUE(prompter.offeredSavePaths.empty());  // held back before a file is asked for

    prompter.reasons.push_back("customer audit");
    prompter.saveFiles.push_back(home.path() + "/statement.pdf");
    child<QPushButton>(dialog, "performanceButton")->click();
    ASSERT_TRUE(test::readThrough(dialog));
    const std::vector<CheckRecord> records = logbook.records(kSerial);
    const auto issued = std::find_if(records.begin(), records.end(), [](const CheckRecord& r) {
        return r.kind == RecordKind::Statement;
    });
    ASSERT_NE(issued, records.end());
    EXPECT_EQ(issued->overrideReason, "customer audit");
    EXPECT_EQ(issued->overdue, "its performance statement was never made");

    // Issued now, the statement is current: a certificate goes without a question.
    prompter.asked.clear();
    prompter.saveFiles.push_back(home.path() + "/certificate.pdf");
    EXPECT_TRUE(saveCertificateAs(records.back(), context));
    EXPECT_EQ(prompter.ids(), std::vector<int>{});
}

}  // namespace
}  // namespace qv
