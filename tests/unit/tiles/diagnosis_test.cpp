// The diagnosis of a tile set: the least squares against a case worked by hand, the recovery
// of injected errors from simulated instruments over many trials (with honest standard
// errors), what a set without steep edges cannot tell, and the decision it leads to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    // 0.3 + R/100 + 0.125625. Nothing curves, so no bandwidth can be told.
    const AngleSpectrum flat20(kSpectrumPoints, 20.0), flat80(kSpectrumPoints, 80.0);
    const AngleSpectrum up = ramp(10.0, 0.25);
    AngleSpectrum upRead = up;
    for (double& v : upRead) v += 0.425625 + v / 100.0;
    const std::vector<TileSpectra> tiles = {
        sameAtEveryAngle(flat20, AngleSpectrum(kSpectrumPoints, 20.5)),
        sameAtEveryAngle(flat80, AngleSpectrum(kSpectrumPoints, 81.1)),
        sameAtEveryAngle(up, upRead)};
    const auto fit = fitTerms(tiles, 1);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->points, 93u);
    EXPECT_NEAR(fit->terms[kOffset].value, 0.3, 1e-9);
    EXPECT_NEAR(fit->terms[kGain].value, 1.0, 1e-9);
    EXPECT_NEAR(fit->terms[kShift].value, 0.5, 1e-9);
    EXPECT_NEAR(fit->terms[kLinearity].value, 0.0, 1e-9);
    EXPECT_TRUE(fit->terms[kOffset].identified);
    // An exact fit still carries the error the readings' resolution allows.
    EXPECT_GT(fit->terms[kOffset].standardError, 0.0);
    EXPECT_NEAR(fit->terms[kOffset].jackknifeError, 0.0, 1e-12);  // the tiles agree exactly
    // Only the ramp slopes: without it the shift cannot be estimated, so no other tile
    // confirms it and it is not identified, however exactly it fits.
    EXPECT_TRUE(std::isinf(fit->terms[kShift].jackknifeError));
    EXPECT_FALSE(fit->terms[kShift].identified);
    const std::vector<Term> unseen = unseenTerms(*fit);
    EXPECT_NE(std::find(unseen.begin(), unseen.end(), Term::Shift), unseen.end());
    EXPECT_FALSE(fit->terms[kBandwidth].identified);
    EXPECT_TRUE(std::isinf(fit->terms[kBandwidth].standardError));
    // From the reference alone the model predicts the ramp's difference back but for the
    // half of the gain the mean's slope carries (0.5 x 0.00125).
    TermEstimates all = fit->terms;
    all[kShift].identified = true;
    const AngleSpectrum d = modelDifference(all, up);
    EXPECT_NEAR(d[12], upRead[12] - up[12] - 0.000625, 1e-9);

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
            service += d->angles[1].recommendation == Recommendation::Service;
            gainKept += d->angles[1].fit.terms[kGain].identified;
        }
        std::printf(
            "a gain read through %.1f %% noise: %d sets diagnosed, the gain kept in %d, "
            "service in %d\n",
            noise, diagnosed, gainKept, service);
        EXPECT_GE(diagnosed, noise < 0.5 ? kTrials : kTrials / 10) << noise;
        EXPECT_LE(service, diagnosed / 25) << noise;
        EXPECT_GE(gainKept, diagnosed * 96 / 100) << noise;
    }
}

}  // namespace
}  // namespace qv
