// The diagnosis' least squares: the regressors, the full model by QR, the jackknife over tiles,
// the groups of terms the set cannot tell apart, and what it sees without some tiles.
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/tiles/diagnosis.h"
#include "core/tiles/diagnosis_normal.h"

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
// The same tail (0.27 % on both sides) of Student's t with 1..30 degrees of freedom.
constexpr std::array<double, 31> kStudentTail = {0.0,  235.78, 19.21, 9.22, 6.62, 5.51, 4.9,  4.53,
                                                 4.28, 4.09,   3.96,  3.85, 3.76, 3.69, 3.64, 3.59,
                                                 3.54, 3.51,   3.48,  3.45, 3.42, 3.4,  3.38, 3.36,
                                                 3.34, 3.33,   3.32,  3.3,  3.29, 3.28, 3.27};
// The same tail (0.27 %) for a group of 1..7 terms tested together: chi-square quantiles.
constexpr std::array<double, kTermCount + 1> kJointlySignificant = {0.0,   9.0,   11.83, 14.16,
                                                                    16.25, 18.21, 20.06, 21.85};

constexpr std::array<TermInfo, kTermCount> kTerms = {{
    {"offset", "%", 0.05, false, "% reflectance added to every reading"},
    {"gain", "%", 0.1, true, "every reading this many % high (T = R (1 + value/100))"},
    {"gainTilt", "%/nm", 0.002, true,
     "the gain grows by this many % per nm away from 550 nm (x = wavelength - 550 nm)"},
    {"linearity", "", 0.005, false,
     "readings bent by value * R (1 - R/100): value * 25 % at 50 % reflectance"},
    {"shift", "nm", 0.1, false,
     "band centres lie this many nm longer than nominal (negative: shorter): the instrument "
     "reads at each nominal wavelength what lies this much longer"},
    {"scaleError", "nm/nm", 0.002, false,
     "band centres lie this many nm per nm longer than nominal away from 550 nm "
     "(value * (wavelength - 550 nm))"},
    {"bandwidth", "nm2", 2.0, false,
     "half the difference of the bandpasses' variances, the instrument's less the reference's"},
}};

constexpr std::size_t kShiftIndex = static_cast<std::size_t>(Term::Shift);
constexpr std::size_t kBandwidthIndex = static_cast<std::size_t>(Term::Bandwidth);

// A least-squares problem in column-major order: n rows, one column per active term.
struct Design {
    std::size_t rows = 0;
    std::vector<double> columns;  // column c at [c * rows, (c + 1) * rows)
    std::vector<double> y;
};

struct Solution {
    std::vector<double> beta;
    std::vector<double> inverse;  // (X'X)^-1, p x p row-major
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

// Back substitution, and (X'X)^-1 = R^-1 R^-T.
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
    std::vector<double> inv(p * p, 0.0);  // R^-1, row-major, upper triangular
    for (std::size_t c = 0; c < p; ++c) {
        inv[c * p + c] = 1.0 / rDiag[c];
        for (std::size_t k = c; k-- > 0;) {
            double sum = 0.0;
            for (std::size_t m = k + 1; m <= c; ++m) sum += r(k, m) * inv[m * p + c];
            inv[k * p + c] = -sum / rDiag[k];
        }
    }
    s.inverse.assign(p * p, 0.0);
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = 0; j < p; ++j)
            for (std::size_t c = std::max(i, j); c < p; ++c)
                s.inverse[i * p + j] += inv[i * p + c] * inv[j * p + c];
}

Solution solveLeastSquares(Design d) {
    const std::size_t p = d.columns.size() / d.rows;
    Solution s;
    std::vector<double> scale(p, 1.0);
    std::vector<double> rDiag(p, 0.0);
    if (!scaleColumns(d, scale, s) || !householder(d, rDiag, s)) return s;
    solveTriangular(d, rDiag, s);
    for (std::size_t i = 0; i < p; ++i) {
        s.beta[i] /= scale[i];
        for (std::size_t j = 0; j < p; ++j) s.inverse[i * p + j] /= scale[i] * scale[j];
    }
    return s;
}

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
    std::vector<std::size_t> tile;
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
            rows.tile.push_back(t);
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

// The full model: every term the set can estimate at all, those it cannot told apart (their
// error infinite) and left out.
struct FullModel {
    std::vector<std::size_t> active;
    Solution solution;
};

FullModel fullModel(const Rows& rows, TermFit& fit) {
    FullModel m;
    for (std::size_t t = 0; t < kTermCount; ++t) m.active.push_back(t);
    while (!m.active.empty()) {
        m.solution = solveLeastSquares(designFor(rows, m.active));
        if (!m.solution.degenerate) break;
        const std::size_t k = m.active[*m.solution.degenerate];
        fit.terms[k] = {0.0, kInfinity, false, kInfinity, kInfinity};
        m.active.erase(m.active.begin() + static_cast<std::ptrdiff_t>(*m.solution.degenerate));
    }
    return m;
}

// The jackknife's error of each active term over the tiles that make up `rows`: infinite with
// fewer than two tiles, or when some tile alone carries a term (the others cannot estimate it):
// the others' fit is then another model, whose every estimate took on the missing term's part.
std::array<double, kTermCount> jackknifeErrors(const std::vector<TileSpectra>& tiles, int angle,
                                               const Rows& rows, const FullModel& m) {
    std::array<double, kTermCount> out;
    out.fill(kInfinity);
    std::vector<std::size_t> used(rows.tile);
    used.erase(std::unique(used.begin(), used.end()), used.end());
    if (used.size() < 2) return out;
    TermMask on{};
    for (std::size_t k : m.active) on[k] = true;
    std::vector<Gram> grams;
    Gram total;
    for (std::size_t t : used) total += grams.emplace_back(tileGram(tiles[t], angle));
    std::vector<std::array<double, kTermCount>> values;
    for (const Gram& g : grams) {
        Gram rest = total;
        rest -= g;
        const NormalSolution s = solveNormal(rest, on);
        for (std::size_t k : m.active)
            if (!s.estimated[k]) return out;
        values.push_back(s.beta);
    }
    const double n = static_cast<double>(used.size());
    for (std::size_t k : m.active) {
        double mean = 0.0, sum = 0.0;
        for (const auto& v : values) mean += v[k] / n;
        for (const auto& v : values) sum += (v[k] - mean) * (v[k] - mean);
        out[k] = std::sqrt((n - 1.0) / n * sum);
    }
    return out;
}

// Groups the active terms whose estimates correlate beyond kInseparableCorrelation, directly or
// through another member.
void groupTerms(const FullModel& m, TermFit& fit) {
    const std::size_t p = m.active.size();
    const std::vector<double>& inv = m.solution.inverse;
    fit.correlation.fill(std::numeric_limits<double>::quiet_NaN());
    std::array<std::size_t, kTermCount> root{};
    for (std::size_t i = 0; i < kTermCount; ++i) root[i] = i;
    auto find = [&](std::size_t i) {
        while (root[i] != i) i = root[i];
        return i;
    };
    for (std::size_t i = 0; i < p; ++i) {
        for (std::size_t j = 0; j < p; ++j) {
            const double r = inv[i * p + j] / std::sqrt(inv[i * p + i] * inv[j * p + j]);
            fit.correlation[m.active[i] * kTermCount + m.active[j]] = r;
            if (i < j && std::abs(r) > kInseparableCorrelation)
                root[find(m.active[j])] = find(m.active[i]);
        }
    }
    for (std::size_t k : m.active) {
        if (find(k) != k) continue;
        TermGroup g;
        for (std::size_t o : m.active)
            if (find(o) == k) g.terms.push_back(static_cast<Term>(o));
        if (g.terms.size() > 1) fit.inseparable.push_back(std::move(g));
    }
}

// The group's Wald statistic beta' V^-1 beta against the chi-square tail of a single term's
// three errors, V the least-squares covariance widened as much as its worst member's error.
bool jointlySignificant(const TermGroup& g, const FullModel& m, const TermFit& fit, double sigma) {
    const std::size_t q = g.terms.size();
    std::vector<std::size_t> at;
    double widen = 1.0;
    for (Term t : g.terms) {
        const auto k = static_cast<std::size_t>(t);
        const TermEstimate& e = fit.terms[k];
        if (!std::isfinite(e.standardError)) return false;
        widen = std::max(widen, std::pow(e.standardError / e.leastSquaresError, 2.0));
        at.push_back(static_cast<std::size_t>(std::find(m.active.begin(), m.active.end(), k) -
                                              m.active.begin()));
    }
    const std::size_t p = m.active.size();
    std::vector<double> v(q * q), b(q);
    for (std::size_t r = 0; r < q; ++r) {
        b[r] = fit.terms[static_cast<std::size_t>(g.terms[r])].value;
        for (std::size_t c = 0; c < q; ++c)
            v[r * q + c] = sigma * sigma * widen * m.solution.inverse[at[r] * p + at[c]];
    }
    const std::vector<double> beta = b;
    std::size_t failed = 0;
    if (!cholesky(v, q, 0.0, failed)) return false;
    choleskySolve(v, q, b);
    double wald = 0.0;
    for (std::size_t r = 0; r < q; ++r) wald += beta[r] * b[r];
    // Where a jackknife sets an error, the tail lies as much further out as for one term.
    double tail = 1.0;
    for (Term t : g.terms) {
        const TermEstimate& e = fit.terms[static_cast<std::size_t>(t)];
        tail = std::max(tail, significantErrors(e, fit.tiles) / kSignificantErrors);
    }
    return wald >= tail * tail * kJointlySignificant[std::min(q, kTermCount)];
}

void recordEstimates(const FullModel& m, const std::array<double, kTermCount>& jackknife,
                     double sigma, TermFit& fit) {
    const std::size_t p = m.active.size();
    for (std::size_t i = 0; i < p; ++i) {
        const std::size_t k = m.active[i];
        TermEstimate& e = fit.terms[k];
        e.value = m.solution.beta[i];
        e.leastSquaresError = sigma * std::sqrt(m.solution.inverse[i * p + i]);
        e.jackknifeError = jackknife[k];
        e.standardError = std::max(e.leastSquaresError, e.jackknifeError);
        e.identified = e.standardError < kTerms[k].limit ||
                       std::abs(e.value) >= significantErrors(e, fit.tiles) * e.standardError;
    }
    groupTerms(m, fit);
    for (TermGroup& g : fit.inseparable) {
        g.significant = jointlySignificant(g, m, fit, sigma);
        if (g.significant)
            for (Term t : g.terms) fit.terms[static_cast<std::size_t>(t)].identified = true;
    }
}

}  // namespace

const TermInfo& termInfo(Term term) {
    return kTerms[static_cast<std::size_t>(term)];
}

double significantErrors(const TermEstimate& e, std::size_t tiles) {
    if (!(e.jackknifeError > e.leastSquaresError) || tiles < 2) return kSignificantErrors;
    const std::size_t dof = tiles - 1;
    if (dof < kStudentTail.size()) return kStudentTail[dof];
    // Cornish-Fisher beyond the table: z + (z^3 + z) / (4 dof).
    return kSignificantErrors + 7.5 / static_cast<double>(dof);
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

std::optional<TermFit> fitTerms(const std::vector<TileSpectra>& tiles, int angle,
                                std::optional<std::size_t> skip) {
    for (std::size_t t = 0; t < tiles.size(); ++t)
        if (t != skip && !complete(tiles[t], angle)) return std::nullopt;
    const Rows rows = collectRows(tiles, angle, skip);
    if (rows.y.empty()) return std::nullopt;
    TermFit fit;
    fit.points = rows.y.size();
    fit.tiles = fit.points / kSpectrumPoints;
    const FullModel m = fullModel(rows, fit);
    if (m.active.empty()) {
        double rss = 0.0;
        for (double v : rows.y) rss += v * v;
        fit.residualSd = std::sqrt(rss / static_cast<double>(fit.points));
        return fit;
    }
    const double dof = static_cast<double>(fit.points) - static_cast<double>(m.active.size());
    fit.residualSd = dof > 0.0 ? std::sqrt(m.solution.rss / dof) : kInfinity;
    recordEstimates(m, jackknifeErrors(tiles, angle, rows, m),
                    std::max(fit.residualSd, differenceErrorFloor()), fit);
    return fit;
}

namespace {

// The least squares alone cannot tell it (the readings through these tiles' spectra), or one
// tile alone carries it. Two tiles that disagree say nothing of a set's scatter: each of them
// alone is a fit of its own.
bool unseen(const TermFit& fit, Term t) {
    const TermEstimate& e = fit.terms[static_cast<std::size_t>(t)];
    return !(e.leastSquaresError < termInfo(t).limit) || !std::isfinite(e.jackknifeError) ||
           fit.tiles < kMinTilesForFactors;
}

}  // namespace

std::vector<Term> unseenTerms(const TermFit& fit) {
    std::vector<Term> out;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (!fit.terms[k].identified && unseen(fit, static_cast<Term>(k)))
            out.push_back(static_cast<Term>(k));
    return out;
}

std::vector<Term> unresolvedTerms(const TermFit& fit) {
    std::vector<Term> out;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (!fit.terms[k].identified && !unseen(fit, static_cast<Term>(k)))
            out.push_back(static_cast<Term>(k));
    return out;
}

const TermGroup* groupOf(const TermFit& fit, Term term) {
    for (const TermGroup& g : fit.inseparable)
        if (std::find(g.terms.begin(), g.terms.end(), term) != g.terms.end()) return &g;
    return nullptr;
}

bool restsOn(const std::vector<TileSpectra>& tiles, int angle, const std::vector<bool>& leaveOut,
             const TermFit& fit, Term term) {
    Gram rest;
    for (std::size_t t = 0; t < tiles.size(); ++t)
        if (t >= leaveOut.size() || !leaveOut[t]) rest += tileGram(tiles[t], angle);
    TermMask on{};
    for (std::size_t k = 0; k < kTermCount; ++k)
        on[k] = std::isfinite(fit.terms[k].leastSquaresError);
    const auto k = static_cast<std::size_t>(term);
    const NormalSolution s = solveNormal(rest, on);
    if (!s.estimated[k]) return true;
    const double sigma = std::max(fit.residualSd, differenceErrorFloor());
    return sigma * std::sqrt(s.inverseDiagonal[k]) >= kTerms[k].limit;
}

namespace {

// Normal equations of any width, for the one fit with a column beyond the terms.
struct WideGram {
    std::size_t p = 0;
    std::vector<double> xtx, xty;
    explicit WideGram(std::size_t width) : p(width), xtx(width * width), xty(width) {}
    void add(const WideGram& o, double sign) {
        for (std::size_t i = 0; i < xtx.size(); ++i) xtx[i] += sign * o.xtx[i];
        for (std::size_t i = 0; i < p; ++i) xty[i] += sign * o.xty[i];
    }
};

// The coefficient of the last column and its (X'X)^-1 diagonal; nothing when the system is not
// positive definite.
std::optional<std::pair<double, double>> lastCoefficient(const WideGram& g) {
    const std::size_t p = g.p;
    std::vector<double> d(p), a(p * p), b(p), e(p, 0.0);
    for (std::size_t r = 0; r < p; ++r) d[r] = std::sqrt(g.xtx[r * p + r]);
    for (std::size_t r = 0; r < p; ++r) {
        if (!(d[r] > 0.0)) return std::nullopt;
        b[r] = g.xty[r] / d[r];
        for (std::size_t c = 0; c < p; ++c) a[r * p + c] = g.xtx[r * p + c] / (d[r] * d[c]);
    }
    std::size_t failed = 0;
    if (!cholesky(a, p, kDegenerateColumn, failed)) return std::nullopt;
    choleskySolve(a, p, b);
    e[p - 1] = 1.0;
    choleskySolve(a, p, e);  // the last column of the inverse
    return std::pair{b[p - 1] / d[p - 1], e[p - 1] / (d[p - 1] * d[p - 1])};
}

// Per tile, the normal equations of the full model's `active` terms and the slope again on the
// warm tiles only.
std::vector<WideGram> warmGrams(const Rows& rows, const std::vector<std::size_t>& active,
                                const std::vector<bool>& warm, std::size_t tiles) {
    const std::size_t p = active.size() + 1;
    std::vector<WideGram> out(tiles, WideGram(p));
    std::vector<double> x(p);
    for (std::size_t i = 0; i < rows.y.size(); ++i) {
        const std::size_t t = rows.tile[i];
        for (std::size_t c = 0; c + 1 < p; ++c) x[c] = rows.x[i][active[c]];
        x[p - 1] = t < warm.size() && warm[t] ? rows.x[i][kShiftIndex] : 0.0;
        WideGram& g = out[t];
        for (std::size_t r = 0; r < p; ++r) {
            g.xty[r] += x[r] * rows.y[i];
            for (std::size_t c = 0; c < p; ++c) g.xtx[r * p + c] += x[r] * x[c];
        }
    }
    return out;
}

// The jackknife's error of the last coefficient; infinite when a tile alone carries it.
double wideJackknife(const std::vector<WideGram>& grams, const WideGram& total) {
    std::vector<double> values;
    for (const WideGram& g : grams) {
        WideGram rest = total;
        rest.add(g, -1.0);
        const auto c = lastCoefficient(rest);
        if (!c) return std::numeric_limits<double>::infinity();
        values.push_back(c->first);
    }
    const double n = static_cast<double>(values.size());
    double mean = 0.0, sum = 0.0;
    for (double v : values) mean += v / n;
    for (double v : values) sum += (v - mean) * (v - mean);
    return std::sqrt((n - 1.0) / n * sum);
}

}  // namespace

WarmShift warmShift(const std::vector<TileSpectra>& tiles, int angle, const std::vector<bool>& warm,
                    const TermFit& fit) {
    std::vector<std::size_t> active;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (std::isfinite(fit.terms[k].leastSquaresError)) active.push_back(k);
    const auto shift = std::find(active.begin(), active.end(), kShiftIndex);
    WarmShift out;
    if (shift == active.end() || tiles.size() < kMinTilesForFactors) return out;
    const Rows rows = collectRows(tiles, angle, std::nullopt);
    const std::vector<WideGram> grams = warmGrams(rows, active, warm, tiles.size());
    WideGram total(active.size() + 1);
    for (const WideGram& g : grams) total.add(g, 1.0);
    const auto extra = lastCoefficient(total);
    if (!extra) return out;
    // Where the shift was fitted alone, to read it on the other tiles beside the extra column.
    WideGram others = total;
    const std::size_t p = total.p, at = static_cast<std::size_t>(shift - active.begin());
    for (std::size_t r = 0; r < p; ++r)
        std::swap(others.xtx[r * p + at], others.xtx[r * p + p - 1]);
    for (std::size_t c = 0; c < p; ++c)
        std::swap(others.xtx[at * p + c], others.xtx[(p - 1) * p + c]);
    std::swap(others.xty[at], others.xty[p - 1]);
    const auto base = lastCoefficient(others);
    if (!base) return out;
    const double sigma = std::max(fit.residualSd, differenceErrorFloor());
    TermEstimate difference{extra->first, 0.0, false, sigma * std::sqrt(extra->second),
                            wideJackknife(grams, total)};
    difference.standardError = std::max(difference.leastSquaresError, difference.jackknifeError);
    out.others = base->first;
    out.warm = base->first + extra->first;
    out.differ = std::abs(extra->first) >=
                 significantErrors(difference, tiles.size()) * difference.standardError;
    return out;
}

}  // namespace qv
