#pragma once

// The agreement of two instruments over a tile set: per tile and angle the colour difference
// between the reference instrument's reading (target) and that of the instrument under
// correction (sample), per angle their mean, largest and root mean square.

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/colour/evaluate_hue_control.h"
#include "core/colour/spectrum.h"
#include "core/tiles/tile_set.h"

namespace qv {

// One tile read on both instruments (31 reflectances per angle; later elements are ignored).
struct TileSpectra {
    ThreeAngles target;
    ThreeAngles sample;
};

struct AngleAgreement {
    double mean = 0.0;
    double largest = 0.0;
    std::size_t largestTile = 0;
    double rms = 0.0;
    bool passed = false;
    std::optional<double> shareOfTolerance;  // the mean over the product tolerance
};

struct SetAgreement {
    std::vector<std::array<double, kAngleCount>> deltaE;  // [tile][angle]
    std::array<AngleAgreement, kAngleCount> angles;
    bool passed = false;
    // Each tile's L*, a*, b* (D65, 10°) as the reference reads it, and the instrument's
    // difference from it (instrument less reference): [tile][angle].
    std::vector<std::array<std::array<double, 3>, kAngleCount>> targetLab{}, labDifference{};
};

// Judged with the engine's colour-difference formula. A difference the engine cannot compute
// (NaN) fails its angle. Nothing is judged without tiles or with a reading of fewer than 31
// reflectances.
std::optional<SetAgreement> judgeSet(EvaluateHueControl& engine,
                                     const std::vector<TileSpectra>& tiles,
                                     const SetLimits& limits);

}  // namespace qv
