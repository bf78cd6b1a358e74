// The views a dashboard reads, on a workstation's SQLite file and on a real PostgreSQL server:
// fleet_status says for every instrument and kind of check what the program's fleet overview
// says (instrumentStatus over the same records and intervals), check_trend lists each check's
// angles.
#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/log/fleet_status.h"
#include "core/log/performance_settings.h"
#include "platform/log/sql_logbook.h"
#include "support/pg_server.h"
#include "support/record_builder.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// A connection of the dashboard's own, outside the program.
class Dashboard {
public:
    Dashboard(const std::string& driver, const std::string& database,
              const test::PgServer* server = nullptr)
        : db_(QSqlDatabase::addDatabase(QString::fromStdString(driver), QStringLiteral("view"))) {
        db_.setDatabaseName(QString::fromStdString(database));
        if (server) {
            db_.setHostName(QString::fromStdString(server->host()));
            db_.setPort(server->port());
            db_.setUserName(QString::fromStdString(server->adminUser()));
            db_.setPassword(QString::fromStdString(server->adminPassword()));
        }
        EXPECT_TRUE(db_.open()) << db_.lastError().text().toStdString();
    }
    ~Dashboard() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("view"));
    }
    Rows rows(const std::string& sql) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(QString::fromStdString(sql))) << q.lastError().text().toStdString();
        Rows out;
        while (q.next()) {
            out.emplace_back();
            for (int c = 0; c < q.record().count(); ++c)
                out.back().push_back(q.value(c).isNull() ? "null"
                                                         : q.value(c).toString().toStdString());
        }
        return out;
    }

private:
    QSqlDatabase db_;
};

LocalTime at(long long day, int hour) {
    LocalTime t = civilFromDays(day);
    t.hour = hour, t.minute = 0, t.second = 0;
    return t;
}

CheckRecord made(RecordKind kind, const std::string& serial, long long day, int hour, bool passed) {
    return test::RecordBuilder(kind, at(day, hour))
        .serial(serial)
        .instrumentType("53")
        .reference("L70S-100001")
        .judged(0.5, "dE00", passed)
        .eachAngle([hour](int a) {
            return AngleRecord{{50.0, 1.0, 2.0}, 0.1 * a + 0.01 * hour};
        })
        .build();
}

// Dated back from the engine's own today. A: due soon on the lead's first day and on the due
// day itself, overdue a day after it, a tile set never made, a statement whose interval was
// taken out, a profile with none, a check tile failed today. B: no check tile, a verification newer than a failed inter-instrument check,
// a failed repeatability check, a calibration made today, a tile set due soon. C: only a write.
// D (below): a calibration whose time cannot be read.
void fill(SqlLogbook& logbook, long long today) {
    using K = RecordKind;
    for (const CheckRecord& r : {made(K::InterInstrument, "L70S-A", today - 23, 10, true),
                                 made(K::Calibration, "L70S-A", today - 1, 7, true),
                                 made(K::Repeatability, "L70S-A", today - 2, 7, true),
                                 made(K::Statement, "L70S-A", today - 400, 9, true),
                                 made(K::Profile, "L70S-A", today - 5, 9, true),
                                 made(K::CheckTile, "L70S-A", today, 8, false),
                                 made(K::InterInstrument, "L70S-B", today - 40, 9, false),
                                 made(K::Verification, "L70S-B", today - 3, 9, true),
                                 made(K::Repeatability, "L70S-B", today, 8, false),
                                 made(K::Calibration, "L70S-B", today, 7, true),
                                 made(K::TileSet, "L70S-B", today - 80, 9, true),
                                 made(K::EntryWrite, "L70S-B", today - 1, 9, true),
                                 made(K::EntryWrite, "L70S-C", today - 1, 9, true)})
        ASSERT_GT(logbook.record(r), 0) << logbook.why();
    std::string why;
    for (const auto& [kind, interval] :
         std::vector<std::pair<CheckKind, CheckInterval>>{{CheckKind::Calibration, {1, 0}},
                                                          {CheckKind::Repeatability, {1, 0}},
                                                          {CheckKind::InterInstrument, {30, 7}},
                                                          {CheckKind::TileSet, {90, 14}},
                                                          {CheckKind::Statement, {365, 30}},
                                                          {CheckKind::CheckTile, {1, 0}},
                                                          {CheckKind::Statement, {}}})
        ASSERT_TRUE(logbook.setCheckInterval(kind, interval, why)) << why;
}

// The view's rows against the program's own judgement of the same logbook on the same day, and
// the statuses the records were made for.
void judgedAlike(SqlLogbook& logbook, Dashboard& view, const std::string& todayQuery) {
    const Rows day = view.rows(todayQuery);
    ASSERT_EQ(day.size(), 1u);
    const LocalTime now = fromLogbookTime(day[0][0] + " 12:00:00");
    const long long today = daysFromCivil(now);
    fill(logbook, today);
    // A time no workstation writes, put there past the program: no due date, and overdue.
    view.rows(
        "INSERT INTO records(kind, serial, time, instant, passed, uuid) VALUES('calibration', "
        "'L70S-D', 'yesterday', 'yesterday', 1, 'made-by-hand')");
    const CheckIntervals intervals = logbook.checkIntervals().value_or(CheckIntervals{});
    std::map<std::string, std::string> seen;
    const Rows rows = view.rows(
        "SELECT serial, kind, status, due_date, record_id, instrument_type FROM fleet_status "
        "ORDER BY serial, kind_order");
    ASSERT_EQ(rows.size(), 4u * kCheckKindCount);
    for (const LogbookStore::Instrument& i : logbook.instruments()) {
        const InstrumentStatus s = instrumentStatus(i.serial, logbook.records(i.serial), intervals,
                                                    now, kDefaultLongTermDays);
        for (CheckKind kind : kCheckKinds) {
            const KindStatus& k = s.checks[static_cast<std::size_t>(kind)];
            const std::vector<std::string> want = {
                i.serial,
                std::string(checkKindName(kind)),
                std::string(fleetStatusName(k.status)),
                k.dueDay && k.last->time.year > 0 ? calendarDate(civilFromDays(*k.dueDay)) : "null",
                k.last ? std::to_string(k.last->id) : "null",
                i.serial == "L70S-D" ? "" : "53"};
            const auto row = std::find(rows.begin(), rows.end(), want);
            EXPECT_NE(row, rows.end()) << i.serial << " " << checkKindName(kind);
            seen[i.serial + " " + want[1]] = want[2];
        }
    }
    const std::map<std::string, std::string> meant = {{"L70S-A inter-instrument", "due-soon"},
                                                      {"L70S-A calibration", "due-soon"},
                                                      {"L70S-A repeatability", "overdue"},
                                                      {"L70S-A tile-set", "overdue"},
                                                      {"L70S-A statement", "ok"},
                                                      {"L70S-A profile", "ok"},
                                                      {"L70S-A check-tile", "failed"},
                                                      {"L70S-B check-tile", "overdue"},
                                                      {"L70S-B inter-instrument", "ok"},
                                                      {"L70S-B repeatability", "failed"},
                                                      {"L70S-B calibration", "ok"},
                                                      {"L70S-B tile-set", "due-soon"},
                                                      {"L70S-C calibration", "overdue"},
                                                      {"L70S-C profile", "ok"},
                                                      {"L70S-D calibration", "overdue"}};
    for (const auto& [what, status] : meant) EXPECT_EQ(seen[what], status) << what;
}

// Each check record once per angle, a verification as the inter-instrument check it is; a write
// is no check.
void trendListed(Dashboard& view) {
    const Rows rows = view.rows(
        "SELECT kind, record_kind, angle, delta_e, passed, reference_serial FROM check_trend "
        "WHERE serial = 'L70S-B' ORDER BY instant, angle");
    ASSERT_EQ(rows.size(), 5u * kAngleCount);
    EXPECT_EQ(rows[0][0], "tile-set");
    EXPECT_EQ(rows[3], (std::vector<std::string>{"inter-instrument", "inter-instrument", "25",
                                                 "0.09", "0", "L70S-100001"}));
    EXPECT_EQ(rows[7], (std::vector<std::string>{"inter-instrument", "verification", "45", "0.19",
                                                 "1", "L70S-100001"}));
    EXPECT_EQ(rows[14][0], "repeatability");
    EXPECT_EQ(rows[14][2], "75");
}

TEST(FleetViews, AWorkstationsFileJudgesEachInstrumentAndKindAsTheProgramDoes) {
    test::TempHome home;
    const std::string path = home.path() + "/logbook.sqlite";
    SqlLogbook logbook(path);
    ASSERT_TRUE(logbook.isOpen()) << logbook.why();
    Dashboard view("QSQLITE", path);
    judgedAlike(logbook, view, "SELECT date('now', 'localtime')");
    trendListed(view);
}

TEST(FleetViews, AServerJudgesEachInstrumentAndKindAsTheProgramDoes) {
    test::PgServer server;
    server.createDatabase("lab");
    const auto location =
        locationFromUri(server.uri(server.adminUser(), server.adminPassword(), "lab"), nullptr);
    ASSERT_TRUE(location);
    SqlLogbook logbook(*location);
    ASSERT_TRUE(logbook.isOpen()) << logbook.why();
    Dashboard view("QPSQL", "lab", &server);
    judgedAlike(logbook, view, "SELECT to_char(CURRENT_DATE, 'YYYY-MM-DD')");
    trendListed(view);
}

}  // namespace
}  // namespace qv
