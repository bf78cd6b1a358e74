// The diagnosis of a 30-tile set on one core: every term fitted per angle with its jackknife over
// tiles, the set judged as read, after factors and after the errors removed, and every tile
// predicted from the others. Goal: under 5 ms. A profile fitted on the same set, each tile left
// out and both its stages fitted again (goal: under 20 ms), and 10,000 readings of three angles
// standardised with it (goal: under 100 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/colour/colour_requests.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/profile.h"

namespace {

constexpr int kTiles = 30;

// Greys, edges and peaks from about 3 % to 90 %, read by an instrument with an offset, a gain,
// a bent scale and a 0.6 nm shift (or by one equal to the reference), and a little rounding
// noise.
std::vector<qv::TileSpectra> set(bool errors = true) {
    std::vector<qv::TileSpectra> tiles(kTiles);
    for (int t = 0; t < kTiles; ++t) {
        const double edge = 420.0 + 9.0 * t;
        const double depth = 0.03 + 0.87 * ((t * 7) % kTiles) / kTiles;
        auto reflectance = [&](double nm) {
            return t % 5 == 0 ? 100.0 * depth
                              : 3.0 + 87.0 * depth / (1.0 + std::exp(-(nm - edge) / 12.0));
        };
        for (int a = 0; a < qv::kAngleCount; ++a) {
            for (int j = 0; j < qv::kSpectrumPoints; ++j) {
                const double nm = 400.0 + 10.0 * j;
                const double r = reflectance(nm);
                const double v = errors ? 1.01 * reflectance(nm + 0.6) + 0.2 : r;
                const double bend = errors ? 0.01 * v * (1.0 - v / 100.0) : 0.0;
                const double noise = 0.01 * std::sin(17.0 * t + 3.0 * j + a);
                tiles[t].target[a].push_back(r);
                tiles[t].sample[a].push_back(v + bend + noise);
            }
        }
    }
    return tiles;
}

void BM_Diagnose30Tiles(benchmark::State& state) {
    const auto tiles = set();
    const auto engine = qv::makeColourEngine(qv::KEY_VERSION1, qv::DeltaEFormula::Cie76);
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::diagnose(*engine, tiles, qv::SetLimits{}).diagnosis);
    state.SetLabel("goal < 5 ms");
}
BENCHMARK(BM_Diagnose30Tiles)->Unit(benchmark::kMillisecond);

// Equal instruments with one tile read 4 % high at every angle: the set without that tile
// judged again and each of its tiles predicted from the others, the longest road through the
// decision.
void BM_Diagnose30TilesOneMisread(benchmark::State& state) {
    auto tiles = set(false);
    for (auto& angle : tiles[3].sample)
        for (double& v : angle) v *= 1.04;
    const auto engine = qv::makeColourEngine(qv::KEY_VERSION1, qv::DeltaEFormula::Cie76);
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::diagnose(*engine, tiles, qv::SetLimits{}).diagnosis);
    state.SetLabel("goal < 5 ms");
}
BENCHMARK(BM_Diagnose30TilesOneMisread)->Unit(benchmark::kMillisecond);

void BM_FitTerms30Tiles(benchmark::State& state) {
    const auto tiles = set();
    for (auto _ : state) benchmark::DoNotOptimize(qv::fitTerms(tiles, 1));
}
BENCHMARK(BM_FitTerms30Tiles)->Unit(benchmark::kMicrosecond);

void BM_FitProfile30Tiles(benchmark::State& state) {
    const auto tiles = set();
    for (auto _ : state) benchmark::DoNotOptimize(qv::fitProfile(tiles).profile);
    state.SetLabel("goal < 20 ms");
}
BENCHMARK(BM_FitProfile30Tiles)->Unit(benchmark::kMillisecond);

void BM_Standardise10000Readings(benchmark::State& state) {
    constexpr std::size_t kReadings = 10000;
    const auto tiles = set();
    const auto profile = qv::fitProfile(tiles).profile;
    for (auto _ : state)
        for (std::size_t r = 0; r < kReadings; ++r)
            benchmark::DoNotOptimize(qv::standardise(*profile, tiles[r % tiles.size()].sample));
    state.SetLabel("three angles each, goal < 100 ms");
}
BENCHMARK(BM_Standardise10000Readings)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
