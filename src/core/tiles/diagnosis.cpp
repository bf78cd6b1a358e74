#include "core/tiles/diagnosis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/app/number_format.h"
#include "core/tiles/set_fit.h"

namespace qv {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kCentreNm = 550.0;
// A column that keeps less than this share of its length once the columns before it are
// projected out says nothing the others do not.
constexpr double kDegenerateColumn = 1e-9;
// A column whose root mean square lies below this holds nothing but the arithmetic's rounding:
// the mean of two straight readings curves by about 1e-16 % per nm^2.
constexpr double kNegligibleColumn = 1e-12;
// A term differs from nothing by more than chance beyond this many standard errors: with five
// terms per angle tried, a noisy set blames one by chance in about 1 % of sets (two standard
// errors did in one set in five).
constexpr double kSignificantErrors = 3.0;

constexpr std::array<TermInfo, kTermCount> kTerms = {{
    {"offset", "%", 0.05, false},
    {"gain", "%", 0.1, true},
    {"gainTilt", "%/nm", 0.002, true},
    {"linearity", "", 0.005, false},
    {"shift", "nm", 0.1, false},
    {"scaleError", "nm/nm", 0.002, false},
    {"bandwidth", "nm2", 2.0, false},
}};

// A least-squares problem in column-major order: n rows, one column per active term.
struct Design {
    std::size_t rows = 0;
    std::vector<double> columns;  // column c at [c * rows, (c + 1) * rows)
    std::vector<double> y;
};

struct Solution {
    std::vector<double> beta;
    std::vector<double> inverseDiagonal;  // diag((X'X)^-1), for the standard errors
    double rss = 0.0;
    std::optional<std::size_t> degenerate;  // a column the others already explain
};

// Scales every column to unit length, so that the conditioning is that of the problem, not of
// the units (a shift column in %/nm beside an offset column of ones). False when one is zero.
bool scaleColumns(Design& d, std::vector<double>& scale, Solution& s) {
    const std::size_t n = d.rows;
    for (std::size_t c = 0; c < scale.size(); ++c) {
        double* col = &d.columns[c * n];
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) sum += col[i] * col[i];
        scale[c] = std::sqrt(sum);
        if (!(scale[c] > kNegligibleColumn * std::sqrt(static_cast<double>(n)))) {
            s.degenerate = c;
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) col[i] /= scale[c];
    }
    return true;
}

// Householder QR in place: R's diagonal into rDiag, above it in the columns; Q'y into y.
bool householder(Design& d, std::vector<double>& rDiag, Solution& s) {
    const std::size_t n = d.rows;
    const std::size_t p = rDiag.size();
    for (std::size_t k = 0; k < p; ++k) {
        double* v = &d.columns[k * n];
        double norm = 0.0;
        for (std::size_t i = k; i < n; ++i) norm += v[i] * v[i];
        norm = std::sqrt(norm);
        if (norm < kDegenerateColumn) {
            s.degenerate = k;
            return false;
        }
        const double alpha = v[k] > 0.0 ? -norm : norm;
        v[k] -= alpha;
        double vNorm2 = 0.0;
        for (std::size_t i = k; i < n; ++i) vNorm2 += v[i] * v[i];
        auto reflect = [&](double* a) {
            double dot = 0.0;
            for (std::size_t i = k; i < n; ++i) dot += v[i] * a[i];
            const double f = 2.0 * dot / vNorm2;
            for (std::size_t i = k; i < n; ++i) a[i] -= f * v[i];
        };
        for (std::size_t c = k + 1; c < p; ++c) reflect(&d.columns[c * n]);
        reflect(d.y.data());
        rDiag[k] = alpha;
    }
    return true;
}

// Back substitution, and diag((X'X)^-1) = diag(R^-1 R^-T): the squared row lengths of R^-1.
void solveTriangular(const Design& d, const std::vector<double>& rDiag, Solution& s) {
    const std::size_t n = d.rows;
    const std::size_t p = rDiag.size();
    auto r = [&](std::size_t row, std::size_t col) {
        return row == col ? rDiag[row] : d.columns[col * n + row];
    };
    s.beta.assign(p, 0.0);
    for (std::size_t k = p; k-- > 0;) {
        double sum = d.y[k];
        for (std::size_t c = k + 1; c < p; ++c) sum -= r(k, c) * s.beta[c];
        s.beta[k] = sum / rDiag[k];
    }
    for (std::size_t i = p; i < n; ++i) s.rss += d.y[i] * d.y[i];
    std::vector<double> inv(p * p, 0.0);  // row-major, upper triangular
    for (std::size_t c = 0; c < p; ++c) {
        inv[c * p + c] = 1.0 / rDiag[c];
        for (std::size_t k = c; k-- > 0;) {
            double sum = 0.0;
            for (std::size_t m = k + 1; m <= c; ++m) sum += r(k, m) * inv[m * p + c];
            inv[k * p + c] = -sum / rDiag[k];
        }
    }
    s.inverseDiagonal.assign(p, 0.0);
    for (std::size_t k = 0; k < p; ++k)
        for (std::size_t c = k; c < p; ++c) s.inverseDiagonal[k] += inv[k * p + c] * inv[k * p + c];
}

Solution solveLeastSquares(Design d) {
    const std::size_t p = d.columns.size() / d.rows;
    Solution s;
    std::vector<double> scale(p, 1.0);
    std::vector<double> rDiag(p, 0.0);
    if (!scaleColumns(d, scale, s) || !householder(d, rDiag, s)) return s;
    solveTriangular(d, rDiag, s);
    for (std::size_t k = 0; k < p; ++k) {
        s.beta[k] /= scale[k];
        s.inverseDiagonal[k] /= scale[k] * scale[k];
    }
    return s;
}

constexpr std::size_t kShiftIndex = static_cast<std::size_t>(Term::Shift);
constexpr std::size_t kBandwidthIndex = static_cast<std::size_t>(Term::Bandwidth);

// A shift b moves a reading by b R' + b^2/2 R'' to second order. A fit on the mean's slope
// needs no second part; a prediction from the reference alone does, and it is the shift's,
// not a bandwidth.
double shiftCurvature(const TermEstimates& terms) {
    const TermEstimate& shift = terms[kShiftIndex];
    return shift.identified ? shift.value * shift.value / 2.0 : 0.0;
}

// The photometric terms read the reference's value; the slope and curvature are taken from
// `m`, which for a fit is the mean of the two instruments' readings.
std::array<double, kTermCount> regressors(const AngleSpectrum& r, const AngleSpectrum& m, int j) {
    const int last = kSpectrumPoints - 1;
    const double step = kStepNm;
    double slope = 0.0;
    if (j == 0)
        slope = (m[1] - m[0]) / step;
    else if (j == last)
        slope = (m[last] - m[last - 1]) / step;
    else if (j == 1 || j == last - 1)
        slope = (m[j + 1] - m[j - 1]) / (2.0 * step);
    else
        slope = (8.0 * (m[j + 1] - m[j - 1]) - (m[j + 2] - m[j - 2])) / (12.0 * step);
    const int c = std::clamp(j, 1, last - 1);
    double curvature = (m[c + 1] - 2.0 * m[c] + m[c - 1]) / (step * step);
    if (c == j && j > 1 && j < last - 1)
        curvature = (16.0 * (m[j + 1] + m[j - 1]) - 30.0 * m[j] - (m[j + 2] + m[j - 2])) /
                    (12.0 * step * step);
    const double x = kStartNm + kStepNm * j - kCentreNm;
    const double v = r[j];
    return {1.0, v / 100.0, x * v / 100.0, v * (1.0 - v / 100.0), slope, x * slope, curvature};
}

// The shape the derivative columns of a fit are taken from. A reading's noise e enters T - R
// as -e_R; the reference's own slope and curvature carry e_R too, the curvature with weight
// -2 at the same wavelength, so that the two correlate and the fit reads the noise as a wider
// bandpass. In the mean of both readings the reference's part of that correlation cancels the
// instrument's when both read equally noisily (mean of as many readings, same resolution).
// It is also the midpoint of a shift: T - R = b4 M' up to third order, with no b4^2/2 R''
// term, so the curvature column holds the bandwidth alone. The photometric columns keep the
// reference: the mean would scale a gain by 1/(1 + g/2), and their noise is negligible
// against their spread over a set.
AngleSpectrum meanShape(const TileSpectra& tile, int angle) {
    AngleSpectrum m(kSpectrumPoints);
    for (int j = 0; j < kSpectrumPoints; ++j)
        m[j] = (tile.target[angle][j] + tile.sample[angle][j]) / 2.0;
    return m;
}

struct Rows {
    std::vector<std::array<double, kTermCount>> x;
    std::vector<double> y;  // T - R, % reflectance
};

bool complete(const TileSpectra& t, int angle) {
    return t.target[angle].size() >= kSpectrumPoints && t.sample[angle].size() >= kSpectrumPoints;
}

Rows collectRows(const std::vector<TileSpectra>& tiles, int angle,
                 std::optional<std::size_t> skip) {
    Rows rows;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        if (t == skip) continue;
        const AngleSpectrum shape = meanShape(tiles[t], angle);
        for (int j = 0; j < kSpectrumPoints; ++j) {
            rows.x.push_back(regressors(tiles[t].target[angle], shape, j));
            rows.y.push_back(tiles[t].sample[angle][j] - tiles[t].target[angle][j]);
        }
    }
    return rows;
}

Design designFor(const Rows& rows, const std::vector<std::size_t>& active) {
    Design d;
    d.rows = rows.y.size();
    d.y = rows.y;
    d.columns.reserve(d.rows * active.size());
    for (std::size_t term : active)
        for (const auto& row : rows.x) d.columns.push_back(row[term]);
    return d;
}

// Records the solution's estimates; the index into `active` of the least identifiable term
// beyond its limit, if any.
std::optional<std::size_t> record(const Solution& s, const std::vector<std::size_t>& active,
                                  double sigma, TermEstimates& terms) {
    std::optional<std::size_t> worst;
    double worstRatio = 1.0;
    for (std::size_t i = 0; i < active.size(); ++i) {
        TermEstimate& e = terms[active[i]];
        e.value = s.beta[i];
        e.standardError = sigma * std::sqrt(s.inverseDiagonal[i]);
        // A term the set tells apart from nothing stays, however coarsely: dropped, a gain
        // of 2.0 +- 0.15 % read through noisy tiles reappeared as a linearity.
        e.identified = e.standardError < kTerms[active[i]].limit ||
                       std::abs(e.value) >= kSignificantErrors * e.standardError;
        const double ratio = e.standardError / kTerms[active[i]].limit;
        if (!e.identified && (ratio >= worstRatio || std::isnan(ratio))) {
            worst = i;
            worstRatio = ratio;
        }
    }
    return worst;
}

}  // namespace

const TermInfo& termInfo(Term term) {
    return kTerms[static_cast<std::size_t>(term)];
}

double differenceErrorFloor() {
    const double perReading = kReadingResolutionPercent * kReadingResolutionPercent / 12.0 +
                              kRepeatabilityFloorPercent * kRepeatabilityFloorPercent;
    return std::sqrt(2.0 * perReading);
}

std::array<double, kTermCount> termRow(const AngleSpectrum& r, int j) {
    return regressors(r, r, j);
}

AngleSpectrum modelDifference(const TermEstimates& terms, const AngleSpectrum& reference) {
    AngleSpectrum out(kSpectrumPoints, 0.0);
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const auto row = termRow(reference, j);
        for (std::size_t t = 0; t < kTermCount; ++t)
            if (terms[t].identified) out[j] += terms[t].value * row[t];
        out[j] += shiftCurvature(terms) * row[kBandwidthIndex];
    }
    return out;
}

std::optional<TermFit> fitTerms(const std::vector<TileSpectra>& tiles, int angle,
                                std::optional<std::size_t> skip) {
    for (std::size_t t = 0; t < tiles.size(); ++t)
        if (t != skip && !complete(tiles[t], angle)) return std::nullopt;
    const Rows rows = collectRows(tiles, angle, skip);
    if (rows.y.empty()) return std::nullopt;
    TermFit fit;
    fit.points = rows.y.size();
    for (TermEstimate& e : fit.terms) e.standardError = kInfinity;
    std::vector<std::size_t> active;
    for (std::size_t t = 0; t < kTermCount; ++t) active.push_back(t);
    double rss = 0.0;
    for (double v : rows.y) rss += v * v;
    while (!active.empty()) {
        const Solution s = solveLeastSquares(designFor(rows, active));
        if (s.degenerate) {
            fit.terms[active[*s.degenerate]] = TermEstimate{0.0, kInfinity, false};
            active.erase(active.begin() + static_cast<std::ptrdiff_t>(*s.degenerate));
            continue;
        }
        const double dof = static_cast<double>(fit.points) - static_cast<double>(active.size());
        const double residualSd = dof > 0.0 ? std::sqrt(s.rss / dof) : kInfinity;
        const std::optional<std::size_t> worst =
            record(s, active, std::max(residualSd, differenceErrorFloor()), fit.terms);
        if (!worst) {
            fit.residualSd = residualSd;
            return fit;
        }
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(*worst));
    }
    fit.residualSd = std::sqrt(rss / static_cast<double>(fit.points));
    return fit;
}

std::string_view recommendationKey(Recommendation r) {
    switch (r) {
        case Recommendation::NoCorrectionNeeded:
            return "no-correction-needed";
        case Recommendation::WriteFactors:
            return "write-factors";
        case Recommendation::FactorsPartly:
            return "factors-partly";
        case Recommendation::Service:
            return "service";
    }
    return "service";
}

namespace {

using AngleFits = std::array<TermFit, kAngleCount>;
using TermMask = std::array<bool, kTermCount>;

// The set as the instrument under correction would read it without the masked terms.
std::vector<TileSpectra> withoutTerms(std::vector<TileSpectra> tiles, const AngleFits& fits,
                                      const TermMask& mask) {
    for (TileSpectra& t : tiles) {
        for (int a = 0; a < kAngleCount; ++a) {
            TermEstimates terms = fits[a].terms;
            for (std::size_t k = 0; k < kTermCount; ++k)
                terms[k].identified = terms[k].identified && mask[k];
            const AngleSpectrum d = modelDifference(terms, t.target[a]);
            for (int j = 0; j < kSpectrumPoints; ++j) t.sample[a][j] -= d[j];
        }
    }
    return tiles;
}

// The normal equations of one tile at one angle, so that a fit without that tile is the set's
// sums less the tile's. For the held-out predictions only: the reported terms come from the QR.
struct Gram {
    std::array<double, kTermCount * kTermCount> xtx{};
    std::array<double, kTermCount> xty{};
};

Gram tileGram(const TileSpectra& tile, int angle) {
    Gram g;
    const AngleSpectrum shape = meanShape(tile, angle);
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const auto row = regressors(tile.target[angle], shape, j);
        const double y = tile.sample[angle][j] - tile.target[angle][j];
        for (std::size_t r = 0; r < kTermCount; ++r) {
            g.xty[r] += row[r] * y;
            for (std::size_t c = 0; c < kTermCount; ++c)
                g.xtx[r * kTermCount + c] += row[r] * row[c];
        }
    }
    return g;
}

// The identified terms of `fit` refitted from `g` (Cholesky on the system scaled to a unit
// diagonal); `fit` as it is when the system is not positive definite.
TermEstimates refit(const Gram& g, const TermEstimates& fit) {
    std::vector<std::size_t> on;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (fit[k].identified) on.push_back(k);
    const std::size_t p = on.size();
    std::vector<double> a(p * p), b(p), d(p);
    for (std::size_t r = 0; r < p; ++r) d[r] = std::sqrt(g.xtx[on[r] * kTermCount + on[r]]);
    for (std::size_t r = 0; r < p; ++r) {
        b[r] = g.xty[on[r]] / d[r];
        for (std::size_t c = 0; c < p; ++c)
            a[r * p + c] = g.xtx[on[r] * kTermCount + on[c]] / (d[r] * d[c]);
    }
    for (std::size_t k = 0; k < p; ++k) {  // a = L L', L in the lower triangle
        for (std::size_t m = 0; m < k; ++m) a[k * p + k] -= a[k * p + m] * a[k * p + m];
        if (!(a[k * p + k] > kDegenerateColumn)) return fit;
        a[k * p + k] = std::sqrt(a[k * p + k]);
        for (std::size_t r = k + 1; r < p; ++r) {
            for (std::size_t m = 0; m < k; ++m) a[r * p + k] -= a[r * p + m] * a[k * p + m];
            a[r * p + k] /= a[k * p + k];
        }
    }
    for (std::size_t r = 0; r < p; ++r) {  // L z = b, then L' x = z
        for (std::size_t m = 0; m < r; ++m) b[r] -= a[r * p + m] * b[m];
        b[r] /= a[r * p + r];
    }
    for (std::size_t r = p; r-- > 0;) {
        for (std::size_t m = r + 1; m < p; ++m) b[r] -= a[m * p + r] * b[m];
        b[r] /= a[r * p + r];
    }
    TermEstimates out = fit;
    for (std::size_t r = 0; r < p; ++r) out[on[r]].value = b[r] / d[r];
    return out;
}

// Every tile's model refitted from the other tiles, with the terms the whole set identifies.
std::vector<AngleFits> heldOutFits(const std::vector<TileSpectra>& tiles, const AngleFits& fits) {
    std::vector<AngleFits> out(tiles.size(), fits);
    for (int a = 0; a < kAngleCount; ++a) {
        std::vector<Gram> grams;
        Gram total;
        for (const TileSpectra& t : tiles) {
            grams.push_back(tileGram(t, a));
            for (std::size_t i = 0; i < total.xtx.size(); ++i) total.xtx[i] += grams.back().xtx[i];
            for (std::size_t i = 0; i < kTermCount; ++i) total.xty[i] += grams.back().xty[i];
        }
        for (std::size_t k = 0; k < tiles.size(); ++k) {
            Gram rest = total;
            for (std::size_t i = 0; i < rest.xtx.size(); ++i) rest.xtx[i] -= grams[k].xtx[i];
            for (std::size_t i = 0; i < kTermCount; ++i) rest.xty[i] -= grams[k].xty[i];
            out[k][a].terms = refit(rest, fits[a].terms);
        }
    }
    return out;
}

// Each tile corrected by what the other tiles alone say, judged together: per angle the mean.
// With `fits` the tile's errors are removed, without them the factors are applied.
std::array<double, kAngleCount> heldOutMeans(EvaluateHueControl& engine,
                                             const std::vector<TileSpectra>& tiles,
                                             const SetLimits& limits, const AngleFits* fits) {
    std::array<double, kAngleCount> out;
    out.fill(std::numeric_limits<double>::quiet_NaN());
    if (tiles.size() < 2) return out;
    const std::vector<AngleFits> models =
        fits ? heldOutFits(tiles, *fits) : std::vector<AngleFits>{};
    TermMask all;
    all.fill(true);
    std::vector<TileSpectra> heldOut;
    for (std::size_t k = 0; k < tiles.size(); ++k) {
        TileSpectra tile = tiles[k];
        if (fits) {
            tile = withoutTerms({tile}, models[k], all).front();
        } else {
            std::vector<TileSpectra> others = tiles;
            others.erase(others.begin() + static_cast<std::ptrdiff_t>(k));
            AngleFactors f = fitFactors(others);
            for (auto& angle : f)
                for (double& v : angle) v = roundedToTwoDecimals(v);
            tile.sample = applyFactors(tile.sample, f);
        }
        heldOut.push_back(tile);
    }
    const auto judged = judgeSet(engine, heldOut, limits);
    for (int a = 0; a < kAngleCount; ++a) out[a] = judged->angles[a].mean;
    return out;
}

std::string signedText(double value, int decimals) {
    return formatFixed(std::abs(value), decimals);
}

// What service has to put right, in words, for a term factors cannot remove.
std::string serviceCause(Term term, double v, int angle) {
    const std::string at = " at " + std::to_string(angle) + " degrees";
    switch (term) {
        case Term::Offset:
            return "zero calibration: " + signedText(v, 2) + " % " +
                   (v > 0 ? "added to" : "missing from") + " every reading" + at;
        case Term::Linearity:
            return "photometric linearity: readings bent by " + formatFixed(v, 3) + at + " (" +
                   formatFixed(25.0 * v, 2) + " % at 50 % reflectance)";
        case Term::Shift:
            return "wavelength calibration: the instrument reads " + signedText(v, 1) + " nm " +
                   (v < 0 ? "long" : "short") + at + " (at each wavelength it reads what lies " +
                   signedText(v, 1) + " nm " + (v < 0 ? "shorter" : "longer") + ")";
        case Term::ScaleError:
            return "wavelength scale: off by " + formatFixed(v, 4) + " nm per nm" + at + " (" +
                   signedText(150.0 * v, 2) + " nm at 400 and 700 nm)";
        case Term::Bandwidth:
            return std::string("bandwidth: the bandpass is ") + (v > 0 ? "wider" : "narrower") +
                   " than the reference's" + at + " (" + formatFixed(v, 1) + " nm2)";
        default:
            return "an error factors cannot remove" + at;
    }
}

}  // namespace

namespace {

// The identified term factors cannot remove whose removal alone takes the most away.
std::optional<Term> culprit(const AngleDiagnosis& d) {
    std::optional<Term> best;
    double bestShare = 0.0;
    for (std::size_t k = 0; k < kTermCount; ++k) {
        const TermEstimate& e = d.fit.terms[k];
        if (kTerms[k].factorsRemove || !e.identified) continue;
        if (std::abs(e.value) < kSignificantErrors * e.standardError) continue;  // chance
        if (d.share[k] > bestShare) {
            best = static_cast<Term>(k);
            bestShare = d.share[k];
        }
    }
    return best;
}

// Factors are the right correction when they bring the set within its limits; when they do
// not and a term they cannot remove explains what stays, writing them would only hide it.
void decide(AngleDiagnosis& d, bool passedBefore, bool passedAfterFactors) {
    const std::string at = " at " + std::to_string(d.angleDegrees) + " degrees";
    const std::optional<Term> cause = culprit(d);
    if (passedBefore) {
        d.recommendation = Recommendation::NoCorrectionNeeded;
        d.reason = "the set passes" + at + " as read";
    } else if (passedAfterFactors) {
        d.recommendation = Recommendation::WriteFactors;
        d.reason = "the fitted factors bring the set within its limits" + at;
    } else if (cause && d.meanAfterModel < d.meanAfterFactors) {
        const std::size_t k = static_cast<std::size_t>(*cause);
        d.recommendation = Recommendation::Service;
        d.reason = serviceCause(*cause, d.fit.terms[k].value, d.angleDegrees) + "; it explains " +
                   formatFixed(100.0 * d.share[k], 0) + " % of the mean colour difference";
    } else if (d.meanAfterFactors < d.meanBefore) {
        d.recommendation = Recommendation::FactorsPartly;
        d.reason = "the fitted factors reduce the mean colour difference" + at + " from " +
                   formatFixed(d.meanBefore, 2) + " to " + formatFixed(d.meanAfterFactors, 2) +
                   ", not within the set's limits";
    } else {
        d.recommendation = Recommendation::Service;
        d.reason = "a difference" + at + " that neither factors nor a known error explains";
    }
}

}  // namespace

std::optional<Diagnosis> diagnose(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                                  const SetLimits& limits) {
    const auto before = judgeSet(engine, tiles, limits);
    if (!before) return std::nullopt;
    const auto afterFactors = predictedAgreement(engine, tiles, fitFactors(tiles), limits);
    AngleFits fits;
    for (int a = 0; a < kAngleCount; ++a) fits[a] = *fitTerms(tiles, a);
    TermMask all;
    all.fill(true);
    const auto afterModel = judgeSet(engine, withoutTerms(tiles, fits, all), limits);
    const auto looFactors = heldOutMeans(engine, tiles, limits, nullptr);
    const auto looModel = heldOutMeans(engine, tiles, limits, &fits);
    std::array<std::array<double, kTermCount>, kAngleCount> shares{};
    for (std::size_t k = 0; k < kTermCount; ++k) {
        TermMask one{};
        one[k] = true;
        const auto alone = judgeSet(engine, withoutTerms(tiles, fits, one), limits);
        for (int a = 0; a < kAngleCount; ++a)
            if (fits[a].terms[k].identified && before->angles[a].mean > 0.0)
                shares[a][k] = 1.0 - alone->angles[a].mean / before->angles[a].mean;
    }
    Diagnosis out;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleDiagnosis& d = out.angles[a];
        d.angleDegrees = kAngleDegrees[a];
        d.fit = fits[a];
        d.meanBefore = before->angles[a].mean;
        d.largestBefore = before->angles[a].largest;
        d.meanAfterFactors = afterFactors->angles[a].mean;
        d.largestAfterFactors = afterFactors->angles[a].largest;
        d.meanAfterModel = afterModel->angles[a].mean;
        d.largestAfterModel = afterModel->angles[a].largest;
        d.leaveOneOutFactors = looFactors[a];
        d.leaveOneOutModel = looModel[a];
        d.share = shares[a];
        decide(d, before->angles[a].passed, afterFactors->angles[a].passed);
        out.overall = std::max(out.overall, d.recommendation);
    }
    return out;
}

}  // namespace qv
