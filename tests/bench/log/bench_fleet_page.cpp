// The fleet page as a timer writes it every few minutes: a workstation's logbook file of a
// lab's years of checks (100,000 records of 50 instruments, ten minutes apart) opened, every
// instrument's status and drift taken, the page made and put in place. Goal: under 1 s.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/log/fleet_overview.h"
#include "platform/log/sql_logbook.h"
#include "report/log/fleet_page.h"
#include "support/temp_home.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kInstruments = 50;
constexpr qv::LocalTime kNow{2026, 12, 7, 15, 30, 0};

using Clock = std::chrono::steady_clock;
double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Made by SQLite in one statement per table rather than 100,000 trips through the program:
// mostly inter-instrument checks, some verifications and repeatability series, now and then one
// failing, each with its three angles and two files.
constexpr const char* kFill[] = {
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
    "INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, "
    "formula, passed, entry, comment, operator, uuid, workstation, instant, utc_offset) "
    "SELECT CASE WHEN i % 10 = 0 THEN 'repeatability' WHEN i % 7 = 0 THEN 'verification' "
    "ELSE 'inter-instrument' END, 'L70S-' || (200000 + i % 50), '53', "
    "CASE WHEN i % 10 = 0 THEN '' ELSE 'L70S-100001' END, "
    "strftime('%Y-%m-%d %H:%M:%S', '2026-12-07 15:00:00', '-' || (i * 10) || ' minutes'), "
    "CASE WHEN i % 10 = 0 THEN 0.2 ELSE 0.5 END, 'dE00', i % 13 < 9, 0, '', "
    "'operator' || (i % 23), 'bench-' || i, 'bench-' || (i % 10), "
    "strftime('%Y-%m-%d %H:%M:%S', '2026-12-07 15:00:00', '-' || (i * 10) || ' minutes'), 0 "
    "FROM n",
    "INSERT INTO angles(record_id, angle, l, a, b, delta_e, before_delta_e) "
    "SELECT id, angle, 52.3 - 8 * angle, 38.5 - 5 * angle, 21.1 - 3 * angle, "
    "0.1 + 0.05 * (id % 13) + 0.05 * angle, "
    "CASE WHEN kind = 'verification' THEN 0.6 + 0.1 * angle END "
    "FROM records, (SELECT 0 AS angle UNION ALL SELECT 1 UNION ALL SELECT 2)",
    "INSERT INTO files(record_id, path, digest, position) "
    "SELECT id, '/home/operator/Documents/VARNHOLT/QV-L70s/Data/' || "
    "CASE WHEN position = 0 THEN 'Judgement_' ELSE 'Target_' END || "
    "replace(replace(replace(time, ' ', '_'), '-', ''), ':', '') || '.csv', "
    "CASE WHEN position = 0 THEN 'digest' || id END, position "
    "FROM records, (SELECT 0 AS position UNION ALL SELECT 1)",
    "ANALYZE",
};

// The logbook made once for the run, on a memory file system where there is one.
std::string filledLogbook(const std::string& folder, std::string& problem) {
    const std::string path = folder + "/logbook.sqlite";
    {
        qv::SqlLogbook schema(path);  // the tables as the program makes them
        if (!schema.isOpen()) problem = "the logbook cannot be made";
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(QString::fromStdString(path));
    if (problem.empty() && db.open()) {
        db.transaction();
        for (const char* statement : kFill) {
            QSqlQuery q(db);
            if (!q.exec(QString::fromLatin1(statement)) && problem.empty())
                problem = q.lastError().text().toStdString();
        }
        db.commit();
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    // The lab's intervals, so that the page has every status to show.
    qv::SqlLogbook logbook(path);
    std::string why;
    for (const auto& [kind, interval] :
         {std::pair{qv::CheckKind::Calibration, qv::CheckInterval{1, 0}},
          std::pair{qv::CheckKind::InterInstrument, qv::CheckInterval{30, 7}},
          std::pair{qv::CheckKind::Repeatability, qv::CheckInterval{7, 1}}})
        if (!logbook.setCheckInterval(kind, interval, why) && problem.empty()) problem = why;
    return path;
}

void BM_FleetPageOfFiftyInstrumentsFrom100000Records(benchmark::State& state) {
    const bool memory = !std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm");
    if (memory) setenv("TMPDIR", "/dev/shm", 1);
    const qv::test::TempHome home;
    if (memory) unsetenv("TMPDIR");
    std::string problem;
    const std::string path = filledLogbook(home.path(), problem);
    if (!problem.empty()) return state.SkipWithError(problem.c_str());
    const std::string page = home.path() + "/index.html";
    std::size_t instruments = 0;
    // Where the time goes, per page: opening the file (SQLite checks it), reading every
    // instrument's records and judging them, making and writing the page.
    double opening = 0, reading = 0, writing = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        qv::SqlLogbook logbook(path);
        const auto opened = Clock::now();
        const auto intervals = logbook.checkIntervals();
        if (!intervals) return state.SkipWithError("the intervals cannot be read");
        const auto fleet = qv::fleetOverview(logbook, *intervals, kNow, 90);
        const auto read = Clock::now();
        instruments = fleet.size();
        const qv::FleetPageSource source{kNow, 60, path, false, *intervals, 90, "bench"};
        if (!qv::writeFleetPage(page, qv::fleetPageHtml(fleet, source)).empty())
            return state.SkipWithError("the page was not written");
        opening += ms(opened - start);
        reading += ms(read - opened);
        writing += ms(Clock::now() - read);
    }
    const auto per = [&state](double total) {
        return total / static_cast<double>(state.iterations());
    };
    state.counters["open_ms"] = per(opening);
    state.counters["read_ms"] = per(reading);
    state.counters["page_ms"] = per(writing);
    if (instruments != kInstruments) state.SkipWithError("not every instrument is on the page");
    state.counters["records"] = kRecords;
    state.counters["page_kB"] =
        static_cast<double>(QFileInfo(QString::fromStdString(page)).size()) / 1024.0;
    state.counters["goal_ms"] = 1000;
}
BENCHMARK(BM_FleetPageOfFiftyInstrumentsFrom100000Records)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QCoreApplication app(argc, argv);  // Qt SQL finds its drivers through the application
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
