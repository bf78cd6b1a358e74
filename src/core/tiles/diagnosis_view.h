#pragma once

// A diagnosis as the tile-set dialog shows it: the terms per angle in their units, the
// predicted colour differences, the decision in words; and one tile's difference T - R beside
// what each identified term contributes to it.

#include <array>
#include <string>
#include <vector>

#include "core/app/number_format.h"
#include "core/tiles/diagnosis.h"

namespace qv {

// The term's name in words ("Wavelength shift") and its unit as the screen writes it ("nm²";
// empty for the dimensionless linearity).
std::string termName(Term term);
std::string termUnit(Term term);
// "-0.52 ± 0.03 %" with the user's decimal separator, two decimals below the identification
// limit's first significant digit; "not identified" when the set cannot tell the term. The
// linearity reads as its bend at 50 % reflectance ("0.125 ± 0.020 % at 50 %").
std::string termText(const TermEstimate& e, Term term, const NumberFormat& format,
                     const std::string& plusMinus = " \u00b1 ");
std::string recommendationText(Recommendation r);  // "Write factors", ...

struct DiagnosisRow {
    std::string caption;
    std::array<std::string, kAngleCount> value;
    std::array<std::string, kAngleCount> share;  // empty on the rows of figures
};

struct DiagnosisView {
    std::vector<DiagnosisRow> terms;    // one per term, in the order of Term
    std::vector<DiagnosisRow> figures;  // the colour differences: as read, predicted, held out
    std::array<std::string, kAngleCount> decision;
    std::array<std::string, kAngleCount> reason;  // a sentence, naming the angle
    std::string overall;
};

DiagnosisView diagnosisView(const Diagnosis& d, const NumberFormat& format);

// What each identified term adds to the difference at each of the 31 wavelengths of
// `reference` (value times its regressor; zeros for a term not identified), and their sum.
struct TermCurves {
    std::array<std::array<double, kSpectrumPoints>, kTermCount> term{};
    std::array<double, kSpectrumPoints> sum{};
};
TermCurves termCurves(const TermEstimates& terms, const AngleSpectrum& reference);

// The question before factors are written that the diagnosis says cannot correct the
// instrument, or with which the set is still predicted beyond its limits: the reasons of the
// angles that need more than factors, then the prediction per angle. Empty when factors
// bring the set within its limits.
std::string correctionDoubt(const Diagnosis& d, const SetAgreement& fitted, const SetLimits& limits,
                            const NumberFormat& format);

}  // namespace qv
