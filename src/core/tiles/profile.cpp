#include "core/tiles/profile.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/colour/delta_e.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/diagnosis_normal.h"

namespace qv {

namespace {

constexpr double kIdentity = std::numeric_limits<double>::infinity();

bool usable(const AngleSpectrum& s) {
    if (s.size() < static_cast<std::size_t>(kSpectrumPoints)) return false;
    return std::all_of(s.begin(), s.begin() + kSpectrumPoints,
                       [](double v) { return std::isfinite(v); });
}

std::string refusalOf(const std::vector<TileSpectra>& tiles) {
    if (tiles.size() < kMinProfileTiles)
        return "A profile needs at least " + std::to_string(kMinProfileTiles) +
               " tiles read on both instruments; the set has " + std::to_string(tiles.size()) + ".";
    for (std::size_t t = 0; t < tiles.size(); ++t)
        for (int a = 0; a < kAngleCount; ++a) {
            const bool master = usable(tiles[t].target[a]);
            if (master && usable(tiles[t].sample[a])) continue;
            return "Tile " + std::to_string(t + 1) + " at " + std::to_string(kAngleDegrees[a]) +
                   " degrees: the " + (master ? "instrument's" : "master's") +
                   " reading is not 31 finite reflectances.";
        }
    return {};
}

Lab labOf(const AngleSpectrum& s) {
    return spectrumToLab(SpectrumView(s.data(), kColourPoints));
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double at = p * static_cast<double>(v.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, v.size() - 1);
    return v[below] + (at - static_cast<double>(below)) * (v[above] - v[below]);
}

// What stage 1 fits at one angle: the whole set's fit, the terms it cannot see, and the
// normal equations tile by tile, so that a fit without a tile is the sums less its own.
struct StageOneBasis {
    TermFit fit;
    std::vector<Term> unseen;
    TermMask on{};
    std::vector<Gram> grams;
};

StageOneBasis stageOneBasis(const std::vector<TileSpectra>& tiles, int angle) {
    StageOneBasis b{*fitTerms(tiles, angle), {}, {}, {}};
    b.unseen = unseenTerms(b.fit);
    for (std::size_t k = 0; k < kTermCount; ++k)
        b.on[k] =
            std::isfinite(b.fit.terms[k].leastSquaresError) &&
            std::find(b.unseen.begin(), b.unseen.end(), static_cast<Term>(k)) == b.unseen.end();
    for (const TileSpectra& t : tiles) b.grams.push_back(tileGram(t, angle));
    return b;
}

// Stage 1 over every tile but `skip`. The terms the set cannot see are left out of the fit
// itself, not only set to zero afterwards: fitted beside the others they would have taken a
// share of what the others must now carry. A tile left out keeps the whole set's choice of
// terms: fewer tiles see no term more, and a term that rested on the tile left out makes the
// prediction of it worse, not better, so the residual stated errs on the safe side (and
// judging the terms again for every tile would double the fit's time).
void fitStageOne(const StageOneBasis& basis, std::optional<std::size_t> skip, AngleProfile& out) {
    out.unseen = basis.unseen;
    Gram total;
    for (std::size_t t = 0; t < basis.grams.size(); ++t)
        if (t != skip) total += basis.grams[t];
    const NormalSolution s = solveNormal(total, basis.on);
    for (std::size_t k = 0; k < kTermCount; ++k) {
        out.terms[k] = basis.fit.terms[k];
        out.terms[k].value = s.estimated[k] ? s.beta[k] : 0.0;
        out.terms[k].identified = s.estimated[k];
    }
}

// Per tile the master's reading and the instrument's with stage 1 removed: stage 2's data.
struct Pairs {
    std::vector<AngleSpectrum> master, inverted;
    std::vector<Lab> masterLab;  // once, for every strength tried
};

Pairs pairsOf(const std::vector<TileSpectra>& tiles, int angle, std::optional<std::size_t> skip,
              const TermEstimates& terms) {
    Pairs p;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        if (t == skip) continue;
        p.master.emplace_back(tiles[t].target[angle].begin(),
                              tiles[t].target[angle].begin() + kSpectrumPoints);
        p.inverted.push_back(invertTerms(terms, tiles[t].sample[angle]));
        p.masterLab.push_back(labOf(p.master.back()));
    }
    return p;
}

// One wavelength's ridge regression of d = master - inverted on z = (1, inverted / 100):
// (Z'Z + ridge I) theta = Z'd, so that theta = 0 is the identity.
struct Ridge {
    double m00 = 0.0, m01 = 0.0, m11 = 0.0;  // (Z'Z + ridge I)^-1
    double a = 0.0, c = 0.0;                 // theta: offset, and slope less 1 times 100
};

Ridge solveRidge(const Pairs& p, int j, double ridge) {
    double s0 = 0.0, s1 = 0.0, s11 = 0.0, d0 = 0.0, d1 = 0.0;
    for (std::size_t t = 0; t < p.master.size(); ++t) {
        const double u = p.inverted[t][j] / 100.0, d = p.master[t][j] - p.inverted[t][j];
        s0 += 1.0;
        s1 += u;
        s11 += u * u;
        d0 += d;
        d1 += u * d;
    }
    const double n00 = s0 + ridge, n11 = s11 + ridge, det = n00 * n11 - s1 * s1;
    Ridge r{n11 / det, -s1 / det, n00 / det};
    r.a = r.m00 * d0 + r.m01 * d1;
    r.c = r.m01 * d0 + r.m11 * d1;
    return r;
}

// Each tile's master reading as the second stage fitted without it predicts it: the ridge's
// residual over one less its leverage, exactly what a refit without the tile leaves (the
// penalty does not depend on the tiles).
std::vector<AngleSpectrum> leftOutPredictions(const Pairs& p, double ridge) {
    std::vector<AngleSpectrum> out = p.inverted;
    if (ridge == kIdentity) return out;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const Ridge r = solveRidge(p, j, ridge);
        for (std::size_t t = 0; t < p.master.size(); ++t) {
            const double u = p.inverted[t][j] / 100.0;
            const double residual = p.master[t][j] - p.inverted[t][j] - r.a - r.c * u;
            const double leverage = r.m00 + 2.0 * r.m01 * u + r.m11 * u * u;
            out[t][j] = p.master[t][j] - residual / (1.0 - leverage);
        }
    }
    return out;
}

double meanDifference(const Pairs& p, const std::vector<AngleSpectrum>& predicted) {
    double sum = 0.0;
    for (std::size_t t = 0; t < p.master.size(); ++t)
        sum += deltaE76(p.masterLab[t], labOf(predicted[t]));
    return sum / static_cast<double>(p.master.size());
}

// The strength whose tiles, each left out, come closest to the master on average; from the
// identity down, so that a tie keeps the stronger pull.
double chooseRidge(const Pairs& p) {
    double best = kIdentity;
    double bestMean = meanDifference(p, p.inverted);
    for (auto r = kRidgeStrengths.rbegin(); r != kRidgeStrengths.rend(); ++r) {
        const double mean = meanDifference(p, leftOutPredictions(p, *r));
        if (mean < bestMean) {
            bestMean = mean;
            best = *r;
        }
    }
    return best;
}

void fitStageTwo(const Pairs& p, AngleProfile& out) {
    out.ridge = chooseRidge(p);
    out.offset.fill(0.0);
    out.slope.fill(1.0);
    if (out.ridge == kIdentity) return;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const Ridge r = solveRidge(p, j, out.ridge);
        out.offset[j] = r.a;
        out.slope[j] = 1.0 + r.c / 100.0;
    }
}

AngleProfile fitAngle(const std::vector<TileSpectra>& tiles, const StageOneBasis& basis, int angle,
                      std::optional<std::size_t> skip) {
    AngleProfile out;
    out.angleDegrees = kAngleDegrees[angle];
    fitStageOne(basis, skip, out);
    fitStageTwo(pairsOf(tiles, angle, skip, out.terms), out);
    return out;
}

// Every tile predicted by both stages fitted again without it.
HeldOutResidual leaveOneOut(const std::vector<TileSpectra>& tiles, const StageOneBasis& basis,
                            int angle) {
    std::vector<double> differences;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const AngleProfile without = fitAngle(tiles, basis, angle, t);
        const auto predicted = standardise(without, tiles[t].sample[angle]);
        differences.push_back(deltaE76(labOf(tiles[t].target[angle]), labOf(*predicted)));
    }
    HeldOutResidual r;
    r.tiles = tiles.size();
    for (double d : differences) r.mean += d / static_cast<double>(differences.size());
    r.percentile95 = percentile(differences, 0.95);
    return r;
}

}  // namespace

AngleSpectrum invertTerms(const TermEstimates& terms, const AngleSpectrum& reading) {
    if (reading.size() < static_cast<std::size_t>(kSpectrumPoints)) return {};
    const AngleSpectrum measured(reading.begin(), reading.begin() + kSpectrumPoints);
    AngleSpectrum x = measured;
    for (int pass = 0; pass < kInversionPasses; ++pass) {
        const AngleSpectrum d = modelDifference(terms, x);
        double moved = 0.0;
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const double next = measured[j] - d[j];
            moved = std::max(moved, std::abs(next - x[j]));
            x[j] = next;
        }
        if (moved < kInversionTolerance) break;
    }
    return x;
}

std::optional<AngleSpectrum> standardise(const AngleProfile& profile,
                                         const AngleSpectrum& reading) {
    if (reading.size() < static_cast<std::size_t>(kSpectrumPoints)) return std::nullopt;
    AngleSpectrum x = invertTerms(profile.terms, reading);
    for (int j = 0; j < kSpectrumPoints; ++j) x[j] = profile.offset[j] + profile.slope[j] * x[j];
    return x;
}

std::optional<ThreeAngles> standardise(const Profile& profile, const ThreeAngles& reading) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        auto s = standardise(profile.angles[a], reading[a]);
        if (!s) return std::nullopt;
        out[a] = std::move(*s);
    }
    return out;
}

ProfileResult fitProfile(const std::vector<TileSpectra>& tiles) {
    ProfileResult result;
    result.refusal = refusalOf(tiles);
    if (!result.refusal.empty()) return result;
    Profile profile;
    for (int a = 0; a < kAngleCount; ++a) {
        const StageOneBasis basis = stageOneBasis(tiles, a);
        profile.angles[a] = fitAngle(tiles, basis, a, std::nullopt);
        profile.angles[a].leaveOneOut = leaveOneOut(tiles, basis, a);
    }
    result.profile = profile;
    return result;
}

}  // namespace qv
