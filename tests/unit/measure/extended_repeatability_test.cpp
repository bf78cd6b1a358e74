// The repeatability check over many readings: a series cut short against the simulated
// instrument on a pseudo-terminal (the whole road runs in tests/cli), and its standard
// deviations against the noise the simulator adds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "core/colour/colour_requests.h"
#include "core/measure/extended_repeatability.h"
#include "platform/log/sql_logbook.h"
#include "sim/instrument.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

struct ExtendedSeries : ::testing::Test {
    ExtendedSeries() : rig(noisy()) {}
    static sim::Options noisy() {
        sim::Options o;
        o.instruments.resize(1);
        o.instruments[0].specimen = "red";
        o.instruments[0].noise = 0.05;
        return o;
    }
    Seams seams() {
        Seams s = rig.seams();
        s.logbook = &logbook;
        return s;
    }
    test::SeriesRig rig;
    SqlLogbook logbook{rig.home.path() + "/logbook.sqlite"};
};

TEST_F(ExtendedSeries, DecliningToPlaceAgainOrALostReadingLeavesNothingBehind) {
    ExtendedRepeatabilityWorkflow w(seams());
    rig.prompter.answers = {Answer::Ok, Answer::Cancel};
    EXPECT_EQ(w.run({12, true, {}}), SeriesOutcome::Declined);
    EXPECT_EQ(rig.prompter.ids(), (std::vector<int>{kStrLiftSpecimen, kStrLiftSpecimen}));

    rig.control("fault MES silence occurrence=4");
    rig.clock.silentAfterMisses = 3;
    EXPECT_EQ(w.run({10, false, {}}), SeriesOutcome::Failed);
    EXPECT_EQ(w.lastFailure().rfind("reading 4: ", 0), 0u) << w.lastFailure();
    EXPECT_FALSE(w.result().has_value());

    EXPECT_EQ(w.run({31, false, {}}), SeriesOutcome::Failed);  // refused before any reading
    EXPECT_TRUE(rig.dataFiles().empty());
    EXPECT_TRUE(logbook.records("L70S-000001").empty());
}

// The standard deviations the check reports, against the true ones of the simulator's noise
// (Gaussian, `noise` % reflectance on each of the 31 points, added as the simulator adds it)
// carried linearly through the colour engine.
TEST(ExtendedStatistics, StandardDeviationsFollowTheSimulatorsNoise) {
    constexpr double kNoise = 0.05;
    constexpr int kRuns = 1000;
    constexpr int kReadings = 20;
    sim::InstrumentConfig config;
    config.specimen = "red";
    const sim::AngleSpectra truth = sim::Instrument(config).expectedReading();
    auto engine = makeColourEngine(KEY_VERSION3, DeltaEFormula::Cie76);
    ColourRequests colour(*engine);
    const auto labOf = [&](int a, const AngleSpectrum& s) {
        colour.setTarget(a, s);
        return colour.coordinates(kTargetMode);
    };
    std::array<LabTriple, kAngleCount> trueSd{};
    for (int a = 0; a < kAngleCount; ++a) {
        constexpr double h = 0.01;
        for (int j = 0; j < kSpectrumPoints; ++j) {
            AngleSpectrum up(truth[a].begin(), truth[a].end());
            AngleSpectrum down = up;
            up[j] += h;
            down[j] -= h;
            const LabTriple u = labOf(a, up);
            const LabTriple d = labOf(a, down);
            for (int c = 0; c < 3; ++c) trueSd[a][c] += std::pow((u[c] - d[c]) / (2 * h), 2);
        }
        for (double& v : trueSd[a]) v = kNoise * std::sqrt(v);
    }
    std::mt19937 rng(20261208);
    std::normal_distribution<double> gauss(0.0, kNoise);
    int within25 = 0, within35 = 0, allNine25 = 0;
    double varianceRatio = 0.0;
    for (int run = 0; run < kRuns; ++run) {
        ExtendedReport r;
        for (int k = 0; k < kReadings; ++k) {
            ThreeAngles reading;
            for (int a = 0; a < kAngleCount; ++a)
                for (double v : truth[a]) reading[a].push_back(v + gauss(rng));
            r.spectra.push_back(reading);
        }
        evaluateReadings(*engine, r);
        int nine = 0;
        for (int a = 0; a < kAngleCount; ++a)
            for (int c = 0; c < 3; ++c) {
                const double ratio = r.spread[a].sd[c] / trueSd[a][c];
                within25 += std::abs(ratio - 1.0) <= 0.25;
                nine += std::abs(ratio - 1.0) <= 0.25;
                within35 += std::abs(ratio - 1.0) <= 0.35;
                varianceRatio += ratio * ratio / (9.0 * kRuns);
            }
        allNine25 += nine == 9;
    }
    const double share25 = within25 / (9.0 * kRuns), share35 = within35 / (9.0 * kRuns);
    std::printf(
        "sd within +-25 %%: %.1f %% of estimates, all nine of a run %.1f %% of runs; "
        "within +-35 %%: %.1f %%; mean of (sd / true sd)^2 %.4f\n",
        100 * share25, 100.0 * allNine25 / kRuns, 100 * share35, varianceRatio);
    // A sample sd of 20 Gaussian readings lies within +-25 % of the truth with probability
    // P(10.69 < chi2(19) < 29.69) = 0.878 and within +-35 % with 0.971: no estimate from 20
    // readings reaches 95 % at +-25 %. The bounds allow four binomial standard errors.
    EXPECT_NEAR(share25, 0.878, 4 * std::sqrt(0.878 * 0.122 / (9.0 * kRuns)));
    EXPECT_GE(share35, 0.95);
    // Unbiased variance (n - 1): a divisor of n would give 0.95.
    EXPECT_NEAR(varianceRatio, 1.0, 0.02);
}

}  // namespace
}  // namespace qv
