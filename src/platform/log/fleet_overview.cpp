#include "platform/log/fleet_overview.h"

#include "core/log/workstations.h"

namespace qv {

namespace {

// The first day whose records the drift may read, two days early: the overview takes each
// record's own local day, the logbook finds records by their instant, and no workstation's
// clock is more than a day from UTC.
std::string firstDayRead(const LocalTime& now, int longTermDays) {
    if (longTermDays <= 0) return {};
    return calendarDate(civilFromDays(daysFromCivil(now) - longTermDays - 2));
}

}  // namespace

std::vector<InstrumentStatus> fleetOverview(LogbookStore& logbook, const CheckIntervals& intervals,
                                            const LocalTime& now, int longTermDays) {
    std::vector<InstrumentStatus> fleet;
    if (auto read = logbook.overviewRecords(firstDayRead(now, longTermDays))) {
        for (LogbookStore::InstrumentRecords& i : *read) {
            fleet.push_back(
                instrumentStatus(i.instrument.serial, i.records, intervals, now, longTermDays));
            fleet.back().workstations = std::move(i.workstations);
            if (fleet.back().type.empty()) fleet.back().type = i.instrument.type;
        }
        sortWorstFirst(fleet);
        return fleet;
    }
    for (const LogbookStore::Instrument& i : logbook.instruments()) {
        const std::vector<CheckRecord> records = logbook.records(i.serial);
        fleet.push_back(instrumentStatus(i.serial, records, intervals, now, longTermDays));
        if (fleet.back().type.empty()) fleet.back().type = i.type;
    }
    sortWorstFirst(fleet);
    return fleet;
}

}  // namespace qv
