// The instrument errors the simulator gives its readings, in process: the wavelength errors
// seen through the fine-grained specimen, the photometric ones after them, per angle, and the
// readings of an instrument without them as they always were; then the errors the program's
// diagnosis has no term for, each doing what its physics says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "sim/instrument.h"
#include "sim/instrument_config.h"

namespace qv::sim {
namespace {

AngleSpectra reading(InstrumentConfig c, const std::string& specimen) {
    c.specimen = specimen;
    return Instrument(c).expectedReading();
}

TEST(SimErrors, WithoutTheNewErrorsTheReadingsAreThoseOfBefore) {
    // Values the simulator gave before it knew scale, bandwidth and tilt (shift 0.3 nm).
    InstrumentConfig c;
    c.shiftNm = 0.3;
    EXPECT_EQ(reading(c, "white")[0][3], 0x1.689ece1fb78cp+6);
    EXPECT_EQ(reading(c, "red")[1][20], 0x1.28b33e769a925p+5);
    EXPECT_EQ(reading(c, "yellow")[2][27], 0x1.17fff79648b69p+6);
    EXPECT_EQ(reading(c, "blue")[1][20], 0x1.9a3c537cef26ap+1);
}

TEST(SimErrors, ABandpassReadsTheCurvatureOfASteepEdge) {
    // A Gaussian bandpass of variance 2B adds B R'' to first order.
    InstrumentConfig c;
    c.bandwidthNm2 = PerAngle(0.0);
    c.bandwidthNm2[1] = 2.0;
    const AngleSpectra wide = reading(c, "orange");
    const AngleSpectra plain = reading({}, "orange");
    const AngleSpectra up = *specimenSpectra("orange", 1.0);     // R(L - 1)
    const AngleSpectra down = *specimenSpectra("orange", -1.0);  // R(L + 1)
    double largest = 0.0;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const double curvature = up[1][j] - 2.0 * plain[1][j] + down[1][j];
        EXPECT_NEAR(wide[1][j] - plain[1][j], 2.0 * curvature, 0.01) << j;
        largest = std::max(largest, std::abs(wide[1][j] - plain[1][j]));
        EXPECT_EQ(wide[0][j], plain[0][j]);  // the other angles keep their bandpass
    }
    EXPECT_GT(largest, 0.1);
}

TEST(SimErrors, AScaleErrorGrowsAwayFrom550NmAndATiltTiltsTheGain) {
    InstrumentConfig c;
    c.scaleError = 0.004;
    const AngleSpectra scaled = reading(c, "violet");
    const AngleSpectra plain = reading({}, "violet");
    EXPECT_EQ(scaled[1][15], plain[1][15]);  // 550 nm
    EXPECT_DOUBLE_EQ(scaled[1][30], (*specimenSpectra("violet", 0.6))[1][30]);
    EXPECT_DOUBLE_EQ(scaled[1][0], (*specimenSpectra("violet", -0.6))[1][0]);

    InstrumentConfig t;
    t.gainTilt = 0.01;  // % per nm: 1.5 % high at 700 nm, 1.5 % low at 400 nm
    const AngleSpectra tilted = reading(t, "white");
    EXPECT_DOUBLE_EQ(tilted[2][30], 1.015 * reading({}, "white")[2][30]);
    EXPECT_DOUBLE_EQ(tilted[2][0], 0.985 * reading({}, "white")[2][0]);
}

TEST(SimErrors, EachErrorTakesOneValueOrOnePerAngleWithinItsRange) {
    struct Row {
        const char* key;
        const char* value;
        bool ok;
    };
    const Row rows[] = {
        {"bandwidth", "0/1/2", true}, {"bandwidth", "-1", false},  {"bandwidth", "51", false},
        {"scale", "0.01", true},      {"scale", "0.1", false},     {"tilt", "-0.02/0/0.02", true},
        {"shift", "1/2", false},      {"shift", "0.5/-1/2", true}, {"linearity", "0.6", false},
    };
    for (const Row& r : rows) {
        InstrumentConfig c;
        std::string error;
        EXPECT_EQ(applySetting(c, r.key, r.value, error), r.ok) << r.key << "=" << r.value;
        EXPECT_EQ(error.empty(), r.ok) << r.key;
    }
    InstrumentConfig c;
    std::string error;
    ASSERT_TRUE(parseInstrumentSpec("DUT:shift=0.5/-1/2,bandwidth=0/1/2", c, error)) << error;
    EXPECT_EQ(c.shiftNm[1], -1.0);
    EXPECT_EQ(c.bandwidthNm2[2], 2.0);
}

TEST(SimErrors, AnySpectrumIsReadAsTheSpecimenWhoseValuesItHolds) {
    // A specimen given only at its 31 wavelengths reads, through the same errors, within a
    // little of the specimen itself: the spline between them follows a smooth spectrum.
    AngleWavelengthErrors e{};
    e[0] = {1.0, 0.0, 0.0};
    e[1] = {-0.7, 0.003, 1.5};
    e[2] = {0.0, 0.0, 3.0};
    for (const std::string name : {"white", "green", "orange", "violet"}) {
        const AngleSpectra given = *specimenSpectra(name);
        EXPECT_EQ(spectraSeen(given, AngleWavelengthErrors{}), given) << name;
        const AngleSpectra fine = *specimenSpectra(name, e);
        const AngleSpectra spline = spectraSeen(given, e);
        for (int a = 0; a < kAngleCount; ++a)
            for (int j = 0; j < kSpectrumPoints; ++j)
                EXPECT_NEAR(spline[a][j], fine[a][j], 0.03) << name << " " << a << " " << j;
    }
    // Through the instrument: the photometric errors and the entry apply as to a specimen.
    InstrumentConfig c;
    c.specimen = "green";
    c.offset = {0.4, 0.0, -0.2};
    c.linearity = 0.02;
    EXPECT_EQ(Instrument(c).expectedReadingOf(*specimenSpectra("green")),
              Instrument(c).expectedReading());
}

// ---- errors the program's diagnosis does not model ----

TEST(SimErrors, TheUnmodelledErrorsTakeTheirValuesAndRefuseOthers) {
    struct Row {
        const char* key;
        const char* value;
        bool ok;
    };
    const Row rows[] = {
        {"bandpass", "gaussian", true},
        {"bandpass", "triangular:5", true},
        {"bandpass", "triangular:4/5/6", true},
        {"bandpass", "skewed:3:6/2:5/0:4", true},
        {"bandpass", "triangular", false},
        {"bandpass", "triangular:0", false},
        {"bandpass", "triangular:26", false},
        {"bandpass", "triangular:3:4", false},
        {"bandpass", "skewed:3", false},
        {"bandpass", "skewed:0:0", false},
        {"bandpass", "triangular:1/2", false},
        {"bandpass", "gaussian:2", false},
        {"bandpass", "box:4", false},
        {"ripple", "-1.5/0/2", true},
        {"ripple", "6", false},
        {"rippleperiod", "20", false},
        {"cubic", "0.4", true},
        {"cubic", "-1.2", false},
        {"placegain", "0.2", true},
        {"placegain", "-0.1", false},
        {"placeoffset", "0.05/0.1/0.2", true},
        {"thermo", "0.08", true},
        {"thermo", "2", false},
        {"room", "35", true},
        {"room", "20/25/30", false},
        {"room", "-5", false},
        {"dirty", "yellow/0.965", true},
        {"dirty", "none", true},
        {"dirty", "purple/0.9", false},
        {"dirty", "yellow", false},
        {"dirty", "yellow/0.2", false},
        {"entries", "30", true},
        {"entries", "0", false},
        {"entries", "31", false},
        {"entries", "7x", false},
        {"entries", "last", true},
    };
    for (const Row& r : rows) {
        InstrumentConfig c;
        std::string error;
        EXPECT_EQ(applySetting(c, r.key, r.value, error), r.ok) << r.key << "=" << r.value;
        EXPECT_EQ(error.empty(), r.ok) << r.key << "=" << r.value;
    }
    InstrumentConfig c;
    std::string error;
    ASSERT_TRUE(parseInstrumentSpec(
        "DUT:bandpass=skewed:3:6/2:5/0:4,dirty=yellow/0.965,entries=7,room=30", c, error))
        << error;
    EXPECT_EQ(c.passLeftNm.at, (std::array<double, 3>{3.0, 2.0, 0.0}));
    EXPECT_EQ(c.passRightNm.at, (std::array<double, 3>{6.0, 5.0, 4.0}));
    EXPECT_EQ(c.dirtySpecimen, "yellow");
    EXPECT_EQ(c.dirtyFactor, 0.965);
    EXPECT_EQ(c.entryRule, InstrumentConfig::EntryRule::ByNumber);
    EXPECT_EQ(c.entryNumber, 7);
    EXPECT_EQ(c.roomC, 30.0);
    ASSERT_TRUE(parseInstrumentSpec("DUT:bandpass=gaussian,dirty=none,entries=none", c, error));
    EXPECT_EQ(c.passRightNm[1], 0.0);
    EXPECT_EQ(c.dirtySpecimen, "");
    EXPECT_EQ(c.entryRule, InstrumentConfig::EntryRule::None);
}

TEST(SimErrors, ATriangleReadsAnEdgeAsAGaussianOfItsVarianceDoesExceptForItsFourthMoment) {
    // A triangle reaching H either side has variance H^2 / 6 and fourth moment H^4 / 15, a
    // Gaussian of that variance H^4 / 12: to fourth order the two read apart by
    // -(H^4 / 60) / 24 R''''.
    constexpr double kH = 10.0;
    InstrumentConfig t, g;
    t.passLeftNm = t.passRightNm = kH;
    g.bandwidthNm2 = kH * kH / 12.0;
    const AngleSpectra tri = reading(t, "orange"), gauss = reading(g, "orange");
    const AngleSpectra plain = reading({}, "orange");
    const auto at = [](double shift) { return (*specimenSpectra("orange", shift))[1]; };
    const Spectrum31 m2 = at(2.0), m1 = at(1.0), p1 = at(-1.0), p2 = at(-2.0);
    double largest = 0.0, widened = 0.0;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const double d4 = m2[j] - 4.0 * m1[j] + 6.0 * plain[1][j] - 4.0 * p1[j] + p2[j];
        const double predicted = -std::pow(kH, 4) / 60.0 / 24.0 * d4;
        const double apart = tri[1][j] - gauss[1][j];
        EXPECT_NEAR(apart, predicted, 0.3 * std::abs(predicted) + 1e-4) << j;
        largest = std::max(largest, std::abs(apart));
        widened = std::max(widened, std::abs(gauss[1][j] - plain[1][j]));
    }
    EXPECT_GT(largest, 0.005);
    EXPECT_GT(widened, 0.5);  // what both read unlike an ideal bandpass
    // Widened by a Gaussian the variances add: triangular 6 nm (6) and 2 B = 4 read as one
    // Gaussian of variance 10, to second order.
    InstrumentConfig both, same;
    both.passLeftNm = both.passRightNm = 6.0;
    both.bandwidthNm2 = 2.0;
    same.bandwidthNm2 = 5.0;
    const AngleSpectra x = reading(both, "orange"), y = reading(same, "orange");
    for (int j = 0; j < kSpectrumPoints; ++j) EXPECT_NEAR(x[0][j], y[0][j], 0.003) << j;
}

TEST(SimErrors, ASkewedBandpassWeighsItsLongSideAsATriangleDoes) {
    // Integrated here over the specimen itself: R(L + u) is the specimen read shifted by -u.
    constexpr double kLeft = 4.0, kRight = 10.0, kStep = 0.05;
    InstrumentConfig c;
    c.passLeftNm = kLeft;
    c.passRightNm = kRight;
    const AngleSpectra skewed = reading(c, "orange");
    Spectrum31 sum{};
    double weights = 0.0;
    for (double u = -kLeft; u <= kRight + 1e-9; u += kStep) {
        const double w = (u < 0.0 ? 1.0 + u / kLeft : 1.0 - u / kRight) *
                         (u <= -kLeft + 1e-9 || u >= kRight - 1e-9 ? 0.5 : 1.0);
        const Spectrum31 at = (*specimenSpectra("orange", -u))[2];
        for (int j = 0; j < kSpectrumPoints; ++j) sum[j] += w * at[j];
        weights += w;
    }
    const Spectrum31 plain = reading({}, "orange")[2];
    const Spectrum31 later = (*specimenSpectra("orange", -2.0))[2];  // (R - L) / 3 to the red
    for (int j = 0; j < kSpectrumPoints; ++j) {
        EXPECT_NEAR(skewed[2][j], sum[j] / weights, 2e-3) << j;
        if (j >= 16 && j <= 19) {  // on the edge it reads about 2 nm further on
            EXPECT_LT(std::abs(skewed[2][j] - later[j]), std::abs(skewed[2][j] - plain[j])) << j;
        }
    }
}

TEST(SimErrors, ARippleAndACubicBendChangeTheReadingsAsTheirFormulasSay) {
    InstrumentConfig r;
    r.rippleAmplitude = 1.0;
    r.ripplePeriodNm = 80.0;
    const AngleSpectra rippled = reading(r, "white"), white = reading({}, "white");
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const double ratio = 1.0 + 0.01 * std::sin(2.0 * std::numbers::pi * 10.0 * j / 80.0);
        EXPECT_NEAR(rippled[1][j], white[1][j] * ratio, 1e-9) << j;
    }
    // Above 50 % an S bend reads high and below it low, where a quadratic raises both.
    InstrumentConfig s;
    s.cubic = 0.5;
    for (const std::string name : {"white", "darkgrey"}) {
        const double v = reading({}, name)[1][15];
        const double bent = reading(s, name)[1][15];
        EXPECT_NEAR(bent, v + 0.5 * v * (1.0 - v / 100.0) * (v / 100.0 - 0.5), 1e-9) << name;
        EXPECT_EQ(bent > v, v > 50.0) << name;
    }
}

TEST(SimErrors, EachPlacementDrawsAGainAndAnOffsetWithTheStatedSpread) {
    InstrumentConfig c;
    c.placementGainSd.at = {0.4, 0.0, 0.0};
    c.placementOffsetSd.at = {0.0, 0.2, 0.0};
    c.seed = 7;
    Instrument instrument(c);
    const AngleSpectra expected = instrument.expectedReading();
    EXPECT_EQ(expected, reading({}, "white"));  // not in the noise-free reading
    constexpr int kReadings = 4000;
    double gainSum = 0.0, gainSquares = 0.0, offsetSum = 0.0, offsetSquares = 0.0;
    for (int n = 0; n < kReadings; ++n) {
        const AngleSpectra r = instrument.takeReading();
        const double gain = r[0][0] / expected[0][0], offset = r[1][0] - expected[1][0];
        for (int j = 0; j < kSpectrumPoints; ++j) {  // one placement for the whole reading
            ASSERT_NEAR(r[0][j] / expected[0][j], gain, 1e-12) << j;
            ASSERT_NEAR(r[1][j] - expected[1][j], offset, 1e-12) << j;
        }
        ASSERT_EQ(r[2], expected[2]);
        gainSum += gain - 1.0, gainSquares += (gain - 1.0) * (gain - 1.0);
        offsetSum += offset, offsetSquares += offset * offset;
    }
    // 4000 draws: a mean within 4 of its standard errors, a spread within 5 % (4.5 of its).
    EXPECT_NEAR(gainSum / kReadings, 0.0, 4.0 * 0.004 / std::sqrt(kReadings));
    EXPECT_NEAR(std::sqrt(gainSquares / kReadings), 0.004, 0.05 * 0.004);
    EXPECT_NEAR(offsetSum / kReadings, 0.0, 4.0 * 0.2 / std::sqrt(kReadings));
    EXPECT_NEAR(std::sqrt(offsetSquares / kReadings), 0.2, 0.05 * 0.2);
    // The same seed places the same way.
    EXPECT_EQ(Instrument(c).takeReading(), Instrument(c).takeReading());
}

TEST(SimErrors, AWarmRoomMovesTheEdgesOfWarmColoursAndADirtySpecimenReadsLow) {
    InstrumentConfig warm;
    warm.thermoNmPerC = 0.1;
    warm.roomC = 33.0;  // 1 nm to the red on red and orange
    EXPECT_EQ(reading(warm, "red"), *specimenSpectra("red", 1.0));
    EXPECT_EQ(reading(warm, "yellow"), *specimenSpectra("yellow", 0.8));
    EXPECT_EQ(reading(warm, "white"), reading({}, "white"));
    EXPECT_EQ(reading(warm, "midgrey"), reading({}, "midgrey"));
    const auto moved = [&](const std::string& name) {
        double most = 0.0;
        for (int j = 0; j < kSpectrumPoints; ++j)
            most = std::max(most, std::abs(reading(warm, name)[1][j] - reading({}, name)[1][j]));
        return most;
    };
    EXPECT_GT(moved("red"), 3.0 * moved("blue"));
    warm.roomC = 13.0;
    EXPECT_EQ(reading(warm, "orange"), *specimenSpectra("orange", -1.0));
    warm.roomC = 23.0;
    EXPECT_EQ(reading(warm, "red"), reading({}, "red"));

    InstrumentConfig dirty;
    dirty.dirtySpecimen = "yellow";
    dirty.dirtyFactor = 0.965;
    const AngleSpectra yellow = reading({}, "yellow"), dimmed = reading(dirty, "yellow");
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_DOUBLE_EQ(dimmed[a][j], 0.965 * yellow[a][j]);
    for (const std::string other : {"white", "orange", "green"})
        EXPECT_EQ(reading(dirty, other), reading({}, other)) << other;
}

}  // namespace
}  // namespace qv::sim
