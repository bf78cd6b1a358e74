#pragma once

// A correction fitted over a tile set. The instrument keeps one factor per angle at each of
// its 16 correction wavelengths; over several tiles the factor that best maps the readings of
// the instrument under correction onto the reference's, in the least-squares sense through the
// origin, is f = sum(target * sample) / sum(sample^2). Dark tiles weigh little, as they should:
// their ratios are mostly noise.

#include <array>
#include <cstddef>
#include <vector>

#include "core/coeff/coefficient_blocks.h"
#include "core/tiles/set_agreement.h"

namespace qv {

using AngleFactors = std::array<std::array<double, kBlockWavelengths>, kAngleCount>;

// NaN where every tile's sample reads 0.
AngleFactors fitFactors(const std::vector<TileSpectra>& tiles);
// The factors of one tile alone: target / sample.
AngleFactors ratioFactors(const TileSpectra& tile);

// The 31 reflectances of `sample` as the corrected instrument reads them: each correction
// wavelength times its factor, the wavelengths between them times the mean of their two
// neighbours' factors.
ThreeAngles applyFactors(const ThreeAngles& sample, const AngleFactors& factors);

// The agreement the set would reach with the factors applied to its stored readings, each
// factor rounded to the two decimals an entry keeps.
std::optional<SetAgreement> predictedAgreement(EvaluateHueControl& engine,
                                               const std::vector<TileSpectra>& tiles,
                                               const AngleFactors& factors,
                                               const SetLimits& limits);

// A set judged as it stands, with the factors fitted over it and what they, and a correction
// from the lightest tile alone, would leave: the one step by which the tile-set window and the
// command line judge a set. None when a reading lacks reflectances.
struct SetJudgement {
    SetAgreement now;
    AngleFactors factors{};
    std::optional<SetAgreement> lightestOnly;
    std::optional<SetAgreement> fitted;
};
std::optional<SetJudgement> judgeAndPredict(EvaluateHueControl& engine,
                                            const std::vector<TileSpectra>& tiles,
                                            const SetLimits& limits);

// True when both sets of factors are the same once rounded as an entry keeps them.
bool sameWrittenFactors(const AngleFactors& a, const AngleFactors& b);

// The tile whose sample reads lightest: the highest mean reflectance at 45°.
std::size_t lightestTile(const std::vector<TileSpectra>& tiles);

// The fitted correction in the form the write path takes (it computes target / sample): the
// sample is the lightest tile's reading, the target that reading with the factors applied,
// both with their coordinates from `engine` as a measurement keeps them.
TileSpectra correctionPair(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                           const AngleFactors& factors);

}  // namespace qv
