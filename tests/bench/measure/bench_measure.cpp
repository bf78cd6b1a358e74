// Wall time of measurements against the in-process simulator, which answers at once: the
// host's own share of a type-53 measurement and of a whole repeatability series, and how far a
// type-40 measurement stays above the pauses it must make.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <numeric>

#include "core/app/shared_state.h"
#include "core/app/string_table_text.h"
#include "core/link/commands.h"
#include "core/link/identify.h"
#include "core/measure/measurement_exchange.h"
#include "core/measure/repeatability_workflow.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/system_clock.h"
#include "platform/link/posix_serial_channel.h"
#include "support/scripted_prompter.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace {

using Clock = std::chrono::steady_clock;

// The pauses a type-40 measurement of the repeatability check must make: the preamble's two,
// then one after MES and after each of the six lines.
constexpr double kType40MandatoryMs = 2.0 * qv::kType40PreambleWaitMs + 7.0 * qv::kType40LineWaitMs;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::unique_ptr<qv::PosixSerialChannel> openOn(qv::test::SimInstrument& sim) {
    auto port = std::make_unique<qv::PosixSerialChannel>();
    return port->open(sim.port()) ? std::move(port) : nullptr;
}

// Identification and one measurement as the repeatability check takes it.
bool measureOnce(qv::SerialChannel& port, qv::Clock& clock) {
    const qv::IdentifyResult id = qv::IdentifyInstrument(port, clock);
    return id.ok() &&
           qv::acquireMeasurement(port, clock, qv::MeasureVariant::Repeatability, id.type53()).ok();
}

void BM_Type53Measurement(benchmark::State& state) {
    qv::test::SimInstrument sim("53");
    qv::SystemClock clock;
    auto port = openOn(sim);
    if (!port) return state.SkipWithError("cannot open the simulator's port");
    for (auto _ : state)
        if (!measureOnce(*port, clock)) return state.SkipWithError("measurement failed");
}
BENCHMARK(BM_Type53Measurement)->Unit(benchmark::kMillisecond);

void BM_RepeatabilitySeries(benchmark::State& state) {
    qv::test::TempHome home;
    qv::test::SimInstrument sim("53");
    qv::SystemClock clock;
    qv::SharedState shared(openOn(sim));
    if (!shared.commPort) return state.SkipWithError("cannot open the simulator's port");
    shared.strDataFolder = home.path();
    qv::QtProfileStore profile;
    qv::AtomicFileStore files;
    qv::test::ScriptedPrompter prompter;
    const qv::TextStringTable texts({{186, "Repeatability_"}});
    qv::RepeatabilityWorkflow series(
        qv::Seams{shared, clock, prompter, profile, files, texts, {'.', ","}});
    series.setAskBeforeMeasuring(false);
    double worstMs = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int k = 0; k < qv::kSeriesLength; ++k)
            if (series.measure() != qv::MeasureResult::Taken)
                return state.SkipWithError("measurement failed");
        worstMs = std::max(worstMs, msSince(start));
    }
    state.counters["worst_ms"] = worstMs;
    state.counters["goal_ms"] = 100;
}
BENCHMARK(BM_RepeatabilitySeries)->Unit(benchmark::kMillisecond);

// Real pauses: one measurement takes 8.5 s, so it runs once.
void BM_Type40MeasurementAboveItsPauses(benchmark::State& state) {
    qv::test::SimInstrument sim("40");
    qv::SystemClock clock;
    auto port = openOn(sim);
    if (!port) return state.SkipWithError("cannot open the simulator's port");
    double overMs = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!measureOnce(*port, clock)) return state.SkipWithError("measurement failed");
        overMs = msSince(start) - kType40MandatoryMs;
    }
    state.counters["pauses_ms"] = kType40MandatoryMs;
    state.counters["over_pauses_ms"] = overMs;
    state.counters["goal_over_ms"] = 50;
}
BENCHMARK(BM_Type40MeasurementAboveItsPauses)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
