#pragma once

// The normal equations of the diagnosis' fit, tile by tile, so that a fit without some tiles is
// the set's sums less theirs: for the jackknife over tiles, the held-out predictions and what
// the set sees without its warm tiles. The reported fit itself is solved by QR.

#include <array>
#include <cstddef>
#include <vector>

#include "core/tiles/diagnosis_terms.h"
#include "core/tiles/set_agreement.h"

namespace qv {

struct Gram {
    std::array<double, kTermCount * kTermCount> xtx{};
    std::array<double, kTermCount> xty{};
    Gram& operator+=(const Gram& other);
    Gram& operator-=(const Gram& other);
};

// One tile at one angle, with the fit's regressors (slope and curvature from the mean of both
// readings).
Gram tileGram(const TileSpectra& tile, int angle);

struct NormalSolution {
    std::array<double, kTermCount> beta{};
    std::array<double, kTermCount> inverseDiagonal{};  // of (X'X)^-1
    TermMask estimated{};  // false for a term asked for that the others already explain
};
// The terms of `on` solved from `g` (Cholesky on the system scaled to a unit diagonal). A term
// the terms before it already explain is left out and the rest solved without it.
NormalSolution solveNormal(const Gram& g, const TermMask& on);

// a (p x p, row-major, symmetric positive definite) = L L', L in the lower triangle; false
// when a pivot falls to `tiny` or below (`failed` names it).
bool cholesky(std::vector<double>& a, std::size_t p, double tiny, std::size_t& failed);
// Solves L L' x = b in place.
void choleskySolve(const std::vector<double>& l, std::size_t p, std::vector<double>& b);

}  // namespace qv
