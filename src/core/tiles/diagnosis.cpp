#include "core/tiles/diagnosis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>

#include "core/app/number_format.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/diagnosis_normal.h"
#include "core/tiles/set_fit.h"

namespace qv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kShiftIndex = static_cast<std::size_t>(Term::Shift);
// A tile carries a failure alone when, corrected by the factors of the others, it differs at
// least this many times as much as the worst of the others does without it.
constexpr double kFarBeyond = 3.0;
// A tile misplaced, tilted or soiled reads its whole spectrum higher or lower: a level of its
// own (offset and gain) leaves at most this share of its difference's sum of squares. A
// wavelength error on a steep edge leaves more than half.
constexpr double kLevelOnlyShare = 0.1;
// Warm tiles (red, orange, yellow) reflect long wavelengths and absorb short ones, and their
// edges move with temperature: the mean of 620-700 nm at least this many times 400-480 nm's.
constexpr double kWarmRatio = 3.0;

using AngleFits = std::array<TermFit, kAngleCount>;
using AngleMasks = std::array<TermMask, kAngleCount>;

// The set as the instrument under correction would read it without the masked terms.
std::vector<TileSpectra> withoutTerms(std::vector<TileSpectra> tiles, const AngleFits& fits,
                                      const AngleMasks& masks) {
    for (TileSpectra& t : tiles) {
        for (int a = 0; a < kAngleCount; ++a) {
            TermEstimates terms = fits[a].terms;
            for (std::size_t k = 0; k < kTermCount; ++k)
                terms[k].identified = terms[k].identified && masks[a][k];
            const AngleSpectrum d = modelDifference(terms, t.target[a]);
            for (int j = 0; j < kSpectrumPoints; ++j) t.sample[a][j] -= d[j];
        }
    }
    return tiles;
}

AngleMasks everyAngle(const TermMask& mask) {
    AngleMasks m;
    m.fill(mask);
    return m;
}

// Every tile's model refitted from the other tiles, with the terms the whole set identifies;
// a term the others cannot estimate is left out of that tile's prediction.
std::vector<AngleFits> heldOutFits(const std::vector<TileSpectra>& tiles, const AngleFits& fits) {
    std::vector<AngleFits> out(tiles.size(), fits);
    for (int a = 0; a < kAngleCount; ++a) {
        TermMask on{};
        for (std::size_t k = 0; k < kTermCount; ++k) on[k] = fits[a].terms[k].identified;
        std::vector<Gram> grams;
        Gram total;
        for (const TileSpectra& t : tiles) total += grams.emplace_back(tileGram(t, a));
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            Gram rest = total;
            rest -= grams[t];
            const NormalSolution s = solveNormal(rest, on);
            for (std::size_t k = 0; k < kTermCount; ++k) {
                out[t][a].terms[k].value = s.beta[k];
                out[t][a].terms[k].identified = on[k] && s.estimated[k];
            }
        }
    }
    return out;
}

// Each tile corrected by what the other tiles alone say, the set judged so: with `fits` the
// tile's errors removed, without them the factors applied. Nothing with fewer than two tiles.
std::optional<SetAgreement> heldOut(EvaluateHueControl& engine,
                                    const std::vector<TileSpectra>& tiles, const SetLimits& limits,
                                    const AngleFits* fits) {
    if (tiles.size() < 2) return std::nullopt;
    const std::vector<AngleFits> models =
        fits ? heldOutFits(tiles, *fits) : std::vector<AngleFits>{};
    TermMask all;
    all.fill(true);
    std::vector<TileSpectra> predicted;
    for (std::size_t k = 0; k < tiles.size(); ++k) {
        TileSpectra tile = tiles[k];
        if (fits) {
            tile = withoutTerms({tile}, models[k], everyAngle(all)).front();
        } else {
            std::vector<TileSpectra> others = tiles;
            others.erase(others.begin() + static_cast<std::ptrdiff_t>(k));
            AngleFactors f = fitFactors(others);
            for (auto& angle : f)
                for (double& v : angle) v = roundedToTwoDecimals(v);
            tile.sample = applyFactors(tile.sample, f);
        }
        predicted.push_back(tile);
    }
    return judgeSet(engine, predicted, limits);
}

// The share of the mean colour difference that removing the masked terms takes away.
std::array<double, kAngleCount> sharesWithout(EvaluateHueControl& engine,
                                              const std::vector<TileSpectra>& tiles,
                                              const SetLimits& limits, const AngleFits& fits,
                                              const AngleMasks& masks, const SetAgreement& before) {
    const auto alone = judgeSet(engine, withoutTerms(tiles, fits, masks), limits);
    std::array<double, kAngleCount> out{};
    for (int a = 0; a < kAngleCount; ++a)
        if (before.angles[a].mean > 0.0)
            out[a] = 1.0 - alone->angles[a].mean / before.angles[a].mean;
    return out;
}

void shares(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
            const SetLimits& limits, const AngleFits& fits, const SetAgreement& before,
            Diagnosis& out) {
    for (std::size_t k = 0; k < kTermCount; ++k) {
        if (std::none_of(fits.begin(), fits.end(),
                         [k](const TermFit& f) { return f.terms[k].identified; }))
            continue;  // nothing to take away: the share stays 0
        TermMask one{};
        one[k] = true;
        const auto s = sharesWithout(engine, tiles, limits, fits, everyAngle(one), before);
        for (int a = 0; a < kAngleCount; ++a)
            out.angles[a].share[k] = fits[a].terms[k].identified ? s[a] : 0.0;
    }
    std::size_t groups = 0;
    for (const TermFit& f : fits) groups = std::max(groups, f.inseparable.size());
    for (int a = 0; a < kAngleCount; ++a)
        out.angles[a].groupShare.assign(fits[a].inseparable.size(), 0.0);
    for (std::size_t g = 0; g < groups; ++g) {
        AngleMasks masks{};
        for (int a = 0; a < kAngleCount; ++a)
            if (g < fits[a].inseparable.size())
                for (Term t : fits[a].inseparable[g].terms)
                    masks[a][static_cast<std::size_t>(t)] = true;
        const auto s = sharesWithout(engine, tiles, limits, fits, masks, before);
        for (int a = 0; a < kAngleCount; ++a)
            if (g < fits[a].inseparable.size()) out.angles[a].groupShare[g] = s[a];
    }
}

double steepestSlope(const AngleSpectrum& reference) {
    double out = 0.0;
    for (int j = 0; j < kSpectrumPoints; ++j)
        out = std::max(out, std::abs(termRow(reference, j)[kShiftIndex]));
    return out;
}

bool warm(const AngleSpectrum& r) {
    double shortMean = 0.0, longMean = 0.0;
    for (int j = 0; j <= 8; ++j) shortMean += r[j] / 9.0;   // 400-480 nm
    for (int j = 22; j <= 30; ++j) longMean += r[j] / 9.0;  // 620-700 nm
    return longMean >= kWarmRatio * std::max(shortMean, 0.0) && longMean > 0.0;
}

// The evidence at one angle: tiles with a steep edge, and whether a shift found (three errors
// from nothing) rests on the warm tiles alone.
void evidence(const std::vector<TileSpectra>& tiles, int a, AngleDiagnosis& d) {
    d.tileCount = tiles.size();
    std::vector<bool> warmTiles;
    for (const TileSpectra& t : tiles) {
        d.steepTiles += steepestSlope(t.target[a]) >= kSteepSlope;
        warmTiles.push_back(warm(t.target[a]));
    }
    const bool anyWarm = std::find(warmTiles.begin(), warmTiles.end(), true) != warmTiles.end();
    const TermEstimate& shift = d.fit.terms[kShiftIndex];
    const TermGroup* group = groupOf(d.fit, Term::Shift);
    const bool found =
        shift.identified &&
        (std::abs(shift.value) >= significantErrors(shift, tiles.size()) * shift.standardError ||
         (group && group->significant));
    if (!found || !anyWarm) return;
    d.shiftOnWarmTilesOnly = restsOn(tiles, a, warmTiles, d.fit, Term::Shift);
    if (!d.shiftOnWarmTilesOnly) d.warmTiles = warmShift(tiles, a, warmTiles, d.fit);
}

// A level of the tile's own, T - R = a + b R, leaves little of its difference.
bool readsAsALevel(const TileSpectra& tile, int a) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const double x = tile.target[a][j], y = tile.sample[a][j] - tile.target[a][j];
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        syy += y * y;
    }
    const double vx = sxx - sx * sx / n, cxy = sxy - sx * sy / n, vy = syy - sy * sy / n;
    const double residual = vx > 0.0 ? vy - cxy * cxy / vx : vy;
    return residual <= kLevelOnlyShare * syy;
}

struct RestJudged {
    std::optional<SetAgreement> asRead, withFactors;
};

// The tile that carries the failure at angle `a` alone, if one does: corrected by the others'
// factors it fails beyond the largest-difference limit, far beyond the worst of the others,
// which pass without it (as read or with held-out factors), and it reads as a level of its own.
std::optional<std::size_t> suspectTile(EvaluateHueControl& engine,
                                       const std::vector<TileSpectra>& tiles,
                                       const SetLimits& limits, const SetAgreement& heldOutF, int a,
                                       std::map<std::size_t, RestJudged>& rests) {
    if (tiles.size() < kMinTilesForFactors) return std::nullopt;
    const std::size_t k = heldOutF.angles[a].largestTile;
    const double worst = heldOutF.deltaE[k][a];
    if (!(worst >= limits.largestThreshold) || !readsAsALevel(tiles[k], a)) return std::nullopt;
    if (!rests.count(k)) {
        std::vector<TileSpectra> rest = tiles;
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(k));
        rests[k] = {judgeSet(engine, rest, limits), heldOut(engine, rest, limits, nullptr)};
    }
    const RestJudged& r = rests[k];
    double others = std::numeric_limits<double>::infinity();
    for (const auto& judged : {r.asRead, r.withFactors})
        if (judged && judged->angles[a].passed)
            others = std::min(others, judged->angles[a].largest);
    if (!(worst >= kFarBeyond * others)) return std::nullopt;
    return k;
}

// Each tile predicted from the others by the model without each possible cause for service,
// judged only where one is possible (most sets have none).
void heldOutWithoutCauses(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                          const SetLimits& limits, const AngleFits& fits, Diagnosis& out) {
    TermMask terms{};
    std::vector<bool> groups;
    for (const AngleDiagnosis& d : out.angles) {
        for (const CauseCandidate& c : inSampleCauses(d)) {
            if (c.term) terms[static_cast<std::size_t>(*c.term)] = true;
            if (c.group) {
                groups.resize(std::max(groups.size(), *c.group + 1), false);
                groups[*c.group] = true;
            }
        }
    }
    const auto without = [&](const AngleMasks& off) {
        AngleFits reduced = fits;
        for (int a = 0; a < kAngleCount; ++a)
            for (std::size_t k = 0; k < kTermCount; ++k)
                reduced[a].terms[k].identified = reduced[a].terms[k].identified && !off[a][k];
        return heldOut(engine, tiles, limits, &reduced);
    };
    for (std::size_t k = 0; k < kTermCount; ++k) {
        if (!terms[k]) continue;
        TermMask one{};
        one[k] = true;
        const auto judged = without(everyAngle(one));
        for (int a = 0; a < kAngleCount; ++a)
            out.angles[a].leaveOneOutWithout[k] = judged ? judged->angles[a].mean : kNaN;
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (!groups[g]) continue;
        AngleMasks off{};
        for (int a = 0; a < kAngleCount; ++a)
            if (g < fits[a].inseparable.size())
                for (Term t : fits[a].inseparable[g].terms)
                    off[a][static_cast<std::size_t>(t)] = true;
        const auto judged = without(off);
        for (int a = 0; a < kAngleCount; ++a)
            if (judged && g < out.angles[a].leaveOneOutWithoutGroup.size())
                out.angles[a].leaveOneOutWithoutGroup[g] = judged->angles[a].mean;
    }
}

}  // namespace

ColourSpan colourSpan(const std::vector<TileSpectra>& tiles, int angle) {
    ColourSpan out;
    std::vector<double> hues;
    for (const TileSpectra& t : tiles) {
        const AngleSpectrum& r = t.target[static_cast<std::size_t>(angle)];
        if (r.size() != static_cast<std::size_t>(kColourPoints)) continue;
        const Lab lab = spectrumToLab(SpectrumView(r.data(), kColourPoints));
        const double chroma = std::hypot(lab.a, lab.b);
        // fmin/fmax pass over the NaN they start from.
        out.lightnessLow = std::fmin(out.lightnessLow, lab.L);
        out.lightnessHigh = std::fmax(out.lightnessHigh, lab.L);
        out.chromaLow = std::fmin(out.chromaLow, chroma);
        out.chromaHigh = std::fmax(out.chromaHigh, chroma);
        if (chroma >= kChromaticChroma) {
            const double h = std::atan2(lab.b, lab.a) * 180.0 / std::numbers::pi;
            hues.push_back(h < 0.0 ? h + 360.0 : h);
        }
    }
    if (hues.empty()) return out;
    // The arc is the circle less its widest gap between neighbouring hues.
    std::sort(hues.begin(), hues.end());
    std::size_t after = 0;  // the hue after the widest gap
    double widest = hues.front() + 360.0 - hues.back();
    for (std::size_t i = 1; i < hues.size(); ++i)
        if (hues[i] - hues[i - 1] > widest) {
            widest = hues[i] - hues[i - 1];
            after = i;
        }
    out.hueFrom = hues[after];
    out.hueTo = hues[(after + hues.size() - 1) % hues.size()];
    return out;
}

DiagnosisResult diagnose(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                         const SetLimits& limits, const std::vector<std::string>& names) {
    DiagnosisResult result;
    result.refused = implausibleTiles(tiles);
    if (!result.refused.empty()) {
        result.refusal = describeRefusal(result.refused, names);
        return result;
    }
    const auto before = judgeSet(engine, tiles, limits);
    if (!before) return result;
    const auto afterFactors = predictedAgreement(engine, tiles, fitFactors(tiles), limits);
    AngleFits fits;
    for (int a = 0; a < kAngleCount; ++a) fits[a] = *fitTerms(tiles, a);
    TermMask all;
    all.fill(true);
    const auto afterModel = judgeSet(engine, withoutTerms(tiles, fits, everyAngle(all)), limits);
    const auto looFactors = heldOut(engine, tiles, limits, nullptr);
    const auto looModel = heldOut(engine, tiles, limits, &fits);
    Diagnosis& out = result.diagnosis.emplace();
    shares(engine, tiles, limits, fits, *before, out);
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
        d.leaveOneOutFactors = looFactors ? looFactors->angles[a].mean : kNaN;
        d.leaveOneOutFactorsLargest = looFactors ? looFactors->angles[a].largest : kNaN;
        d.leaveOneOutFactorsRms = looFactors ? looFactors->angles[a].rms : kNaN;
        d.leaveOneOutModel = looModel ? looModel->angles[a].mean : kNaN;
        for (std::size_t t = 0; t < before->targetLab.size(); ++t) {
            d.tileColour.push_back(before->targetLab[t][a]);
            if (looFactors)
                d.leaveOneOutFactorsDifference.push_back(looFactors->labDifference[t][a]);
        }
        d.span = colourSpan(tiles, a);
        d.leaveOneOutWithoutGroup.assign(d.fit.inseparable.size(), kNaN);
        evidence(tiles, a, d);
    }
    heldOutWithoutCauses(engine, tiles, limits, fits, out);
    for (const AngleDiagnosis& d : out.angles)
        if (d.warmTiles.differ && !out.angles[0].warmTilesMovedAt)
            for (AngleDiagnosis& e : out.angles) e.warmTilesMovedAt = d.angleDegrees;
    std::map<std::size_t, RestJudged> rests;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleDiagnosis& d = out.angles[a];
        if (looFactors && !before->angles[a].passed && !looFactors->angles[a].passed)
            if (const auto k = suspectTile(engine, tiles, limits, *looFactors, a, rests))
                d.suspectTiles.push_back(*k);
        decide(d, limits, names);
        out.overall = std::max(out.overall, d.recommendation);
    }
    return result;
}

}  // namespace qv
