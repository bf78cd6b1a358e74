// The diagnosis of a tile set: the least squares against a case worked by hand, the recovery
// of injected errors from simulated instruments over many trials (with honest standard
// errors), what a set without steep edges cannot tell, and the decision it leads to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <random>

#include "core/colour/colour_requests.h"
#include "core/tiles/diagnosis.h"
#include "set_readings.h"
#include "sim/instrument.h"

namespace qv {
namespace {

using test::meanOfThree;

constexpr std::size_t kOffset = 0, kGain = 1, kLinearity = 3, kShift = 4, kBandwidth = 6;

AngleSpectrum ramp(double at400, double perNm) {
    AngleSpectrum s(kSpectrumPoints);
    for (int j = 0; j < kSpectrumPoints; ++j) s[j] = at400 + perNm * kStepNm * j;
    return s;
}

TileSpectra sameAtEveryAngle(const AngleSpectrum& target, const AngleSpectrum& sample) {
    TileSpectra t;
    t.target.fill(target);
    t.sample.fill(sample);
    return t;
}

TEST(Diagnosis, TheLeastSquaresRecoverAHandWorkedCase) {
    // Offset 0.3 %, gain 1 %, shift 0.5 nm: T - R = 0.3 + R/100 + 0.5 M', M the mean of both
    // readings. On the flat tiles at 20 % and 80 % that is 0.5 and 1.1; on a ramp of 0.25 % per
    // nm from 10 %, read with a slope 1 % steeper, M' is 0.25125 and T - R is
    // 0.3 + R/100 + 0.125625; on one falling 0.2 % per nm from 80 %, 0.3 + R/100 - 0.1005.
    // Nothing curves, so no bandwidth can be told.
    const AngleSpectrum flat20(kSpectrumPoints, 20.0), flat80(kSpectrumPoints, 80.0);
    const AngleSpectrum up = ramp(10.0, 0.25), down = ramp(80.0, -0.2);
    AngleSpectrum upRead = up, downRead = down;
    for (double& v : upRead) v += 0.425625 + v / 100.0;
    for (double& v : downRead) v += 0.1995 + v / 100.0;
    std::vector<TileSpectra> tiles = {
        sameAtEveryAngle(flat20, AngleSpectrum(kSpectrumPoints, 20.5)),
        sameAtEveryAngle(flat80, AngleSpectrum(kSpectrumPoints, 81.1)),
        sameAtEveryAngle(up, upRead), sameAtEveryAngle(down, downRead)};
    const auto fit = fitTerms(tiles, 1);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->points, 124u);
    EXPECT_NEAR(fit->terms[kOffset].value, 0.3, 1e-9);
    EXPECT_NEAR(fit->terms[kGain].value, 1.0, 1e-9);
    EXPECT_NEAR(fit->terms[kShift].value, 0.5, 1e-9);
    EXPECT_NEAR(fit->terms[kLinearity].value, 0.0, 1e-9);
    EXPECT_TRUE(fit->terms[kOffset].identified);
    EXPECT_TRUE(fit->terms[kShift].identified);
    // An exact fit still carries the error the readings' resolution allows; each tile left out,
    // the others say exactly the same.
    EXPECT_GT(fit->terms[kOffset].standardError, 0.0);
    EXPECT_NEAR(fit->terms[kShift].jackknifeError, 0.0, 1e-9);
    EXPECT_FALSE(fit->terms[kBandwidth].identified);
    EXPECT_TRUE(std::isinf(fit->terms[kBandwidth].standardError));
    // From the reference alone the model predicts the ramp's difference back but for the
    // half of the gain the mean's slope carries (0.5 x 0.00125).
    const AngleSpectrum d = modelDifference(fit->terms, up);
    EXPECT_NEAR(d[12], upRead[12] - up[12] - 0.000625, 1e-9);

    // Without the falling ramp only one tile slopes: the others cannot estimate a shift, so no
    // tile confirms any term, however exactly the three fit.
    tiles.pop_back();
    const auto three = fitTerms(tiles, 1);
    ASSERT_TRUE(three);
    EXPECT_NEAR(three->terms[kShift].value, 0.5, 1e-9);
    for (const TermEstimate& e : three->terms) {
        EXPECT_TRUE(std::isinf(e.jackknifeError));
        EXPECT_FALSE(e.identified);
    }
    EXPECT_EQ(unseenTerms(*three).size(), kTermCount);

    // One flat tile cannot tell an offset from a gain: one of them is dropped, never both kept.
    const auto one = fitTerms({tiles[0]}, 0);
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->terms[kOffset].identified && one->terms[kGain].identified);
    EXPECT_FALSE(fitTerms({}, 0));
}

// The solid specimens of the simulator, without the metallic one.
const std::vector<std::string> kChromatic = {"white", "lightgrey", "midgrey", "darkgrey", "yellow",
                                             "green", "red",       "blue",    "orange",   "violet"};
const std::vector<std::string> kNeutral = {"white", "lightgrey", "midgrey", "darkgrey", "black"};

struct Injected {
    double offset = 0.0, gainPercent = 0.0, linearity = 0.0, shiftNm = 0.0, bandwidthNm2 = 0.0;
    double gainTilt = 0.0, scaleError = 0.0;
};

sim::InstrumentConfig instrumentWith(const Injected& e) {
    sim::InstrumentConfig c;
    c.offset.fill(e.offset);
    c.gain.fill(1.0 + e.gainPercent / 100.0);
    c.linearity = e.linearity;
    // The simulator's shift is how far its scale reads long: the opposite of the model's.
    c.shiftNm = -e.shiftNm;
    c.bandwidthNm2 = e.bandwidthNm2;
    c.gainTilt = e.gainTilt;
    c.scaleError = -e.scaleError;
    return c;
}

std::vector<TileSpectra> readSet(const Injected& e, const std::vector<std::string>& specimens,
                                 std::mt19937& rng, double noise = 0.1) {
    std::vector<TileSpectra> tiles;
    for (const std::string& s : specimens)
        tiles.push_back(
            {meanOfThree({}, s, rng, noise), meanOfThree(instrumentWith(e), s, rng, noise)});
    return tiles;
}

Injected randomInstrument(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    return {0.5 * u(rng), u(rng), 0.02 * u(rng), u(rng)};
}

// The injected errors in the model's terms. The simulator bends the reading after gain and
// offset, v + L v (1 - v/100) with v = g R + o, which expands exactly into an offset
// (1 + L) o - L o^2/100, a gain (1 + L) g - L g^2 - 2 L g o/100 - 1 and a linearity L g^2.
std::array<double, 4> modelTerms(const Injected& e) {
    const double g = 1.0 + e.gainPercent / 100.0, o = e.offset, l = e.linearity;
    return {(1.0 + l) * o - l * o * o / 100.0,
            100.0 * ((1.0 + l) * g - l * g * g - 2.0 * l * g * o / 100.0 - 1.0), l * g * g,
            e.shiftNm};
}

double percentile95(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(0.95 * static_cast<double>(v.size() - 1))];
}

TEST(Diagnosis, RecoversInjectedErrorsWithHonestStandardErrors) {
    constexpr int kTrials = 1000;
    constexpr int k75 = 2;  // the tiles span about 3 % to 80 % at 75 degrees
    const std::array<std::size_t, 4> terms = {kOffset, kGain, kLinearity, kShift};
    const std::array<const char*, 4> names = {"offset %", "gain %", "linearity", "shift nm"};
    const std::array<double, 4> tolerance = {0.04, 0.1, 0.003, 0.1};
    std::array<std::vector<double>, 4> errors;
    std::array<int, 4> within{}, covered{};
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < kTrials; ++trial) {
        const Injected e = randomInstrument(rng);
        const auto fit = fitTerms(readSet(e, kChromatic, rng), k75);
        ASSERT_TRUE(fit);
        const std::array<double, 4> truth = modelTerms(e);
        for (std::size_t i = 0; i < terms.size(); ++i) {
            const TermEstimate& t = fit->terms[terms[i]];
            const double error = std::abs(t.identified ? t.value - truth[i] : truth[i]);
            errors[i].push_back(error);
            within[i] += t.identified && error <= tolerance[i];
            covered[i] += t.identified && error <= 2.0 * t.standardError;
        }
    }
    for (std::size_t i = 0; i < terms.size(); ++i) {
        std::printf(
            "%-10s 95th percentile error %.4f, within tolerance %d/%d, within two "
            "standard errors %d/%d\n",
            names[i], percentile95(errors[i]), within[i], kTrials, covered[i], kTrials);
        EXPECT_GE(within[i], 950) << names[i];
        // The larger of two errors: a little wide where the readings' noise is all there is
        // (a jackknife over ten tiles scatters), never narrow.
        EXPECT_GE(covered[i], 940) << names[i];
        EXPECT_LE(covered[i], 990) << names[i];
    }
}

TEST(Diagnosis, RecoversAGainTiltAndAScaleError) {
    constexpr int kTrials = 200;
    constexpr std::size_t kTilt = 2, kScale = 5;
    std::mt19937 rng(53);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> tiltErrors, scaleErrors;
    int tiltCovered = 0, scaleCovered = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        Injected e = randomInstrument(rng);
        e.linearity = 0.0;  // its expansion mixes with the tilt's gain
        e.gainTilt = 0.005 * u(rng);
        e.scaleError = 0.003 * u(rng);
        const auto fit = fitTerms(readSet(e, kChromatic, rng), 1);
        ASSERT_TRUE(fit);
        const TermEstimate& tilt = fit->terms[kTilt];
        const TermEstimate& scale = fit->terms[kScale];
        ASSERT_TRUE(tilt.identified && scale.identified);
        // The simulator tilts the gain around its own: (1 + g)(1 + t x) R.
        const double g = 1.0 + e.gainPercent / 100.0;
        tiltErrors.push_back(std::abs(tilt.value - g * e.gainTilt));
        scaleErrors.push_back(std::abs(scale.value - e.scaleError));
        tiltCovered += tiltErrors.back() <= 2.0 * tilt.standardError;
        scaleCovered += scaleErrors.back() <= 2.0 * scale.standardError;
    }
    std::printf("gain tilt %%/nm: 95th percentile error %.5f, within two standard errors %d/%d\n",
                percentile95(tiltErrors), tiltCovered, kTrials);
    std::printf(
        "scale error nm/nm: 95th percentile error %.5f, within two standard errors "
        "%d/%d\n",
        percentile95(scaleErrors), scaleCovered, kTrials);
    // A quarter and a half of their identification limits; 0.001 nm/nm is 0.15 nm at the ends.
    EXPECT_LT(percentile95(tiltErrors), 0.0005);
    EXPECT_LT(percentile95(scaleErrors), 0.001);
    EXPECT_GE(tiltCovered, 180);
    EXPECT_GE(scaleCovered, 180);
}

TEST(Diagnosis, RecoversAWiderBandpassBesideAShift) {
    constexpr int kTrials = 1000;
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> errors, signedErrors;
    int identified = 0, covered = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const Injected e{0.0, 0.0, 0.0, 2.0 * u(rng) - 1.0, 3.0 * u(rng)};
        const auto fit = fitTerms(readSet(e, kChromatic, rng), 1);
        ASSERT_TRUE(fit);
        const TermEstimate& b = fit->terms[kBandwidth];
        if (!b.identified) continue;
        ++identified;
        signedErrors.push_back(b.value - e.bandwidthNm2);
        errors.push_back(std::abs(signedErrors.back()));
        covered += errors.back() <= 2.0 * b.standardError;
    }
    double bias = 0.0, spread = 0.0;
    for (double v : signedErrors) bias += v / static_cast<double>(identified);
    for (double v : signedErrors) spread += (v - bias) * (v - bias) / (identified - 1.0);
    const double biasError = std::sqrt(spread / identified);
    std::printf(
        "bandwidth nm2: identified %d/%d, 95th percentile error %.3f, mean signed error %.3f "
        "+- %.3f, within two standard errors %d\n",
        identified, kTrials, percentile95(errors), bias, biasError, covered);
    EXPECT_GE(identified, 950);
    EXPECT_LT(percentile95(errors), 1.0);
    // The reference's noise in its own curvature once read as a wider bandpass (+0.46 nm2).
    EXPECT_LT(std::abs(bias), 3.0 * biasError);
    EXPECT_GE(covered, 0.93 * identified);
    EXPECT_LE(covered, 0.97 * identified);
}

TEST(Diagnosis, NeutralTilesCannotTellAShift) {
    constexpr int kTrials = 200;
    std::mt19937 rng(7);
    int notIdentified = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const auto fit = fitTerms(readSet(randomInstrument(rng), kNeutral, rng), 1);
        ASSERT_TRUE(fit);
        notIdentified += !fit->terms[kShift].identified;
    }
    std::printf("shift not identified on neutral tiles in %d of %d trials\n", notIdentified,
                kTrials);
    EXPECT_GE(notIdentified, 190);
}

std::optional<Diagnosis> diagnoseSet(const Injected& e, std::mt19937& rng, double noise) {
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    return diagnose(*engine, readSet(e, kChromatic, rng, noise), SetLimits{}).diagnosis;
}

TEST(Diagnosis, AShiftCallsForServiceAndAGainForFactors) {
    constexpr int kTrials = 20;
    std::mt19937 rng(11);
    for (int trial = 0; trial < kTrials; ++trial) {
        const auto shifted = diagnoseSet({0.0, 0.0, 0.0, 1.0}, rng, 0.1);
        ASSERT_TRUE(shifted);
        EXPECT_NE(shifted->overall, Recommendation::WriteFactors);
        const AngleDiagnosis& at45 = shifted->angles[1];
        EXPECT_EQ(at45.recommendation, Recommendation::Service) << at45.reason;
        EXPECT_NE(at45.reason.find("wavelength calibration"), std::string::npos) << at45.reason;
        EXPECT_LT(at45.meanAfterModel, at45.meanAfterFactors);
        // Each tile predicted from the others: the errors removed hold, factors do not.
        EXPECT_LT(at45.leaveOneOutModel, 0.5 * at45.leaveOneOutFactors);
        EXPECT_LT(at45.leaveOneOutModel, 1.5 * at45.meanAfterModel + 0.05);

        const auto gained = diagnoseSet({0.0, 2.0, 0.0, 0.0}, rng, 0.1);
        ASSERT_TRUE(gained);
        EXPECT_EQ(gained->overall, Recommendation::WriteFactors) << gained->angles[1].reason;
        EXPECT_GT(gained->angles[1].meanBefore, SetLimits{}.meanThreshold);
        EXPECT_LT(gained->angles[1].leaveOneOutFactors, SetLimits{}.meanThreshold);
        EXPECT_LT(gained->angles[1].leaveOneOutModel, SetLimits{}.meanThreshold);

        // Two equal instruments that repeat well pass; with 0.1 % noise the dark tiles at 75
        // degrees alone already fail the largest-difference limit.
        const auto same = diagnoseSet({}, rng, 0.02);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->overall, Recommendation::NoCorrectionNeeded) << same->angles[2].reason;
    }
}

TEST(Diagnosis, ErrorsFactorsCannotRemoveAreNamed) {
    struct Row {
        Injected error;
        double noise;
        Recommendation expected;
        const char* named;
    };
    const Row rows[] = {
        {{0.6, 0.0, 0.0, 0.0}, 0.02, Recommendation::Service, "zero calibration: 0.60 % added"},
        {{-0.6, 0.0, 0.0, 0.0}, 0.02, Recommendation::Service, "missing from every reading"},
        {{0.0, 0.0, 0.04, 0.0}, 0.02, Recommendation::Service, "photometric linearity"},
        {{0.0, 0.0, 0.0, 0.8}, 0.02, Recommendation::Service, "reads 0.8 nm short"},
        {{0.0, 0.0, 0.0, -0.8}, 0.02, Recommendation::Service, "reads 0.8 nm long"},
        {{0.0, 1.5, 0.0, 0.0}, 0.02, Recommendation::WriteFactors, "within its limits"},
        {{0.0, 0.5, 0.0, 0.0}, 0.02, Recommendation::NoCorrectionNeeded, "passes"},
        // Instruments that repeat to 0.5 %: factors take the gain away, the scatter stays.
        {{0.0, 2.0, 0.0, 0.0}, 0.5, Recommendation::FactorsPartly, "not within the set's limits"},
    };
    std::mt19937 rng(5);
    for (const Row& r : rows) {
        const auto d = diagnoseSet(r.error, rng, r.noise);
        ASSERT_TRUE(d);
        const AngleDiagnosis& at45 = d->angles[1];
        EXPECT_EQ(at45.recommendation, r.expected) << at45.reason;
        EXPECT_NE(at45.reason.find(r.named), std::string::npos) << at45.reason;
    }
}

TEST(Diagnosis, ANoisySetIsNotBlamedOnAnErrorByChance) {
    // A gain read through 0.3 % scatter: factors bring some sets within the limits, not others;
    // an offset or shift fitted to the scatter is no cause for service. Through 0.8 % the gain
    // itself is coarser than its limit and must not pass to the terms that resemble it; there
    // the darkest readings of most sets differ by more than the ratio the inter-instrument
    // check allows, and those are refused, not diagnosed.
    constexpr int kTrials = 100;
    std::mt19937 rng(99);
    for (double noise : {0.3, 0.8}) {
        int service = 0, gainKept = 0, diagnosed = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            const auto d = diagnoseSet({0.0, 2.0, 0.0, 0.0}, rng, noise);
            if (!d) continue;
            ++diagnosed;
            // Service for a difference nothing explains blames no error.
            const AngleDiagnosis& at45 = d->angles[1];
            service += at45.recommendation == Recommendation::Service &&
                       at45.reason.rfind("a difference", 0) != 0;
            gainKept += d->angles[1].fit.terms[kGain].identified;
        }
        std::printf(
            "a gain read through %.1f %% noise: %d sets diagnosed, the gain kept in %d, "
            "service in %d\n",
            noise, diagnosed, gainKept, service);
        EXPECT_GE(diagnosed, noise < 0.5 ? kTrials : kTrials / 10) << noise;
        EXPECT_LE(service, diagnosed / 25) << noise;
        // Ten tiles' jackknife is itself uncertain: the gain must lie further out to count.
        EXPECT_GE(gainKept, diagnosed * (noise < 0.5 ? 96 : 85) / 100) << noise;
    }
}

// How a set is read. Tiles scatter as wholes, as placement does: per tile a gain (sd in %) and
// an offset (sd in % reflectance) drawn once and laid on the instrument under correction's
// reading. Unmodelled: that instrument also has errors the diagnosis has no term for (a skewed
// bandpass, a rippling gain, an S-shaped photometric error, each reading placed anew) and is
// read through its own measurement stream.
struct Reading {
    double gainSd = 0.25;
    double offsetSd = 0.1;
    double noise = 0.1;  // of each of the three readings a tile's mean is made of
    bool unmodelled = false;
};

const char* kind(const Reading& r) {
    return r.unmodelled ? "unmodelled errors" : "modelled errors";
}

std::vector<TileSpectra> readScattered(sim::InstrumentConfig dut,
                                       const std::vector<std::string>& specimens, std::mt19937& rng,
                                       const Reading& r = {}) {
    std::optional<sim::Instrument> own;
    if (r.unmodelled) {
        dut = test::withUnmodelledErrors(dut);
        dut.noise = r.noise;
        dut.seed = static_cast<std::uint32_t>(rng());
        own.emplace(dut);
    }
    std::normal_distribution<double> gain(0.0, r.gainSd), offset(0.0, r.offsetSd);
    std::vector<TileSpectra> tiles;
    for (const std::string& s : specimens) {
        TileSpectra t{meanOfThree({}, s, rng, r.noise),
                      own ? meanOfThree(*own, s) : meanOfThree(dut, s, rng, r.noise)};
        const double g = 1.0 + gain(rng) / 100.0, o = offset(rng);
        for (AngleSpectrum& a : t.sample)
            for (double& v : a) v = g * v + o;
        tiles.push_back(std::move(t));
    }
    return tiles;
}

// The same without tile scatter.
Reading placedAlike(bool unmodelled, double noise = 0.1) {
    return {0.0, 0.0, noise, unmodelled};
}

DiagnosisResult diagnoseTiles(const std::vector<TileSpectra>& tiles,
                              const std::vector<std::string>& names = {}) {
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    return diagnose(*engine, tiles, SetLimits{}, names);
}

bool names(const AngleDiagnosis& a, const std::string& text) {
    return a.reason.find(text) != std::string::npos;
}

// The recommendations over many sets, as "service 1, factors-partly 87, ...".
struct Tally {
    std::map<Recommendation, int> counts;
    void add(Recommendation r) { ++counts[r]; }
    int operator[](Recommendation r) const {
        const auto it = counts.find(r);
        return it == counts.end() ? 0 : it->second;
    }
    std::string text() const {
        std::string out;
        for (const auto& [r, n] : counts)
            out += (out.empty() ? "" : ", ") + std::string(recommendationKey(r)) + " " +
                   std::to_string(n);
        return out;
    }
};

TEST(Diagnosis, AGainReadThroughTileScatterIsNeverSentToService) {
    // Factors that help only on the tiles they were fitted on are no reason for service
    // either; a heavy offset scatter (0.25 % on a 3 % tile) is tried beside the usual one. The
    // unmodelled instrument's skewed bandpass centres 0.67 nm long, a wavelength error indeed.
    constexpr int kTrials = 100;
    std::mt19937 rng(2026);
    std::uniform_real_distribution<double> percent(0.5, 2.0);
    for (const Reading reading :
         {Reading{0.25, 0.1}, Reading{0.25, 0.25}, Reading{0.25, 0.1, 0.1, true}}) {
        Tally tally;
        int shift = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            sim::InstrumentConfig dut;
            dut.gain.fill(1.0 + percent(rng) / 100.0);
            const auto d = diagnoseTiles(readScattered(dut, kChromatic, rng, reading)).diagnosis;
            ASSERT_TRUE(d);
            tally.add(d->overall);
            shift += d->overall == Recommendation::Service &&
                     std::any_of(d->angles.begin(), d->angles.end(),
                                 [](const AngleDiagnosis& a) { return names(a, "band centres"); });
        }
        std::printf(
            "a gain through tile scatter %.2f %% / %.2f %%, %s: %s (of %d), service "
            "naming a wavelength shift %d\n",
            reading.gainSd, reading.offsetSd, kind(reading), tally.text().c_str(), kTrials, shift);
        if (!reading.unmodelled) {
            EXPECT_LE(tally[Recommendation::Service], 2);
        }
    }
}

TEST(Diagnosis, AShiftOnAFullSetIsSentToServiceByName) {
    // The unmodelled instrument's skewed bandpass (4 nm below, 6 nm above) has its centre
    // 0.67 nm long already: there the scale is shifted so that the two add up (1.67 nm).
    constexpr int kTrials = 100;
    std::mt19937 rng(1955);
    for (const bool unmodelled : {false, true}) {
        const Reading reading{0.25, 0.1, 0.1, unmodelled};
        Tally tally;
        int named = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            sim::InstrumentConfig dut;
            dut.shiftNm = trial % 2 && !unmodelled ? 1.0 : -1.0;
            const auto d = diagnoseTiles(readScattered(dut, kChromatic, rng, reading)).diagnosis;
            ASSERT_TRUE(d);
            tally.add(d->overall);
            bool each = d->overall == Recommendation::Service;
            for (const AngleDiagnosis& a : d->angles)
                if (a.recommendation == Recommendation::Service)
                    each = each && (names(a, "band centres lie") ||
                                    names(a, "a wavelength shift or a wavelength scale error"));
            named += each;
        }
        std::printf(
            "a 1 nm shift on a full set through tile scatter, %s: %s; every service angle "
            "naming the shift in %d (of %d)\n",
            kind(reading), tally.text().c_str(), named, kTrials);
        EXPECT_GE(named, unmodelled ? 90 : 95);
    }
}

TEST(Diagnosis, TwoTilesNeverBlameAScaleErrorOrABandwidthAlone) {
    // White and red, shifted 1 nm: the stepwise fit once reported 0.019 nm/nm of scale error
    // and 5.8 nm2 of bandwidth, each with an error forty times too small.
    constexpr int kTrials = 50;
    std::mt19937 rng(17);
    for (const bool unmodelled : {false, true}) {
        int wrong = 0, service = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            sim::InstrumentConfig dut;
            dut.shiftNm = 1.0;
            const Reading reading{0.25, 0.1, 0.1, unmodelled};
            const auto d =
                diagnoseTiles(readScattered(dut, {"white", "red"}, rng, reading)).diagnosis;
            ASSERT_TRUE(d);
            for (const AngleDiagnosis& a : d->angles) {
                wrong += names(a, "wavelength scale:") || names(a, "bandwidth:") ||
                         a.recommendation == Recommendation::WriteFactors;
                service += a.recommendation == Recommendation::Service;
            }
        }
        std::printf(
            "white and red shifted 1 nm, %s: a scale error or bandwidth named alone at "
            "%d, service at %d of %d angles\n",
            unmodelled ? "unmodelled errors" : "modelled errors", wrong, service, 3 * kTrials);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Diagnosis, NeutralTilesSayTheyCannotShowAWavelengthError) {
    // Silver's slope lets a shift and a scale error show together at times, never apart.
    const std::vector<std::string> six = {"white",    "lightgrey", "midgrey",
                                          "darkgrey", "black",     "silver"};
    constexpr int kTrials = 20;
    std::mt19937 rng(6);
    for (const bool unmodelled : {false, true}) {
        int wavelength = 0, said = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            sim::InstrumentConfig dut;
            dut.shiftNm = 1.5;
            const auto d = diagnoseTiles(readScattered(dut, six, rng, placedAlike(unmodelled)));
            ASSERT_TRUE(d.diagnosis) << d.refusal;
            for (const AngleDiagnosis& a : d.diagnosis->angles) {
                const std::vector<Term> unseen = unseenTerms(a.fit);
                const bool shiftUnseen =
                    std::find(unseen.begin(), unseen.end(), Term::Shift) != unseen.end();
                EXPECT_TRUE(shiftUnseen || groupOf(a.fit, Term::Shift)) << a.reason;
                EXPECT_FALSE(names(a, "band centres lie")) << a.reason;
                EXPECT_NE(a.recommendation, Recommendation::WriteFactors) << a.reason;
                said += names(a, "this set cannot show ") && names(a, "red, yellow and blue tiles");
                wavelength +=
                    names(a, "this set cannot show ") && names(a, "wavelength errors: add");
            }
        }
        std::printf(
            "six neutral tiles shifted 1.5 nm, %s: what they cannot show said at %d of "
            "%d angles, all wavelength errors at %d\n",
            unmodelled ? "unmodelled errors" : "modelled errors", said, 3 * kTrials, wavelength);
        EXPECT_EQ(said, 3 * kTrials);
        EXPECT_GE(wavelength, 3 * kTrials * 9 / 10);
    }
}

TEST(Diagnosis, OneTileReadHighIsToBeReadAgainByName) {
    // Equal instruments that repeat well (with 0.1 % noise the darkest tiles at 75 degrees fail
    // alone); each tile light enough that 3.5 % of it fails the largest limit. Unmodelled: the
    // simulator's dirty specimen on an instrument with errors the diagnosis lacks.
    const std::vector<std::string> light = {"white", "lightgrey", "midgrey", "yellow",
                                            "green", "red",       "orange",  "violet"};
    constexpr int kRounds = 5;
    std::mt19937 rng(35);
    for (const bool unmodelled : {false, true}) {
        int remeasured = 0, trials = 0;
        Tally tally;
        for (int round = 0; round < kRounds; ++round) {
            for (const std::string& tile : light) {
                sim::InstrumentConfig dut;
                dut.dirtySpecimen = tile;
                dut.dirtyFactor = 1.035;
                const auto at = static_cast<std::size_t>(
                    std::find(kChromatic.begin(), kChromatic.end(), tile) - kChromatic.begin());
                const auto d = diagnoseTiles(readScattered(dut, kChromatic, rng,
                                                           placedAlike(unmodelled, 0.02)),
                                             kChromatic)
                                   .diagnosis;
                ASSERT_TRUE(d);
                ++trials;
                tally.add(d->overall);
                bool named = d->overall == Recommendation::Remeasure;
                for (const AngleDiagnosis& a : d->angles)
                    named = named && a.suspectTiles == std::vector<std::size_t>{at} &&
                            names(a, "read tile " + std::to_string(at + 1) + " '" + tile + "'");
                remeasured += named;
                EXPECT_TRUE(named || unmodelled) << tile << ": " << d->angles[1].reason;
            }
        }
        std::printf(
            "one tile read 3.5 %% high, %s: %s; to be read again, by name, at every "
            "angle in %d of %d sets\n",
            unmodelled ? "unmodelled errors" : "modelled errors", tally.text().c_str(), remeasured,
            trials);
        // With errors the diagnosis lacks the other tiles fail too, and none stands out.
        EXPECT_GE(remeasured, unmodelled ? 0 : trials * 95 / 100);
        EXPECT_EQ(tally[Recommendation::WriteFactors], 0);
    }
}

TEST(Diagnosis, OneYellowTileShiftedNeverAsksForFactors) {
    constexpr int kTrials = 20;
    std::mt19937 rng(8);
    for (const bool unmodelled : {false, true}) {
        for (int trial = 0; trial < kTrials; ++trial) {
            sim::InstrumentConfig dut;
            dut.shiftNm = 1.0;
            const auto d =
                diagnoseTiles(readScattered(dut, {"yellow"}, rng, placedAlike(unmodelled)))
                    .diagnosis;
            ASSERT_TRUE(d);
            for (const AngleDiagnosis& a : d->angles) {
                EXPECT_NE(a.recommendation, Recommendation::WriteFactors) << a.reason;
                EXPECT_TRUE(names(a, "too small to show that factors help other colours"))
                    << a.reason;
            }
        }
    }
}

TEST(Diagnosis, AShiftSeenOnlyOnWarmTilesSaysTheirTemperatureMatters) {
    // Red, orange and yellow edges move with temperature; green, blue and violet confirm a shift
    // on their own. (Through tile scatter three warm edges alone do not find a 1 nm shift
    // beyond their jackknife: six degrees of freedom put the tail at 4.9 errors.)
    const std::vector<std::string> warm = {"white",  "lightgrey", "midgrey", "darkgrey",
                                           "yellow", "red",       "orange"};
    constexpr int kTrials = 10;
    std::mt19937 rng(12);
    int onWarm = 0, onFull = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        sim::InstrumentConfig dut;
        dut.shiftNm = 1.0;
        const auto w = diagnoseTiles(readScattered(dut, warm, rng, placedAlike(false))).diagnosis;
        const auto f =
            diagnoseTiles(readScattered(dut, kChromatic, rng, placedAlike(false))).diagnosis;
        ASSERT_TRUE(w && f);
        for (int a = 0; a < kAngleCount; ++a) {
            onWarm += w->angles[a].shiftOnWarmTilesOnly &&
                      names(w->angles[a], "let them reach room temperature");
            onFull += f->angles[a].shiftOnWarmTilesOnly;
        }
    }
    EXPECT_EQ(onWarm, 3 * kTrials);
    EXPECT_EQ(onFull, 0);
    // Equal instruments, the one under correction in a room 5 degrees warmer: the warm tiles'
    // edges move 0.4-0.5 nm, green's and violet's 0.15 nm: no wavelength error moves colours
    // so unevenly, and no service is called for it.
    Tally tally;
    int warned = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        sim::InstrumentConfig dut;
        dut.thermoNmPerC = 0.1;
        dut.roomC = 28.0;
        const auto d =
            diagnoseTiles(readScattered(dut, kChromatic, rng, placedAlike(false))).diagnosis;
        ASSERT_TRUE(d);
        tally.add(d->overall);
        for (const AngleDiagnosis& a : d->angles)
            warned += a.shiftOnWarmTilesOnly || a.recommendation == Recommendation::Remeasure;
        EXPECT_FALSE(names(d->angles[1], "band centres lie") && !d->angles[1].shiftOnWarmTilesOnly)
            << d->angles[1].reason;
    }
    std::printf(
        "a warm room under the instrument under correction: %s; temperature or a tile "
        "read again at %d of %d angles\n",
        tally.text().c_str(), warned, 3 * kTrials);
    EXPECT_EQ(tally[Recommendation::Service], 0);
}

TEST(Diagnosis, ImplausibleReadingsAreRefusedByTile) {
    std::mt19937 rng(3);
    const std::vector<TileSpectra> read = readScattered({}, kChromatic, rng, placedAlike(false));
    struct Row {
        std::size_t tile;
        bool sample;
        double value;
        bool times;  // the reading multiplied by `value`, not replaced
        const char* said;
    };
    const Row rows[] = {
        {3, true, -50.0, false,
         "tile 4 'darkgrey': the instrument under correction read -50.00 % at 450 nm, at 45 "
         "degrees, outside -1 to 200 %"},
        {0, false, 1e5, false, "tile 1 'white': the reference instrument read 100000.00 %"},
        {6, true, std::nan(""), false,
         "tile 7 'red': the instrument under correction read no number"},
        {9, true, std::numeric_limits<double>::infinity(), false, "read no number"},
        {2, true, 2.1, true, "a ratio the inter-instrument check refuses (outside 0.5 to 1.5)"},
    };
    for (const Row& r : rows) {
        std::vector<TileSpectra> tiles = read;
        double& v = (r.sample ? tiles[r.tile].sample : tiles[r.tile].target)[1][5];
        v = r.times ? v * r.value : r.value;
        const DiagnosisResult d = diagnoseTiles(tiles, kChromatic);
        EXPECT_FALSE(d.diagnosis) << r.said;
        ASSERT_EQ(d.refused.size(), 1u);
        EXPECT_EQ(d.refused[0].tile, r.tile);
        EXPECT_NE(d.refusal.find(r.said), std::string::npos) << d.refusal;
        EXPECT_EQ(d.refusal.find("nan"), std::string::npos) << d.refusal;
        EXPECT_EQ(d.refusal.find("inf"), std::string::npos) << d.refusal;
    }
    // Two tiles at fault: both named; a reading of -1 % itself still counts.
    std::vector<TileSpectra> tiles = read;
    tiles[1].sample[0][0] = -1.0;
    tiles[1].target[0][0] = -1.0;
    tiles[4].sample[2][30] = 250.0;
    tiles[8].target[0][3] = 201.0;
    const DiagnosisResult two = diagnoseTiles(tiles);
    ASSERT_EQ(two.refused.size(), 2u);
    EXPECT_NE(two.refusal.find("tile 5:"), std::string::npos) << two.refusal;
    EXPECT_NE(two.refusal.find("tile 9:"), std::string::npos) << two.refusal;
}

// A failing angle that nothing singles out: ten tiles, four with a steep edge, every term seen
// and nothing found, the factors held out helping a little, the model held out no better.
AngleDiagnosis failingAngle() {
    AngleDiagnosis d;
    d.angleDegrees = 45;
    for (TermEstimate& e : d.fit.terms) e = {0.0, 1e-4, true, 1e-4, 1e-4};
    d.fit.tiles = d.tileCount = 10;
    d.steepTiles = 4;
    d.meanBefore = 1.0;
    d.largestBefore = 2.0;
    d.leaveOneOutFactors = 0.8;
    d.leaveOneOutFactorsLargest = 1.5;
    d.leaveOneOutModel = 0.8;
    return d;
}

void found(AngleDiagnosis& d, Term t, double value, double error, double share) {
    d.fit.terms[static_cast<std::size_t>(t)] = {value, error, true, error, error};
    d.share[static_cast<std::size_t>(t)] = share;
}

// A 0.5 nm shift found ten errors out, explaining 60 %, predicting held-out tiles best.
void shifted(AngleDiagnosis& d) {
    found(d, Term::Shift, -0.5, 0.05, 0.6);
    d.leaveOneOutModel = 0.2;
    d.leaveOneOutWithout[static_cast<std::size_t>(Term::Shift)] = 0.7;
}

void inseparable(AngleDiagnosis& d, std::vector<Term> terms, bool significant, double share) {
    d.fit.inseparable.push_back({std::move(terms), significant});
    d.groupShare.push_back(share);
    d.leaveOneOutWithoutGroup.push_back(0.7);
}

TEST(Diagnosis, TheDecisionFollowsItsRulesOnHandMadeFigures) {
    using R = Recommendation;
    const auto shift = static_cast<std::size_t>(Term::Shift);
    struct Row {
        const char* what;
        std::function<void(AngleDiagnosis&)> change;
        Recommendation expected;
        const char* said;
    };
    const Row rows[] = {
        {"passes as read", [](auto& d) { d.meanBefore = 0.2, d.largestBefore = 0.5; },
         R::NoCorrectionNeeded, "the set passes at 45 degrees as read"},
        {"factors held out pass",
         [](auto& d) {
             d.leaveOneOutFactors = 0.2;
             d.leaveOneOutFactorsLargest = 0.5;
         },
         R::WriteFactors, "mean 0.20, largest 0.50"},
        {"factors pass only where fitted",
         [](auto& d) { d.meanAfterFactors = 0.1, d.largestAfterFactors = 0.2; }, R::FactorsPartly,
         "from 1.00 to 0.80, each tile corrected by the factors of the others"},
        {"two tiles",
         [](auto& d) {
             d.tileCount = 2, d.leaveOneOutFactors = 0.2, d.leaveOneOutFactorsLargest = 0.5;
         },
         R::FactorsPartly,
         "too small to show that factors help other colours at 45 degrees: 2 tiles"},
        {"one steep edge",
         [](auto& d) {
             d.steepTiles = 1, d.leaveOneOutFactors = 0.2, d.leaveOneOutFactorsLargest = 0.5;
         },
         R::FactorsPartly, "1 of them chromatic with a steep edge"},
        {"one tile, nothing held out",
         [](auto& d) {
             d.tileCount = 1;
             d.leaveOneOutFactors = d.leaveOneOutFactorsLargest = d.leaveOneOutModel = std::nan("");
         },
         R::FactorsPartly, "1 tile, 4 of them"},
        {"a tile alone", [](auto& d) { d.suspectTiles = {2}; }, R::Remeasure,
         "clean, place again and read tile 3 'red'"},
        {"a shift", shifted, R::Service,
         "band centres lie 0.5 nm shorter than nominal at 45 degrees (its scale reads 0.5 nm "
         "long); it explains 60 %"},
        {"a shift explaining too little", [](auto& d) { shifted(d), d.share[4] = 0.2; },
         R::FactorsPartly, "reduce"},
        {"a shift below its limit",
         [](auto& d) { shifted(d), found(d, Term::Shift, 0.08, 0.01, 0.6); }, R::FactorsPartly,
         "reduce"},
        {"a shift 2.5 errors out",
         [](auto& d) { shifted(d), found(d, Term::Shift, 0.5, 0.2, 0.6); }, R::FactorsPartly,
         "reduce"},
        {"a shift the factors predict as well",
         [](auto& d) { shifted(d), d.leaveOneOutModel = 0.8; }, R::FactorsPartly, "reduce"},
        {"a shift that predicts nothing held out",
         [shift](auto& d) { shifted(d), d.leaveOneOutWithout[shift] = 0.15; }, R::FactorsPartly,
         "reduce"},
        {"a shift and scale error together",
         [](auto& d) {
             shifted(d);
             inseparable(d, {Term::Shift, Term::ScaleError}, true, 0.7);
         },
         R::Service,
         "wavelength calibration: a wavelength shift or a wavelength scale error at 45 degrees, "
         "not separable with this set; together they explain 70 %"},
        {"a group factors may remove",
         [](auto& d) {
             shifted(d);
             inseparable(d, {Term::Gain, Term::Shift}, true, 0.7);
         },
         R::FactorsPartly, "a gain or a wavelength shift: not separable with this set"},
        {"a shift in a group not found together",
         [](auto& d) {
             shifted(d);
             inseparable(d, {Term::Shift, Term::ScaleError}, false, 0.7);
         },
         R::FactorsPartly, "reduce"},
        {"tiles scattering, nothing explained",
         [](auto& d) {
             d.leaveOneOutFactors = 1.1;
             d.fit.terms[0] = {0.1, 0.1, false, 0.01, 0.1};
         },
         R::Remeasure,
         "read the set again; if it fails the same way, the instrument needs service"},
        {"nothing explained", [](auto& d) { d.leaveOneOutFactors = 1.1; }, R::Service,
         "a difference at 45 degrees that neither factors"},
        {"a shift it cannot see",
         [shift](auto& d) {
             d.meanBefore = 0.2, d.largestBefore = 0.5;
             d.fit.terms[shift] = {0.0, std::numeric_limits<double>::infinity(), false,
                                   std::numeric_limits<double>::infinity(), 0.1};
         },
         R::NoCorrectionNeeded,
         "passes at 45 degrees as read; this set cannot show a wavelength "
         "shift: add red, yellow and blue tiles"},
        {"a shift on warm tiles", [](auto& d) { shifted(d), d.shiftOnWarmTilesOnly = true; },
         R::Service, "let them reach room temperature"},
        {"warm tiles shifted on their own",
         [](auto& d) {
             shifted(d), d.warmTiles = {-0.5, -0.15, true};
         },
         R::Remeasure,
         "read a wavelength shift of -0.50 nm, the other colours one of -0.15 nm at 45 degrees"},
        {"warm tiles shifted at another angle",
         [](auto& d) { shifted(d), d.warmTilesMovedAt = 25; }, R::Remeasure,
         "explains 60 % of the mean colour difference; but at 25 degrees the warm tiles"},
        {"nothing computed",
         [](auto& d) { d.meanBefore = d.largestBefore = d.leaveOneOutFactors = std::nan(""); },
         R::Service, "neither factors"},
    };
    for (const Row& r : rows) {
        AngleDiagnosis d = failingAngle();
        r.change(d);
        decide(d, SetLimits{}, {"white", "grey", "red"});
        EXPECT_EQ(d.recommendation, r.expected) << r.what << ": " << d.reason;
        EXPECT_TRUE(names(d, r.said)) << r.what << ": " << d.reason;
        EXPECT_FALSE(names(d, "nan") || names(d, "inf")) << r.what << ": " << d.reason;
    }
}

}  // namespace
}  // namespace qv
