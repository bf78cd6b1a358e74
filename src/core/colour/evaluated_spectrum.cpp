#include "core/colour/evaluated_spectrum.h"

namespace qv {

void dropEvaluation(AngleSpectrum& spectrum) {
    if (spectrum.size() > kSpectrumPoints) spectrum.resize(kSpectrumPoints);
}

void appendCoordinates(AngleSpectrum& spectrum, const std::array<double, 3>& lab) {
    dropEvaluation(spectrum);
    for (double v : lab) spectrum.push_back(asFloat(v));
}

bool setDifference(AngleSpectrum& spectrum, double deltaE) {
    if (spectrum.size() < kDifferenceElement) return false;
    spectrum.resize(kDifferenceElement);
    spectrum.push_back(asFloat(deltaE));
    return true;
}

std::optional<std::array<double, 3>> storedCoordinates(const AngleSpectrum& spectrum) {
    if (spectrum.size() < kDifferenceElement) return std::nullopt;
    return std::array<double, 3>{spectrum[kCoordinateElement], spectrum[kCoordinateElement + 1],
                                 spectrum[kCoordinateElement + 2]};
}

std::optional<double> storedDifference(const AngleSpectrum& spectrum) {
    if (spectrum.size() <= kDifferenceElement) return std::nullopt;
    return spectrum[kDifferenceElement];
}

}  // namespace qv
