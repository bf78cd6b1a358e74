// Spectra to XYZ and CIELAB.
#include "core/colour/tristimulus.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace qv {
namespace {

using Spectrum = std::array<double, kColourPoints>;

Spectrum flat(double percent) {
    Spectrum s;
    s.fill(percent);
    return s;
}

// Sum of the published Wy column (the data README gives it as 99.997): the scale to Y = 100.
constexpr double kSumWy = 99.997;

TEST(Tristimulus, PerfectWhiteIsLightness100AndNeutral) {
    const Xyz xyz = spectrumToXyz(flat(100.0));
    EXPECT_NEAR(xyz.Y, 100.0, 1e-12);
    // Published column sums 94.813 and 107.304, scaled by 100 / 99.997.
    EXPECT_NEAR(xyz.X, 94.813 * 100.0 / kSumWy, 1e-11);
    EXPECT_NEAR(xyz.Z, 107.304 * 100.0 / kSumWy, 1e-11);
    const Lab lab = spectrumToLab(flat(100.0));
    EXPECT_DOUBLE_EQ(lab.L, 100.0);
    EXPECT_EQ(lab.a, 0.0);
    EXPECT_EQ(lab.b, 0.0);
}

TEST(Tristimulus, BlackAndNearBlackUseTheLinearBranch) {
    const Lab black = spectrumToLab(flat(0.0));
    EXPECT_NEAR(black.L, 0.0, 1e-12);
    EXPECT_NEAR(black.a, 0.0, 1e-12);
    EXPECT_NEAR(black.b, 0.0, 1e-12);
    // Y/Yn = 0.005 lies below 216/24389, where L* = (24389/27) * Y/Yn.
    const Lab dark = spectrumToLab(flat(0.5));
    EXPECT_NEAR(dark.L, 24389.0 / 27.0 * 0.005, 1e-10);
    EXPECT_NEAR(dark.a, 0.0, 1e-10);
    // Just above the break the cube root takes over, and L* stays continuous across it.
    const double edge = 100.0 * 216.0 / 24389.0;
    EXPECT_NEAR(spectrumToLab(flat(edge * (1 - 1e-9))).L, spectrumToLab(flat(edge)).L, 1e-6);
    EXPECT_NEAR(spectrumToLab(flat(edge)).L, 8.0, 1e-9);
}

// Reference figures from an independent Python script that reads the same TSV, folds and
// sums it in exact rational arithmetic (fractions.Fraction), and applies the CIELAB formulas
// in double precision; printed to 10 decimals.
struct Reference {
    const char* name;
    Spectrum spectrum;
    Xyz xyz;
    Lab lab;
};

Spectrum ramp(double from, double to) {
    Spectrum s;
    for (int j = 0; j < kColourPoints; ++j) s[j] = from + (to - from) * j / 30.0;
    return s;
}

Spectrum greenPeak() {
    Spectrum s;
    for (int j = 0; j < kColourPoints; ++j) {
        const double x = (400.0 + 10.0 * j - 530.0) / 40.0;
        s[j] = 10.0 + 70.0 * std::exp(-x * x);
    }
    return s;
}

TEST(Tristimulus, AgreesWithAnIndependentComputation) {
    const Reference refs[] = {
        {"grey 18 %", flat(18.0), {17.0668520056, 18.0, 19.3152994590}, {49.4961076101, 0, 0}},
        {"ramp 5..95 %",
         ramp(5.0, 95.0),
         {51.2101763053, 50.3315999480, 22.2495974879},
         {76.2723471324, 9.4625078700, 40.7149602998}},
        {"ramp 60..5 %",
         ramp(60.0, 5.0),
         {28.4915497465, 32.2973555873, 54.0661869856},
         {63.5878875342, -8.1513099302, -21.9254561293}},
        {"green peak",
         greenPeak(),
         {23.7075310690, 44.1704558733, 16.6818703078},
         {72.3422825956, -65.7896265621, 44.7746360481}},
    };
    for (const auto& r : refs) {
        const Xyz xyz = spectrumToXyz(r.spectrum);
        EXPECT_NEAR(xyz.X, r.xyz.X, 1e-9) << r.name;
        EXPECT_NEAR(xyz.Y, r.xyz.Y, 1e-9) << r.name;
        EXPECT_NEAR(xyz.Z, r.xyz.Z, 1e-9) << r.name;
        const Lab lab = spectrumToLab(r.spectrum);
        EXPECT_NEAR(lab.L, r.lab.L, 1e-9) << r.name;
        EXPECT_NEAR(lab.a, r.lab.a, 1e-9) << r.name;
        EXPECT_NEAR(lab.b, r.lab.b, 1e-9) << r.name;
    }
}

// A change at an end wavelength moves XYZ by the weights folded into it: the published
// 360..400 nm rows at the short end, 700..780 nm at the long end.
TEST(Tristimulus, EndWavelengthsCarryTheFoldedWeights) {
    const Spectrum base = flat(50.0);
    const Xyz x0 = spectrumToXyz(base);

    Spectrum shortEnd = base;
    shortEnd[0] += 10.0;
    const Xyz xs = spectrumToXyz(shortEnd);
    const double fold = 10.0 / 100.0 * 100.0 / kSumWy;  // 10 % points, normalised weights
    EXPECT_NEAR(xs.X - x0.X, (0.097 + 0.005 + 0.001 + 0.000 + 0.000) * fold, 1e-12);
    EXPECT_NEAR(xs.Y - x0.Y, 0.010 * fold, 1e-12);
    EXPECT_NEAR(xs.Z - x0.Z, (0.436 + 0.020 + 0.004 - 0.001 + 0.000) * fold, 1e-12);

    Spectrum longEnd = base;
    longEnd[30] += 10.0;
    const Xyz xl = spectrumToXyz(longEnd);
    EXPECT_NEAR(xl.X - x0.X, (0.057 + 0.028 + 0.011 + 0.006 + 0.003 + 0.001) * fold, 1e-12);
    EXPECT_NEAR(xl.Y - x0.Y, (0.022 + 0.011 + 0.004 + 0.002 + 0.001) * fold, 1e-12);
    EXPECT_NEAR(xl.Z - x0.Z, 0.0, 1e-12);

    // An interior wavelength carries only its own row.
    Spectrum middle = base;
    middle[15] += 10.0;  // 550 nm
    EXPECT_NEAR(spectrumToXyz(middle).Y - x0.Y, 8.903 * fold, 1e-12);
    EXPECT_NEAR(d65TenDegreeWeights().y[15], 8.903 / kSumWy, 1e-15);
}

}  // namespace
}  // namespace qv
