#include "core/colour/colour_requests.h"

#include <cmath>
#include <vector>

namespace qv {

namespace {
constexpr std::int32_t kGeometryFirstAngle = 201;  // 201, 202, 203 for 25°, 45°, 75°
}  // namespace

void ColourRequests::setTarget(int angle, const AngleSpectrum& spectrum) {
    const std::int32_t geometry = kGeometryFirstAngle + angle;
    const SpectralMeasurement header;
    engine_.clearTargetData();
    engine_.setTargetData(header.dataKind, header.stepNm, header.startNm, header.endNm, geometry,
                          spectrum);
}

void ColourRequests::setSample(int angle, const AngleSpectrum& spectrum) {
    const std::int32_t geometry = kGeometryFirstAngle + angle;
    const SpectralMeasurement header;
    engine_.clearSampleData();
    engine_.setSampleData(header.dataKind, header.stepNm, header.startNm, header.endNm, geometry,
                          spectrum);
}

double ColourRequests::request(std::int32_t code, std::int32_t mode) const {
    std::vector<ItemValue> results{ItemValue{code, kItemPreset}};
    if (!engine_.evaluateHue(mode, results)) return std::nan("");
    return results[0].value;
}

std::array<double, 3> ColourRequests::coordinates(std::int32_t mode) const {
    return {request(item::kCoordinate1, mode), request(item::kCoordinate2, mode),
            request(item::kCoordinate3, mode)};
}

void ColourRequests::prepareDifferences() {
    const float one = 1.0f;
    engine_.setCmc(one, one, one);
    engine_.setDeltaE94(one, one, one);
    engine_.setDeltaE00(one, one, one);
}

void applyStandardViewing(EvaluateHueControl& engine) {
    ListItemIterator observers;
    ListItemIterator illuminants;
    observers.add(kObserver10Degree, "OBS");
    illuminants.add(kIlluminantD65, "Ill");
    engine.setObserverAndIlluminant(&observers, &illuminants);
}

std::unique_ptr<EvaluateHueControl> makeColourEngine(enuKEY_VERSION keyVersion,
                                                     DeltaEFormula formula) {
    auto engine = std::make_unique<EvaluateHueControl>(keyVersion);
    applyStandardViewing(*engine);
    engine->setDeltaEFormula(formula);
    return engine;
}

}  // namespace qv
