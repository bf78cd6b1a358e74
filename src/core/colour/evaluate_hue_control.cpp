#include "core/colour/evaluate_hue_control.h"

#include <cmath>

namespace qv {

namespace {

constexpr std::int32_t kDataKindReflectance = 1;
constexpr std::int32_t kModeSample = 0;
constexpr std::int32_t kModeTarget = 1;

bool usableFactor(float v) {
    return std::isfinite(v) && v > 0.0f;
}

// Code of the first item of a list, if there is one.
std::optional<std::int32_t> firstCode(ItemIterator* list) {
    if (list == nullptr) return std::nullopt;
    list->first();
    if (list->isDone()) return std::nullopt;
    return list->next().code;
}

double coordinate(const Lab& lab, int index) {
    switch (index) {
        case 0:
            return lab.L;
        case 1:
            return lab.a;
        default:
            return lab.b;
    }
}

}  // namespace

EvaluateHueControl::EvaluateHueControl(enuKEY_VERSION keyVersion) : keyVersion_(keyVersion) {}

EvaluateHueControl::~EvaluateHueControl() = default;

bool EvaluateHueControl::setObserverAndIlluminant(ItemIterator* observers,
                                                  ItemIterator* illuminants) {
    observerKnown_ = firstCode(observers) == kObserver10Degree;
    illuminantKnown_ = firstCode(illuminants) == kIlluminantD65;
    return observerKnown_ && illuminantKnown_;
}

bool EvaluateHueControl::setCmc(const float& l, const float& c, float commercialFactor) {
    if (!usableFactor(l) || !usableFactor(c) || !usableFactor(commercialFactor)) return false;
    parameters_.cmcL = l;
    parameters_.cmcC = c;
    parameters_.cmcCf = commercialFactor;
    return true;
}

bool EvaluateHueControl::setDeltaE94(const float& kL, const float& kC, const float& kH) {
    if (!usableFactor(kL) || !usableFactor(kC) || !usableFactor(kH)) return false;
    parameters_.kL94 = kL;
    parameters_.kC94 = kC;
    parameters_.kH94 = kH;
    return true;
}

bool EvaluateHueControl::setDeltaE00(const float& kL, const float& kC, const float& kH) {
    if (!usableFactor(kL) || !usableFactor(kC) || !usableFactor(kH)) return false;
    parameters_.kL00 = kL;
    parameters_.kC00 = kC;
    parameters_.kH00 = kH;
    return true;
}

std::string EvaluateHueControl::deltaELabel() const {
    return displayLabel(formula_, parameters_.cmcL, parameters_.cmcC);
}

std::optional<EvaluateHueControl::Colour> EvaluateHueControl::colourOf(
    std::int32_t dataKind, std::int32_t stepNm, std::int32_t startNm, std::int32_t endNm,
    std::int32_t geometry, const std::vector<double>& data) {
    const std::int32_t lastNm = kColourStartNm + (kColourPoints - 1) * kColourStepNm;
    if (dataKind != kDataKindReflectance || stepNm != kColourStepNm || startNm != kColourStartNm ||
        endNm != lastNm || data.size() < kColourPoints) {
        return std::nullopt;
    }
    const SpectrumView spectrum(data.data(), kColourPoints);
    for (double r : spectrum) {
        if (!std::isfinite(r)) return std::nullopt;
    }
    return Colour{spectrumToLab(spectrum), geometry};
}

bool EvaluateHueControl::setTargetData(const std::int32_t& dataKind, const std::int32_t& stepNm,
                                       const std::int32_t& startNm, const std::int32_t& endNm,
                                       const std::int32_t& geometry,
                                       const std::vector<double>& data) {
    target_ = colourOf(dataKind, stepNm, startNm, endNm, geometry, data);
    return target_.has_value();
}

bool EvaluateHueControl::setSampleData(const std::int32_t& dataKind, const std::int32_t& stepNm,
                                       const std::int32_t& startNm, const std::int32_t& endNm,
                                       const std::int32_t& geometry,
                                       const std::vector<double>& data) {
    sample_ = colourOf(dataKind, stepNm, startNm, endNm, geometry, data);
    return sample_.has_value();
}

bool EvaluateHueControl::answerable(std::int32_t mode, std::int32_t code) const {
    switch (code) {
        case item::kCoordinate1:
        case item::kCoordinate2:
        case item::kCoordinate3:
            if (mode == kModeTarget) return target_.has_value();
            return mode == kModeSample && sample_.has_value();
        case item::kDelta1:
        case item::kDelta2:
        case item::kDelta3:
        case item::kTotalDifference:
            return mode == kModeSample && target_.has_value() && sample_.has_value();
        default:
            return false;
    }
}

double EvaluateHueControl::answer(std::int32_t mode, std::int32_t code) const {
    if (code == item::kTotalDifference) {
        return deltaE(formula_, target_->lab, sample_->lab, parameters_);
    }
    if (code < 0) {
        const int index = -code - item::kCoordinate1;
        return coordinate(sample_->lab, index) - coordinate(target_->lab, index);
    }
    const Colour& colour = mode == kModeTarget ? *target_ : *sample_;
    return coordinate(colour.lab, code - item::kCoordinate1);
}

bool EvaluateHueControl::evaluateHue(const std::int32_t& mode,
                                     std::vector<ItemValue>& results) const {
    if (!observerKnown_ || !illuminantKnown_) return false;
    for (const ItemValue& request : results) {
        if (!answerable(mode, request.code)) return false;
    }
    for (ItemValue& request : results) request.value = answer(mode, request.code);
    return true;
}

}  // namespace qv
