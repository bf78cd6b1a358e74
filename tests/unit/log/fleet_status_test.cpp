// The fleet's rules on hand-made records: each kind's due date and status from the lab's
// intervals, the worst of them for the instrument, the drift of the agreement with the
// reference, the order worst first; and the intervals as the command line sets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <tuple>
#include <vector>

#include "core/app/hold_back.h"
#include "core/log/fleet_status.h"
#include "support/record_builder.h"

namespace qv {

// A status a test did not expect is named, not dumped as bytes.
void PrintTo(FleetStatus status, std::ostream* out) {
    *out << fleetStatusName(status);
}

namespace {

using test::RecordBuilder;

constexpr LocalTime kNow{2026, 12, 9, 10, 0, 0};

// A time `days` before kNow, at `hour`.
LocalTime daysAgo(int days, int hour = 9) {
    LocalTime t = civilFromDays(daysFromCivil(kNow) - days);
    t.hour = hour, t.minute = 0, t.second = 0;
    return t;
}

CheckRecord judged(RecordKind kind, int days, bool passed, double dE = 0.3) {
    return RecordBuilder(kind, daysAgo(days))
        .serial("L70S-200002")
        .instrumentType("53")
        .judged(0.5, "dE*ab", passed)
        .eachAngle([dE](int a) {
            return AngleRecord{{50, 0, 0}, dE + 0.2 * a, NAN};
        })
        .build();
}

CheckIntervals labIntervals() {
    CheckIntervals all{};
    all[0] = {1, 0};    // calibration, daily
    all[2] = {30, 7};   // inter-instrument
    all[3] = {90, 14};  // tile set
    return all;
}

// The records a lab that keeps to its intervals has, newest first.
std::vector<CheckRecord> keptUp() {
    return {judged(RecordKind::Calibration, 0, true), judged(RecordKind::InterInstrument, 10, true),
            judged(RecordKind::TileSet, 20, true)};
}

struct Case {
    const char* what;
    std::vector<CheckRecord> records;
    CheckIntervals intervals;
    FleetStatus status;
    long long pastDue;
    // What holds the instrument back from writes, certificates and statements.
    std::string held = {};
};

std::vector<CheckRecord> atOtherStation() {
    auto records = keptUp();
    for (CheckRecord& r : records) r.workstation = "lab-2";
    return records;
}

std::vector<Case> statusCases() {
    const long long none = std::numeric_limits<long long>::min();
    auto with = [](std::vector<CheckRecord> first, std::vector<CheckRecord> rest) {
        first.insert(first.end(), rest.begin(), rest.end());
        return first;
    };
    return {
        {"kept up", keptUp(), labIntervals(), FleetStatus::Ok, -1},
        {"no interval set holds nothing back, a failure neither",
         {judged(RecordKind::InterInstrument, 400, false)},
         CheckIntervals{},
         FleetStatus::Ok,
         none},
        {"inter-instrument within its lead",
         with({judged(RecordKind::Calibration, 0, true)},
              {judged(RecordKind::InterInstrument, 25, true),
               judged(RecordKind::TileSet, 20, true)}),
         labIntervals(), FleetStatus::DueSoon, -1},
        {"a daily calibration of yesterday is due today",
         with({judged(RecordKind::Calibration, 1, true)}, {keptUp()[1], keptUp()[2]}),
         labIntervals(), FleetStatus::DueSoon, 0},
        {"a calibration two days old is overdue by one",
         with({judged(RecordKind::Calibration, 2, true)}, {keptUp()[1], keptUp()[2]}),
         labIntervals(), FleetStatus::Overdue, 1, "its white calibration is 1 day overdue"},
        {"a tile set never read is overdue, furthest of all",
         {keptUp()[0], keptUp()[1]},
         labIntervals(),
         FleetStatus::Overdue,
         kNeverChecked,
         "its tile set was never made"},
        {"the newest check failed", with({judged(RecordKind::InterInstrument, 0, false)}, keptUp()),
         labIntervals(), FleetStatus::Failed, -1},
        {"failed, then corrected and verified",
         with({judged(RecordKind::Verification, 0, true),
               judged(RecordKind::InterInstrument, 0, false)},
              keptUp()),
         labIntervals(), FleetStatus::Ok, -1},
        {"a failed check of a kind without an interval",
         with({judged(RecordKind::Repeatability, 0, false)}, keptUp()), labIntervals(),
         FleetStatus::Ok, -1},
        {"an extended series is no repeatability check",
         {judged(RecordKind::ExtendedRepeatability, 0, true)},
         [] {
             CheckIntervals i{};
             i[1] = {1, 0};
             return i;
         }(),
         FleetStatus::Overdue,
         kNeverChecked,
         "its repeatability check was never made"},
        {"a failed check past its date is overdue too, and two overdue kinds are both named",
         with({judged(RecordKind::Calibration, 3, true)},
              {judged(RecordKind::InterInstrument, 40, false), keptUp()[2]}),
         labIntervals(), FleetStatus::Failed, 10,
         "its white calibration is 2 days overdue; its inter-instrument check is 10 days overdue"},
        {"seen only on another workstation's records", atOtherStation(), labIntervals(),
         FleetStatus::Ok, -1},
    };
}

TEST(FleetStatus, EachKindFallsDueByItsIntervalAndTheWorstDecides) {
    for (const Case& c : statusCases()) {
        const InstrumentStatus s =
            instrumentStatus("L70S-200002", c.records, c.intervals, kNow, 90);
        EXPECT_EQ(s.status, c.status) << c.what;
        EXPECT_EQ(s.pastDue, c.pastDue) << c.what;
        EXPECT_EQ(overdueText(overdueReasons(s, daysFromCivil(kNow))), c.held) << c.what;
    }
    const InstrumentStatus elsewhere =
        instrumentStatus("L70S-200002", atOtherStation(), labIntervals(), kNow, 90);
    EXPECT_EQ(elsewhere.workstations, std::vector<std::string>{"lab-2"});
    EXPECT_EQ(elsewhere.type, "53");
}

TEST(FleetStatus, EachKindKeepsItsLastCheckItsVerdictPerAngleAndItsDueDay) {
    std::vector<CheckRecord> records = keptUp();
    records[1] = judged(RecordKind::InterInstrument, 10, false, 0.4);  // 0.4, 0.6, 0.8 against 0.5
    const InstrumentStatus s = instrumentStatus("S", records, labIntervals(), kNow, 90);
    const KindStatus& pair = s.checks[2];
    ASSERT_TRUE(pair.last);
    EXPECT_EQ(calendarDate(pair.last->time), "2026-11-29");
    EXPECT_EQ(pair.angles[0].passed, true);
    EXPECT_EQ(pair.angles[1].passed, false);
    EXPECT_DOUBLE_EQ(pair.angles[2].deltaE, 0.8);
    EXPECT_EQ(calendarDate(civilFromDays(*pair.dueDay)), "2026-12-29");
    EXPECT_EQ(pair.status, FleetStatus::Failed);
    EXPECT_EQ(s.checks[0].status, FleetStatus::Ok);
    // A kind without an interval shows its last check and no due day.
    EXPECT_FALSE(s.checks[1].last);
    EXPECT_FALSE(s.checks[5].dueDay);
    // A statement states U, judged against nothing.
    const CheckRecord statement = RecordBuilder(RecordKind::Statement, daysAgo(3))
                                      .angles(AngleRecord{{NAN, NAN, NAN}, 0.4, NAN})
                                      .build();
    EXPECT_FALSE(instrumentStatus("S", {statement}, {}, kNow, 90).checks[4].angles[0].passed);
}

TEST(FleetStatus, TheDriftIsTheSlopeOfTheAgreementSinceTheEntriesLastChanged) {
    // 25 degrees climbs 0.01 dE a day exactly; 45 degrees scatters about a level; 75 degrees
    // has fewer than three values.
    std::vector<CheckRecord> records;
    for (int days : {2, 12, 22, 32, 42}) {
        CheckRecord r = judged(RecordKind::InterInstrument, days, true);
        r.angles[0].deltaE = 1.0 - 0.01 * days;
        r.angles[1].deltaE = days % 20 == 2 ? 0.5 : 0.6;
        if (days > 12) r.angles[2].deltaE = NAN;
        records.push_back(r);
    }
    // Before a write the instrument read through another entry: not the same drift.
    records.push_back(judged(RecordKind::EntryWrite, 50, true));
    records.push_back(judged(RecordKind::InterInstrument, 60, true, 5.0));
    const Drift d = instrumentStatus("S", records, {}, kNow, 90).drift;
    ASSERT_EQ(d.source, RecordKind::InterInstrument);
    EXPECT_NEAR(d.angles[0].slope, 0.3, 1e-9);
    EXPECT_NEAR(d.angles[0].standardError, 0.0, 1e-9);
    EXPECT_EQ(d.angles[0].checks, 5);
    // Level on the whole: no slope, and an error from the scatter (0.002 dE a day).
    EXPECT_NEAR(d.angles[1].slope, 0.0, 1e-9);
    EXPECT_NEAR(d.angles[1].standardError, 0.06, 1e-9);
    EXPECT_TRUE(std::isnan(d.angles[2].slope));
    // The trend's points are the checks fitted, oldest first, none from before the write.
    ASSERT_EQ(d.points.size(), 5u);
    EXPECT_EQ(logbookTime(d.points.front().time), logbookTime(daysAgo(42)));
    EXPECT_NEAR(d.points.back().deltaE[0], 0.98, 1e-12);
    EXPECT_TRUE(std::isnan(d.points.front().deltaE[2]));

    // A shorter period leaves too few inter-instrument checks: the tile sets' means speak.
    std::vector<CheckRecord> sets = {judged(RecordKind::TileSet, 1, true, 0.9),
                                     judged(RecordKind::TileSet, 8, true, 0.8),
                                     judged(RecordKind::TileSet, 15, true, 0.7)};
    sets.insert(sets.end(), records.begin(), records.end());
    std::sort(sets.begin(), sets.end(), [](const CheckRecord& a, const CheckRecord& b) {
        return logbookTime(a.time) > logbookTime(b.time);
    });
    const Drift shorter = instrumentStatus("S", sets, {}, kNow, 20).drift;
    ASSERT_EQ(shorter.source, RecordKind::TileSet);
    EXPECT_NEAR(shorter.angles[0].slope, 30 * 0.1 / 7, 1e-9);
    EXPECT_EQ(shorter.points.size(), 3u);
    EXPECT_FALSE(instrumentStatus("S", sets, {}, kNow, 5).drift.source);
    EXPECT_TRUE(instrumentStatus("S", sets, {}, kNow, 5).drift.points.empty());
}

TEST(FleetStatus, TheNewestTileSetsDiagnosisGivesTheDecision) {
    DiagnosisRecord diagnosis;
    for (AngleDiagnosisRecord& g : diagnosis) g.decision = "write-factors";
    diagnosis[2].decision = "service";
    const CheckRecord diagnosed =
        RecordBuilder(RecordKind::TileSet, daysAgo(5)).diagnosis(diagnosis).build();
    const auto decision =
        instrumentStatus("S", {judged(RecordKind::Repeatability, 1, true), diagnosed}, {}, kNow, 90)
            .diagnosis;
    ASSERT_TRUE(decision);
    EXPECT_EQ((*decision)[2], "service");
    // A set judged since without a diagnosis leaves the older set's decision behind.
    EXPECT_FALSE(
        instrumentStatus("S", {judged(RecordKind::TileSet, 1, true), diagnosed}, {}, kNow, 90)
            .diagnosis);
}

TEST(FleetStatus, TheWorstComesFirstThenTheFurthestPastDue) {
    std::vector<InstrumentStatus> fleet(5);
    const std::vector<std::tuple<const char*, FleetStatus, long long>> rows = {
        {"A", FleetStatus::Ok, -3},
        {"B", FleetStatus::Overdue, 2},
        {"C", FleetStatus::Failed, -10},
        {"D", FleetStatus::Overdue, kNeverChecked},
        {"E", FleetStatus::DueSoon, 0}};
    for (std::size_t i = 0; i < rows.size(); ++i)
        std::tie(fleet[i].serial, fleet[i].status, fleet[i].pastDue) = rows[i];
    EXPECT_EQ(worstOf(fleet), FleetStatus::Failed);
    sortWorstFirst(fleet);
    std::string order;
    for (const InstrumentStatus& i : fleet) order += i.serial;
    EXPECT_EQ(order, "CDBEA");
    EXPECT_EQ(worstOf({}), FleetStatus::Ok);
}

TEST(CheckIntervals, TheCommandLinesSettingsAreReadOrRefusedWithTheReason) {
    struct Row {
        const char* text;
        bool taken;
        CheckKind kind;
        CheckInterval interval;
    };
    const std::vector<Row> rows = {
        {"calibration=1", true, CheckKind::Calibration, {1, 0}},
        {"inter-instrument=30", true, CheckKind::InterInstrument, {30, 7}},
        {"tile-set=5", true, CheckKind::TileSet, {5, 4}},  // the suggested lead, below the days
        {"statement=365,lead=60", true, CheckKind::Statement, {365, 60}},
        {"profile=none", true, CheckKind::Profile, {}},
        {"repeatability=0", false, {}, {}},
        {"repeatability=2,lead=2", false, {}, {}},
        {"repeatability=3651", false, {}, {}},
        {"repeatability=7,lead=", false, {}, {}},
        {"repeatability=7,led=2", false, {}, {}},
        {"repeatability=-1", false, {}, {}},
        {"profile=none,lead=3", false, {}, {}},
        {"weekly=7", false, {}, {}},
        {"calibration", false, {}, {}},
    };
    for (const Row& row : rows) {
        std::string why;
        const auto setting = readIntervalSetting(row.text, why);
        EXPECT_EQ(setting.has_value(), row.taken) << row.text << ": " << why;
        EXPECT_EQ(why.empty(), row.taken) << row.text;
        if (!setting || !row.taken) continue;
        EXPECT_EQ(setting->kind, row.kind) << row.text;
        EXPECT_EQ(setting->interval, row.interval) << row.text;
    }
    for (CheckKind kind : kCheckKinds) {
        EXPECT_EQ(checkKindFromName(checkKindName(kind)), kind);
        EXPECT_EQ(whyNotInterval(suggestedInterval(kind)), "") << checkKindName(kind);
    }
    EXPECT_EQ(suggestedInterval(CheckKind::Statement).days, 365);
}

TEST(LocalTime, ADayNumberGoesBackToItsDate) {
    for (const LocalTime t :
         {LocalTime{1970, 1, 1}, LocalTime{2024, 2, 29}, LocalTime{2026, 12, 31},
          LocalTime{2100, 3, 1}, LocalTime{1969, 12, 31}}) {
        const LocalTime back = civilFromDays(daysFromCivil(t));
        EXPECT_EQ(calendarDate(back), calendarDate(t));
    }
}

}  // namespace
}  // namespace qv
