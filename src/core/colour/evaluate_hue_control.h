#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/colour/delta_e.h"
#include "core/colour/items.h"
#include "core/colour/tristimulus.h"

namespace qv {

// The key version the owning dialog constructs the engine with (1: inter-instrument check,
// 3: repeatability check). It does not change any number the engine gives.
enum enuKEY_VERSION : std::int32_t { KEY_VERSION1 = 1, KEY_VERSION2 = 2, KEY_VERSION3 = 3 };

// Spectra of a target and a sample in, colour coordinates and differences out, one numbered
// item at a time. Coordinates are CIELAB for CIE D65 and the 10-degree observer; the total
// difference uses the formula the owner selects (CIE 1976 unless told otherwise).
class EvaluateHueControl {
public:
    explicit EvaluateHueControl(enuKEY_VERSION keyVersion);
    virtual ~EvaluateHueControl();

    enuKEY_VERSION keyVersion() const { return keyVersion_; }

    // Takes the first item of each list: observer 10 (10-degree) and illuminant 4 (D65) are
    // the ones the engine knows. Any other code, an empty list or no list at all leaves the
    // engine unable to answer until a good pair is set. True when both are known.
    bool setObserverAndIlluminant(ItemIterator* observers, ItemIterator* illuminants);

    // Parametric factors. Each must be finite and positive; otherwise the call is refused
    // (false) and the previous factors stay.
    bool setCmc(const float& l, const float& c, float commercialFactor);
    bool setDeltaE94(const float& kL, const float& kC, const float& kH);
    bool setDeltaE00(const float& kL, const float& kC, const float& kH);

    void setDeltaEFormula(DeltaEFormula formula) { formula_ = formula; }
    DeltaEFormula deltaEFormula() const { return formula_; }
    const DeltaEParameters& deltaEParameters() const { return parameters_; }
    // The selected formula's short label, with this engine's CMC l:c.
    std::string deltaELabel() const;

    void clearTargetData() { target_.reset(); }
    void clearSampleData() { sample_.reset(); }

    // Reflectances in percent at 400, 410, ..., 700 nm (dataKind 1, step 10, 400 to 700):
    // elements 0..30 of the vector; anything behind them is ignored. Other descriptors, fewer
    // than 31 values or a value that is not finite clear the slot and return false.
    bool setTargetData(const std::int32_t& dataKind, const std::int32_t& stepNm,
                       const std::int32_t& startNm, const std::int32_t& endNm,
                       const std::int32_t& geometry, const std::vector<double>& data);
    bool setSampleData(const std::int32_t& dataKind, const std::int32_t& stepNm,
                       const std::int32_t& startNm, const std::int32_t& endNm,
                       const std::int32_t& geometry, const std::vector<double>& data);

    // Fills the value of every requested item: mode 1 answers coordinates of the target, mode
    // 0 coordinates of the sample and the sample-minus-target differences. When any item
    // cannot be answered, returns false and leaves every value as the caller preset it.
    bool evaluateHue(const std::int32_t& mode, std::vector<ItemValue>& results) const;

private:
    struct Colour {
        Lab lab;
        std::int32_t geometry = 0;
    };

    static std::optional<Colour> colourOf(std::int32_t dataKind, std::int32_t stepNm,
                                          std::int32_t startNm, std::int32_t endNm,
                                          std::int32_t geometry, const std::vector<double>& data);
    bool answerable(std::int32_t mode, std::int32_t code) const;
    double answer(std::int32_t mode, std::int32_t code) const;

    enuKEY_VERSION keyVersion_;
    bool observerKnown_ = false;
    bool illuminantKnown_ = false;
    DeltaEFormula formula_ = DeltaEFormula::Cie76;
    DeltaEParameters parameters_;
    std::optional<Colour> target_;
    std::optional<Colour> sample_;
};

}  // namespace qv
