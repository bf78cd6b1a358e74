#pragma once

// The records the fleet's tests put in a logbook: a check `days` before today (the verbs' clock
// starts at today's date), at nine, judged against 0.5 with its colour difference per angle.

#include <array>
#include <cmath>
#include <ctime>
#include <string>

#include "support/record_builder.h"

namespace qv::test {

inline LocalTime daysAgo(int days) {
    LocalTime t = civilFromDays(daysFromCivil(localTimeOf(std::time(nullptr))) - days);
    t.hour = 9, t.minute = 0, t.second = 0;
    return t;
}

inline CheckRecord fleetCheck(RecordKind kind, const std::string& serial, int days, bool passed,
                              const std::array<double, kAngleCount>& dE,
                              const std::string& workstation, const std::string& type = "53") {
    CheckRecord r = RecordBuilder(kind, daysAgo(days))
                        .serial(serial)
                        .reference("L70S-100001")
                        .instrumentType(type)
                        .judged(0.5, "dE*ab", passed)
                        .eachAngle([&dE](int a) {
                            return AngleRecord{{50, 0, 0}, dE[static_cast<std::size_t>(a)], NAN};
                        })
                        .build();
    r.workstation = workstation;
    return r;
}

}  // namespace qv::test
