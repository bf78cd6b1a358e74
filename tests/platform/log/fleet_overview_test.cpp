// The fleet's overview reads an instrument's records of the drift's period and, before it, only
// the newest of each kind and of each workstation. On both engines it must judge every
// instrument exactly as its whole history does: years of mixed checks from several workstations,
// kinds and workstations last seen long before the period, entries written in and before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/log/fleet_overview.h"
#include "platform/log/sql_logbook.h"
#include "support/pg_server.h"
#include "support/record_builder.h"
#include "support/temp_home.h"

namespace qv {
namespace {

constexpr LocalTime kNow{2026, 12, 9, 10, 0, 0};
constexpr int kPeriod = 90;

LocalTime daysBefore(int days, int hour) {
    LocalTime t = civilFromDays(daysFromCivil(kNow) - days);
    t.hour = hour, t.minute = 7, t.second = 0;
    return t;
}

// Six instruments over 400 days: mostly checks against the reference, a kind or a workstation
// of each now and then; for instrument 5 a profile and a workstation seen only in the first
// weeks, for 3 a statement last made 150 days ago, for 4 a workstation last used 180 days ago.
void recordHistories(Logbook& log) {
    std::mt19937 random(7);
    const RecordKind kinds[] = {RecordKind::InterInstrument, RecordKind::InterInstrument,
                                RecordKind::Verification,    RecordKind::Calibration,
                                RecordKind::Repeatability,   RecordKind::TileSet,
                                RecordKind::EntryWrite,      RecordKind::Statement};
    for (int n = 0; n < 6; ++n) {
        const std::string serial = "L70S-40000" + std::to_string(n);
        for (int days = 400; days >= 0; days -= 1 + static_cast<int>(random() % 4)) {
            RecordKind kind = kinds[random() % (n == 0 ? 3 : 8)];
            std::string workstation = "lab-" + std::to_string(random() % 3);
            if (n == 5 && days > 380) {
                kind = RecordKind::Profile;
                workstation = "old-bench";
            }
            // A kind last made, and a workstation last used, long before the period, each
            // alongside others of the same time.
            if (n == 3 && days < 150 && kind == RecordKind::Statement)
                kind = RecordKind::Calibration;
            if (n == 4 && days > 180 && days < 200) workstation = "night-shift";
            const double dE = 0.2 + 0.002 * (400 - days) + 0.05 * static_cast<double>(random() % 5);
            CheckRecord r = test::RecordBuilder(kind, daysBefore(days, 8 + n))
                                .serial(serial)
                                .reference("L70S-100001")
                                .instrumentType(n % 2 ? "53" : "40")
                                .judged(0.5, "dE00", random() % 9 != 0)
                                .eachAngle([dE](int a) {
                                    return AngleRecord{{50, 0, 0}, dE + 0.1 * a, NAN};
                                })
                                .build();
            r.workstation = workstation;
            if (kind == RecordKind::TileSet) {
                DiagnosisRecord diagnosis;
                for (AngleDiagnosisRecord& g : diagnosis) g.decision = "write-factors";
                r.diagnosis = diagnosis;
            }
            log.record(r);
        }
    }
}

CheckIntervals everyInterval() {
    CheckIntervals all{};
    for (std::size_t k = 0; k < all.size(); ++k) all[k] = {7 + 20 * static_cast<int>(k), 3};
    return all;
}

void expectSameAsWholeHistories(LogbookStore& log) {
    const std::vector<InstrumentStatus> fleet = fleetOverview(log, everyInterval(), kNow, kPeriod);
    ASSERT_EQ(fleet.size(), 6u);
    std::size_t lean = 0, whole = 0;
    for (const InstrumentStatus& got : fleet) {
        SCOPED_TRACE(got.serial);
        const std::vector<CheckRecord> all = log.records(got.serial);
        const InstrumentStatus want =
            instrumentStatus(got.serial, all, everyInterval(), kNow, kPeriod);
        whole += all.size();
        lean += log.overviewRecords(got.serial, "2026-09-09").size();
        EXPECT_EQ(got.status, want.status);
        EXPECT_EQ(got.pastDue, want.pastDue);
        EXPECT_EQ(got.type, want.type);
        EXPECT_EQ(got.workstations, want.workstations);
        for (std::size_t k = 0; k < got.checks.size(); ++k) {
            ASSERT_EQ(got.checks[k].last.has_value(), want.checks[k].last.has_value()) << k;
            if (want.checks[k].last) {
                EXPECT_EQ(got.checks[k].last->id, want.checks[k].last->id);
            }
            EXPECT_EQ(got.checks[k].dueDay, want.checks[k].dueDay) << k;
        }
        EXPECT_EQ(got.drift.source, want.drift.source);
        EXPECT_EQ(got.drift.points.size(), want.drift.points.size());
        for (int a = 0; a < kAngleCount; ++a)
            if (!std::isnan(want.drift.angles[a].slope)) {
                EXPECT_NEAR(got.drift.angles[a].slope, want.drift.angles[a].slope, 1e-9);
            }
        EXPECT_EQ(got.diagnosis, want.diagnosis);
    }
    // The point of it: the years before the period are not read.
    EXPECT_LT(lean * 3, whole);
}

TEST(FleetOverview, AWorkstationsFileJudgesEachInstrumentAsItsWholeHistoryDoes) {
    const test::TempHome home;
    SqlLogbook log(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(log.isOpen()) << log.why();
    recordHistories(log);
    expectSameAsWholeHistories(log);
    // The workstation seen only in the first weeks is still named.
    const auto old = log.overviewRecords("L70S-400005", "2026-09-09");
    EXPECT_TRUE(std::any_of(old.begin(), old.end(), [](const CheckRecord& r) {
        return r.workstation == "old-bench" && r.kind == RecordKind::Profile;
    }));
}

TEST(FleetOverview, TheLabsServerJudgesEachInstrumentAsItsWholeHistoryDoes) {
    test::PgServer server;
    const std::string db = server.createDatabase("lab");
    const auto location =
        locationFromUri(server.uri(server.adminUser(), server.adminPassword(), db), nullptr);
    ASSERT_TRUE(location);
    SqlLogbook log(*location);
    ASSERT_TRUE(log.isOpen()) << log.why();
    recordHistories(log);
    expectSameAsWholeHistories(log);
}

}  // namespace
}  // namespace qv
