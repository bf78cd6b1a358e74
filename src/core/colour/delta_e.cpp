#include "core/colour/delta_e.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

namespace qv {

namespace {

constexpr double kRadToDeg = 180.0 / std::numbers::pi;
constexpr double kDegToRad = std::numbers::pi / 180.0;

double square(double v) {
    return v * v;
}

double chroma(const Lab& c) {
    return std::sqrt(c.a * c.a + c.b * c.b);
}

// Hue angle in degrees, 0 <= h < 360; 0 for an achromatic colour.
double hueDegrees(double a, double b) {
    if (a == 0.0 && b == 0.0) return 0.0;
    const double h = std::atan2(b, a) * kRadToDeg;
    return h < 0.0 ? h + 360.0 : h;
}

// Squared metric hue difference: what is left of the Euclidean distance in the a*b* plane
// after the chroma difference; rounding can make it slightly negative for equal hues.
double hueDifferenceSquared(const Lab& reference, const Lab& sample, double deltaC) {
    const double da = sample.a - reference.a;
    const double db = sample.b - reference.b;
    return std::max(0.0, da * da + db * db - deltaC * deltaC);
}

// CIEDE2000 mean hue of two primed hues (degrees).
double meanHue(double h1, double h2, bool achromatic) {
    if (achromatic) return h1 + h2;
    if (std::fabs(h1 - h2) <= 180.0) return (h1 + h2) / 2.0;
    if (h1 + h2 < 360.0) return (h1 + h2 + 360.0) / 2.0;
    return (h1 + h2 - 360.0) / 2.0;
}

// CIEDE2000 hue difference h2 - h1 folded into [-180, 180] degrees.
double hueStep(double h1, double h2, bool achromatic) {
    if (achromatic) return 0.0;
    const double dh = h2 - h1;
    if (dh > 180.0) return dh - 360.0;
    if (dh < -180.0) return dh + 360.0;
    return dh;
}

std::string shortNumber(double v) {
    std::array<char, 32> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), res.ptr);
}

}  // namespace

double deltaE76(const Lab& reference, const Lab& sample) {
    return std::sqrt(square(sample.L - reference.L) + square(sample.a - reference.a) +
                     square(sample.b - reference.b));
}

double deltaE94(const Lab& reference, const Lab& sample, double kL, double kC, double kH) {
    constexpr double kK1 = 0.045;
    constexpr double kK2 = 0.015;
    const double c1 = chroma(reference);
    const double dL = sample.L - reference.L;
    const double dC = chroma(sample) - c1;
    const double dH2 = hueDifferenceSquared(reference, sample, dC);
    const double sC = 1.0 + kK1 * c1;
    const double sH = 1.0 + kK2 * c1;
    return std::sqrt(square(dL / kL) + square(dC / (kC * sC)) + dH2 / square(kH * sH));
}

double deltaE2000(const Lab& reference, const Lab& sample, double kL, double kC, double kH) {
    const double cMean = (chroma(reference) + chroma(sample)) / 2.0;
    const double c7 = std::pow(cMean, 7.0);
    const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + std::pow(25.0, 7.0))));
    const double a1 = (1.0 + g) * reference.a;
    const double a2 = (1.0 + g) * sample.a;
    const double c1 = std::sqrt(a1 * a1 + reference.b * reference.b);
    const double c2 = std::sqrt(a2 * a2 + sample.b * sample.b);
    const double h1 = hueDegrees(a1, reference.b);
    const double h2 = hueDegrees(a2, sample.b);
    const bool achromatic = c1 * c2 == 0.0;

    const double dL = sample.L - reference.L;
    const double dC = c2 - c1;
    const double dh = hueStep(h1, h2, achromatic);
    const double dH = 2.0 * std::sqrt(c1 * c2) * std::sin(dh / 2.0 * kDegToRad);

    const double lMean = (reference.L + sample.L) / 2.0;
    const double cpMean = (c1 + c2) / 2.0;
    const double hMean = meanHue(h1, h2, achromatic);
    const double t = 1.0 - 0.17 * std::cos((hMean - 30.0) * kDegToRad) +
                     0.24 * std::cos((2.0 * hMean) * kDegToRad) +
                     0.32 * std::cos((3.0 * hMean + 6.0) * kDegToRad) -
                     0.20 * std::cos((4.0 * hMean - 63.0) * kDegToRad);
    const double dTheta = 30.0 * std::exp(-square((hMean - 275.0) / 25.0));
    const double cp7 = std::pow(cpMean, 7.0);
    const double rC = 2.0 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7.0)));
    const double l50 = square(lMean - 50.0);
    const double sL = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sC = 1.0 + 0.045 * cpMean;
    const double sH = 1.0 + 0.015 * cpMean * t;
    const double rT = -std::sin((2.0 * dTheta) * kDegToRad) * rC;

    const double x = dL / (kL * sL);
    const double y = dC / (kC * sC);
    const double z = dH / (kH * sH);
    return std::sqrt(x * x + y * y + z * z + rT * y * z);
}

double deltaECmc(const Lab& reference, const Lab& sample, double l, double c) {
    const double c1 = chroma(reference);
    const double h1 = hueDegrees(reference.a, reference.b);
    const double dL = sample.L - reference.L;
    const double dC = chroma(sample) - c1;
    const double dH2 = hueDifferenceSquared(reference, sample, dC);

    const double sL =
        reference.L < 16.0 ? 0.511 : 0.040975 * reference.L / (1.0 + 0.01765 * reference.L);
    const double sC = 0.0638 * c1 / (1.0 + 0.0131 * c1) + 0.638;
    const double c4 = square(square(c1));
    const double f = std::sqrt(c4 / (c4 + 1900.0));
    const double t = (h1 >= 164.0 && h1 <= 345.0)
                         ? 0.56 + std::fabs(0.2 * std::cos((h1 + 168.0) * kDegToRad))
                         : 0.36 + std::fabs(0.4 * std::cos((h1 + 35.0) * kDegToRad));
    const double sH = sC * (f * t + 1.0 - f);
    return std::sqrt(square(dL / (l * sL)) + square(dC / (c * sC)) + dH2 / square(sH));
}

double deltaE(DeltaEFormula formula, const Lab& reference, const Lab& sample,
              const DeltaEParameters& p) {
    switch (formula) {
        case DeltaEFormula::Cie94:
            return deltaE94(reference, sample, p.kL94, p.kC94, p.kH94);
        case DeltaEFormula::Ciede2000:
            return deltaE2000(reference, sample, p.kL00, p.kC00, p.kH00);
        case DeltaEFormula::Cmc:
            return deltaECmc(reference, sample, p.cmcL, p.cmcC) / p.cmcCf;
        case DeltaEFormula::Cie76:
            break;
    }
    return deltaE76(reference, sample);
}

std::string_view profileText(DeltaEFormula formula) {
    switch (formula) {
        case DeltaEFormula::Cie94:
            return "DE94";
        case DeltaEFormula::Ciede2000:
            return "DE00";
        case DeltaEFormula::Cmc:
            return "CMC";
        case DeltaEFormula::Cie76:
            break;
    }
    return "DE76";
}

std::optional<DeltaEFormula> formulaFromText(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; });
    for (DeltaEFormula f : {DeltaEFormula::Cie76, DeltaEFormula::Cie94, DeltaEFormula::Ciede2000,
                            DeltaEFormula::Cmc}) {
        if (upper == profileText(f)) return f;
    }
    return std::nullopt;
}

DeltaEFormula parseDeltaEFormula(std::string_view text) {
    return formulaFromText(text).value_or(DeltaEFormula::Cie76);
}

std::string displayLabel(DeltaEFormula formula, double cmcL, double cmcC) {
    switch (formula) {
        case DeltaEFormula::Cie94:
            return "dE94";
        case DeltaEFormula::Ciede2000:
            return "dE00";
        case DeltaEFormula::Cmc:
            return "dE CMC(" + shortNumber(cmcL) + ":" + shortNumber(cmcC) + ")";
        case DeltaEFormula::Cie76:
            break;
    }
    return "dE*ab";
}

}  // namespace qv
