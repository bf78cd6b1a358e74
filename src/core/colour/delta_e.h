#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/colour/tristimulus.h"

namespace qv {

// Colour differences of a sample against a reference (the target). The asymmetric formulae
// (CIE94, CMC) weight by the reference's chroma and hue.

// CIE 1976: the Euclidean distance in CIELAB.
double deltaE76(const Lab& reference, const Lab& sample);

// CIE 1994 with K1 = 0.045, K2 = 0.015 (graphic arts) and the parametric factors given.
double deltaE94(const Lab& reference, const Lab& sample, double kL = 1.0, double kC = 1.0,
                double kH = 1.0);

// CIEDE2000 (symmetric).
double deltaE2000(const Lab& reference, const Lab& sample, double kL = 1.0, double kC = 1.0,
                  double kH = 1.0);

// CMC(l:c).
double deltaECmc(const Lab& reference, const Lab& sample, double l = 1.0, double c = 1.0);

// Which formula the total colour difference uses; CIE 1976 is the default, the convention for
// instrument repeatability and agreement.
enum class DeltaEFormula { Cie76, Cie94, Ciede2000, Cmc };

// The parametric factors of every formula; 1 everywhere unless the owner sets them.
struct DeltaEParameters {
    double kL94 = 1.0, kC94 = 1.0, kH94 = 1.0;
    double kL00 = 1.0, kC00 = 1.0, kH00 = 1.0;
    double cmcL = 1.0, cmcC = 1.0;
    // Commercial factor: the CMC difference is divided by it.
    double cmcCf = 1.0;
};

double deltaE(DeltaEFormula formula, const Lab& reference, const Lab& sample,
              const DeltaEParameters& parameters = {});

// The text stored under the settings key "DELTA_E_FORMULA": "DE76", "DE94", "DE00", "CMC".
std::string_view profileText(DeltaEFormula formula);

// Reads a formula name in any letter case ("DE76", "de94", "cmc", ...); nothing if unknown.
std::optional<DeltaEFormula> formulaFromText(std::string_view text);

// Reads the stored setting: an absent ("---") or unknown value means CIE 1976.
DeltaEFormula parseDeltaEFormula(std::string_view text);

// Short ASCII label for windows and files: "dE*ab", "dE94", "dE00", "dE CMC(l:c)".
std::string displayLabel(DeltaEFormula formula, double cmcL = 1.0, double cmcC = 1.0);

}  // namespace qv
