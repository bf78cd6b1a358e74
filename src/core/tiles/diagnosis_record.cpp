#include "core/tiles/diagnosis_record.h"

#include <array>
#include <cmath>

#include "core/app/number_format.h"

namespace qv {

namespace {

// From the least grave to the gravest.
constexpr std::array<Recommendation, 4> kByGravity = {
    Recommendation::NoCorrectionNeeded, Recommendation::WriteFactors, Recommendation::FactorsPartly,
    Recommendation::Service};

int gravity(std::string_view key) {
    for (std::size_t i = 0; i < kByGravity.size(); ++i)
        if (recommendationKey(kByGravity[i]) == key) return static_cast<int>(i);
    return -1;
}

}  // namespace

DiagnosisRecord diagnosisRecord(const Diagnosis& d) {
    DiagnosisRecord out;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosis& from = d.angles[a];
        AngleDiagnosisRecord& to = out[a];
        to.decision = recommendationKey(from.recommendation);
        to.reason = from.reason;
        to.meanAfterFactors = from.meanAfterFactors;
        to.meanAfterModel = from.meanAfterModel;
        for (std::size_t k = 0; k < kTermCount; ++k) {
            const TermEstimate& e = from.fit.terms[k];
            to.terms.push_back({std::string(termInfo(static_cast<Term>(k)).key), e.value,
                                e.standardError, e.identified});
        }
    }
    return out;
}

std::optional<Term> termFromKey(std::string_view key) {
    for (std::size_t k = 0; k < kTermCount; ++k)
        if (termInfo(static_cast<Term>(k)).key == key) return static_cast<Term>(k);
    return std::nullopt;
}

std::string_view termTitle(Term term) {
    switch (term) {
        case Term::Offset:
            return "offset";
        case Term::Gain:
            return "gain";
        case Term::GainTilt:
            return "gain tilt";
        case Term::Linearity:
            return "linearity";
        case Term::Shift:
            return "wavelength shift";
        case Term::ScaleError:
            return "wavelength scale error";
        case Term::Bandwidth:
            return "bandwidth";
    }
    return {};
}

std::string termText(const TermRecord& t) {
    const std::optional<Term> term = termFromKey(t.key);
    if (!t.identified || !term || !std::isfinite(t.value)) return "not identified";
    const TermInfo& info = termInfo(*term);
    // Two decimals below the identification limit's first significant digit.
    const int decimals = 2 + static_cast<int>(std::ceil(-std::log10(info.limit)));
    std::string out = formatFixed(t.value, decimals);
    if (std::isfinite(t.standardError)) out += " +- " + formatFixed(t.standardError, decimals);
    if (!info.unit.empty()) out += " " + std::string(info.unit);
    return out;
}

std::string gravestDecision(const DiagnosisRecord& d) {
    std::string out;
    for (const AngleDiagnosisRecord& a : d)
        if (!a.decision.empty() && (out.empty() || gravity(a.decision) > gravity(out)))
            out = a.decision;
    return out;
}

std::string decisionTitle(std::string_view key) {
    if (key == recommendationKey(Recommendation::NoCorrectionNeeded)) return "no correction needed";
    if (key == recommendationKey(Recommendation::WriteFactors)) return "write factors";
    if (key == recommendationKey(Recommendation::FactorsPartly)) return "factors help only partly";
    if (key == recommendationKey(Recommendation::Service)) return "service";
    return std::string(key);
}

}  // namespace qv
