#include "core/tiles/diagnosis_normal.h"

#include <cmath>

namespace qv {

namespace {

// A scaled pivot at or below this: the column keeps less than 3e-5 of its length once the
// columns before it are projected out, and says nothing they do not.
constexpr double kDegeneratePivot = 1e-9;

}  // namespace

Gram& Gram::operator+=(const Gram& other) {
    for (std::size_t i = 0; i < xtx.size(); ++i) xtx[i] += other.xtx[i];
    for (std::size_t i = 0; i < xty.size(); ++i) xty[i] += other.xty[i];
    return *this;
}

Gram& Gram::operator-=(const Gram& other) {
    for (std::size_t i = 0; i < xtx.size(); ++i) xtx[i] -= other.xtx[i];
    for (std::size_t i = 0; i < xty.size(); ++i) xty[i] -= other.xty[i];
    return *this;
}

bool cholesky(std::vector<double>& a, std::size_t p, double tiny, std::size_t& failed) {
    for (std::size_t k = 0; k < p; ++k) {
        for (std::size_t m = 0; m < k; ++m) a[k * p + k] -= a[k * p + m] * a[k * p + m];
        if (!(a[k * p + k] > tiny)) {
            failed = k;
            return false;
        }
        a[k * p + k] = std::sqrt(a[k * p + k]);
        for (std::size_t r = k + 1; r < p; ++r) {
            for (std::size_t m = 0; m < k; ++m) a[r * p + k] -= a[r * p + m] * a[k * p + m];
            a[r * p + k] /= a[k * p + k];
        }
    }
    return true;
}

void choleskySolve(const std::vector<double>& l, std::size_t p, std::vector<double>& b) {
    for (std::size_t r = 0; r < p; ++r) {  // L z = b
        for (std::size_t m = 0; m < r; ++m) b[r] -= l[r * p + m] * b[m];
        b[r] /= l[r * p + r];
    }
    for (std::size_t r = p; r-- > 0;) {  // L' x = z
        for (std::size_t m = r + 1; m < p; ++m) b[r] -= l[m * p + r] * b[m];
        b[r] /= l[r * p + r];
    }
}

NormalSolution solveNormal(const Gram& g, const TermMask& on) {
    NormalSolution s;
    std::vector<std::size_t> terms;
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (on[k] && g.xtx[k * kTermCount + k] > 0.0) terms.push_back(k);
    while (!terms.empty()) {
        const std::size_t p = terms.size();
        std::vector<double> a(p * p), b(p), d(p);
        for (std::size_t r = 0; r < p; ++r)
            d[r] = std::sqrt(g.xtx[terms[r] * kTermCount + terms[r]]);
        for (std::size_t r = 0; r < p; ++r) {
            b[r] = g.xty[terms[r]] / d[r];
            for (std::size_t c = 0; c < p; ++c)
                a[r * p + c] = g.xtx[terms[r] * kTermCount + terms[c]] / (d[r] * d[c]);
        }
        std::size_t failed = 0;
        if (!cholesky(a, p, kDegeneratePivot, failed)) {
            terms.erase(terms.begin() + static_cast<std::ptrdiff_t>(failed));
            continue;
        }
        choleskySolve(a, p, b);
        // diag((L L')^-1): the squared column lengths of L^-1, column by column.
        for (std::size_t c = 0; c < p; ++c) {
            std::vector<double> e(p, 0.0);
            e[c] = 1.0;
            for (std::size_t r = c; r < p; ++r) {
                for (std::size_t m = c; m < r; ++m) e[r] -= a[r * p + m] * e[m];
                e[r] /= a[r * p + r];
            }
            double sum = 0.0;
            for (std::size_t r = c; r < p; ++r) sum += e[r] * e[r];
            s.inverseDiagonal[terms[c]] = sum / (d[c] * d[c]);
        }
        for (std::size_t r = 0; r < p; ++r) {
            s.beta[terms[r]] = b[r] / d[r];
            s.estimated[terms[r]] = true;
        }
        break;
    }
    return s;
}

}  // namespace qv
