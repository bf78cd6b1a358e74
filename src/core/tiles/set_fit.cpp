#include "core/tiles/set_fit.h"

#include "core/app/number_format.h"
#include "core/colour/colour_requests.h"
#include "core/colour/evaluated_spectrum.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace qv {

namespace {

constexpr int kEvery = 2;  // a correction wavelength at every second reflectance

double valueAt(const AngleSpectrum& s, int j) {
    return j < static_cast<int>(s.size()) ? s[j] : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

AngleFactors fitFactors(const std::vector<TileSpectra>& tiles) {
    AngleFactors f{};
    for (int a = 0; a < kAngleCount; ++a)
        for (int k = 0; k < kBlockWavelengths; ++k) {
            double cross = 0.0;
            double squares = 0.0;
            for (const TileSpectra& t : tiles) {
                const double s = valueAt(t.sample[a], kEvery * k);
                cross += valueAt(t.target[a], kEvery * k) * s;
                squares += s * s;
            }
            f[a][k] = squares > 0.0 ? cross / squares : std::numeric_limits<double>::quiet_NaN();
        }
    return f;
}

AngleFactors ratioFactors(const TileSpectra& tile) {
    return fitFactors({tile});
}

ThreeAngles applyFactors(const ThreeAngles& sample, const AngleFactors& factors) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto& f = factors[a];
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const int k = j / kEvery;
            const double factor = j % kEvery == 0 ? f[k] : (f[k] + f[k + 1]) / 2.0;
            out[a].push_back(valueAt(sample[a], j) * factor);
        }
    }
    return out;
}

std::optional<SetAgreement> predictedAgreement(EvaluateHueControl& engine,
                                               const std::vector<TileSpectra>& tiles,
                                               const AngleFactors& factors,
                                               const SetLimits& limits) {
    AngleFactors written = factors;
    for (auto& angle : written)
        for (double& f : angle) f = roundedToTwoDecimals(f);
    std::vector<TileSpectra> corrected = tiles;
    for (TileSpectra& t : corrected) t.sample = applyFactors(t.sample, written);
    return judgeSet(engine, corrected, limits);
}

bool sameWrittenFactors(const AngleFactors& a, const AngleFactors& b) {
    for (int angle = 0; angle < kAngleCount; ++angle)
        for (int k = 0; k < kBlockWavelengths; ++k)
            if (roundedToTwoDecimals(a[angle][k]) != roundedToTwoDecimals(b[angle][k]))
                return false;
    return true;
}

std::size_t lightestTile(const std::vector<TileSpectra>& tiles) {
    constexpr int k45 = 1;
    std::size_t best = 0;
    double bestMean = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const AngleSpectrum& s = tiles[i].sample[k45];
        const std::size_t n = std::min<std::size_t>(s.size(), kSpectrumPoints);
        if (n == 0) continue;
        const double mean = std::accumulate(s.begin(), s.begin() + static_cast<long>(n), 0.0) /
                            static_cast<double>(n);
        if (mean > bestMean) {
            bestMean = mean;
            best = i;
        }
    }
    return best;
}

TileSpectra correctionPair(EvaluateHueControl& engine, const std::vector<TileSpectra>& tiles,
                           const AngleFactors& factors) {
    TileSpectra pair;
    if (tiles.empty()) return pair;
    const TileSpectra& light = tiles[lightestTile(tiles)];
    for (int a = 0; a < kAngleCount; ++a)
        pair.sample[a].assign(light.sample[a].begin(),
                              light.sample[a].begin() +
                                  std::min<std::size_t>(light.sample[a].size(), kSpectrumPoints));
    pair.target = applyFactors(pair.sample, factors);
    ColourRequests requests(engine);
    for (int a = 0; a < kAngleCount; ++a) {
        requests.setTarget(a, pair.target[a]);
        appendCoordinates(pair.target[a], requests.coordinates(kTargetMode));
        requests.setSample(a, pair.sample[a]);
        appendCoordinates(pair.sample[a], requests.coordinates(kSampleMode));
    }
    return pair;
}

std::optional<SetJudgement> judgeAndPredict(EvaluateHueControl& engine,
                                            const std::vector<TileSpectra>& tiles,
                                            const SetLimits& limits) {
    const std::optional<SetAgreement> now = judgeSet(engine, tiles, limits);
    if (!now) return std::nullopt;
    SetJudgement j{*now, fitFactors(tiles), std::nullopt, std::nullopt};
    j.lightestOnly =
        predictedAgreement(engine, tiles, ratioFactors(tiles[lightestTile(tiles)]), limits);
    j.fitted = predictedAgreement(engine, tiles, j.factors, limits);
    return j;
}

}  // namespace qv
