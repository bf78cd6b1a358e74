// The host's side of the instrument link against the in-process simulator: the turnaround from
// a reply's last byte to the next command's first (taken from the simulator's log, whose time
// stamps are monotonic microseconds), and the wall time of one identification.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/link/commands.h"
#include "core/link/identify.h"
#include "platform/app/system_clock.h"
#include "platform/link/posix_serial_channel.h"
#include "support/sim_instrument.h"

namespace {

using qv::test::SimInstrument;

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// Reply sent, then the next command received: the time in between is the host's.
std::vector<double> turnaroundsUs(const std::vector<qv::sim::LogEntry>& log) {
    std::vector<double> out;
    std::int64_t replyUs = -1;
    for (const qv::sim::LogEntry& e : log) {
        if (e.direction == '<') replyUs = e.timeUs;
        if (e.direction == '>' && replyUs >= 0) {
            out.push_back(static_cast<double>(e.timeUs - replyUs));
            replyUs = -1;
        }
    }
    return out;
}

void BM_ExchangeTurnaround(benchmark::State& state) {
    SimInstrument sim("53");
    qv::SystemClock clock;
    qv::PosixSerialChannel port;
    if (!port.open(sim.port())) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    sim.simulator().clearLog();
    for (auto _ : state) {
        port.send(qv::kIdrCommand);
        benchmark::DoNotOptimize(port.receiveLine(clock, qv::kIdentifyReplyTimeoutS));
    }
    const std::vector<double> t = turnaroundsUs(sim.simulator().log());
    state.counters["exchanges"] = static_cast<double>(t.size() + 1);
    state.counters["turnaround_median_us"] = percentile(t, 0.5);
    state.counters["turnaround_p95_us"] = percentile(t, 0.95);
    state.counters["turnaround_max_us"] = t.empty() ? 0.0 : *std::max_element(t.begin(), t.end());
}
BENCHMARK(BM_ExchangeTurnaround)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_Identification(benchmark::State& state) {
    SimInstrument sim(state.range(0) == 53 ? "53" : "40");
    qv::SystemClock clock;
    qv::PosixSerialChannel port;
    if (!port.open(sim.port())) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    for (auto _ : state) {
        const qv::IdentifyResult id = qv::IdentifyInstrument(port, clock);
        if (!id.ok()) state.SkipWithError("identification failed");
    }
}
BENCHMARK(BM_Identification)->Arg(53)->Arg(40)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The connection of a type-53 instrument: IDR, then CPR, CPS, USR and USS.
void BM_IdentifyAndReset(benchmark::State& state) {
    SimInstrument sim("53");
    qv::SystemClock clock;
    qv::PosixSerialChannel port;
    if (!port.open(sim.port())) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    for (auto _ : state) {
        if (!qv::IdentifyInstrument(port, clock).type53() ||
            !qv::runSettingsReset(port, clock).ok()) {
            state.SkipWithError("connection failed");
        }
    }
}
BENCHMARK(BM_IdentifyAndReset)->Iterations(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
