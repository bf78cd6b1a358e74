// The fleet overview reads of each instrument only what its status needs (the newest record of
// each kind, the long-term period's records since the entries last changed) and says exactly
// what it said when it read every record: on a workstation's file and on a real server with
// records still waiting on the workstation, checks of several time zones among them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/log/fleet_logbook.h"
#include "platform/log/fleet_overview.h"
#include "support/pg_server.h"
#include "support/record_builder.h"
#include "support/temp_home.h"

namespace qv {
namespace {

const LocalTime kNow{2026, 12, 7, 16, 0, 0};

// Four instruments over 200 days, every kind of record in turn, a few hours apart: times of
// zones from UTC-10 to UTC+10, verdicts either way, the type named late, entries written every
// two months or so (never on the fourth), diagnosed tile sets, three workstations.
std::vector<CheckRecord> lab() {
    std::vector<CheckRecord> out;
    const long long today = daysFromCivil(kNow);
    for (int n = 0; n < 480; ++n) {
        const int serial = n % 4;
        auto kind = static_cast<RecordKind>(n / 4 % 10);
        if ((serial == 3 || n / 40 % 4 != 0) &&
            (kind == RecordKind::EntryWrite || kind == RecordKind::EntryDeletion))
            kind = RecordKind::InterInstrument;
        LocalTime t = civilFromDays(today - 200 + n * 5 / 12);
        t.hour = n * 7 % 24, t.minute = n % 60, t.second = 0;
        DiagnosisRecord diagnosis;
        for (AngleDiagnosisRecord& d : diagnosis) d.decision = n % 3 ? "write-factors" : "service";
        CheckRecord r = test::RecordBuilder(kind, t)
                            .serial("L70S-40000" + std::to_string(serial))
                            .instrumentType(n < 100   ? ""
                                            : n < 300 ? "40"
                                                      : "53")
                            .reference("L70S-100001")
                            .judged(0.5, "dE00", n % 7 != 0)
                            .eachAngle([n](int a) {
                                return AngleRecord{{50.0, 1.0, 2.0}, 0.1 + 0.01 * (n % 11) + a};
                            })
                            .build();
        if (kind == RecordKind::TileSet) r.diagnosis = diagnosis;
        r.utcOffsetMinutes = (n % 5 - 2) * 300;
        r.workstation = "plant" + std::to_string(n % 3);
        out.push_back(r);
    }
    return out;
}

CheckIntervals everyKindDue() {
    CheckIntervals out{};
    for (CheckKind kind : kCheckKinds)
        out[static_cast<std::size_t>(kind)] = suggestedInterval(kind);
    return out;
}

// Everything the overview shows of each instrument, as it was when every record was read, from
// far fewer records.
void sameAsEveryRecord(LogbookStore& logbook) {
    const auto chosen = logbook.overviewRecords("2026-09-01");
    ASSERT_TRUE(chosen);
    for (const LogbookStore::InstrumentRecords& i : *chosen)
        EXPECT_LT(i.records.size() * 2, logbook.records(i.instrument.serial).size());
    for (int longTerm : {90, 0, 30}) {
        const auto fleet = fleetOverview(logbook, everyKindDue(), kNow, longTerm);
        const auto instruments = logbook.instruments();
        ASSERT_EQ(fleet.size(), instruments.size());
        ASSERT_EQ(fleet.size(), 4u);
        for (const InstrumentStatus& got : fleet) {
            const InstrumentStatus want = instrumentStatus(got.serial, logbook.records(got.serial),
                                                           everyKindDue(), kNow, longTerm);
            const std::string at = got.serial + " over " + std::to_string(longTerm) + " days";
            EXPECT_EQ(got.type, want.type) << at;
            EXPECT_EQ(got.workstations, want.workstations) << at;
            EXPECT_EQ(got.status, want.status) << at;
            EXPECT_EQ(got.pastDue, want.pastDue) << at;
            EXPECT_EQ(got.diagnosis, want.diagnosis) << at;
            for (std::size_t k = 0; k < got.checks.size(); ++k) {
                EXPECT_EQ(got.checks[k].last.has_value(), want.checks[k].last.has_value()) << at;
                if (got.checks[k].last && want.checks[k].last) {
                    EXPECT_EQ(got.checks[k].last->id, want.checks[k].last->id) << at;
                }
                EXPECT_EQ(got.checks[k].dueDay, want.checks[k].dueDay) << at;
                EXPECT_EQ(got.checks[k].status, want.checks[k].status) << at;
            }
            EXPECT_EQ(got.drift.source, want.drift.source) << at;
            for (int a = 0; a < kAngleCount; ++a) {
                EXPECT_EQ(got.drift.angles[a].checks, want.drift.angles[a].checks) << at;
                const double g = got.drift.angles[a].slope, w = want.drift.angles[a].slope;
                EXPECT_TRUE(g == w || (std::isnan(g) && std::isnan(w))) << at << ": " << g;
            }
        }
    }
}

TEST(FleetOverview, AWorkstationsFileReadsLessAndSaysTheSame) {
    test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    for (const CheckRecord& r : lab()) ASSERT_GT(logbook.record(r), 0) << logbook.why();
    sameAsEveryRecord(logbook);
}

TEST(FleetOverview, AServerWithRecordsWaitingHereReadsLessAndSaysTheSame) {
    test::TempHome home;
    test::PgServer server;
    server.createDatabase("lab");
    const auto location =
        locationFromUri(server.uri(server.adminUser(), server.adminPassword(), "lab"), nullptr);
    ASSERT_TRUE(location);
    const std::vector<CheckRecord> records = lab();
    auto local = std::make_unique<SqlLogbook>(home.path() + "/logbook.sqlite");
    {
        SqlLogbook shared(*location);
        for (std::size_t n = 0; n < records.size(); ++n)
            if (n % 50 != 49) {
                ASSERT_GT(shared.record(records[n]), 0) << shared.why();
            }
    }
    // Every 50th still waits here, the newest of them the newest of its instrument.
    for (std::size_t n = 49; n < records.size(); n += 50)
        ASSERT_GT(local->recordWaiting(records[n], location->name()), 0) << local->why();
    FleetLogbook logbook(*location, std::move(local), [](const std::string&) {});
    ASSERT_TRUE(logbook.serverOpen()) << logbook.why();
    sameAsEveryRecord(logbook);
}

}  // namespace
}  // namespace qv
