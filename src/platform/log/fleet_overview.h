#pragma once

// Every instrument the logbook holds with its status, as the fleet verb prints it and the
// fleet window shows it: worst first.

#include <vector>

#include "core/log/fleet_status.h"
#include "platform/log/logbook_store.h"

namespace qv {

// The drift over the last `longTermDays` days (0: every record), as the performance
// statement's settings give them.
std::vector<InstrumentStatus> fleetOverview(LogbookStore& logbook, const CheckIntervals& intervals,
                                            const LocalTime& now, int longTermDays);

}  // namespace qv
