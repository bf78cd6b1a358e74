#include "platform/log/fleet_overview.h"

namespace qv {

std::vector<InstrumentStatus> fleetOverview(LogbookStore& logbook, const CheckIntervals& intervals,
                                            const LocalTime& now, int longTermDays) {
    // The drift's period and a day before it (the logbook's days begin in the reader's time
    // zone, a record's in its workstation's); the core cuts the period exactly.
    const std::string since =
        longTermDays > 0 ? calendarDate(civilFromDays(daysFromCivil(now) - longTermDays - 1))
                         : std::string();
    std::vector<InstrumentStatus> fleet;
    for (const LogbookStore::Instrument& i : logbook.instruments()) {
        fleet.push_back(instrumentStatus(i.serial, logbook.overviewRecords(i.serial, since),
                                         intervals, now, longTermDays));
        if (fleet.back().type.empty()) fleet.back().type = i.type;
    }
    sortWorstFirst(fleet);
    return fleet;
}

}  // namespace qv
