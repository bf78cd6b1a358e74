// The PostgreSQL server the fleet logbook's tests start: reached through Qt SQL's driver with a
// role of the test's own, taken away and brought back mid-test, and gone without a trace when
// the test ends.
#include "support/pg_server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace qv::test {
namespace {

// Gone, or a zombie waiting for a parent that is not this process: the postmaster runs
// detached, and its last moments may outlast the removal of its pid file a little.
bool gone(long pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto close = stat.rfind(')');
        if (close == std::string::npos || stat.substr(close + 2, 1) == "Z") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(PgServer, TheDriverReachesTheServerAndLosesItWhileItIsAway) {
    PgServer server;
    std::string error;
    ASSERT_TRUE(server.sql("CREATE ROLE station LOGIN PASSWORD 'station-pw';", &error)) << error;
    const std::string db = server.createDatabase("fleet");
    ASSERT_TRUE(server.sql("GRANT ALL ON DATABASE fleet TO station;", &error)) << error;

    PgSession before(server, "station", "station-pw", db);
    ASSERT_TRUE(before.open()) << before.error() << server.log();
    EXPECT_EQ(before.value("SELECT 1"), "1");
    EXPECT_EQ(before.value("SELECT current_user"), "station");

    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_EQ(before.value("SELECT 1"), "") << "the open session outlived its server";
    PgSession during(server, "station", "station-pw", db);
    EXPECT_FALSE(during.open());

    server.start();
    PgSession after(server, "station", "station-pw", db);
    ASSERT_TRUE(after.open()) << after.error() << server.log();
    EXPECT_EQ(after.value("SELECT 1"), "1");
}

// A harness that let anyone in, or shrugged off failed statements, would let the logbook's own
// handling of refusals pass untested.
TEST(PgServer, RefusesWrongPasswordsAndReportsFailedStatements) {
    PgServer server;
    const std::string password = "p@ss:w/rd %?#&é";
    std::string error;
    ASSERT_TRUE(
        server.sql("CREATE ROLE \"odd user\" LOGIN PASSWORD 'p@ss:w/rd %?#&é';\n"
                   "CREATE DATABASE second OWNER \"odd user\";",
                   &error))
        << error;

    EXPECT_TRUE(PgSession(server, "odd user", password, "second").open());
    const PgSession wrong(server, "odd user", "guess", "second");
    EXPECT_FALSE(wrong.open());
    EXPECT_NE(wrong.error().find("password"), std::string::npos) << wrong.error();
    EXPECT_FALSE(PgSession(server, server.adminUser(), "guess", "postgres").open());

    EXPECT_FALSE(
        server.sql("SELECT 1;\nSELECT * FROM no_such_table;\nCREATE DATABASE late;", &error));
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    EXPECT_FALSE(server.sql("SELECT 1;", "late", &error)) << "statements ran past the error";

    const QUrl uri(QString::fromStdString(server.uri("odd user", password, "second", "x=1")));
    EXPECT_EQ(uri.scheme(), "postgresql");
    EXPECT_EQ(uri.userName().toStdString(), "odd user");
    EXPECT_EQ(uri.password().toStdString(), password);
    EXPECT_EQ(uri.port(), server.port());
    EXPECT_EQ(uri.path(), "/second");
    EXPECT_EQ(uri.query(), "x=1");
}

TEST(PgServer, LeavesNoProcessAndNoFolderBehind) {
    long postmaster = 0;
    std::string folder;
    {
        PgServer server;
        folder = server.folder();
        std::ifstream(folder + "/data/postmaster.pid") >> postmaster;
        ASSERT_GT(postmaster, 1);
        ASSERT_EQ(::kill(static_cast<pid_t>(postmaster), 0), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(gone(postmaster)) << "postmaster " << postmaster << " still runs";
}

}  // namespace
}  // namespace qv::test
