#include "core/tiles/set_agreement.h"

#include <cmath>

#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/colour/tristimulus.h"

namespace qv {

namespace {

AngleAgreement summarise(const std::vector<std::array<double, kAngleCount>>& deltaE, int angle,
                         const SetLimits& limits) {
    AngleAgreement s;
    double sum = 0.0;
    double squares = 0.0;
    for (std::size_t t = 0; t < deltaE.size(); ++t) {
        const double d = deltaE[t][angle];
        sum += d;
        squares += d * d;
        // A NaN difference is the largest, so that it can never hide behind a finite one.
        if (t == 0 || (!std::isnan(s.largest) && (std::isnan(d) || d > s.largest))) {
            s.largest = d;
            s.largestTile = t;
        }
    }
    const double n = static_cast<double>(deltaE.size());
    s.mean = sum / n;
    s.rms = std::sqrt(squares / n);
    s.passed = passesThreshold(s.mean, limits.meanThreshold) &&
               passesThreshold(s.largest, limits.largestThreshold);
    if (limits.productTolerance && *limits.productTolerance > 0.0)
        s.shareOfTolerance = s.mean / *limits.productTolerance;
    return s;
}

}  // namespace

std::optional<SetAgreement> judgeSet(EvaluateHueControl& engine,
                                     const std::vector<TileSpectra>& tiles,
                                     const SetLimits& limits) {
    if (tiles.empty()) return std::nullopt;
    for (const TileSpectra& t : tiles)
        for (int a = 0; a < kAngleCount; ++a)
            if (t.target[a].size() < kSpectrumPoints || t.sample[a].size() < kSpectrumPoints)
                return std::nullopt;
    ColourRequests requests(engine);
    requests.prepareDifferences();
    SetAgreement out;
    for (const TileSpectra& tile : tiles) {
        std::array<double, kAngleCount> dE{};
        auto& target = out.targetLab.emplace_back();
        auto& difference = out.labDifference.emplace_back();
        for (int a = 0; a < kAngleCount; ++a) {
            requests.setTarget(a, tile.target[a]);
            requests.request(item::kTotalDifference, kTargetMode);
            requests.setSample(a, tile.sample[a]);
            dE[a] = requests.request(item::kTotalDifference, kSampleMode);
            const Lab t = spectrumToLab(SpectrumView(tile.target[a].data(), kColourPoints));
            const Lab s = spectrumToLab(SpectrumView(tile.sample[a].data(), kColourPoints));
            target[a] = {t.L, t.a, t.b};
            difference[a] = {s.L - t.L, s.a - t.a, s.b - t.b};
        }
        out.deltaE.push_back(dE);
    }
    out.passed = true;
    for (int a = 0; a < kAngleCount; ++a) {
        out.angles[a] = summarise(out.deltaE, a, limits);
        out.passed = out.passed && out.angles[a].passed;
    }
    return out;
}

}  // namespace qv
