#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <cmath>
#include <ctime>

#include "gui/log/history_dlg.h"
#include "gui/log/time_axis.h"
#include "gui/log/trend_chart.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/sql_logbook.h"
#include "support/record_builder.h"
#include "support/silent_server.h"

namespace qv {
namespace {

struct HistoryWindow : test::GuiFixture {
    // A zone away from UTC, so that the trend's times are truly converted.
    HistoryWindow() : savedZone(qgetenv("TZ")) {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    ~HistoryWindow() override {
        if (savedZone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", savedZone);
        tzset();
    }
    QByteArray savedZone;
    SqlLogbook logbook{home.path() + "/logbook.sqlite"};

    void add(RecordKind kind, const char* serial, LocalTime time, double threshold, bool passed,
             double dE) {
        test::RecordBuilder r(kind, time);
        r.serial(serial)
            .judged(threshold, "dE00", passed)
            .eachAngle([dE](int a) {
                return AngleRecord{{50.0, 10.0, 5.0}, dE + 0.1 * a, NAN};
            })
            .files({home.path() + "/Data/Judgement_" + resultTimestamp(time) + ".csv"});
        if (kind == RecordKind::InterInstrument || kind == RecordKind::Verification)
            r.reference("L70S-100001");
        logbook.record(r.build());
    }
};

TEST_F(HistoryWindow, ShowsTheChosenInstrumentNewestFirstWithItsTrendAndSavesACertificate) {
    ASSERT_TRUE(logbook.isOpen());
    add(RecordKind::Repeatability, "L70S-000001", {2026, 12, 1, 9, 0, 0}, 0.2, true, 0.05);
    add(RecordKind::InterInstrument, "L70S-200002", {2026, 12, 2, 9, 0, 0}, 0.5, false, 0.7);
    CheckRecord write = emptyRecord(RecordKind::EntryWrite, {2026, 12, 2, 9, 30, 0});
    write.serial = "L70S-200002";
    write.entry = 12;
    write.comment = "LAB 1";
    logbook.record(write);
    add(RecordKind::Verification, "L70S-200002", {2026, 12, 2, 10, 0, 0}, 0.5, true, 0.2);
    // The threshold was raised since: the trend steps up with it.
    add(RecordKind::InterInstrument, "L70S-200002", {2026, 12, 5, 14, 0, 0}, 0.6, true, 0.3);
    state.strDataFolder = home.path();

    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* instruments = dialog.findChild<QTreeWidget*>(QStringLiteral("instrumentList"));
    auto* table = dialog.findChild<QTableView*>(QStringLiteral("recordTable"));
    auto* trend = dialog.findChild<TrendChart*>(QStringLiteral("trendChart"));
    ASSERT_TRUE(instruments && table && trend);
    ASSERT_EQ(instruments->topLevelItemCount(), 2);
    instruments->setCurrentItem(instruments->topLevelItem(0));
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(table->model()->rowCount(), 1);
    instruments->setCurrentItem(instruments->topLevelItem(1));
    ASSERT_TRUE(test::readThrough(dialog));

    const QAbstractItemModel& rows = *table->model();
    ASSERT_EQ(rows.rowCount(), 4);
    const auto cell = [&](int row, int column) {
        return rows.data(rows.index(row, column)).toString();
    };
    EXPECT_EQ(cell(0, 0), QStringLiteral("2026-12-05 14:00:00"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("Inter-instrument"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("passed"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("0.30"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("0.50"));
    EXPECT_EQ(cell(0, 6), QStringLiteral("0.60"));
    EXPECT_EQ(cell(2, 7), QStringLiteral("12: LAB 1"));
    EXPECT_TRUE(cell(2, 3).isEmpty());  // a write has no colour difference

    // The entry write has no place on the trend; the threshold is a step, not a zigzag.
    EXPECT_EQ(trend->points(2).size(), 3);
    EXPECT_DOUBLE_EQ(trend->points(0).front().x(),
                     double(QDateTime(QDate(2026, 12, 2), QTime(9, 0)).toMSecsSinceEpoch()));
    EXPECT_DOUBLE_EQ(trend->points(2).back().y(), 0.5);
    const QList<QPointF> threshold = trend->thresholdPoints();
    ASSERT_EQ(threshold.size(), 3);
    EXPECT_DOUBLE_EQ(threshold[1].x(), threshold[2].x());
    EXPECT_DOUBLE_EQ(threshold[1].y(), 0.5);
    EXPECT_DOUBLE_EQ(threshold[2].y(), 0.6);

    auto* certificate = dialog.findChild<QPushButton*>(QStringLiteral("certificateButton"));
    EXPECT_FALSE(certificate->isEnabled());
    table->selectRow(3);
    const QString details =
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("detailsText"))->toPlainText();
    EXPECT_TRUE(details.contains(QStringLiteral("Reference instrument: L70S-100001")));
    EXPECT_TRUE(details.contains(QStringLiteral("Judgement_20261202_090000.csv")));
    EXPECT_TRUE(certificate->isEnabled());

    const std::string pdf = home.path() + "/chosen.pdf";
    prompter.saveFiles.push_back(pdf);
    certificate->click();
    ASSERT_EQ(prompter.offeredSavePaths.size(), 1u);
    EXPECT_EQ(prompter.offeredSavePaths[0],
              home.path() + "/Certificate_L70S-200002_20261202_090000.pdf");
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(5), "%PDF-");
    // Saved again over the same name: the file stays and the operator learns why.
    prompter.saveFiles.push_back(pdf);
    certificate->click();
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrCertificateNotSaved});
    EXPECT_NE(prompter.asked[0].suffix.find("exists already"), std::string::npos);
}

// A term's trend plots what the diagnosed sets recorded, leaving out where a set could not tell
// the term; the table and the details name each set's decision.
TEST_F(HistoryWindow, ATermsTrendPlotsTheRecordedValuesOfTheDiagnosedSets) {
    const auto set = [&](LocalTime time, double gain, bool identified, const char* decision) {
        CheckRecord r = emptyRecord(RecordKind::TileSet, time);
        r.serial = "L70S-200002";
        r.threshold = 0.5;
        r.passed = false;
        for (AngleRecord& g : r.angles) g.deltaE = 0.7;
        DiagnosisRecord d;
        for (int a = 0; a < kAngleCount; ++a)
            d[a] = {decision,
                    "because",
                    0.3,
                    0.2,
                    {{"offset", 0.05, 0.01, true}, {"gain", gain + a, 0.02, identified}}};
        r.diagnosis = d;
        logbook.record(r);
    };
    set({2026, 12, 1, 9, 0, 0}, 1.25, true, "write-factors");
    set({2026, 12, 2, 9, 0, 0}, 9.0, false, "service");  // not identified: no point
    set({2026, 12, 3, 9, 0, 0}, -0.5, true, "write-factors");
    add(RecordKind::Repeatability, "L70S-200002", {2026, 12, 4, 9, 0, 0}, 0.2, true, 0.05);

    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("trendKindCombo"));
    auto* trend = dialog.findChild<TrendChart*>(QStringLiteral("trendChart"));
    auto* table = dialog.findChild<QTableView*>(QStringLiteral("recordTable"));
    ASSERT_TRUE(combo && trend && table);
    const int gain = combo->findText(QStringLiteral("Diagnosis: Gain"));
    ASSERT_GE(gain, 0);
    EXPECT_GE(combo->findText(QStringLiteral("Diagnosis: Wavelength shift")), 0);
    combo->setCurrentIndex(gain);
    emit combo->activated(gain);
    const QList<QPointF> at45 = trend->points(1);
    ASSERT_EQ(at45.size(), 2);
    EXPECT_DOUBLE_EQ(at45[0].y(), 2.25);  // oldest first
    EXPECT_DOUBLE_EQ(at45[1].y(), 0.5);
    EXPECT_DOUBLE_EQ(at45[1].x(),
                     double(QDateTime(QDate(2026, 12, 3), QTime(9, 0)).toMSecsSinceEpoch()));
    EXPECT_TRUE(trend->thresholdPoints().isEmpty());
    EXPECT_EQ(trend->valueTitle(), QStringLiteral("Gain (%)"));

    const QAbstractItemModel& rows = *table->model();
    EXPECT_EQ(rows.data(rows.index(1, rows.columnCount() - 1)).toString(),
              QStringLiteral("Write factors"));
    EXPECT_EQ(rows.data(rows.index(2, rows.columnCount() - 1)).toString(),
              QStringLiteral("Service"));
    EXPECT_TRUE(rows.data(rows.index(0, rows.columnCount() - 1)).toString().isEmpty());
    table->selectRow(1);
    const QString details =
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("detailsText"))->toPlainText();
    EXPECT_TRUE(details.contains(QStringLiteral("Diagnosis 75°: Write factors (because)")))
        << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("Gain 1.500 ± 0.020 %"))) << details.toStdString();

    const int colour = combo->findData(int(TrendKind::TileSet));
    combo->setCurrentIndex(colour);
    emit combo->activated(colour);
    EXPECT_EQ(trend->points(0).size(), 3);
    EXPECT_EQ(trend->valueTitle(), QStringLiteral("colour difference"));
}

// A shared logbook's records name their workstations: the filter narrows the table and the
// trend to one, and stays on it for the next instrument that has its records; a record kept on
// this workstation for the server is marked.
TEST_F(HistoryWindow, TheWorkstationFilterNarrowsTheTableAndTheTrend) {
    const auto at = [&](const char* serial, int day, const char* workstation) {
        CheckRecord r = emptyRecord(RecordKind::InterInstrument, {2026, 12, day, 9, 0, 0});
        r.serial = serial;
        r.workstation = workstation;
        r.threshold = 0.5;
        for (AngleRecord& g : r.angles) g.deltaE = 0.1 * day;
        logbook.record(r);
    };
    at("L70S-200002", 1, "LAB-1");
    at("L70S-200002", 2, "LAB-2");
    at("L70S-200002", 3, "LAB-1");
    at("L70S-000001", 4, "LAB-1");

    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* instruments = dialog.findChild<QTreeWidget*>(QStringLiteral("instrumentList"));
    auto* filter = dialog.findChild<QComboBox*>(QStringLiteral("workstationCombo"));
    auto* table = dialog.findChild<QTableView*>(QStringLiteral("recordTable"));
    auto* trend = dialog.findChild<TrendChart*>(QStringLiteral("trendChart"));
    ASSERT_TRUE(instruments && filter && table && trend);
    const auto choose = [](QComboBox* combo, const QString& text) {
        combo->setCurrentIndex(combo->findText(text));
        emit combo->activated(combo->currentIndex());
    };
    instruments->setCurrentItem(instruments->findItems(QStringLiteral("L70S-200002"), {})[0]);
    ASSERT_TRUE(test::readThrough(dialog));
    ASSERT_EQ(filter->count(), 3);
    EXPECT_EQ(filter->itemText(0), QStringLiteral("All workstations"));
    EXPECT_EQ(table->model()->rowCount(), 3);

    choose(filter, QStringLiteral("LAB-1"));
    const QAbstractItemModel& rows = *table->model();
    ASSERT_EQ(rows.rowCount(), 2);
    int column = 0;
    while (rows.headerData(column, Qt::Horizontal).toString() != QStringLiteral("Workstation"))
        ASSERT_LT(++column, rows.columnCount());
    EXPECT_EQ(rows.data(rows.index(1, column)).toString(), QStringLiteral("LAB-1"));
    EXPECT_EQ(trend->points(0).size(), 2);
    // The other instrument was checked at LAB-1 only: the filter stays.
    instruments->setCurrentItem(instruments->findItems(QStringLiteral("L70S-000001"), {})[0]);
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(filter->currentText(), QStringLiteral("LAB-1"));
    EXPECT_EQ(table->model()->rowCount(), 1);
    instruments->setCurrentItem(instruments->findItems(QStringLiteral("L70S-200002"), {})[0]);
    ASSERT_TRUE(test::readThrough(dialog));
    choose(filter, QStringLiteral("LAB-2"));
    EXPECT_EQ(table->model()->rowCount(), 1);
    choose(filter, QStringLiteral("All workstations"));
    EXPECT_EQ(trend->points(0).size(), 3);

    // Recorded while the server is away (nothing listens on port 1): kept here, and marked.
    LogbookLocation away;
    away.kind = LogbookLocation::Kind::Server;
    away.host = "127.0.0.1";
    away.port = 1;
    FleetLogbook fleet(away, std::make_unique<SqlLogbook>(home.path() + "/own.sqlite"));
    CheckRecord waiting = emptyRecord(RecordKind::Repeatability, {2026, 12, 5, 9, 0, 0});
    waiting.serial = "L70S-000001";
    waiting.workstation = "LAB-3";
    fleet.record(waiting);
    CHistoryDlg fleetHistory(context, fleet);
    ASSERT_TRUE(test::readThrough(fleetHistory));
    const QAbstractItemModel& kept =
        *fleetHistory.findChild<QTableView*>(QStringLiteral("recordTable"))->model();
    ASSERT_EQ(kept.rowCount(), 1);
    EXPECT_EQ(kept.data(kept.index(0, column)).toString(),
              QStringLiteral("LAB-3 (on this workstation)"));
    EXPECT_FALSE(kept.data(kept.index(0, column), Qt::ToolTipRole).toString().isEmpty());
}

// A logbook without records says how earlier checks get in, and draws no axis at the epoch.
TEST_F(HistoryWindow, AnEmptyLogbookSaysHowToImportEarlierChecks) {
    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* empty = dialog.findChild<QLabel*>(QStringLiteral("emptyLabel"));
    auto* trend = dialog.findChild<TrendChart*>(QStringLiteral("trendChart"));
    ASSERT_TRUE(empty && trend);
    EXPECT_TRUE(empty->isVisibleTo(&dialog));
    EXPECT_FALSE(trend->isVisibleTo(&dialog));
    EXPECT_TRUE(empty->text().contains(QStringLiteral("qvl70s-cli import")));
    EXPECT_TRUE(empty->text().contains(QStringLiteral("Import result files")));
    const double year2000Ms = 946684800000.0;
    EXPECT_GT(trend->timeRangeMs().first, year2000Ms);

    add(RecordKind::Repeatability, "L70S-000001", {2026, 12, 1, 9, 0, 0}, 0.2, true, 0.05);
    CHistoryDlg filled(context, logbook);
    ASSERT_TRUE(test::readThrough(filled));
    EXPECT_FALSE(filled.findChild<QLabel*>(QStringLiteral("emptyLabel"))->isVisibleTo(&filled));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

using Unit = TimeStep::Unit;

TEST(TimeAxis, TheStepFollowsTheSpanAndTheRoomForLabels) {
    constexpr qint64 kMinute = 60 * 1000;
    constexpr qint64 kHour = 60 * kMinute;
    constexpr qint64 kDay = 24 * kHour;
    const struct {
        qint64 spanMs;
        int maxTicks;
        TimeStep step;
    } cases[] = {
        {2 * kHour, 6, {Unit::Minute, 30, "HH:mm"}},
        {8 * kHour, 6, {Unit::Hour, 2, "HH:mm"}},
        {8 * kHour, 3, {Unit::Hour, 3, "HH:mm"}},
        {30 * kHour, 6, {Unit::Hour, 6, "MM-dd HH:mm"}},  // across days each tick needs its day
        {10 * kDay, 6, {Unit::Day, 2, "yyyy-MM-dd"}},
        {60 * kDay, 6, {Unit::Day, 14, "yyyy-MM-dd"}},
        {200 * kDay, 6, {Unit::Month, 2, "yyyy-MM"}},
        {3000 * kDay, 6, {Unit::Year, 2, "yyyy"}},
        {0, 6, {Unit::Minute, 1, "HH:mm"}},
    };
    for (const auto& c : cases) {
        const TimeStep step = timeStepFor(c.spanMs, c.maxTicks);
        EXPECT_EQ(step, c.step) << c.spanMs << " ms, " << c.maxTicks
                                << " ticks: " << static_cast<int>(step.unit) << " x" << step.count;
    }
}

TEST(TimeAxis, TicksFallOnWholeStepsOfTheCalendar) {
    const auto at = [](int y, int mo, int d, int h, int mi) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi));
    };
    const auto labels = [](const QList<QDateTime>& ticks, const QString& format) {
        QStringList out;
        for (const QDateTime& t : ticks) out << t.toString(format);
        return out.join(QLatin1Char(' '));
    };
    EXPECT_EQ(
        labels(timeTicks(at(2026, 11, 28, 9, 10), at(2026, 11, 28, 11, 50), {Unit::Minute, 30, {}}),
               "HH:mm"),
        "09:30 10:00 10:30 11:00 11:30");
    EXPECT_EQ(labels(timeTicks(at(2026, 11, 28, 9, 0), at(2026, 12, 3, 0, 0), {Unit::Day, 1, {}}),
                     "MM-dd"),
              "11-29 11-30 12-01 12-02 12-03");
    EXPECT_EQ(labels(timeTicks(at(2026, 1, 15, 0, 0), at(2026, 8, 1, 0, 0), {Unit::Month, 2, {}}),
                     "yyyy-MM"),
              "2026-03 2026-05 2026-07");
    EXPECT_TRUE(timeTicks(QDateTime(), at(2026, 1, 1, 0, 0), {Unit::Day, 1, {}}).isEmpty());
}

TEST(TimeAxis, OneDaysChecksSpreadOutByTheirTimes) {
    TrendChart chart;
    chart.resize(560, 280);
    std::vector<CheckRecord> records;
    for (const int hour : {15, 11, 9}) {  // newest first, as the logbook hands them out
        CheckRecord r = emptyRecord(RecordKind::InterInstrument, {2026, 11, 28, hour, 30, 0});
        for (int a = 0; a < kAngleCount; ++a) r.angles[a].deltaE = 0.2 + 0.1 * a;
        r.threshold = 0.5;
        records.push_back(r);
    }
    chart.setRecords(records, TrendKind::InterInstrument);
    const auto [from, to] = chart.timeRangeMs();
    const double hourMs = 3600.0 * 1000;
    EXPECT_LT(to - from, 8 * hourMs);  // the six hours between the checks fill the axis
    EXPECT_GT(to - from, 6 * hourMs);
    EXPECT_EQ(chart.timeLabels(), (QStringList{"09:00", "10:00", "11:00", "12:00", "13:00", "14:00",
                                               "15:00", "16:00"}));
    EXPECT_EQ(chart.timeTitle(), QStringLiteral("2026-11-28"));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A history longer than a part: the first part shown at once, the older ones on asking, the
// table whole and newest first in the end.
TEST_F(HistoryWindow, ALongHistoryComesAPartAtATimeAndWhole) {
    constexpr int kRecords = 2001;
    for (int i = 0; i < kRecords; ++i)
        add(RecordKind::Repeatability, "L70S-000009", localTimeOf(1'780'000'000 + 600LL * i), 0.2,
            true, 0.05);
    CHistoryDlg dialog(context, logbook);
    ASSERT_TRUE(test::readThrough(dialog));
    auto* table = dialog.findChild<QTableView*>(QStringLiteral("recordTable"));
    auto* older = dialog.findChild<QPushButton*>(QStringLiteral("olderButton"));
    ASSERT_TRUE(table && older);
    EXPECT_EQ(table->model()->rowCount(), 2000);
    ASSERT_FALSE(older->isHidden());
    older->click();
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(table->model()->rowCount(), kRecords);
    EXPECT_TRUE(older->isHidden());
    const QAbstractItemModel& rows = *table->model();
    EXPECT_GT(rows.data(rows.index(1999, 0)).toString(), rows.data(rows.index(2000, 0)).toString());
}

// A server that takes the connection and never answers: the window opens at once, says it is
// reading, and shows this workstation's records when the connection gives up, saying so.
struct HistoryRealTime : HistoryWindow {};

TEST_F(HistoryRealTime, AWindowOnASilentServerOpensAtOnceAndShowsThisWorkstationsRecords) {
    test::SilentServer silent;
    LogbookLocation server;
    server.kind = LogbookLocation::Kind::Server;
    server.host = "127.0.0.1";
    server.port = silent.port();
    FleetLogbook fleet(server, std::make_unique<SqlLogbook>(home.path() + "/own.sqlite"));
    CheckRecord waiting = emptyRecord(RecordKind::Repeatability, {2026, 12, 5, 9, 0, 0});
    waiting.serial = "L70S-000001";
    fleet.record(waiting);
    QElapsedTimer opened;
    opened.start();
    CHistoryDlg dialog(context, fleet);
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_LT(opened.elapsed(), 1000);
    EXPECT_TRUE(dialog.reading());
    ASSERT_TRUE(test::readThrough(dialog));
    EXPECT_EQ(dialog.findChild<QTableView*>(QStringLiteral("recordTable"))->model()->rowCount(), 1);
    EXPECT_TRUE(dialog.windowTitle().contains(QStringLiteral("this workstation's records only")));
}

}  // namespace
}  // namespace qv
