// Does the expanded uncertainty mean what it says? Pairs of simulated instruments: a reference
// read as the standard's value, and an instrument under correction with errors its factors
// cannot remove (each pair its own), some with errors no model of the program describes. The
// statement is made from what the program would have on record (an extended check, the tile set
// read again after the correction with each tile's differences, the reference's certificate);
// then products are measured
// against their standards (in the set's colours and outside them, differing in any direction,
// in lightness only, in chroma only, or not at all), and the colour difference each reading
// gives is compared with the true one, against the expanded uncertainty the statement gives
// for the difference read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "../tiles/set_readings.h"
#include "core/colour/spread.h"
#include "core/colour/tristimulus.h"
#include "core/log/performance.h"
#include "core/tiles/set_fit.h"
#include "sim/instrument.h"

namespace qv {
namespace {

using sim::AngleSpectra;
constexpr double kNoise = 0.05;  // % reflectance, both instruments

// Readings as the simulator takes them: noise before the entry's factors, two decimals.
struct Reader {
    sim::Instrument instrument;
    std::mt19937 rng;
    // Through the instrument's own stream, placement scatter and all, rather than with noise
    // drawn here.
    bool ownStream = false;

    AngleSpectra read(const AngleSpectra& truth) {
        if (ownStream) {
            AngleSpectra v = instrument.takeReadingOf(truth);
            for (auto& angle : v)
                for (double& x : angle) x = std::round(x * 100.0) / 100.0;
            return v;
        }
        std::normal_distribution<double> unit(0.0, 1.0);
        AngleSpectra v = instrument.expectedReadingOf(truth);
        const auto factors = instrument.correctionFactors();
        for (int a = 0; a < kAngleCount; ++a)
            for (int j = 0; j < kSpectrumPoints; ++j) {
                const double f = factors ? (*factors)[a][j] : 1.0;
                v[a][j] =
                    std::round((v[a][j] + instrument.config().noise * unit(rng) * f) * 100.0) /
                    100.0;
            }
        return v;
    }
};

ThreeAngles asThree(const AngleSpectra& s) {
    ThreeAngles t;
    for (int a = 0; a < kAngleCount; ++a) t[a].assign(s[a].begin(), s[a].end());
    return t;
}

std::array<LabTriple, kAngleCount> labs(const AngleSpectra& s) {
    std::array<LabTriple, kAngleCount> out{};
    for (int a = 0; a < kAngleCount; ++a) {
        const Lab l = spectrumToLab(s[a]);
        out[a] = {l.L, l.a, l.b};
    }
    return out;
}

double dE(const LabTriple& x, const LabTriple& y) {
    return deltaE76({x[0], x[1], x[2]}, {y[0], y[1], y[2]});
}

const std::vector<std::string> kTiles = {"white", "lightgrey", "midgrey", "darkgrey", "black",
                                         "red",   "yellow",    "green",   "blue"};

// Each setup its own instrument: gains whose factors round off by a few tenths of a per cent,
// an offset and a wavelength shift no factor removes, of sizes and signs drawn for it.
sim::InstrumentConfig underCorrection(std::uint32_t seed) {
    sim::InstrumentConfig c;
    c.idText = "L70S-000501";
    c.noise = kNoise;
    c.seed = seed;
    std::mt19937 rng(500 + seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double sign = u(rng) < 0.5 ? -1.0 : 1.0;
    c.gain = {1.0345 - 0.02 * u(rng), 1.0245 + 0.01 * u(rng), 1.0145 - 0.03 * u(rng)};
    c.offset.fill(0.01 + 0.03 * u(rng));
    c.shiftNm = sign * (0.05 + 0.1 * u(rng));
    return c;
}

sim::InstrumentConfig unmodelled(std::uint32_t seed) {
    return test::withUnmodelledErrors(underCorrection(seed));
}

enum class Colours { OfTheSet, Elsewhere };
enum class Direction { Any, LightnessOnly, ChromaOnly, None };

// The factors fitted over the set, rounded as an entry keeps them, written into an entry.
void correct(Reader& t, Reader& r) {
    std::vector<TileSpectra> tiles;
    for (const std::string& name : kTiles) {
        const AngleSpectra truth = *sim::specimenSpectra(name);
        tiles.push_back({asThree(r.read(truth)), asThree(t.read(truth))});
    }
    test::writeFactors(t.instrument, fitFactors(tiles));
}

// What the logbook would hold: the extended check and the set read again after correction.
std::vector<CheckRecord> onRecord(Reader& t, Reader& r) {
    CheckRecord ext = emptyRecord(RecordKind::ExtendedRepeatability, {2026, 12, 1, 9, 0, 0});
    ext.id = 2, ext.readings = 20, ext.formula = "dE*ab", ext.serial = "L70S-000501";
    const AngleSpectra grey = *sim::specimenSpectra("midgrey");
    std::array<std::vector<LabTriple>, kAngleCount> readings;
    for (int i = 0; i < ext.readings; ++i) {
        const auto l = labs(t.read(grey));
        for (int a = 0; a < kAngleCount; ++a) readings[a].push_back(l[a]);
    }
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread s = spreadOf(readings[a], DeltaEFormula::Cie76);
        ext.angles[a] = {s.mean, s.mcdm, NAN, s.sd, s.largest, s.rms};
    }
    CheckRecord set = emptyRecord(RecordKind::TileSet, {2026, 12, 2, 9, 0, 0});
    set.id = 3, set.formula = "dE*ab", set.readings = static_cast<int>(kTiles.size());
    const double n = static_cast<double>(kTiles.size());
    for (AngleRecord& a : set.angles) a.deltaE = a.rms = 0.0;
    DiagnosisRecord& diagnosis = set.diagnosis.emplace();
    for (const std::string& name : kTiles) {
        const AngleSpectra truth = *sim::specimenSpectra(name);
        const auto lt = labs(t.read(truth)), lr = labs(r.read(truth));
        for (int a = 0; a < kAngleCount; ++a) {
            const double d = dE(lt[a], lr[a]);
            set.angles[a].deltaE += d / n;
            set.angles[a].rms += d * d / n;
            diagnosis[a].tiles.push_back(
                {lr[a], {lt[a][0] - lr[a][0], lt[a][1] - lr[a][1], lt[a][2] - lr[a][2]}, {}});
        }
    }
    for (AngleRecord& a : set.angles) {
        a.rms = std::sqrt(a.rms);
        a.beforeDeltaE = 1.0;  // read again after the correction
    }
    return {set, ext};
}

AngleSpectra mixed(const char* x, const char* y) {
    AngleSpectra out = *sim::specimenSpectra(x);
    const AngleSpectra other = *sim::specimenSpectra(y);
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) out[a][j] = 0.5 * (out[a][j] + other[a][j]);
    return out;
}

// A standard: one of the set's colours, or one the set does not hold (orange, violet, mixtures
// of two tiles), made lighter or darker: 0.8 to 1.25 times as light, spread evenly about the
// colour in ratio so that the products are neither darker nor lighter than the tiles on
// average (errors no model describes, a cubic in the reflectance, shrink with it).
AngleSpectra standardOf(std::mt19937& rng, Colours colours) {
    std::uniform_int_distribution<std::size_t> pick(0, kTiles.size() - 1);
    std::uniform_int_distribution<int> other(0, 3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    AngleSpectra standard;
    if (colours == Colours::OfTheSet) {
        standard = *sim::specimenSpectra(kTiles[pick(rng)]);
    } else {
        const int k = other(rng);
        standard = k == 0   ? *sim::specimenSpectra("orange")
                   : k == 1 ? *sim::specimenSpectra("violet")
                   : k == 2 ? mixed("red", "blue")
                            : mixed("yellow", "green");
    }
    const double scale = std::exp(std::log(0.8) + (std::log(1.25) - std::log(0.8)) * u(rng));
    for (auto& angle : standard)
        for (double& v : angle) v = std::clamp(v * scale, 2.0, 95.0);
    return standard;
}

// Where the product lies from its standard at the angle, 1 to 3 dE*ab away.
LabTriple differenceOf(std::mt19937& rng, Direction direction, const LabTriple& standard) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::normal_distribution<double> unit(0.0, 1.0);
    const double size = direction == Direction::None ? 0.0 : 1.0 + 2.0 * u(rng);
    const double sign = u(rng) < 0.5 ? -1.0 : 1.0;
    LabTriple d{unit(rng), unit(rng), unit(rng)};
    if (direction == Direction::LightnessOnly) d = {1.0, 0.0, 0.0};
    if (direction == Direction::ChromaOnly) {
        const bool grey = std::hypot(standard[1], standard[2]) < 1.0;
        d = grey ? LabTriple{0.0, unit(rng), unit(rng)} : LabTriple{0.0, standard[1], standard[2]};
    }
    const double length = std::hypot(d[0], d[1], d[2]);
    for (double& v : d) v *= sign * size / length;
    return d;
}

// The product: the standard with three broad bumps mixed so that its colour at the angle moves
// by `d`.
AngleSpectra productOf(const AngleSpectra& standard, const LabTriple& d, int at) {
    std::array<sim::Spectrum31, 3> bumps{};
    const std::array<double, 3> centres = {450.0, 540.0, 620.0};
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const double x = (kStartNm + kStepNm * j - centres[k]) / 45.0;
            bumps[k][j] = std::exp(-0.5 * x * x);
        }
    // How L*, a*, b* at the angle move with each bump (by 1 % reflectance).
    const LabTriple base = labs(standard)[at];
    double m[3][3];
    for (int k = 0; k < 3; ++k) {
        AngleSpectra moved = standard;
        for (int j = 0; j < kSpectrumPoints; ++j) moved[at][j] += bumps[k][j];
        const LabTriple l = labs(moved)[at];
        for (int c = 0; c < 3; ++c) m[c][k] = l[c] - base[c];
    }
    // Cramer's rule for the bumps' weights.
    const auto det = [](double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double whole = det(m);
    std::array<double, 3> w{};
    for (int k = 0; k < 3; ++k) {
        double mk[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) mk[r][c] = c == k ? d[r] : m[r][c];
        w[k] = det(mk) / whole;
    }
    AngleSpectra product = standard;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            for (int k = 0; k < 3; ++k) product[a][j] += w[k] * bumps[k][j];
    for (auto& angle : product)
        for (double& v : angle) v = std::clamp(v, 0.5, 99.5);
    return product;
}

struct Row {
    const char* name;
    bool unmodelledErrors;
    Colours colours;
    Direction direction;
    bool overCovers = false;  // known to cover more than 97 % (see below)
};

struct Coverage {
    std::array<double, kAngleCount> share{};  // % of product checks the statement covers
    double all = 0.0;
};

// Thirty pairs of instruments, each corrected and put on record as the program would, then a
// hundred products per angle; `dut` gives the instrument under correction of each pair.
Coverage coverageOver(const Row& row) {
    constexpr int kSetups = 30, kPairs = 100;
    const bool ownStream = row.unmodelledErrors;
    const auto dut = row.unmodelledErrors ? unmodelled : underCorrection;
    std::array<int, kAngleCount> covered{};
    std::array<double, kAngleCount> squares{}, stated{};
    for (int setup = 0; setup < kSetups; ++setup) {
        sim::InstrumentConfig rc;
        rc.idText = "L70S-100001";
        rc.noise = kNoise;
        rc.seed = static_cast<std::uint32_t>(1000 + setup);
        Reader ref{sim::Instrument(rc), std::mt19937(1000 + setup), ownStream};
        Reader t{sim::Instrument(dut(static_cast<std::uint32_t>(setup))),
                 std::mt19937(2000 + setup), ownStream};
        correct(t, ref);
        PerformanceSettings settings;
        // The reference's certificate: its own repeatability, expanded, as its maker states it.
        const auto refRecords = onRecord(ref, ref);
        for (int a = 0; a < kAngleCount; ++a) {
            settings.referenceNoise[a] = directionalSd(refRecords[1].angles[a].deltaE, 20);
            settings.referenceExpanded[a] = kCoverageFactor * *settings.referenceNoise[a];
        }
        const auto s = performanceStatement(onRecord(t, ref), settings, DeltaEFormula::Cie76,
                                            {2026, 12, 8, 12, 0, 0});
        std::mt19937 rng(3000 + setup);
        std::array<int, kAngleCount> here{};
        for (int p = 0; p < kPairs; ++p)
            for (int a = 0; a < kAngleCount; ++a) {
                const AngleSpectra standard = standardOf(rng, row.colours);
                const auto truthS = labs(standard);
                const AngleSpectra product =
                    productOf(standard, differenceOf(rng, row.direction, truthS[a]), a);
                const auto truthP = labs(product);
                const auto valueS = labs(ref.read(standard)), readP = labs(t.read(product));
                const double read = dE(valueS[a], readP[a]);
                const double error = read - dE(truthS[a], truthP[a]);
                const LabTriple along = {readP[a][0] - valueS[a][0], readP[a][1] - valueS[a][1],
                                         readP[a][2] - valueS[a][2]};
                if (std::abs(error) <= expandedFor(s.angles[a], read, along, valueS[a])) ++here[a];
                squares[a] += error * error;
                stated[a] += s.angles[a].standard * s.angles[a].standard;
            }
        for (int a = 0; a < kAngleCount; ++a) covered[a] += here[a];
    }
    const int total = kSetups * kPairs;
    Coverage c;
    for (int a = 0; a < kAngleCount; ++a) {
        c.share[a] = 100.0 * covered[a] / total;
    }
    c.all = 100.0 * (covered[0] + covered[1] + covered[2]) / (3.0 * total);
    std::printf(
        "%-36s covered %.1f / %.1f / %.1f %%, all %.1f %% of %d; error %.3f, stated u "
        "%.3f (45 degrees)\n",
        row.name, c.share[0], c.share[1], c.share[2], c.all, 3 * total,
        std::sqrt(squares[1] / total), std::sqrt(stated[1] / total));
    return c;
}

// Each row over thirty instruments holds 93 to 97 % of its product checks, and no angle falls
// short of 95 % by more than chance and the few tiles allow (2.5 points). One row covers more
// than 97 % and is marked: other colours, any direction. Orange, violet and the mixtures are of
// middle lightness, while the reading noise is stated over the set's colours, its black tile's
// far larger noise included. Taking the noise at the product's own colour instead (exact to a
// few per cent against drawn noise) and the tiles' differences pooled left chroma-only
// differences covered 92 %: the tiles' differences are not alike, a wavelength error moves the
// chromatic ones, and the pool understates them there; each tile's own difference weighed by
// nearness overfits a single reading of each (86 to 100 %).
class PerformanceCoverage : public ::testing::TestWithParam<Row> {};

TEST_P(PerformanceCoverage, TheExpandedUncertaintyCoversNinetyFivePerCentOfProductChecks) {
    const Row& row = GetParam();
    const Coverage c = coverageOver(row);
    for (double share : c.share) EXPECT_GE(share, 92.5);
    EXPECT_GE(c.all, 93.0);
    if (!row.overCovers) {
        EXPECT_LE(c.all, 97.0);
        for (double share : c.share) EXPECT_LE(share, 97.0 + 1.5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PerformanceCoverage,
    ::testing::Values(
        Row{"set's colours, any direction", false, Colours::OfTheSet, Direction::Any},
        Row{"other colours, any direction", false, Colours::Elsewhere, Direction::Any, true},
        Row{"set's colours, lightness only", false, Colours::OfTheSet, Direction::LightnessOnly},
        Row{"set's colours, chroma only", false, Colours::OfTheSet, Direction::ChromaOnly},
        Row{"set's colours, no difference", false, Colours::OfTheSet, Direction::None},
        Row{"unmodelled: set's colours, any", true, Colours::OfTheSet, Direction::Any},
        Row{"unmodelled: other colours, any", true, Colours::Elsewhere, Direction::Any},
        Row{"unmodelled: chroma only", true, Colours::OfTheSet, Direction::ChromaOnly},
        Row{"unmodelled: no difference", true, Colours::OfTheSet, Direction::None}),
    [](const ::testing::TestParamInfo<Row>& row) { return std::to_string(row.index); });

}  // namespace
}  // namespace qv
