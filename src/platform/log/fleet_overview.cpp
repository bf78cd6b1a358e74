#include "platform/log/fleet_overview.h"

#include <algorithm>

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

std::vector<std::string> LogbookStore::overdueChecks(const std::string& serial,
                                                     const LocalTime& now) {
    const std::optional<CheckIntervals> intervals = checkIntervals();
    if (!intervals || std::none_of(intervals->begin(), intervals->end(),
                                   [](const CheckInterval& i) { return i.days.has_value(); }))
        return {};
    // Read by pages so that a read that failed is told from an instrument never checked: a
    // history that cannot be read is no proof that the checks are current. Only the newest
    // record of each kind with an interval decides, so the pages stop once each is found.
    CheckIntervals unseen = *intervals;
    const auto allSeen = [&unseen] {
        return std::none_of(unseen.begin(), unseen.end(),
                            [](const CheckInterval& i) { return i.days.has_value(); });
    };
    std::vector<CheckRecord> newest;
    const std::unique_ptr<HistoryPages> pages = history(serial, {});
    for (constexpr int kPage = 200; pages && !allSeen();) {
        std::vector<CheckRecord> page = pages->next(kPage);
        for (CheckRecord& r : page)
            if (const auto kind = checkKindOf(r.kind)) {
                unseen[static_cast<std::size_t>(*kind)].days.reset();
                newest.push_back(std::move(r));
            }
        if (page.size() < std::size_t{kPage}) break;
    }
    if (!pages || pages->failed()) return {"its checks cannot be read from the logbook"};
    return overdueReasons(instrumentStatus(serial, newest, *intervals, now, 0), daysFromCivil(now));
}

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
