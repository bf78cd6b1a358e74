// The drift of a fleet between two profilings, from the tiles each profile keeps: on simulated
// fleets with a common drift and each instrument's own (a shift, a gain, an offset, none of
// which the estimate models), the stated standard error covers the common drift as often as
// it claims; and which profiles make a fleet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "core/colour/tristimulus.h"
#include "core/tiles/fleet_drift.h"
#include "sim/instrument.h"
#include "sim/specimens.h"

namespace qv {
namespace {

ThreeAngles rounded(const sim::AngleSpectra& s) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a)
        for (double v : s[a]) out[a].push_back(std::round(v * 100.0) / 100.0);
    return out;
}

// The profile of `c` made at day `day`, keeping the tiles as `c` reads them.
ProfileFile profiled(const sim::InstrumentConfig& c, int day, const std::string& master,
                     const std::string& set = "Ceramics") {
    ProfileFile f{{2026, 9, day, 10, 0, 0},  c.idText, master, set, 0,
                  {2026, 12, day, 10, 0, 0}, {},       {},     {}};
    for (const std::string& name : sim::specimenNames()) {
        f.tileNames.push_back(name);
        const ThreeAngles reading =
            rounded(sim::Instrument(c).expectedReadingOf(*sim::specimenSpectra(name)));
        f.tiles.push_back({reading, reading});
    }
    return f;
}

// The fleet's mean change in L*, a*, b* at `a` from `before` to `after`, tile by tile.
std::array<double, 3> meanChange(const std::vector<sim::InstrumentConfig>& before,
                                 const std::vector<sim::InstrumentConfig>& after, int a) {
    std::array<double, 3> sum{};
    double n = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        for (const std::string& name : sim::specimenNames()) {
            const auto truth = *sim::specimenSpectra(name);
            const auto x = sim::Instrument(before[i]).expectedReadingOf(truth)[a];
            const auto y = sim::Instrument(after[i]).expectedReadingOf(truth)[a];
            const Lab p = spectrumToLab(SpectrumView(x.data(), kColourPoints));
            const Lab q = spectrumToLab(SpectrumView(y.data(), kColourPoints));
            sum[0] += q.L - p.L, sum[1] += q.a - p.a, sum[2] += q.b - p.b;
            n += 1;
        }
    for (double& v : sum) v /= n;
    return sum;
}

// 200 fleets of eight: every instrument's gain up 0.4 % and its offset up 0.1 % between the
// profilings, and besides its own drift (gain 0.25 %, offset 0.08 %, shift 0.15 nm, standard
// deviations). The truth is what the common drift alone changes in each fleet's readings. The
// stated 95 % interval (Student's t for seven degrees of freedom times the standard error)
// holds it in at least 92 % of the fleets (two standard deviations of 200 trials below 95 %),
// for the size and for L*.
TEST(FleetDrift, TheStandardErrorCoversTheCommonDrift) {
    std::mt19937 rng(11);
    std::normal_distribution<double> unit(0.0, 1.0);
    constexpr int kTrials = 200, kInstruments = 8;
    std::array<int, kAngleCount> covered{}, coveredL{};
    std::array<double, kAngleCount> meanError{}, meanSize{};
    for (int trial = 0; trial < kTrials; ++trial) {
        std::vector<sim::InstrumentConfig> before, common, after;
        std::vector<ProfileFile> profiles;
        for (int i = 0; i < kInstruments; ++i) {
            sim::InstrumentConfig c;
            c.idText = "L70S-" + std::to_string(300000 + i);
            for (std::size_t a = 0; a < 3; ++a) {
                c.gain[a] = 1.0 + 0.01 * unit(rng);
                c.offset[a] = 0.2 * unit(rng);
            }
            c.shiftNm = 0.3 * unit(rng);
            sim::InstrumentConfig d = c;
            for (std::size_t a = 0; a < 3; ++a) d.gain[a] *= 1.004, d.offset[a] += 0.1;
            sim::InstrumentConfig e = d;
            for (std::size_t a = 0; a < 3; ++a)
                e.gain[a] *= 1.0 + 0.0025 * unit(rng), e.offset[a] += 0.08 * unit(rng);
            e.shiftNm = c.shiftNm[0] + 0.15 * unit(rng);
            before.push_back(c), common.push_back(d), after.push_back(e);
            profiles.push_back(profiled(c, 1, "virtual master of 8 instruments"));
            profiles.push_back(profiled(e, 29, "virtual master of 8 instruments"));
        }
        const auto drifts = fleetDrifts(profiles);
        ASSERT_EQ(drifts.size(), 1u);
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleFleetDrift& d = drifts[0].angles[a];
            const auto truth = meanChange(before, common, a);
            const double size = std::hypot(truth[0], truth[1], truth[2]);
            const double k = drifts[0].coverageFactor;
            covered[a] += std::abs(d.deltaE - size) <= k * d.standardError;
            coveredL[a] += std::abs(d.lab[0] - truth[0]) <= k * d.labStandardError[0];
            meanError[a] += d.standardError / kTrials;
            meanSize[a] += size / kTrials;
        }
    }
    for (int a = 0; a < kAngleCount; ++a) {
        std::printf(
            "  %d deg: common drift %.3f dE*ab, stated standard error %.3f, covered in "
            "%d %% (L*: %d %%)\n",
            kAngleDegrees[a], meanSize[a], meanError[a], covered[a] * 100 / kTrials,
            coveredL[a] * 100 / kTrials);
        EXPECT_GE(covered[a], kTrials * 92 / 100) << kAngleDegrees[a];
        EXPECT_GE(coveredL[a], kTrials * 92 / 100) << kAngleDegrees[a];
        EXPECT_LT(meanError[a], meanSize[a] / 2) << kAngleDegrees[a];
    }
}

// A fleet is a master (any virtual one alike, whatever its size) and a set; an instrument
// counts with two profiles that keep their tiles; fewer than three such instruments show
// nothing.
TEST(FleetDrift, WhichProfilesMakeAFleet) {
    std::vector<ProfileFile> profiles;
    for (int i = 0; i < 3; ++i) {
        sim::InstrumentConfig c;
        c.idText = "L70S-40000" + std::to_string(i);
        profiles.push_back(profiled(c, 1, "virtual master of 3 instruments"));
        c.gain.fill(1.01);
        profiles.push_back(profiled(c, 20, "virtual master of 4 instruments"));
        profiles.push_back(profiled(c, 25, "L70S-100001", "Other set"));
    }
    auto drifts = fleetDrifts(profiles);
    ASSERT_EQ(drifts.size(), 1u);
    EXPECT_TRUE(drifts[0].virtualMaster);
    EXPECT_EQ(drifts[0].instruments, 3u);
    EXPECT_EQ(drifts[0].tiles, sim::specimenNames().size());
    EXPECT_EQ(resultTimestamp(drifts[0].from), "20260901_100000");
    EXPECT_GT(drifts[0].angles[0].lab[0], 0.1);                 // 1 % higher reads lighter
    EXPECT_NEAR(drifts[0].angles[0].standardError, 0.0, 1e-9);  // all drifted alike
    profiles[3].tiles.clear();  // a profile of the first version keeps none
    profiles[3].tileNames.clear();
    EXPECT_TRUE(fleetDrifts(profiles).empty());
}

}  // namespace
}  // namespace qv
