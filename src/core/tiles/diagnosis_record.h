#pragma once

// The instrument diagnosis as the logbook keeps it: plain keys and numbers, so that the logbook
// need not know the diagnosis. What a record holds is shown with the diagnosis view's words.

#include <optional>
#include <string>
#include <string_view>

#include "core/app/logbook.h"
#include "core/tiles/diagnosis.h"

namespace qv {

DiagnosisRecord diagnosisRecord(const Diagnosis& diagnosis);

// The term a record's key names, and the decision; nothing for a key this program does not
// know.
std::optional<Term> termFromKey(std::string_view key);
std::optional<Recommendation> recommendationFromKey(std::string_view key);
// The recorded term as the diagnosis gave it.
TermEstimate estimateOf(const TermRecord& term);

// The gravest decision over the angles (service, then reading again, ...); nothing when
// no angle has a known one. A record keeps the decision as its key: one written before
// "remeasure" existed reads as it did.
std::optional<Recommendation> gravestDecision(const DiagnosisRecord& diagnosis);

}  // namespace qv
