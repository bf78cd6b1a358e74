// Throughput of the colour engine on one core: spectra converted to L*a*b* per second, colour
// differences per second for each formula, and one evaluated angle through the item interface.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/colour/delta_e.h"
#include "core/colour/evaluate_hue_control.h"
#include "core/colour/tristimulus.h"

namespace {

using qv::kColourPoints;

constexpr int kSetSize = 1024;

// Smooth, varied spectra between about 2 % and 95 %, so both Lab branches and every hue occur.
std::vector<std::vector<double>> spectra() {
    std::vector<std::vector<double>> set(kSetSize, std::vector<double>(kColourPoints));
    for (int i = 0; i < kSetSize; ++i) {
        const double centre = 400.0 + 300.0 * ((i * 37) % kSetSize) / kSetSize;
        const double depth = 0.02 + 0.9 * ((i * 101) % kSetSize) / kSetSize;
        for (int j = 0; j < kColourPoints; ++j) {
            const double x = (400.0 + 10.0 * j - centre) / 60.0;
            set[i][j] = i % 50 == 0 ? 0.3 : 2.0 + 93.0 * depth * std::exp(-x * x);
        }
    }
    return set;
}

std::vector<qv::Lab> labs() {
    std::vector<qv::Lab> out;
    for (const auto& s : spectra())
        out.push_back(qv::spectrumToLab(qv::SpectrumView(s.data(), 31)));
    return out;
}

void BM_SpectrumToLab(benchmark::State& state) {
    const auto set = spectra();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& s = set[i++ % kSetSize];
        benchmark::DoNotOptimize(qv::spectrumToLab(qv::SpectrumView(s.data(), kColourPoints)));
    }
    state.counters["spectra/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpectrumToLab);

void BM_DeltaE(benchmark::State& state) {
    const auto formula = static_cast<qv::DeltaEFormula>(state.range(0));
    const auto set = labs();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& r = set[i % kSetSize];
        const auto& s = set[(i * 7 + 1) % kSetSize];
        ++i;
        benchmark::DoNotOptimize(qv::deltaE(formula, r, s));
    }
    state.SetLabel(qv::displayLabel(formula));
    state.counters["differences/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DeltaE)
    ->Arg(int(qv::DeltaEFormula::Cie76))
    ->Arg(int(qv::DeltaEFormula::Cie94))
    ->Arg(int(qv::DeltaEFormula::Ciede2000))
    ->Arg(int(qv::DeltaEFormula::Cmc));

// One angle as a check dialog evaluates it: target and sample set, seven requests.
void BM_EngineAngle(benchmark::State& state) {
    const auto set = spectra();
    qv::EvaluateHueControl engine(qv::KEY_VERSION1);
    qv::ListItemIterator obs, ill;
    obs.add(qv::kObserver10Degree, "OBS");
    ill.add(qv::kIlluminantD65, "Ill");
    engine.setObserverAndIlluminant(&obs, &ill);
    engine.setDeltaEFormula(qv::DeltaEFormula::Ciede2000);
    const std::int32_t codes[] = {11101, 11102, 11103, -11101, -11102, -11103, -16000};
    std::vector<qv::ItemValue> request;
    std::size_t i = 0;
    for (auto _ : state) {
        engine.clearTargetData();
        engine.setTargetData(1, 10, 400, 700, 201, set[i % kSetSize]);
        engine.clearSampleData();
        engine.setSampleData(1, 10, 400, 700, 201, set[(i + 1) % kSetSize]);
        ++i;
        for (std::int32_t code : codes) {
            request.assign(1, qv::ItemValue{code, qv::kItemPreset});
            engine.evaluateHue(0, request);
            benchmark::DoNotOptimize(request[0].value);
        }
    }
    state.counters["angles/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EngineAngle);

}  // namespace

BENCHMARK_MAIN();
