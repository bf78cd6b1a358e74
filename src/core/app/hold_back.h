#pragma once

// An instrument whose checks are overdue is not trusted for what relies on them: writing an
// entry, a certificate, a performance statement. Measuring and checking go on (a check is how
// it becomes current again). A supervisor may let one action go ahead with a reason, which is
// recorded with it.

#include <string>
#include <vector>

#include "core/app/logbook.h"
#include "core/app/prompter.h"

namespace qv {

struct Clearance {
    bool cleared = true;
    // The instrument's overdue checks in words ("its repeatability check is 3 days overdue;
    // ..."); empty when it is current.
    std::string overdue;
    // Why a supervisor let the action go ahead although it was held back.
    std::string overrideReason;
};

// Why the action on `serial` is held back: "L70S-200002: its repeatability check is 3 days
// overdue".
std::string heldBackText(const std::string& serial, const Clearance& clearance);

// Whether the action on `serial` may go ahead at `now`: without a logbook, or with nothing
// overdue, it may; otherwise only with a supervisor's reason, asked once.
Clearance clearance(Logbook* logbook, Prompter& prompter, const std::string& serial,
                    const LocalTime& now);

// The record of a cleared action carries what was overdue and why it went ahead.
void markCleared(CheckRecord& record, const Clearance& clearance);

}  // namespace qv
