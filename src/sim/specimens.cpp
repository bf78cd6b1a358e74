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
};

const std::vector<Specimen>& specimens() {
    static const std::vector<Specimen> all = {
        {"white", whiteBase, {1.0, 1.0, 1.0}, {0.6, 0.0, -0.8}},
        {"lightgrey", grey(62.0), {1.0, 1.0, 1.0}, {0.4, 0.0, -0.5}},
        {"midgrey", grey(30.0), {1.02, 1.0, 0.97}, {0.3, 0.0, -0.2}},
        {"darkgrey", grey(12.0), {1.04, 1.0, 0.95}, {0.2, 0.0, -0.1}},
        {"yellow", yellowBase, {1.08, 1.0, 0.9}, {0.5, 0.0, -0.2}},
        {"green", greenBase, {1.06, 1.0, 0.92}, {0.3, 0.0, -0.1}},
        {"silver", silverShape, {135.0, 62.0, 24.0}, {0.0, 0.0, 0.0}},
        {"red", redBase, {1.12, 1.0, 0.86}, {0.6, 0.0, -0.2}},
        {"blue", blueBase, {1.08, 1.0, 0.9}, {0.3, 0.0, -0.1}},
        {"black", blackBase, {1.25, 1.0, 0.9}, {0.2, 0.0, 0.0}},
        {"orange", orangeBase, {1.1, 1.0, 0.88}, {0.5, 0.0, -0.2}},
        {"violet", violetBase, {1.1, 1.0, 0.9}, {0.4, 0.0, -0.1}},
    };
    return all;
}

// Fine enough that a sampled Gaussian keeps its variance for every bandpass worth simulating.
constexpr double kBandpassStepNm = 0.25;

// A spectrum, a function of wavelength, at nominal wavelength `nm` as an instrument with `e`
// sees it. The fine-grained spectrum is evaluated, not interpolated; without a bandpass it is
// the one value at the displaced wavelength.
template <typename Spectrum>
double seenThrough(const Spectrum& base, double nm, const WavelengthErrors& e) {
    const double centre = nm - e.shiftNm - e.scaleError * (nm - 550.0);
    double value = base(centre);
    if (e.bandwidthNm2 > 0.0) {
        const double variance = 2.0 * e.bandwidthNm2;
        const int half = static_cast<int>(std::ceil(5.0 * std::sqrt(variance) / kBandpassStepNm));
        double sum = 0.0;
        double weights = 0.0;
        for (int k = -half; k <= half; ++k) {
            const double u = k * kBandpassStepNm;
            const double w = std::exp(-u * u / (2.0 * variance));
            sum += w * base(centre + u);
            weights += w;
        }
        value = sum / weights;
    }
    return value;
}

double seen(const Specimen& s, int angle, double nm, const WavelengthErrors& e) {
    return s.scale[angle] * seenThrough(s.base, nm, e) + s.shift[angle];
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
                                            const AngleWavelengthErrors& errors) {
    for (const Specimen& s : specimens()) {
        if (s.name != name) continue;
        AngleSpectra out{};
        for (int a = 0; a < kAngleCount; ++a) {
            for (int j = 0; j < kSpectrumPoints; ++j) {
                out[a][j] = seen(s, a, wavelengthNm(j), errors[a]);
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
        for (int j = 0; j < kSpectrumPoints; ++j)
            out[a][j] = seenThrough(spectrum, wavelengthNm(j), errors[a]);
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
