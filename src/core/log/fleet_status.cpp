#include "core/log/fleet_status.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/app/thresholds.h"
#include "core/log/workstations.h"

namespace qv {

namespace {

constexpr double kSecondsPerDay = 86400.0;

std::size_t indexOf(CheckKind kind) {
    return static_cast<std::size_t>(kind);
}

// The record's time as a day number with the time of day as its fraction.
double dayOf(const LocalTime& t) {
    const double seconds =
        std::max(t.hour, 0) * 3600.0 + std::max(t.minute, 0) * 60.0 + std::max(t.second, 0);
    return static_cast<double>(daysFromCivil(t)) + seconds / kSecondsPerDay;
}

KindStatus kindStatus(CheckKind kind, const std::vector<CheckRecord>& records,
                      const CheckInterval& interval, long long today) {
    KindStatus out;
    out.kind = kind;
    const auto newest = std::find_if(records.begin(), records.end(), [kind](const CheckRecord& r) {
        return checkKindOf(r.kind) == kind;
    });
    if (newest != records.end()) {
        out.last = *newest;
        for (int a = 0; a < kAngleCount; ++a) {
            const double dE = newest->angles[a].deltaE;
            out.angles[a].deltaE = dE;
            if (std::isfinite(newest->threshold) && std::isfinite(dE))
                out.angles[a].passed = passesThreshold(dE, newest->threshold);
        }
    }
    if (!interval.days) return out;
    if (!out.last) {
        out.status = FleetStatus::Overdue;
        return out;
    }
    out.dueDay = daysFromCivil(out.last->time) + *interval.days;
    if (out.last->passed == false)
        out.status = FleetStatus::Failed;
    else if (today > *out.dueDay)
        out.status = FleetStatus::Overdue;
    else if (today >= *out.dueDay - interval.leadDays)
        out.status = FleetStatus::DueSoon;
    return out;
}

// Least squares of the differences over the days: slope and its standard error per day.
AngleDrift fitted(const std::vector<std::pair<double, double>>& points) {
    AngleDrift out;
    out.checks = static_cast<int>(points.size());
    const double n = static_cast<double>(points.size());
    if (points.size() < 3) return out;
    double mx = 0.0, my = 0.0;
    for (const auto& [x, y] : points) mx += x / n, my += y / n;
    double sxx = 0.0, sxy = 0.0;
    for (const auto& [x, y] : points) sxx += (x - mx) * (x - mx), sxy += (x - mx) * (y - my);
    // Checks all on one day tell nothing of a drift over days.
    if (sxx < 0.5) return out;
    const double slope = sxy / sxx;
    double residuals = 0.0;
    for (const auto& [x, y] : points) residuals += std::pow(y - my - slope * (x - mx), 2);
    out.slope = slope * kDriftDays;
    out.standardError = std::sqrt(residuals / (n - 2.0) / sxx) * kDriftDays;
    return out;
}

// The records of `kind` within the period and since the entries last changed, oldest last.
std::vector<const CheckRecord*> driftRecords(const std::vector<CheckRecord>& records,
                                             RecordKind kind, long long today, int longTermDays) {
    std::vector<const CheckRecord*> out;
    for (const CheckRecord& r : records) {
        if (r.kind == RecordKind::EntryWrite || r.kind == RecordKind::EntryDeletion) break;
        if (longTermDays > 0 && daysFromCivil(r.time) < today - longTermDays) break;
        if (r.kind == kind) out.push_back(&r);
    }
    return out;
}

Drift driftOf(const std::vector<CheckRecord>& records, long long today, int longTermDays) {
    constexpr std::size_t kFewest = 3;
    Drift out;
    std::vector<const CheckRecord*> chosen;
    for (RecordKind kind : {RecordKind::InterInstrument, RecordKind::TileSet}) {
        chosen = driftRecords(records, kind, today, longTermDays);
        if (chosen.size() < kFewest) continue;
        out.source = kind;
        break;
    }
    if (!out.source) return out;
    for (auto r = chosen.rbegin(); r != chosen.rend(); ++r) {
        DriftPoint& p = out.points.emplace_back();
        p.time = (*r)->time;
        for (int a = 0; a < kAngleCount; ++a) p.deltaE[a] = (*r)->angles[a].deltaE;
    }
    for (int a = 0; a < kAngleCount; ++a) {
        std::vector<std::pair<double, double>> points;
        for (const CheckRecord* r : chosen)
            if (std::isfinite(r->angles[a].deltaE))
                points.emplace_back(dayOf(r->time), r->angles[a].deltaE);
        out.angles[a] = fitted(points);
    }
    return out;
}

std::optional<std::array<std::string, kAngleCount>> newestDiagnosis(
    const std::vector<CheckRecord>& records) {
    // An older set's decision may no longer hold: only the newest set's counts.
    const auto newest = std::find_if(records.begin(), records.end(), [](const CheckRecord& r) {
        return r.kind == RecordKind::TileSet;
    });
    if (newest == records.end() || !newest->diagnosis) return std::nullopt;
    std::array<std::string, kAngleCount> out;
    for (int a = 0; a < kAngleCount; ++a) out[a] = (*newest->diagnosis)[a].decision;
    return out;
}

}  // namespace

std::string_view fleetStatusName(FleetStatus status) {
    switch (status) {
        case FleetStatus::Ok:
            return "ok";
        case FleetStatus::DueSoon:
            return "due-soon";
        case FleetStatus::Overdue:
            return "overdue";
        case FleetStatus::Failed:
            return "failed";
    }
    return "ok";
}

InstrumentStatus instrumentStatus(const std::string& serial,
                                  const std::vector<CheckRecord>& records,
                                  const CheckIntervals& intervals, const LocalTime& now,
                                  int longTermDays) {
    InstrumentStatus out;
    out.serial = serial;
    for (const CheckRecord& r : records)
        if (out.type.empty()) out.type = r.instrumentType;
    out.workstations = workstationsOf(records);
    const long long today = daysFromCivil(now);
    for (CheckKind kind : kCheckKinds) {
        KindStatus& k = out.checks[indexOf(kind)];
        k = kindStatus(kind, records, intervalOf(intervals, kind), today);
        out.status = std::max(out.status, k.status);
        if (!intervalOf(intervals, kind).days) continue;
        out.pastDue = std::max(out.pastDue, k.dueDay ? today - *k.dueDay : kNeverChecked);
    }
    out.drift = driftOf(records, today, longTermDays);
    out.diagnosis = newestDiagnosis(records);
    return out;
}

std::vector<std::string> overdueReasons(const InstrumentStatus& instrument, long long today) {
    std::vector<std::string> out;
    for (const KindStatus& k : instrument.checks) {
        const std::string words(checkKindWords(k.kind));
        if (!k.last && k.status == FleetStatus::Overdue)
            out.push_back("its " + words + " was never made");
        else if (k.dueDay && today > *k.dueDay)
            out.push_back("its " + words + " is " + std::to_string(today - *k.dueDay) +
                          (today - *k.dueDay == 1 ? " day" : " days") + " overdue");
    }
    return out;
}

void sortWorstFirst(std::vector<InstrumentStatus>& fleet) {
    std::sort(fleet.begin(), fleet.end(), [](const InstrumentStatus& a, const InstrumentStatus& b) {
        return std::tie(b.status, b.pastDue, a.serial) < std::tie(a.status, a.pastDue, b.serial);
    });
}

FleetStatus worstOf(const std::vector<InstrumentStatus>& fleet) {
    FleetStatus worst = FleetStatus::Ok;
    for (const InstrumentStatus& i : fleet) worst = std::max(worst, i.status);
    return worst;
}

}  // namespace qv
