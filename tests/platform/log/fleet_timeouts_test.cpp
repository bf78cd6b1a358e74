// A server that does not answer, and a table another session keeps locked: a check and the
// history each end within seconds, the check recorded on this workstation and the operator told.
// These wait on real time (the program's own time-outs), so they run alone.
#include <gtest/gtest.h>
#include <QtGlobal>

#include <chrono>
#include <csignal>

#include "platform/log/fleet_logbook.h"
#include "support/cli_run.h"
#include "support/pg_server.h"
#include "support/silent_server.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::SilentServer;
using Clock = std::chrono::steady_clock;
constexpr auto kBound = std::chrono::seconds(20);

class LogbookEnv {
public:
    explicit LogbookEnv(const std::string& uri) {
        qputenv("QV_LOGBOOK", QByteArray::fromStdString(uri));
    }
    ~LogbookEnv() { qunsetenv("QV_LOGBOOK"); }
};

// A check, then the instrument's history: each ends in time, the check kept here.
void checkThenHistory(const std::string& serial) {
    test::SimInstrument sim("53", serial);
    auto began = Clock::now();
    const test::CliRun check =
        test::runCli({"repeatability", "--port", QString::fromStdString(sim.port())});
    EXPECT_LT(Clock::now() - began, kBound);
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_NE(check.err.find("sent when it is back"), std::string::npos) << check.err;

    began = Clock::now();
    const test::CliRun history =
        test::runCli({"history", "--serial", QString::fromStdString(serial)});
    EXPECT_LT(Clock::now() - began, kBound);
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_NE(history.err.find("this workstation's records only"), std::string::npos)
        << history.err;
    EXPECT_NE(history.out.find("PASSED"), std::string::npos) << history.out;
}

TEST(FleetLogbookTimeouts, AServerThatNeverAnswersCostsACheckAndTheHistorySeconds) {
    SilentServer silent;
    test::TempHome home;
    LogbookEnv env("postgresql://ws@127.0.0.1:" + std::to_string(silent.port()) + "/lab");
    checkThenHistory("L70S-000091");
}

TEST(FleetLogbookTimeouts, ATableLockedByAnotherSessionCostsACheckAndTheHistorySeconds) {
    test::PgServer server;
    const std::string db = server.createDatabase("lab");
    const std::string uri = server.uri(server.adminUser(), server.adminPassword(), db);
    {
        std::string why;
        SqlLogbook made(*locationFromUri(uri, &why));
        ASSERT_TRUE(made.isOpen()) << made.why();
    }
    test::PgSession holder(server, server.adminUser(), server.adminPassword(), db);
    ASSERT_TRUE(holder.open()) << holder.error();
    ASSERT_EQ(holder.refusal("BEGIN"), "");
    ASSERT_EQ(holder.refusal("LOCK TABLE records IN ACCESS EXCLUSIVE MODE"), "");
    test::TempHome home;
    LogbookEnv env(uri);
    checkThenHistory("L70S-000092");
}

// The server's process for this workstation stopped under a statement (a debugger, a frozen
// machine): neither its statement time-out nor the keepalives end the wait; this side does.
TEST(FleetLogbookTimeouts, AStoppedServerProcessCostsACheckSecondsAndTheCheckIsKeptHere) {
    test::PgServer server;
    const std::string db = server.createDatabase("lab");
    std::string why;
    const auto at =
        locationFromUri(server.uri(server.adminUser(), server.adminPassword(), db), &why);
    ASSERT_TRUE(at) << why;
    std::string told;
    test::TempHome home;
    FleetLogbook logbook(*at, std::make_unique<SqlLogbook>(home.path() + "/own.sqlite"),
                         [&told](const std::string& what) { told += what; });
    ASSERT_TRUE(logbook.serverOpen()) << logbook.why();
    test::PgSession admin(server, server.adminUser(), server.adminPassword(), db);
    ASSERT_TRUE(admin.open()) << admin.error();
    const int pid = std::stoi(
        admin.value("SELECT pid FROM pg_stat_activity WHERE application_name = 'QV-L70s' LIMIT 1"));
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    CheckRecord check = emptyRecord(RecordKind::Repeatability, {2026, 12, 9, 8, 0, 0});
    check.serial = "L70S-000093";
    const auto began = Clock::now();
    const std::int64_t id = logbook.record(check);
    const auto took = Clock::now() - began;
    ::kill(pid, SIGCONT);
    EXPECT_LT(took, kBound);
    EXPECT_LT(id, 0);
    EXPECT_NE(told.find("did not answer within 12 seconds"), std::string::npos) << told;
}

}  // namespace
}  // namespace qv
