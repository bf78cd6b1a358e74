#pragma once

// The instrument diagnosis as the logbook keeps it (plain keys and numbers, so that the logbook
// need not know the diagnosis), and the words its records are shown with.

#include <optional>
#include <string>
#include <string_view>

#include "core/app/logbook.h"
#include "core/tiles/diagnosis.h"

namespace qv {

DiagnosisRecord diagnosisRecord(const Diagnosis& diagnosis);

// The term a record's key names; nothing for a key this program does not know.
std::optional<Term> termFromKey(std::string_view key);
// In words: "offset", "gain tilt", "wavelength shift", ...
std::string_view termTitle(Term term);
// The term's value with its standard error and unit ("0.120 +- 0.010 %"), or "not identified".
std::string termText(const TermRecord& term);

// The gravest decision over the angles, service first; empty when no angle has one.
std::string gravestDecision(const DiagnosisRecord& diagnosis);
// A decision in words ("write factors", "service", ...); an unknown key as it is.
std::string decisionTitle(std::string_view key);

}  // namespace qv
