#pragma once

#include <string>
#include <vector>

#include "core/app/logbook.h"

namespace qv::test {

// A logbook record for a test, named field by field:
//   RecordBuilder(RecordKind::Verification, {2026, 12, 7, 18, 5, 9})
//       .serial("L70S-200002").reference("L70S-100001").judged(0.5, "dE*ab", true)
//       .angle(2, {{56.04, 0.02, 1.33}, 0.04, 0.69}).build();
// It starts from emptyRecord(), so every number a test does not give stays NaN, as a check
// that did not measure it records it.
class RecordBuilder {
public:
    RecordBuilder(RecordKind kind, const LocalTime& time);

    RecordBuilder& serial(std::string serial);
    RecordBuilder& reference(std::string serial);
    RecordBuilder& instrumentType(std::string type);
    RecordBuilder& operatorName(std::string name);
    // The verdict: the threshold, the formula it is stated in, and whether the check passed.
    RecordBuilder& judged(double threshold, std::string formula, bool passed);
    RecordBuilder& angle(int angle, const AngleRecord& values);
    // The same values at every angle.
    RecordBuilder& angles(const AngleRecord& values);
    // Each angle's values from its index: perAngle(0) for 25 degrees, and on.
    template <class PerAngle>
    RecordBuilder& eachAngle(PerAngle perAngle) {
        for (int a = 0; a < kAngleCount; ++a) angle(a, perAngle(a));
        return *this;
    }
    RecordBuilder& files(std::vector<std::string> files);
    RecordBuilder& entry(int entry);
    RecordBuilder& comment(std::string comment);
    RecordBuilder& diagnosis(const DiagnosisRecord& diagnosis);

    CheckRecord build() const { return record_; }

private:
    CheckRecord record_;
};

}  // namespace qv::test
