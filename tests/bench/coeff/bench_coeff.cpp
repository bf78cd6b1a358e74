// The host's own time in the exchanges with the instrument's user-calibration entries, read
// off the in-process simulator's log: listing the 30 entries and writing one. Goal: under 1 ms
// of the host's own turnaround per exchange.
#include <benchmark/benchmark.h>

#include <atomic>

#include "bench/host_time.h"
#include "core/coeff/entry_exchanges.h"
#include "platform/app/system_clock.h"

namespace {

using qv::bench::commandsSent;
using qv::bench::hostMs;
using qv::bench::nowUs;

void report(benchmark::State& state, double totalHostMs, int exchanges) {
    state.counters["host_ms_per_exchange"] = totalHostMs / exchanges;
    state.counters["goal_ms"] = 1;
}

void BM_EntryListHostTime(benchmark::State& state) {
    qv::test::SimInstrument sim("53");
    auto port = qv::bench::openOn(sim);
    if (!port) return state.SkipWithError("cannot open the simulator's port");
    qv::SystemClock clock;
    const std::atomic<bool> stop{false};
    double totalHostMs = 0.0;
    int exchanges = 0;
    for (auto _ : state) {
        sim.simulator().clearLog();
        const std::int64_t start = nowUs();
        int rows = 0;
        if (!qv::readEntryList(*port, clock, stop, [&rows](const qv::EntryRow&) { ++rows; }).ok() ||
            rows != 30)
            return state.SkipWithError("the list could not be read");
        const std::int64_t end = nowUs();
        totalHostMs += hostMs(sim.simulator().log(), start, end, 0.0);
        exchanges += commandsSent(sim.simulator().log(), start, end);
    }
    report(state, totalHostMs, exchanges);
}
BENCHMARK(BM_EntryListHostTime)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_WriteEntryHostTime(benchmark::State& state) {
    qv::test::SimInstrument sim("53");
    auto port = qv::bench::openOn(sim);
    if (!port) return state.SkipWithError("cannot open the simulator's port");
    qv::SystemClock clock;
    qv::EntryContents contents{7, "BENCH", "07.12.2026 16:30:00", "L70S-000001", {}};
    for (auto& block : contents.blocks) {
        block.assign(16, 42.0);
        block.resize(32, 0.98);
    }
    const auto planned = qv::planEntryWrite(contents, false);
    if (!planned.plan) return state.SkipWithError(planned.refusal.c_str());
    double totalHostMs = 0.0;
    int exchanges = 0;
    for (auto _ : state) {
        sim.simulator().clearLog();
        const std::int64_t start = nowUs();
        if (!qv::writeEntry(*port, clock, *planned.plan).complete())
            return state.SkipWithError("the entry could not be written");
        const std::int64_t end = nowUs();
        totalHostMs += hostMs(sim.simulator().log(), start, end, 0.0);
        exchanges += commandsSent(sim.simulator().log(), start, end);
    }
    report(state, totalHostMs, exchanges);
}
BENCHMARK(BM_WriteEntryHostTime)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
