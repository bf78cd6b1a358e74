#include "platform/log/fleet_overview.h"

namespace qv {

std::vector<InstrumentStatus> fleetOverview(LogbookStore& logbook, const CheckIntervals& intervals,
                                            const LocalTime& now, int longTermDays) {
    std::vector<InstrumentStatus> fleet;
    for (const LogbookStore::Instrument& i : logbook.instruments()) {
        fleet.push_back(
            instrumentStatus(i.serial, logbook.records(i.serial), intervals, now, longTermDays));
        if (fleet.back().type.empty()) fleet.back().type = i.type;
    }
    sortWorstFirst(fleet);
    return fleet;
}

}  // namespace qv
