// The fleet verb and its intervals end to end: records put into a real logbook (a workstation's
// SQLite file, and the lab's PostgreSQL server a test starts), the verbs run as the command line
// runs them, their text, JSON and exit codes read back.
#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <ctime>

#include "fleet_records.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/pg_server.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::daysAgo;
using test::runCli;

std::string dayText(int daysAgoOrAhead) {
    return calendarDate(daysAgo(daysAgoOrAhead));
}

CheckRecord check(RecordKind kind, const std::string& serial, int days, bool passed, double dE25,
                  const std::string& workstation = "lab-1") {
    return test::fleetCheck(kind, serial, days, passed, {dE25, dE25 + 1, dE25 + 2}, workstation);
}

// Three instruments: one kept up, used at two workstations and drifting 0.3 dE a month at 25
// degrees; one calibrated three days ago; one whose newest inter-instrument check failed.
void recordFleet(Logbook& log) {
    log.record(check(RecordKind::InterInstrument, "L70S-200002", 20, true, 0.1, "lab-2"));
    log.record(check(RecordKind::InterInstrument, "L70S-200002", 10, true, 0.2));
    DiagnosisRecord diagnosis;
    for (AngleDiagnosisRecord& g : diagnosis) g.decision = "write-factors";
    CheckRecord set = check(RecordKind::TileSet, "L70S-200002", 5, true, 0.2);
    set.diagnosis = diagnosis;
    log.record(set);
    log.record(check(RecordKind::InterInstrument, "L70S-200002", 0, true, 0.3));
    log.record(check(RecordKind::Calibration, "L70S-200002", 0, true, NAN));
    log.record(check(RecordKind::Calibration, "L70S-300003", 3, true, NAN, "lab-2"));
    log.record(check(RecordKind::InterInstrument, "L70S-300003", 3, true, 0.1, "lab-2"));
    log.record(check(RecordKind::Calibration, "L70S-400004", 0, true, NAN));
    log.record(check(RecordKind::InterInstrument, "L70S-400004", 0, false, 0.9));
}

QJsonObject jsonOf(const test::CliRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

QJsonObject checkOf(const QJsonObject& instrument, const QString& kind) {
    for (const QJsonValue& c : instrument["checks"].toArray())
        if (c["kind"].toString() == kind) return c.toObject();
    return {};
}

// Nothing held back until the lab sets its intervals; a list of settings with one wrong in it
// keeps none of them.
void intervalRoads(const std::string& source) {
    const test::CliRun unset = runCli({"fleet"});
    EXPECT_EQ(unset.exitCode, 0) << unset.err;
    EXPECT_NE(unset.out.find("No check interval is in force"), std::string::npos) << unset.out;

    const test::CliRun listed = runCli({"fleet", "intervals"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("inter-instrument  none                  30 days, lead 7"),
              std::string::npos)
        << listed.out;

    // One setting refused: none of them is kept.
    EXPECT_EQ(
        runCli({"fleet", "intervals", "--set", "calibration=1", "--set", "weekly=7"}).exitCode, 2);
    EXPECT_EQ(jsonOf(runCli({"fleet", "intervals", "--json"}))["intervals"][0]["days"].isNull(),
              true);
    const test::CliRun set = runCli({"fleet", "intervals", "--set", "calibration=1", "--set",
                                     "inter-instrument=30,lead=7", "--json"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(jsonOf(set)["intervals"][2]["lead"].toInt(), 7);
    EXPECT_EQ(jsonOf(set)["source"].toString().toStdString(), source);
}

// The same roads on either logbook: the worst first by the lab's intervals and the exit code
// saying so, until the intervals are taken out of force again.
void fleetRoads(const std::string& source) {
    intervalRoads(source);
    const test::CliRun fleet = runCli({"fleet", "--json"});
    EXPECT_EQ(fleet.exitCode, 1) << fleet.err;
    const QJsonObject all = jsonOf(fleet);
    EXPECT_EQ(all["source"].toString().toStdString(), source);
    const QJsonArray instruments = all["instruments"].toArray();
    ASSERT_EQ(instruments.size(), 3) << fleet.out;
    EXPECT_EQ(instruments[0]["serial"].toString(), "L70S-400004");
    EXPECT_EQ(instruments[0]["status"].toString(), "failed");
    EXPECT_EQ(instruments[1]["serial"].toString(), "L70S-300003");
    EXPECT_EQ(instruments[1]["status"].toString(), "overdue");
    const QJsonObject kept = instruments[2].toObject();
    EXPECT_EQ(kept["status"].toString(), "ok");
    EXPECT_EQ(kept["type"].toString(), "53");
    EXPECT_EQ(kept["workstations"].toArray(), (QJsonArray{"lab-1", "lab-2"}));
    const QJsonObject calibration = checkOf(kept, "calibration");
    EXPECT_EQ(calibration["due"].toString().toStdString(), dayText(-1));
    EXPECT_EQ(calibration["verdict"].toString(), "passed");
    const QJsonObject pair = checkOf(kept, "inter-instrument");
    EXPECT_EQ(pair["last"].toString().toStdString(), dayText(0) + " 09:00:00");
    EXPECT_DOUBLE_EQ(pair["angles"][1]["deltaE"].toDouble(), 1.3);
    EXPECT_FALSE(pair["angles"][1]["passed"].toBool(true));
    EXPECT_TRUE(checkOf(kept, "tile-set")["due"].isNull());  // no interval for it
    EXPECT_EQ(kept["driftFrom"].toString(), "inter-instrument");
    EXPECT_NEAR(kept["drift"][0]["slope"].toDouble(), 0.3, 1e-9);
    EXPECT_EQ(kept["diagnosis"][2]["decision"].toString(), "write-factors");

    const test::CliRun text = runCli({"fleet"});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_LT(text.out.find("L70S-400004  type 53  FAILED"), text.out.find("L70S-300003"))
        << text.out;
    EXPECT_NE(text.out.find("  25 degrees +0.300 +/- 0.000"), std::string::npos) << text.out;

    // The calibration interval out of force: the failed pair still fails the fleet; the
    // inter-instrument interval out of force too, and nothing is held back.
    ASSERT_EQ(runCli({"fleet", "intervals", "--set", "calibration=none"}).exitCode, 0);
    EXPECT_EQ(jsonOf(runCli({"fleet", "--json"}))["instruments"][1]["status"].toString(), "ok");
    ASSERT_EQ(runCli({"fleet", "intervals", "--set", "inter-instrument=none"}).exitCode, 0);
    EXPECT_EQ(runCli({"fleet"}).exitCode, 0);
}

TEST(FleetCli, OnAWorkstationsLogbookEveryInstrumentWorstFirstByTheLabsIntervals) {
    const test::TempHome home;
    const test::CliRun none = runCli({"fleet"});
    EXPECT_EQ(none.exitCode, 2);  // no logbook here yet, and none begun by reading
    EXPECT_EQ(runCli({"fleet", "extra"}).exitCode, 2);
    EXPECT_EQ(runCli({"fleet", "--set", "calibration=1"}).exitCode, 2);
    {
        SqlLogbook log(logbookPath());
        ASSERT_TRUE(log.isOpen());
        recordFleet(log);
    }
    fleetRoads("this workstation");
}

TEST(FleetCli, OnTheLabsServerTheIntervalsAreTheServersForEveryWorkstation) {
    const test::TempHome home;
    test::PgServer server;
    const std::string db = server.createDatabase("lab");
    const std::string uri = server.uri(server.adminUser(), server.adminPassword(), db);
    {
        const auto location = locationFromUri(uri, nullptr);
        ASSERT_TRUE(location);
        SqlLogbook log(*location);
        ASSERT_TRUE(log.isOpen()) << log.why();
        recordFleet(log);
    }
    qputenv("QV_LOGBOOK", QByteArray::fromStdString(uri));
    fleetRoads("server");
    // Set on the server, not in this workstation's own file.
    EXPECT_EQ(jsonOf(runCli(
                  {"fleet", "intervals", "--json", "--logbook", "local"}))["intervals"][0]["days"]
                  .isNull(),
              true);
    // With the server away, nothing is set here in its stead, and the fleet read here says so.
    server.stop();
    const test::CliRun away = runCli({"fleet", "intervals", "--set", "profile=90"});
    EXPECT_EQ(away.exitCode, 2);
    EXPECT_NE(away.err.find("profile interval was not kept"), std::string::npos) << away.err;
    const test::CliRun here = runCli({"fleet", "--json"});
    EXPECT_EQ(jsonOf(here)["source"].toString(), "this workstation") << here.err;
    EXPECT_NE(here.err.find("this workstation's records only"), std::string::npos) << here.err;
    server.start();
    qunsetenv("QV_LOGBOOK");
    const test::PgSession admin(server, server.adminUser(), server.adminPassword(), db);
    EXPECT_EQ(admin.value("SELECT COUNT(*) FROM check_intervals"), "4");
}

}  // namespace
}  // namespace qv
