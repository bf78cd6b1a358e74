#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/colour/evaluate_hue_control.h"
#include "core/colour/spectrum.h"

namespace qv {

inline constexpr std::int32_t kTargetMode = 1;
inline constexpr std::int32_t kSampleMode = 0;

// The colour engine as the measuring workflows call it: target or sample data of one angle,
// then one item per request.
class ColourRequests {
public:
    explicit ColourRequests(EvaluateHueControl& engine) : engine_(engine) {}

    void setTarget(int angle, const AngleSpectrum& spectrum);
    void setSample(int angle, const AngleSpectrum& spectrum);
    // The item's value; NaN when the engine cannot answer (a spectrum it refused), so that an
    // unusable measurement can never pass for a perfect one.
    double request(std::int32_t code, std::int32_t mode) const;
    // L*, a*, b* of the target (mode 1) or the sample (mode 0).
    std::array<double, 3> coordinates(std::int32_t mode) const;
    // Parametric factors 1, 1, 1 for every formula before a colour-difference judgement.
    void prepareDifferences();

    EvaluateHueControl& engine() { return engine_; }

private:
    EvaluateHueControl& engine_;
};

// The 10-degree observer and D65, set afresh.
void applyStandardViewing(EvaluateHueControl& engine);

// The engine a checking dialog owns: key version, the 10-degree observer, D65, and the
// colour-difference formula the operator chose.
std::unique_ptr<EvaluateHueControl> makeColourEngine(enuKEY_VERSION keyVersion,
                                                     DeltaEFormula formula);

}  // namespace qv
