#pragma once

// The lab's fleet at a glance: for one instrument, from its records and the lab's check
// intervals, when each kind of check was last made and how it went, when it is due again, how
// its agreement with the reference drifts, and one status for the instrument, the worst of its
// checks.

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/logbook.h"
#include "core/log/check_intervals.h"

namespace qv {

// From best to worst: the instrument's status is the worst of its checks'.
enum class FleetStatus { Ok, DueSoon, Overdue, Failed };
// "ok", "due-soon", "overdue", "failed".
std::string_view fleetStatusName(FleetStatus status);

struct AngleVerdict {
    std::optional<bool> passed;  // against the record's threshold; none when it has none
    double deltaE = std::numeric_limits<double>::quiet_NaN();
};

struct KindStatus {
    CheckKind kind = CheckKind::Calibration;
    std::optional<CheckRecord> last;  // the newest record of the kind
    std::array<AngleVerdict, kAngleCount> angles{};
    // Days since 1970-01-01 (daysFromCivil); none while the kind has no interval in force.
    std::optional<long long> dueDay;
    FleetStatus status = FleetStatus::Ok;
};

// The drift of the colour difference from the reference at one angle: the least-squares slope
// over the long-term period, in dE per 30 days, and its standard error; NaN with fewer than
// three checks on two days at least.
inline constexpr double kDriftDays = 30.0;
struct AngleDrift {
    double slope = std::numeric_limits<double>::quiet_NaN();
    double standardError = std::numeric_limits<double>::quiet_NaN();
    int checks = 0;
};
// One check the drift is taken from: when, and its colour difference per angle (NaN where
// the record has none).
struct DriftPoint {
    LocalTime time;
    std::array<double, kAngleCount> deltaE{};
};
struct Drift {
    // The checks it is taken from: the inter-instrument checks when there are three in the
    // period, else the tile sets' mean differences; none when neither has three.
    std::optional<RecordKind> source;
    std::array<AngleDrift, kAngleCount> angles{};
    // Those checks, oldest first, for a trend drawn over the slope; empty without a source.
    std::vector<DriftPoint> points;
};

inline constexpr long long kNeverChecked = std::numeric_limits<long long>::max();

struct InstrumentStatus {
    std::string serial;
    std::string type;
    std::vector<std::string> workstations;  // that made its records, sorted
    std::array<KindStatus, kCheckKindCount> checks{};
    Drift drift;
    // The decision per angle of the newest tile set; none when it was not diagnosed.
    std::optional<std::array<std::string, kAngleCount>> diagnosis;
    FleetStatus status = FleetStatus::Ok;
    // Days past the earliest due date (negative: before it; kNeverChecked for a kind with an
    // interval never checked, the lowest value when no interval is in force).
    long long pastDue = std::numeric_limits<long long>::min();
};

// The instrument `serial` from its records (newest first, as Logbook::records gives them) on
// the day of `now`; the drift over the last `longTermDays` days (0: every record) since its
// entries last changed, a write or deletion changing what it reads.
InstrumentStatus instrumentStatus(const std::string& serial,
                                  const std::vector<CheckRecord>& records,
                                  const CheckIntervals& intervals, const LocalTime& now,
                                  int longTermDays);

// The instrument's checks past their due date on the day `today` (days since 1970-01-01) or
// never made while an interval is in force, in words: "its repeatability check is 3 days
// overdue", "its tile set was never made". A failed check past its date is overdue too.
std::vector<std::string> overdueReasons(const InstrumentStatus& instrument, long long today);

// Worst status first, then the furthest past due, then by serial.
void sortWorstFirst(std::vector<InstrumentStatus>& fleet);

// The fleet's worst status; Ok for none.
FleetStatus worstOf(const std::vector<InstrumentStatus>& fleet);

}  // namespace qv
