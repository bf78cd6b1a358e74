#include "core/tiles/diagnosis_view.h"

#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

namespace qv {

namespace {

constexpr std::array<const char*, kTermCount> kNames = {
    "Offset", "Gain", "Gain tilt", "Linearity", "Wavelength shift", "Scale error", "Bandwidth"};

std::string capitalised(std::string_view s) {
    std::string out(s);
    if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    return out;
}

std::string degrees(int angle) {
    return std::to_string(kAngleDegrees[angle]) + "\u00b0";
}

bool needsMoreThanFactors(Recommendation r) {
    return r == Recommendation::Service || r == Recommendation::FactorsPartly ||
           r == Recommendation::Remeasure;
}

DiagnosisRow figureRow(std::string caption, const Diagnosis& d, const NumberFormat& format,
                       double AngleDiagnosis::*first, double AngleDiagnosis::*second) {
    DiagnosisRow row{std::move(caption), {}, {}};
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosis& angle = d.angles[a];
        row.value[a] = format.display(angle.*first) + " / " + format.display(angle.*second);
    }
    return row;
}

}  // namespace

std::string termName(Term term) {
    return kNames[static_cast<std::size_t>(term)];
}

std::string termUnit(Term term) {
    const std::string_view unit = termInfo(term).unit;
    return unit == "nm2" ? std::string("nm\u00b2") : std::string(unit);
}

std::string termText(const TermEstimate& e, Term term, const NumberFormat& format,
                     const std::string& plusMinus) {
    if (!e.identified || !std::isfinite(e.value) || !std::isfinite(e.standardError))
        return "not identified";
    // A bend of the photometric scale reads as what it does at 50 % reflectance, R (1 - R/100)
    // = 25 there.
    const double scale = term == Term::Linearity ? 25.0 : 1.0;
    const int decimals = 2 + static_cast<int>(std::ceil(-std::log10(scale * termInfo(term).limit)));
    const std::string unit = term == Term::Linearity ? "% at 50 %" : termUnit(term);
    return format.fixed(scale * e.value, decimals) + plusMinus +
           format.fixed(scale * e.standardError, decimals) + (unit.empty() ? "" : " " + unit);
}

std::string recommendationText(Recommendation r) {
    switch (r) {
        case Recommendation::NoCorrectionNeeded:
            return "No correction needed";
        case Recommendation::WriteFactors:
            return "Write factors";
        case Recommendation::FactorsPartly:
            return "Factors help only partly";
        case Recommendation::Service:
            return "Service";
        case Recommendation::Remeasure:
            return "Read a tile again";
    }
    return {};
}

DiagnosisView diagnosisView(const Diagnosis& d, const NumberFormat& format) {
    DiagnosisView v;
    for (std::size_t k = 0; k < kTermCount; ++k) {
        const auto term = static_cast<Term>(k);
        DiagnosisRow row{termName(term), {}, {}};
        for (int a = 0; a < kAngleCount; ++a) {
            const TermEstimate& e = d.angles[a].fit.terms[k];
            row.value[a] = termText(e, term, format);
            row.share[a] = e.identified ? format.fixed(100.0 * d.angles[a].share[k], 0) + " %"
                                        : std::string(kEmptyField);
        }
        v.terms.push_back(std::move(row));
    }
    v.figures.push_back(figureRow("As read (mean / largest)", d, format,
                                  &AngleDiagnosis::meanBefore, &AngleDiagnosis::largestBefore));
    v.figures.push_back(figureRow("After the fitted factors", d, format,
                                  &AngleDiagnosis::meanAfterFactors,
                                  &AngleDiagnosis::largestAfterFactors));
    v.figures.push_back(figureRow("After the errors removed", d, format,
                                  &AngleDiagnosis::meanAfterModel,
                                  &AngleDiagnosis::largestAfterModel));
    v.figures.push_back(figureRow("Each tile from the others, mean (factors / errors removed)", d,
                                  format, &AngleDiagnosis::leaveOneOutFactors,
                                  &AngleDiagnosis::leaveOneOutModel));
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosis& angle = d.angles[a];
        v.decision[a] = recommendationText(angle.recommendation);
        v.reason[a] = degrees(a) + ": " + v.decision[a] + ". " + capitalised(angle.reason) +
                      (angle.reason.empty() ? "" : ".");
    }
    v.overall = recommendationText(d.overall);
    return v;
}

TermCurves termCurves(const TermEstimates& terms, const AngleSpectrum& reference) {
    TermCurves c;
    if (static_cast<int>(reference.size()) < kSpectrumPoints) return c;
    for (int j = 0; j < kSpectrumPoints; ++j) {
        const auto at = static_cast<std::size_t>(j);
        const std::array<double, kTermCount> row = termRow(reference, j);
        for (std::size_t k = 0; k < kTermCount; ++k) {
            if (!terms[k].identified) continue;
            c.term[k][at] = terms[k].value * row[k];
            c.sum[at] += c.term[k][at];
        }
    }
    return c;
}

std::string correctionDoubt(const Diagnosis& d, const SetAgreement& fitted, const SetLimits& limits,
                            const NumberFormat& format) {
    if (!needsMoreThanFactors(d.overall) && fitted.passed) return {};
    std::string text;
    for (const AngleDiagnosis& angle : d.angles)
        if (needsMoreThanFactors(angle.recommendation))
            text += "\n" + recommendationText(angle.recommendation) + ": " + angle.reason + ".";
    if (fitted.passed) return text;
    text += "\nPredicted with the fitted factors (limits: mean below " +
            format.display(limits.meanThreshold) + ", largest below " +
            format.display(limits.largestThreshold) + "):";
    for (int a = 0; a < kAngleCount; ++a)
        text += std::string(a == 0 ? " " : "; ") + degrees(a) + " mean " +
                format.display(fitted.angles[a].mean) + ", largest " +
                format.display(fitted.angles[a].largest);
    return text + ".";
}

}  // namespace qv
