// The instrument errors the simulator gives its readings, in process: the wavelength errors
// seen through the fine-grained specimen, the photometric ones after them, per angle, and the
// readings of an instrument without them as they always were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

}  // namespace
}  // namespace qv::sim
