#include "sim/specimens.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace qv::sim {
namespace {

double wavelengthNm(int j) {
    return kStartNm + kStepNm * j;
}

double sigmoid(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}

double gaussian(double x, double centre, double width) {
    const double u = (x - centre) / width;
    return std::exp(-u * u);
}

// A ceramic white tile: a little lower in the violet, nearly flat above 480 nm.
double whiteBase(double nm) {
    return 91.0 - 4.5 * std::exp(-(nm - 400.0) / 35.0) - 0.004 * (nm - 550.0);
}

// A silver metallic: its flake reflects specularly, so the near-specular 25° angle reads far
// above a white diffuser while the flat 75° angle reads dark ("flop").
double silverShape(double nm) {
    return 1.0 - 0.07 * std::exp(-(nm - 400.0) / 80.0) + 0.00007 * (nm - 400.0);
}

// A saturated red: dark below 580 nm, a steep edge near 600 nm, a small violet return.
double redBase(double nm) {
    return 4.5 + 66.0 * sigmoid((nm - 600.0) / 12.0) + 2.5 * gaussian(nm, 420.0, 25.0);
}

// A dark blue: one low peak near 455 nm and a slight rise at the red end.
double blueBase(double nm) {
    return 3.2 + 14.5 * gaussian(nm, 455.0, 38.0) + 4.0 * sigmoid((nm - 680.0) / 12.0);
}

// A black glass: nearly nothing anywhere.
double blackBase(double nm) {
    return 1.1 + 0.4 * std::exp(-(nm - 400.0) / 100.0);
}

// Ceramic greys: nearly flat, a little lower in the violet like the white.
std::function<double(double)> grey(double level) {
    return [level](double nm) { return whiteBase(nm) * level / 91.0; };
}

// A saturated yellow: dark in the blue, a steep edge near 510 nm.
double yellowBase(double nm) {
    return 6.0 + 72.0 * sigmoid((nm - 510.0) / 11.0);
}

// A mid green: a peak near 525 nm, a small rise at the red end.
double greenBase(double nm) {
    return 5.0 + 32.0 * gaussian(nm, 525.0, 40.0) + 6.0 * sigmoid((nm - 685.0) / 10.0);
}

// A saturated orange: dark below 540 nm, a steep edge near 575 nm.
double orangeBase(double nm) {
    return 5.0 + 70.0 * sigmoid((nm - 575.0) / 9.0);
}

// A violet: a peak in the violet falling steeply near 460 nm, a steep rise above 640 nm.
double violetBase(double nm) {
    return 4.0 + 30.0 * sigmoid((460.0 - nm) / 8.0) + 45.0 * sigmoid((nm - 650.0) / 9.0);
}

struct Specimen {
    std::string name;
    std::function<double(double)> base;
    // reading at angle a = scale[a] * base + shift[a]
    std::array<double, kAngleCount> scale;
    std::array<double, kAngleCount> shift;
    // The share of a warm room's edge shift the specimen takes: the warm colours' pigments
    // move most, neutrals not at all.
    double warming;
};

const std::vector<Specimen>& specimens() {
    static const std::vector<Specimen> all = {
        {"white", whiteBase, {1.0, 1.0, 1.0}, {0.6, 0.0, -0.8}, 0.0},
        {"lightgrey", grey(62.0), {1.0, 1.0, 1.0}, {0.4, 0.0, -0.5}, 0.0},
        {"midgrey", grey(30.0), {1.02, 1.0, 0.97}, {0.3, 0.0, -0.2}, 0.0},
        {"darkgrey", grey(12.0), {1.04, 1.0, 0.95}, {0.2, 0.0, -0.1}, 0.0},
        {"yellow", yellowBase, {1.08, 1.0, 0.9}, {0.5, 0.0, -0.2}, 0.8},
        {"green", greenBase, {1.06, 1.0, 0.92}, {0.3, 0.0, -0.1}, 0.3},
        {"silver", silverShape, {135.0, 62.0, 24.0}, {0.0, 0.0, 0.0}, 0.0},
        {"red", redBase, {1.12, 1.0, 0.86}, {0.6, 0.0, -0.2}, 1.0},
        {"blue", blueBase, {1.08, 1.0, 0.9}, {0.3, 0.0, -0.1}, 0.2},
        {"black", blackBase, {1.25, 1.0, 0.9}, {0.2, 0.0, 0.0}, 0.0},
        {"orange", orangeBase, {1.1, 1.0, 0.88}, {0.5, 0.0, -0.2}, 1.0},
        {"violet", violetBase, {1.1, 1.0, 0.9}, {0.4, 0.0, -0.1}, 0.3},
    };
    return all;
}

// Fine enough that a sampled Gaussian keeps its variance for every bandpass worth simulating.
constexpr double kBandpassStepNm = 0.25;

// A bandpass as weights at (first + i) * kBandpassStepNm nm from its centre; no weights: the
// instrument reads at one wavelength.
struct Bandpass {
    int first = 0;
    std::vector<double> weights;
    double total = 0.0;
};

Bandpass gaussianBandpass(double bandwidthNm2) {
    Bandpass b;
    if (bandwidthNm2 <= 0.0) return b;
    const double variance = 2.0 * bandwidthNm2;
    const int half = static_cast<int>(std::ceil(5.0 * std::sqrt(variance) / kBandpassStepNm));
    b.first = -half;
    for (int k = -half; k <= half; ++k) {
        const double u = k * kBandpassStepNm;
        b.weights.push_back(std::exp(-u * u / (2.0 * variance)));
    }
    return b;
}

// Falls linearly from 1 at the centre to 0 at leftNm below and rightNm above it.
Bandpass triangularBandpass(double leftNm, double rightNm) {
    Bandpass b;
    if (leftNm <= 0.0 && rightNm <= 0.0) return b;
    b.first = -static_cast<int>(std::ceil(leftNm / kBandpassStepNm));
    const int last = static_cast<int>(std::ceil(rightNm / kBandpassStepNm));
    for (int k = b.first; k <= last; ++k) {
        const double u = k * kBandpassStepNm;
        const double w = u < 0.0 ? 1.0 + u / leftNm : u > 0.0 ? 1.0 - u / rightNm : 1.0;
        b.weights.push_back(std::max(0.0, w));
    }
    return b;
}

Bandpass bandpassOf(const WavelengthErrors& e) {
    const Bandpass g = gaussianBandpass(e.bandwidthNm2);
    const Bandpass t = triangularBandpass(e.leftNm, e.rightNm);
    Bandpass b = t.weights.empty() ? g : t;
    if (!t.weights.empty() && !g.weights.empty()) {
        // The triangle widened by the Gaussian: the two convolved.
        b.first = t.first + g.first;
        b.weights.assign(t.weights.size() + g.weights.size() - 1, 0.0);
        for (std::size_t i = 0; i < t.weights.size(); ++i)
            for (std::size_t k = 0; k < g.weights.size(); ++k)
                b.weights[i + k] += t.weights[i] * g.weights[k];
    }
    for (double w : b.weights) b.total += w;
    return b;
}

// A spectrum, a function of wavelength, at nominal wavelength `nm` as an instrument with `e`
// and bandpass `band` sees it. The fine-grained spectrum is evaluated, not interpolated;
// without a bandpass it is the one value at the displaced wavelength.
template <typename Spectrum>
double seenThrough(const Spectrum& base, double nm, const WavelengthErrors& e,
                   const Bandpass& band) {
    const double centre = nm - e.shiftNm - e.scaleError * (nm - 550.0);
    if (band.weights.empty()) return base(centre);
    double sum = 0.0;
    for (std::size_t i = 0; i < band.weights.size(); ++i) {
        const double u = (band.first + static_cast<int>(i)) * kBandpassStepNm;
        sum += band.weights[i] * base(centre + u);
    }
    return sum / band.total;
}

// A spectrum known at the 31 wavelengths as a function of wavelength: the natural cubic spline
// through them, continued straight beyond 400 and 700 nm with its end slopes (a spline's
// curvature is zero there, so the continuation does not kink).
class SplineSpectrum {
public:
    explicit SplineSpectrum(const Spectrum31& y) : y_(y) {
        // M[i-1] + 4 M[i] + M[i+1] = 6 (y[i+1] - 2 y[i] + y[i-1]) / h^2, M[0] = M[30] = 0,
        // solved by the Thomas algorithm.
        const double h2 = kStepNm * kStepNm;
        std::array<double, kSpectrumPoints> c{}, d{};
        for (int i = 1; i < kSpectrumPoints - 1; ++i) {
            const double rhs = 6.0 * (y[i + 1] - 2.0 * y[i] + y[i - 1]) / h2;
            const double denominator = 4.0 - c[i - 1];
            c[i] = 1.0 / denominator;
            d[i] = (rhs - d[i - 1]) / denominator;
        }
        for (int i = kSpectrumPoints - 2; i > 0; --i) m_[i] = d[i] - c[i] * m_[i + 1];
    }
    double operator()(double nm) const {
        const double h = kStepNm;
        const int last = kSpectrumPoints - 1;
        if (nm <= kStartNm) return y_[0] + (nm - kStartNm) * slope(0, 0.0);
        if (nm >= kEndNm) return y_[last] + (nm - kEndNm) * slope(last - 1, 1.0);
        const int i = std::min(last - 1, static_cast<int>((nm - kStartNm) / h));
        const double t = (nm - wavelengthNm(i)) / h;
        const double u = 1.0 - t;
        return u * y_[i] + t * y_[i + 1] +
               h * h / 6.0 * ((u * u * u - u) * m_[i] + (t * t * t - t) * m_[i + 1]);
    }

private:
    // The slope of segment i at its fraction t.
    double slope(int i, double t) const {
        const double h = kStepNm;
        const double u = 1.0 - t;
        return (y_[i + 1] - y_[i]) / h +
               h / 6.0 * (-(3.0 * u * u - 1.0) * m_[i] + (3.0 * t * t - 1.0) * m_[i + 1]);
    }
    Spectrum31 y_;
    std::array<double, kSpectrumPoints> m_{};
};

}  // namespace

std::optional<AngleSpectra> specimenSpectra(std::string_view name, double shiftNm) {
    AngleWavelengthErrors errors{};
    for (WavelengthErrors& e : errors) e.shiftNm = shiftNm;
    return specimenSpectra(name, errors);
}

std::optional<AngleSpectra> specimenSpectra(std::string_view name,
                                            const AngleWavelengthErrors& errors, double warmingNm) {
    for (const Specimen& s : specimens()) {
        if (s.name != name) continue;
        const double moved = s.warming * warmingNm;
        const auto warmed = [&](double nm) { return s.base(nm - moved); };
        AngleSpectra out{};
        for (int a = 0; a < kAngleCount; ++a) {
            const Bandpass band = bandpassOf(errors[a]);
            for (int j = 0; j < kSpectrumPoints; ++j) {
                out[a][j] =
                    s.scale[a] * seenThrough(warmed, wavelengthNm(j), errors[a], band) + s.shift[a];
            }
        }
        return out;
    }
    return std::nullopt;
}

AngleSpectra spectraSeen(const AngleSpectra& truth, const AngleWavelengthErrors& errors) {
    AngleSpectra out{};
    for (int a = 0; a < kAngleCount; ++a) {
        const SplineSpectrum spectrum(truth[a]);
        const Bandpass band = bandpassOf(errors[a]);
        for (int j = 0; j < kSpectrumPoints; ++j)
            out[a][j] = seenThrough(spectrum, wavelengthNm(j), errors[a], band);
    }
    return out;
}

const std::vector<std::string>& specimenNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const Specimen& s : specimens()) n.push_back(s.name);
        return n;
    }();
    return names;
}

}  // namespace qv::sim
