// The lab's shared logbook on a PostgreSQL server of the benchmark's own (on the loopback, so
// a real network adds its round trips to these figures): recording one check as a workstation
// does, and reading one instrument's history out of a lab's years of records, 100,000 records
// of 50 instruments from 10 workstations. Goals: a check recorded in under 5 ms (one call of
// the server's function), the history read in under 100 ms.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "platform/log/fleet_logbook.h"
#include "qt_bench_main.h"
#include "support/pg_server.h"
#include "support/temp_home.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kInstruments = 50;
constexpr int kWorkstations = 10;
// One of the 50: L70S-200000 + 7.
constexpr const char* kHistorySerial = "L70S-200007";

// The lab's logbook as the program leaves it after years of checks, ten minutes apart: mostly
// inter-instrument checks, some verifications and repeatability series, now and then one
// failing, each with its three angles and its two result files, the first known by its digest.
// Made by the server in one statement per table rather than 100,000 trips through the program,
// the instruments' list counted once at the end rather than by its trigger for every record.
constexpr const char* kFill = R"SQL(
ALTER TABLE records DISABLE TRIGGER records_counted;
INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, formula,
                    passed, entry, comment, operator, uuid, workstation)
SELECT CASE WHEN i % 10 = 0 THEN 'repeatability' WHEN i % 7 = 0 THEN 'verification'
            ELSE 'inter-instrument' END,
       'L70S-' || (200000 + i % 50), '53',
       CASE WHEN i % 10 = 0 THEN '' ELSE 'L70S-100001' END,
       to_char(timestamp '2026-12-07 15:00:00' - i * interval '10 minutes',
               'YYYY-MM-DD HH24:MI:SS'),
       CASE WHEN i % 10 = 0 THEN 0.2 ELSE 0.5 END, 'dE00', (i % 13 < 9)::int, 0, '',
       'operator' || (i % 23), md5('record' || i)::uuid::text, 'bench-' || (i % 10)
FROM generate_series(1, 100000) AS i;
UPDATE records SET instant = time, utc_offset = 0;
ALTER TABLE records ENABLE TRIGGER records_counted;
INSERT INTO instruments(serial, instrument_type, records, last_time)
SELECT serial, MAX(instrument_type), COUNT(*), MAX(time) FROM records GROUP BY serial;
INSERT INTO angles(record_id, angle, l, a, b, delta_e, before_delta_e)
SELECT id, angle, 52.3 - 8 * angle, 38.5 - 5 * angle, 21.1 - 3 * angle,
       0.1 + 0.05 * (id % 13) + 0.05 * angle,
       CASE WHEN kind = 'verification' THEN 0.6 + 0.1 * angle END
FROM records, generate_series(0, 2) AS angle;
INSERT INTO files(record_id, path, digest, position)
SELECT id, '/home/operator/Documents/VARNHOLT/QV-L70s/Data/' ||
           CASE WHEN position = 0 THEN 'Judgement_' ELSE 'Target_' END ||
           translate(time, ' -:', '_') || '.csv',
       CASE WHEN position = 0 THEN md5('file' || id) END, position
FROM records, generate_series(0, 1) AS position;
ANALYZE;
)SQL";

// One instrument checked every ten minutes for two years: 100,000 records of its own.
constexpr const char* kLongSerial = "L70S-300001";
constexpr int kLongRecords = 100000;
constexpr const char* kLongFill = R"SQL(
ALTER TABLE records DISABLE TRIGGER records_counted;
INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, formula,
                    passed, entry, comment, operator, uuid, workstation)
SELECT 'inter-instrument', 'L70S-300001', '53', 'L70S-100001',
       to_char(timestamp '2026-12-07 15:00:00' - i * interval '10 minutes',
               'YYYY-MM-DD HH24:MI:SS'),
       0.5, 'dE00', 1, 0, '', 'operator' || (i % 23), md5('long' || i)::uuid::text,
       'bench-' || (i % 10)
FROM generate_series(1, 100000) AS i;
UPDATE records SET instant = time, utc_offset = 0;
ALTER TABLE records ENABLE TRIGGER records_counted;
INSERT INTO instruments(serial, instrument_type, records, last_time)
SELECT serial, MAX(instrument_type), COUNT(*), MAX(time) FROM records GROUP BY serial;
INSERT INTO angles(record_id, angle, l, a, b, delta_e, before_delta_e)
SELECT id, angle, 52.3 - 8 * angle, 38.5 - 5 * angle, 21.1 - 3 * angle,
       0.1 + 0.05 * (id % 13) + 0.05 * angle, NULL
FROM records, generate_series(0, 2) AS angle;
INSERT INTO files(record_id, path, digest, position)
SELECT id, '/home/operator/Documents/VARNHOLT/QV-L70s/Data/Judgement_' ||
           translate(time, ' -:', '_') || '.csv', md5('longfile' || id), 0
FROM records;
ANALYZE;
)SQL";

// The server and its logbooks, made once for every benchmark of the run: the lab's fleet, and
// one long-serving instrument's.
struct Lab {
    std::unique_ptr<qv::test::PgServer> server;
    qv::LogbookLocation location;
    qv::LogbookLocation longLocation;
    std::string problem;

    Lab() {
        try {
            server = std::make_unique<qv::test::PgServer>();
            server->createDatabase("lab");
            server->createDatabase("long");
        } catch (const std::exception& e) {
            problem = e.what();
            return;
        }
        if (const auto at = made("lab", kFill)) location = *at;
        if (const auto at = made("long", kLongFill)) longLocation = *at;
    }

    std::optional<qv::LogbookLocation> made(const char* database, const char* fill) {
        std::string why;
        const auto at = qv::locationFromUri(
            server->uri(server->adminUser(), server->adminPassword(), database), &why);
        if (!at) {
            problem = why;
            return std::nullopt;
        }
        {
            // The tables as the program makes them.
            qv::SqlLogbook schema(*at);
            if (!schema.isOpen()) {
                problem = schema.why();
                return std::nullopt;
            }
        }
        if (!server->sql(fill, database, &why)) problem = why;
        return at;
    }
};

std::unique_ptr<Lab> made;

Lab& lab() {
    if (!made) made = std::make_unique<Lab>();
    return *made;
}

// The workstation's side: the server, and its own file for records waiting for it.
std::unique_ptr<qv::FleetLogbook> workstation(const qv::test::TempHome& home,
                                              const qv::LogbookLocation& at = lab().location) {
    return std::make_unique<qv::FleetLogbook>(
        at, std::make_unique<qv::SqlLogbook>(home.path() + "/logbook.sqlite"),
        [](const std::string& what) { std::fprintf(stderr, "%s\n", what.c_str()); });
}

void BM_FleetRecordOneCheck(benchmark::State& state) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    qv::test::TempHome home;
    const auto logbook = workstation(home);
    if (!logbook->serverOpen()) return state.SkipWithError("the server cannot be reached");
    qv::CheckRecord r = qv::emptyRecord(qv::RecordKind::InterInstrument, {2026, 12, 8, 9, 0, 0});
    r.serial = "L70S-900009";
    r.instrumentType = "53";
    r.referenceSerial = "L70S-100001";
    r.threshold = 0.5;
    r.formula = "dE00";
    r.passed = true;
    for (int a = 0; a < qv::kAngleCount; ++a)
        r.angles[a] = {{52.3 - 8 * a, 38.5 - 5 * a, 21.1 - 3 * a}, 0.1 + 0.05 * a, NAN};
    r.files = {home.path() + "/Judgement.csv", home.path() + "/Target.csv"};
    // Counted across the runs of this benchmark: a file's contents seen before would be taken for
    // the same check.
    static long n = 0;
    for (auto _ : state) {
        // Each check writes files of its own, of a judgement file's size: the first is read for
        // its digest, which the server keeps once.
        state.PauseTiming();
        std::ofstream(r.files[0], std::ios::binary) << ++n << std::string(4096, '1');
        state.ResumeTiming();
        logbook->record(r);
    }
    if (!logbook->serverOpen() || logbook->records(r.serial, {}, 1).empty() ||
        !logbook->local().waiting().empty())
        state.SkipWithError("the checks did not all reach the server");
    state.counters["goal_ms"] = 5;
}
BENCHMARK(BM_FleetRecordOneCheck)->Unit(benchmark::kMillisecond);

void BM_FleetHistoryOfOneInstrument(benchmark::State& state) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    qv::test::TempHome home;
    const auto logbook = workstation(home);
    if (!logbook->serverOpen()) return state.SkipWithError("the server cannot be reached");
    std::size_t read = 0;
    for (auto _ : state) {
        const std::vector<qv::CheckRecord> history = logbook->records(kHistorySerial);
        read = history.size();
        benchmark::DoNotOptimize(history.data());
    }
    if (read != kRecords / kInstruments) state.SkipWithError("the history is not the whole one");
    state.counters["records"] = static_cast<double>(kRecords);
    state.counters["of_instrument"] = static_cast<double>(read);
    state.counters["workstations"] = kWorkstations;
    state.counters["goal_ms"] = 100;
}
BENCHMARK(BM_FleetHistoryOfOneInstrument)->Iterations(20)->Unit(benchmark::kMillisecond);

// The instruments' list of the lab, as the history window and verb open on it.
void BM_FleetInstruments(benchmark::State& state) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    qv::test::TempHome home;
    const auto logbook = workstation(home);
    std::size_t listed = 0;
    for (auto _ : state) listed = logbook->instruments().size();
    if (listed < kInstruments) state.SkipWithError("the list is not whole");
    state.counters["records"] = kRecords;
}
BENCHMARK(BM_FleetInstruments)->Unit(benchmark::kMillisecond);

// The largest resident size of this process so far, in MB.
double peakMegabytes() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_maxrss) / 1024.0;
}

// One instrument's 100,000 records listed as the history verb lists them, in pages of 500:
// the first page is what the operator waits for, the whole listing is timed too, and the
// memory the listing took beyond what the process held before it.
void BM_FleetLongHistoryFirstPage(benchmark::State& state) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    qv::test::TempHome home;
    const auto logbook = workstation(home, lab().longLocation);
    if (!logbook->serverOpen()) return state.SkipWithError("the server cannot be reached");
    for (auto _ : state) {
        const auto pages = logbook->history(kLongSerial, {});
        const std::vector<qv::CheckRecord> page = pages->next(500);
        if (page.size() != 500) return state.SkipWithError("the first page is not whole");
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["of_instrument"] = kLongRecords;
    state.counters["goal_ms"] = 200;
}
BENCHMARK(BM_FleetLongHistoryFirstPage)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_FleetLongHistoryAllPages(benchmark::State& state) {
    if (!lab().problem.empty()) return state.SkipWithError(lab().problem.c_str());
    qv::test::TempHome home;
    const auto logbook = workstation(home, lab().longLocation);
    if (!logbook->serverOpen()) return state.SkipWithError("the server cannot be reached");
    const double before = peakMegabytes();
    std::size_t listed = 0;
    for (auto _ : state) {
        const auto pages = logbook->history(kLongSerial, {});
        listed = 0;
        for (auto page = pages->next(500); !page.empty(); page = pages->next(500))
            listed += page.size();
    }
    if (listed != kLongRecords) state.SkipWithError("the listing is not the whole history");
    state.counters["records"] = static_cast<double>(listed);
    state.counters["added_MB"] = peakMegabytes() - before;
    state.counters["goal_MB"] = 100;
}
BENCHMARK(BM_FleetLongHistoryAllPages)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The server stopped while Qt is still there to run pg_ctl.
    return qv::test::runBenchmarksWithQt(argc, argv, [] { made.reset(); });
}
