// The lab's fleet at a glance over a lab's years of records: 100,000 records of 50 instruments,
// every kind of check among them, on a workstation's SQLite file and on a PostgreSQL server of
// the benchmark's own (on the loopback). Goal: the overview, as the fleet verb and window make
// it, in under 200 ms on each. Beside it, for the figures, the overview made from every record
// of every instrument, as it was made before the logbook chose what it reads, and a dashboard's
// query of the view fleet_status.
#include <benchmark/benchmark.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/log/performance_settings.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/fleet_overview.h"
#include "qt_bench_main.h"
#include "support/pg_server.h"
#include "support/temp_home.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kInstruments = 50;
const qv::LocalTime kNow{2026, 12, 7, 16, 0, 0};

// A record every ten minutes back from the day before kNow, the instruments in turn: each has
// one every 500 minutes, mostly inter-instrument checks, with calibrations, repeatability
// checks, verifications, series over many readings, a tile set now and then, and about every
// 140 days an entry written, a statement issued and a profile fitted.
constexpr const char* kKind =
    "CASE WHEN k = 10 THEN 'entry-write' WHEN k = 12 THEN 'statement' WHEN k = 13 THEN "
    "'profile' WHEN k % 8 = 0 THEN 'calibration' WHEN k % 8 = 1 THEN 'repeatability' WHEN k % 8 "
    "= 2 THEN 'verification' WHEN k % 8 = 3 THEN 'extended-repeatability' WHEN k % 40 = 4 THEN "
    "'tile-set' ELSE 'inter-instrument' END";
constexpr const char* kColumns =
    "INSERT INTO records(kind, serial, instrument_type, reference_serial, time, instant, "
    "utc_offset, threshold, formula, passed, entry, comment, operator, uuid, workstation) ";
// The same for each engine but the numbers' source and the time's words.
std::string recordsFill(bool pg) {
    const std::string time =
        pg ? "to_char(timestamp '2026-12-06 15:00:00' - i * interval '10 minutes', "
             "'YYYY-MM-DD HH24:MI:SS')"
           : "strftime('%Y-%m-%d %H:%M:%S', '2026-12-06 15:00:00', '-' || (i * 10) || ' "
             "minutes')";
    const std::string numbers =
        pg ? "(SELECT i, (i / 50) % 400 AS k FROM generate_series(1, 100000) AS i) n"
           : "(WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 100000) "
             "SELECT i, (i / 50) % 400 AS k FROM s) n";
    return std::string(kColumns) + "SELECT kind, serial, '53', 'L70S-100001', time, time, 0, " +
           "0.5, 'dE00', CASE WHEN kind IN ('entry-write', 'statement', 'profile', " +
           "'extended-repeatability') THEN NULL ELSE CASE WHEN i % 13 < 11 THEN 1 ELSE 0 END END, "
           "0, '', 'operator' || " +
           "(i % 23), 'bench-' || i, 'bench-' || (i % 10) FROM (SELECT i, " + kKind +
           " AS kind, 'L70S-' || (200000 + i % 50) AS serial, " + time + " AS time FROM " +
           numbers + ") r";
}

std::vector<std::string> fill(bool pg) {
    const std::string three = "(SELECT 0 AS angle UNION ALL SELECT 1 UNION ALL SELECT 2) g";
    std::vector<std::string> out;
    if (pg) out.push_back("ALTER TABLE records DISABLE TRIGGER records_counted");
    out.push_back(recordsFill(pg));
    if (pg) {
        out.push_back("ALTER TABLE records ENABLE TRIGGER records_counted");
        out.push_back(
            "INSERT INTO instruments(serial, instrument_type, records, last_time) SELECT serial, "
            "MAX(instrument_type), COUNT(*), MAX(time) FROM records GROUP BY serial");
    }
    out.push_back(
        "INSERT INTO angles(record_id, angle, l, a, b, delta_e, before_delta_e) SELECT id, "
        "angle, 52.3 - 8 * angle, 38.5 - 5 * angle, 21.1 - 3 * angle, 0.1 + 0.05 * (id % 13) + "
        "0.05 * angle + 0.00001 * id, CASE WHEN kind = 'verification' THEN 0.6 END FROM "
        "records, " +
        three);
    out.push_back(
        "INSERT INTO files(record_id, path, digest, position) SELECT id, '/data/Judgement_' || "
        "id || '.csv', 'digest-' || id, 0 FROM records");
    out.push_back(
        "INSERT INTO diagnoses(record_id, angle, decision, reason) SELECT id, angle, "
        "'write-factors', 'a gain the factors remove' FROM records, " +
        three + " WHERE kind = 'tile-set'");
    // As a server's autovacuum and SQLite's own statistics leave a logbook in use.
    out.push_back(pg ? "VACUUM ANALYZE" : "ANALYZE");
    return out;
}

qv::CheckIntervals intervals() {
    qv::CheckIntervals out{};
    for (qv::CheckKind kind : qv::kCheckKinds)
        out[static_cast<std::size_t>(kind)] = qv::suggestedInterval(kind);
    return out;
}

std::string filledFile(const std::string& path) {
    { qv::SqlLogbook schema(path); }
    auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-fill"));
    db.setDatabaseName(QString::fromStdString(path));
    std::string problem;
    if (!db.open()) problem = db.lastError().text().toStdString();
    for (const std::string& sql : fill(false)) {
        QSqlQuery q(db);
        if (problem.empty() && !q.exec(QString::fromStdString(sql)))
            problem = q.lastError().text().toStdString();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));
    return problem;
}

// The server, the workstation's file, and the logbooks on them, made once for every benchmark.
struct Lab {
    qv::test::TempHome home;
    std::unique_ptr<qv::test::PgServer> server;
    std::unique_ptr<qv::LogbookStore> file;
    std::unique_ptr<qv::LogbookStore> shared;
    std::string problem;

    Lab() {
        problem = filledFile(home.path() + "/logbook.sqlite");
        file = std::make_unique<qv::SqlLogbook>(home.path() + "/logbook.sqlite");
        try {
            server = std::make_unique<qv::test::PgServer>();
            server->createDatabase("lab");
        } catch (const std::exception& e) {
            problem = e.what();
            return;
        }
        std::string why;
        const auto at = qv::locationFromUri(
            server->uri(server->adminUser(), server->adminPassword(), "lab"), &why);
        if (!at) {
            problem = why;
            return;
        }
        { qv::SqlLogbook schema(*at); }
        std::string statements;
        for (const std::string& sql : fill(true)) statements += sql + ";\n";
        if (!server->sql(statements, "lab", &why)) {
            problem = why;
            return;
        }
        shared = std::make_unique<qv::FleetLogbook>(
            *at, std::make_unique<qv::SqlLogbook>(home.path() + "/waiting.sqlite"),
            [](const std::string& what) { std::fprintf(stderr, "%s\n", what.c_str()); });
    }
};

std::unique_ptr<Lab> made;

Lab& lab() {
    if (!made) made = std::make_unique<Lab>();
    return *made;
}

// The overview as it was made before the logbook chose what it reads: every record of every
// instrument, one history after the other; for the figures beside.
std::vector<qv::InstrumentStatus> everyRecord(qv::LogbookStore& logbook) {
    std::vector<qv::InstrumentStatus> fleet;
    for (const qv::LogbookStore::Instrument& i : logbook.instruments())
        fleet.push_back(qv::instrumentStatus(i.serial, logbook.records(i.serial), intervals(), kNow,
                                             qv::kDefaultLongTermDays));
    qv::sortWorstFirst(fleet);
    return fleet;
}

void overview(benchmark::State& state, qv::LogbookStore* logbook, bool chosen = true) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    if (!logbook || !logbook->isOpen()) return state.SkipWithError("the logbook is not open");
    std::size_t shown = 0;
    for (auto _ : state) {
        const auto fleet =
            chosen ? qv::fleetOverview(*logbook, intervals(), kNow, qv::kDefaultLongTermDays)
                   : everyRecord(*logbook);
        shown = fleet.size();
        benchmark::DoNotOptimize(fleet.data());
    }
    if (shown != kInstruments) state.SkipWithError("the overview is not the whole fleet");
    state.counters["records"] = kRecords;
    state.counters["instruments"] = static_cast<double>(shown);
    if (chosen) state.counters["goal_ms"] = 200;
}

void BM_FleetOverviewFile(benchmark::State& state) {
    overview(state, lab().file.get());
}
BENCHMARK(BM_FleetOverviewFile)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FleetOverviewServer(benchmark::State& state) {
    overview(state, lab().shared.get());
}
BENCHMARK(BM_FleetOverviewServer)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FleetOverviewFileEveryRecord(benchmark::State& state) {
    overview(state, lab().file.get(), false);
}
BENCHMARK(BM_FleetOverviewFileEveryRecord)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_FleetOverviewServerEveryRecord(benchmark::State& state) {
    overview(state, lab().shared.get(), false);
}
BENCHMARK(BM_FleetOverviewServerEveryRecord)->Iterations(2)->Unit(benchmark::kMillisecond);

// What a dashboard asks of the fleet_status view over the same logbook, through a connection of
// its own.
void view(benchmark::State& state, bool server) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    auto db = QSqlDatabase::addDatabase(
        server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("dashboard"));
    db.setDatabaseName(server ? QStringLiteral("lab")
                              : QString::fromStdString(lab().home.path() + "/logbook.sqlite"));
    if (server) {
        db.setHostName(QString::fromStdString(lab().server->host()));
        db.setPort(lab().server->port());
        db.setUserName(QString::fromStdString(lab().server->adminUser()));
        db.setPassword(QString::fromStdString(lab().server->adminPassword()));
    }
    int rows = 0;
    if (db.open())
        for (auto _ : state) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT serial, kind, due_date, status FROM fleet_status"));
            for (rows = 0; q.next();) ++rows;
        }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("dashboard"));
    if (rows != kInstruments * qv::kCheckKindCount) state.SkipWithError("the view is not whole");
    state.counters["records"] = kRecords;
}

void BM_FleetStatusViewFile(benchmark::State& state) {
    view(state, false);
}
BENCHMARK(BM_FleetStatusViewFile)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FleetStatusViewServer(benchmark::State& state) {
    view(state, true);
}
BENCHMARK(BM_FleetStatusViewServer)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The server stopped while Qt is still there to run pg_ctl.
    return qv::test::runBenchmarksWithQt(argc, argv, [] { made.reset(); });
}
