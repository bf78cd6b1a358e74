#include "core/tiles/diagnosis_record.h"

#include <array>
#include <limits>

namespace qv {

namespace {

constexpr std::array<Recommendation, 5> kRecommendations = {
    Recommendation::NoCorrectionNeeded, Recommendation::WriteFactors, Recommendation::FactorsPartly,
    Recommendation::Remeasure, Recommendation::Service};

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
        to.heldOutRmsAfterFactors = from.leaveOneOutFactorsRms;
        to.lightnessLow = from.span.lightnessLow;
        to.lightnessHigh = from.span.lightnessHigh;
        to.chromaLow = from.span.chromaLow;
        to.chromaHigh = from.span.chromaHigh;
        to.hueFrom = from.span.hueFrom;
        to.hueTo = from.span.hueTo;
        for (std::size_t t = 0; t < from.tileColour.size(); ++t) {
            TileDifferenceRecord& tile = to.tiles.emplace_back();
            tile.reference = from.tileColour[t];
            tile.read.fill(std::numeric_limits<double>::quiet_NaN());
            tile.heldOut = t < from.leaveOneOutFactorsDifference.size()
                               ? from.leaveOneOutFactorsDifference[t]
                               : tile.read;
        }
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

std::optional<Recommendation> recommendationFromKey(std::string_view key) {
    for (const Recommendation r : kRecommendations)
        if (recommendationKey(r) == key) return r;
    return std::nullopt;
}

TermEstimate estimateOf(const TermRecord& t) {
    return {t.value, t.standardError, t.identified};
}

std::optional<Recommendation> gravestDecision(const DiagnosisRecord& d) {
    // The recommendations run from the least grave to the gravest.
    std::optional<Recommendation> out;
    for (const AngleDiagnosisRecord& a : d)
        if (const auto r = recommendationFromKey(a.decision); r && (!out || *r > *out)) out = r;
    return out;
}

}  // namespace qv
