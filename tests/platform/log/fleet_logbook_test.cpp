// The logbook a lab's workstations share on a PostgreSQL server: brought up to date from any
// earlier version, written by several workstations at once, and never losing or doubling a
// record while the server goes away and comes back, even when a send is killed half way.
#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtGlobal>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "platform/log/fleet_logbook.h"
#include "support/cli_run.h"
#include "support/pg_server.h"
#include "support/sample_certificate.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::PgServer;

// QV_LOGBOOK for the life of the object.
class LogbookEnv {
public:
    explicit LogbookEnv(const std::string& uri) {
        qputenv("QV_LOGBOOK", QByteArray::fromStdString(uri));
    }
    ~LogbookEnv() { qunsetenv("QV_LOGBOOK"); }
};

LogbookLocation at(const PgServer& server, const std::string& database,
                   const std::string& password = {}) {
    const auto l =
        locationFromUri(server.uri(server.adminUser(),
                                   password.empty() ? server.adminPassword() : password, database),
                        nullptr);
    EXPECT_TRUE(l);
    return l.value_or(LogbookLocation{});
}

CheckRecord check(const std::string& serial, int n) {
    CheckRecord r = emptyRecord(RecordKind::Repeatability, {2026, 12, 8, 9, n / 60 % 60, n % 60});
    r.serial = serial;
    r.comment = std::to_string(n);
    r.angles[1].deltaE = 0.01 * n;
    return r;
}

// The records of `serial` on the server, and how many different identities they carry.
std::pair<std::size_t, std::size_t> onServer(const PgServer& server, const std::string& database,
                                             const std::string& serial) {
    SqlLogbook logbook(at(server, database));
    std::set<std::string> identities;
    const auto records = logbook.records(serial);
    for (const CheckRecord& r : records) identities.insert(r.uuid);
    return {records.size(), identities.size()};
}

TEST(FleetLogbook, AServerIsSetUpFromNothingAndBroughtForwardFromTheFirstVersion) {
    PgServer server;
    const std::string fresh = server.createDatabase("fresh");
    EXPECT_EQ(SqlLogbook::tryServer(at(server, fresh)).version, 0);
    {
        SqlLogbook logbook(at(server, fresh));
        ASSERT_TRUE(logbook.isOpen()) << logbook.why();
    }
    EXPECT_EQ(SqlLogbook::tryServer(at(server, fresh)).version, kLogbookSchemaVersion);

    // A logbook of the first version, with a record in it, as the first program left it.
    const std::string old = server.createDatabase("old");
    std::string statements;
    for (const std::string& sql : migrationTo(1, LogbookEngine::PostgreSQL))
        statements += sql + ";\n";
    statements +=
        "INSERT INTO records(kind, serial, time, threshold, passed) VALUES('repeatability', "
        "'S1', '2026-03-01 08:00:00', 0.5, 1);\n"
        "INSERT INTO angles VALUES(1, 0, 90.5, 0.1, -0.2, 0.05, NULL);\n"
        "INSERT INTO files VALUES(1, '/data/first.csv');\n";
    std::string error;
    ASSERT_TRUE(server.sql(statements, old, &error)) << error;

    SqlLogbook logbook(at(server, old));
    ASSERT_TRUE(logbook.isOpen()) << logbook.why();
    CheckRecord r = check("S1", 1);
    r.files = {"/data/b.csv", "/data/a.csv"};
    logbook.record(r);
    const auto records = logbook.records("S1");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].files, (std::vector<std::string>{"/data/b.csv", "/data/a.csv"}));
    EXPECT_FALSE(records[0].uuid.empty());
    EXPECT_EQ(records[1].files, std::vector<std::string>{"/data/first.csv"});
    EXPECT_DOUBLE_EQ(records[1].angles[0].lab[0], 90.5);
    EXPECT_EQ(records[1].passed, true);
    // The instruments' list counts the records of before its time and those added since.
    const auto instruments = logbook.instruments();
    ASSERT_EQ(instruments.size(), 1u);
    EXPECT_EQ(instruments[0].records, 2);
    EXPECT_EQ(instruments[0].lastTime, "2026-12-08 09:00:01");
    EXPECT_EQ(SqlLogbook::tryServer(at(server, old)).version, kLogbookSchemaVersion);
}

TEST(FleetLogbook, TwoWorkstationsRecordingAtOnceLoseNothingAndDoubleNothing) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }  // the owner sets it up once
    std::vector<std::unique_ptr<test::TempHome>> homes;
    std::vector<std::unique_ptr<QProcess>> workstations;
    for (const char* name : {"ws-1", "ws-2"}) {
        homes.push_back(std::make_unique<test::TempHome>());
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QV_WORKSTATION", name);
        env.insert("XDG_DOCUMENTS_DIR", QString::fromStdString(homes.back()->documents()));
        p->setProcessEnvironment(env);
        p->start(
            QStringLiteral(QV_BIN_DIR "/fleet_recorder"),
            {QString::fromStdString(server.uri(server.adminUser(), server.adminPassword(), db)),
             "200", "SHARED"});
        workstations.push_back(std::move(p));
    }
    for (auto& p : workstations) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        EXPECT_EQ(p->readAllStandardOutput().trimmed(), "200");  // every one on the server
    }
    const auto [records, identities] = onServer(server, db, "SHARED");
    EXPECT_EQ(records, 400u);
    EXPECT_EQ(identities, 400u);
    SqlLogbook logbook(at(server, db));
    std::map<std::string, int> per;
    for (const CheckRecord& r : logbook.records("SHARED")) ++per[r.workstation];
    EXPECT_EQ(per, (std::map<std::string, int>{{"ws-1", 200}, {"ws-2", 200}}));
}

TEST(FleetLogbook, ChecksGoOnWhileTheServerIsAwayAndTheirRecordsAreSentOnceWhenItIsBack) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    std::vector<std::string> told;
    {
        FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()),
                             [&told](const std::string& what) { told.push_back(what); });
        for (int n = 0; n < 10; ++n) {
            if (n == 4) server.stop();
            const std::int64_t id = logbook.record(check("AWAY", n));
            ASSERT_NE(id, 0) << n;
            EXPECT_EQ(id > 0, n < 4) << n;
        }
        // Told once, however many checks wait.
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("sent when it is back"), std::string::npos) << told[0];
        // While the server is away its history is this workstation's.
        EXPECT_EQ(logbook.records("AWAY").size(), 6u);
    }
    server.start();
    const test::CliRun first = test::runCli({"logbook", "sync"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("sent 6, already on the server 0, waiting 0"), std::string::npos)
        << first.out;
    const test::CliRun second = test::runCli({"logbook", "sync"});
    EXPECT_NE(second.out.find("sent 0, already on the server 0, waiting 0"), std::string::npos)
        << second.out;
    const auto [records, identities] = onServer(server, db, "AWAY");
    EXPECT_EQ(records, 10u);
    EXPECT_EQ(identities, 10u);
    // In the order they were made: the history reads them back newest first.
    const auto history = test::runCli({"history", "--serial", "AWAY"});
    EXPECT_LT(history.out.find("09:00:09"), history.out.find("09:00:00")) << history.out;
}

// A record refused for what it holds (a serial longer than any logbook keeps, a rule the lab
// added on its server) stays on this workstation, listed, and never stops the checks after it.
TEST(FleetLogbook, ARefusedRecordIsKeptAndListedAndCostsNoLaterCheck) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }
    ASSERT_TRUE(
        server.sql("ALTER TABLE records ADD CONSTRAINT lab_rule CHECK (serial <> 'BANNED')", db));
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    std::vector<std::string> told;
    {
        FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()),
                             [&told](const std::string& what) { told.push_back(what); });
        for (const std::string& serial : {std::string(3000, 'S'), std::string("BANNED")}) {
            EXPECT_LT(logbook.record(check(serial, 1)), 0) << serial.substr(0, 8);
        }
        EXPECT_GT(logbook.record(check("NEXT", 2)), 0) << "the next check reached the server";
        ASSERT_EQ(told.size(), 2u);
        for (const std::string& t : told) EXPECT_NE(t.find("refused"), std::string::npos) << t;
    }
    // Records left waiting while the server was away: the refused one ahead, a good one behind.
    server.stop();
    {
        FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
        logbook.record(check("BANNED", 3));
        logbook.record(check("NEXT", 4));
    }
    server.start();
    const test::CliRun sync = test::runCli({"logbook", "sync"});
    EXPECT_EQ(sync.exitCode, 0) << sync.out << sync.err;
    EXPECT_NE(sync.out.find("sent 1, already on the server 0, waiting 0"), std::string::npos)
        << sync.out;
    const test::CliRun where = test::runCli({"logbook", "where"});
    EXPECT_EQ(where.exitCode, 0) << where.out << where.err;
    std::size_t listed = 0;
    for (auto at = where.out.find("refused by the server"); at != std::string::npos;
         at = where.out.find("refused by the server", at + 1))
        ++listed;
    EXPECT_EQ(listed, 3u) << where.out;
    EXPECT_NE(where.out.find("lab_rule"), std::string::npos) << where.out;
    EXPECT_EQ(onServer(server, db, "NEXT").first, 2u);
}

// The certificates a workstation read from the server stay readable there while the server is
// away, the newest in force as on the server, so the daily check tile goes on.
TEST(FleetLogbook, TileCertificatesReadFromTheServerAreThereWhileItIsAway) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    TileCertificate first = test::sampleCertificate(), second = first;
    second.number = "NCL-2027-0002";
    second.date = "2027-02-20";
    second.spectra[1][3] += 0.5;
    std::string why;
    {
        FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
        ASSERT_EQ(logbook.addTileCertificate(first, why), CertificateAdded::Added) << why;
        ASSERT_EQ(logbook.addTileCertificate(second, why), CertificateAdded::Added) << why;
        ASSERT_EQ(logbook.tileCertificates("green")->rows.size(), 2u);
    }
    server.stop();
    FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
    const auto away = logbook.tileCertificates("green");
    ASSERT_TRUE(away);
    ASSERT_EQ(away->rows.size(), 2u);
    EXPECT_EQ(away->rows[0].certificate.number, "NCL-2027-0002");
    EXPECT_EQ(certifiedValuesText(away->rows[1].certificate), certifiedValuesText(first));
    // A certificate is still the lab's: none is added while the server is away.
    TileCertificate third = first;
    third.number = "NCL-2027-0003";
    EXPECT_EQ(logbook.addTileCertificate(third, why), CertificateAdded::Refused);
}

// The connection's TLS mode is the user's: PGSSLMODE holds when the settings name none, and
// verify-full refuses a server whose certificate names another host, as psql does.
TEST(FleetLogbook, TheEnvironmentsTlsModeHoldsAndVerifyFullRefusesAnotherHostsCertificate) {
    PgServer server;
    const std::string rootCert = server.useTls("elsewhere.example");
    const std::string db = server.createDatabase("lab");
    LogbookLocation l = at(server, db);
    ASSERT_TRUE(l.tlsMode.empty());
    l.rootCertificate = rootCert;
    EXPECT_EQ(SqlLogbook::tryServer(l).problem, ServerProblem::None)
        << SqlLogbook::tryServer(l).detail;
    qputenv("PGSSLMODE", "verify-full");
    const SqlLogbook::ServerTry full = SqlLogbook::tryServer(l);
    qputenv("PGSSLMODE", "verify-ca");  // the same certificate, its host name not checked
    const SqlLogbook::ServerTry ca = SqlLogbook::tryServer(l);
    qunsetenv("PGSSLMODE");
    EXPECT_EQ(full.problem, ServerProblem::Tls) << full.detail;
    EXPECT_NE(full.detail.find("elsewhere.example"), std::string::npos) << full.detail;
    EXPECT_EQ(ca.problem, ServerProblem::None) << ca.detail;
    // A mode named in the settings goes before the environment's.
    l.tlsMode = "disable";
    qputenv("PGSSLMODE", "verify-full");
    EXPECT_EQ(SqlLogbook::tryServer(l).problem, ServerProblem::None);
    qunsetenv("PGSSLMODE");
}

// Workstations in other time zones keep their own clocks' times: the history shows their checks
// in the order they were made, and --since counts from the reader's midnight, on either engine.
TEST(FleetLogbook, ChecksOfSeveralTimeZonesAreShownInTheOrderTheyWereMade) {
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "UTC");  // the reader's clock
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    std::vector<std::unique_ptr<SqlLogbook>> engines;
    engines.push_back(std::make_unique<SqlLogbook>(at(server, db)));
    engines.push_back(std::make_unique<SqlLogbook>(logbookPath()));
    struct Made {
        const char* where;
        LocalTime time;
        int offset;
    };
    // 04:30, 09:00 and 10:00 UTC on 8 December.
    const Made made[] = {{"new-york", {2026, 12, 7, 23, 30, 0}, -300},
                         {"tokyo", {2026, 12, 8, 18, 0, 0}, 540},
                         {"new-york", {2026, 12, 8, 5, 0, 0}, -300}};
    for (auto& logbook : engines) {
        SCOPED_TRACE(logbook->where());
        ASSERT_TRUE(logbook->isOpen()) << logbook->why();
        for (const Made& m : made) {
            CheckRecord r = check("ZONES", 1);
            r.time = m.time;
            r.utcOffsetMinutes = m.offset;
            r.workstation = m.where;
            logbook->record(r);
        }
        const auto shown = logbook->records("ZONES", "2026-12-08");
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(logbookTime(shown[0].time), "2026-12-08 05:00:00");
        EXPECT_EQ(logbookTime(shown[1].time), "2026-12-08 18:00:00");
        EXPECT_EQ(logbookTime(shown[2].time), "2026-12-07 23:30:00");
        EXPECT_EQ(shown[1].utcOffsetMinutes, 540);
        EXPECT_TRUE(logbook->records("ZONES", "2026-12-09").empty());
    }
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
}

// A history read in pages merges the server's records with those waiting here by time, shows a
// record being sent (on both sides for a moment) once, and says when the server went away part
// way; a server away from the start leaves the pages to this workstation's records.
TEST(FleetLogbook, AHistoryReadInPagesIsTheWholeHistoryInOrderEachRecordOnce) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    SqlLogbook direct(at(server, db));
    ASSERT_TRUE(direct.isOpen()) << direct.why();
    for (int n : {1, 3, 5, 7, 9}) direct.record(check("PAGED", n));
    FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
    std::int64_t last = 0;
    for (int n : {2, 4, 6, 8})
        ASSERT_NE(last = logbook.local().recordWaiting(check("PAGED", n), "lab"), 0);
    ASSERT_EQ(direct.send(*logbook.local().recordById(last), {}).outcome, SqlLogbook::Sent::Added);
    const auto comments = [](const std::vector<CheckRecord>& records) {
        std::string out;
        for (const CheckRecord& r : records) out += r.comment + (r.id < 0 ? "h " : "s ");
        return out;
    };
    const std::string whole = "9s 8s 7s 6h 5s 4h 3s 2h 1s ";
    EXPECT_EQ(comments(logbook.records("PAGED")), whole);
    for (int size : {1, 2, 4, 100}) {
        const auto pages = logbook.history("PAGED", {});
        std::vector<CheckRecord> all;
        for (auto page = pages->next(size); !page.empty(); page = pages->next(size))
            all.insert(all.end(), page.begin(), page.end());
        EXPECT_EQ(comments(all), whole) << size;
        EXPECT_FALSE(pages->failed());
    }
    const auto cut = logbook.history("PAGED", {});
    EXPECT_EQ(comments(cut->next(3)), "9s 8s 7s ");
    server.stop();
    // Another read finds the server away first and drops its connection.
    EXPECT_EQ(comments(logbook.records("PAGED")), "8h 6h 4h 2h ");
    while (!cut->next(3).empty()) {
    }
    EXPECT_TRUE(cut->failed());
    FleetLogbook away(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
    const auto here = away.history("PAGED", {});
    const std::string first = comments(here->next(3));
    EXPECT_EQ(first + comments(here->next(3)), "8h 6h 4h 2h ");
    EXPECT_EQ(readSource(away), "this workstation");
}

// A check costs the server one statement, so one round trip however far away it is: the record
// with all its rows in one call of the logbook's function, no statement prepared and freed
// around it.
TEST(FleetLogbook, ACheckIsRecordedInOneStatement) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }
    ASSERT_TRUE(server.sql("ALTER DATABASE lab SET log_statement = 'all'", db));
    test::TempHome home;
    FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
    ASSERT_TRUE(logbook.serverOpen());
    const std::size_t before = server.log().size();
    CheckRecord quoted = check("TRIPS", 1);
    quoted.comment = "it's \\ 'quoted' $$ %1";
    logbook.record(quoted);
    const std::string log = server.log().substr(before);
    std::size_t statements = 0;
    for (std::size_t at = log.find("statement: "); at != std::string::npos;
         at = log.find("statement: ", at + 1))
        ++statements;
    EXPECT_EQ(statements, 1u) << log;
    const auto back = logbook.records("TRIPS");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].comment, quoted.comment);
}

// A check's file imported on the server by another workstation before the check's own record
// got there is one check: its record, sent later, finds it and is not added a second time.
TEST(FleetLogbook, ACheckWhoseFileWasImportedElsewhereFirstIsShownOnce) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }
    test::TempHome home;
    const std::string file = home.documents() + "/Repeatability_20261208_090001.csv";
    std::ofstream(file) << "a result file's contents\n";
    server.stop();
    CheckRecord made = check("TWICE", 1);
    made.files = {file};
    {
        FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
        ASSERT_LT(logbook.record(made), 0);
    }
    server.start();
    {
        SqlLogbook elsewhere(at(server, db));
        CheckRecord imported = check("TWICE", 1);
        imported.files = {"/plant2/import/Repeatability_20261208_090001.csv"};
        ASSERT_TRUE(elsewhere.recordImported(imported, firstFileDigest({file})));
    }
    FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr);
    EXPECT_EQ(logbook.sync().already, 1);
    EXPECT_EQ(logbook.records("TWICE").size(), 1u);
    EXPECT_TRUE(logbook.local().waiting().empty());
}

// A logbook file given to import is only read: a damaged one stays exactly as it was, where it
// was, and the import says so and fails.
TEST(FleetLogbook, ImportReadsALogbookFileAndNeverMovesOrChangesIt) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    const std::string given = home.documents() + "/plant2.sqlite";
    std::string damaged = "SQLite format 3";
    damaged.push_back('\0');
    damaged += std::string(4096, '\x5a');
    std::ofstream(given, std::ios::binary) << damaged;
    const test::CliRun imported = test::runCli({"import", QString::fromStdString(given)});
    EXPECT_NE(imported.exitCode, 0) << imported.out << imported.err;
    EXPECT_NE(imported.err.find("left as it is"), std::string::npos) << imported.err;
    std::ifstream in(given, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, damaged);
    for (const auto& entry : std::filesystem::directory_iterator(home.documents()))
        EXPECT_EQ(entry.path().filename().string().find("damaged"), std::string::npos)
            << entry.path();

    // A good one is sent, and stays as it was too (no journal left beside it).
    const std::string good = home.documents() + "/plant3.sqlite";
    {
        SqlLogbook plant3(good);
        plant3.record(check("PLANT3", 1));
    }
    const auto size = std::filesystem::file_size(good);
    const test::CliRun sent = test::runCli({"import", QString::fromStdString(good)});
    EXPECT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("sent 1"), std::string::npos) << sent.out;
    EXPECT_EQ(std::filesystem::file_size(good), size);
}

// What a failed statement's SQLSTATE means for the record it carried.
TEST(FleetLogbook, AServerErrorsClassSaysWhetherTheRecordOrTheServerIsAtFault) {
    for (const char* away : {"", "08006", "08001", "57P01", "57P03", "57014", "53100", "53300",
                             "55P03", "40001", "40P01", "25P02", "XX000"})
        EXPECT_EQ(classifySqlState(QString::fromLatin1(away)), SendFailure::Away) << away;
    for (const char* refused :
         {"22001", "22023", "22P02", "23502", "23505", "23514", "42501", "42883", "54000", "P0001"})
        EXPECT_EQ(classifySqlState(QString::fromLatin1(refused)), SendFailure::Refused) << refused;
    // Not a state at all: a driver's word is no reason to give up on a record.
    EXPECT_EQ(classifySqlState(QStringLiteral("22")), SendFailure::Away);
}

TEST(FleetLogbook, ASyncKilledHalfWayLeavesEachRecordOnTheServerOnce) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    constexpr int kWaiting = 600;
    {
        // As checks made while the server was away leave them.
        SqlLogbook local(logbookPath());
        for (int n = 0; n < kWaiting; ++n) local.recordWaiting(check("KILLED", n), "away");
        ASSERT_EQ(local.waiting().size(), std::size_t(kWaiting));
    }
    QProcess sync;
    sync.start(QStringLiteral(QV_BIN_DIR "/qvl70s-cli"), {"logbook", "sync"});
    ASSERT_TRUE(sync.waitForStarted());
    std::size_t sentWhenKilled = 0;
    for (int i = 0; i < 2000 && sentWhenKilled == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (const auto n = onServer(server, db, "KILLED").first; n >= 50) sentWhenKilled = n;
    }
    ::kill(static_cast<pid_t>(sync.processId()), SIGKILL);
    sync.waitForFinished();
    ASSERT_GT(sentWhenKilled, 0u);
    const std::size_t afterKill = onServer(server, db, "KILLED").first;
    EXPECT_LT(afterKill, std::size_t(kWaiting)) << "the send was not cut short";

    const test::CliRun again = test::runCli({"logbook", "sync"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    const auto [records, identities] = onServer(server, db, "KILLED");
    EXPECT_EQ(records, std::size_t(kWaiting));
    EXPECT_EQ(identities, std::size_t(kWaiting));
}

TEST(FleetLogbook, EachServerProblemIsToldInItsOwnWordsAndCostsNoCheck) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    const std::string newer = server.createDatabase("newer");
    { SqlLogbook made(at(server, newer)); }
    ASSERT_TRUE(server.sql("INSERT INTO schema_version VALUES(99)", newer));
    test::TempHome home;
    LogbookLocation tls = at(server, db);
    tls.tlsMode = "require";  // the test's server offers no TLS
    LogbookLocation nowhere = at(server, db);
    nowhere.host = "no-such-host.invalid";
    struct Case {
        const char* what;
        LogbookLocation location;
        ServerProblem problem;
    };
    for (const Case& c :
         {Case{"wrong password", at(server, db, "not-the-password"), ServerProblem::Authentication},
          Case{"TLS refused", tls, ServerProblem::Tls},
          Case{"unreachable", nowhere, ServerProblem::Unreachable},
          Case{"newer schema", at(server, newer), ServerProblem::NewerSchema}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SqlLogbook::tryServer(c.location).problem, c.problem)
            << SqlLogbook::tryServer(c.location).detail;
        std::vector<std::string> told;
        FleetLogbook logbook(c.location, std::make_unique<SqlLogbook>(logbookPath()),
                             [&told](const std::string& what) { told.push_back(what); });
        EXPECT_LT(logbook.record(check(c.what, 1)), 0);  // waiting on this workstation
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find(describe(c.problem)), std::string::npos) << told[0];
    }
    // Nothing reached the newer logbook, which is left as it was.
    EXPECT_EQ(SqlLogbook::tryServer(at(server, newer)).version, 99);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(FleetLogbook, TheDesktopsSenderSendsWhatWaitsFromItsOwnThread) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    { SqlLogbook made(at(server, db)); }
    test::TempHome home;
    server.stop();
    FleetLogbook logbook(at(server, db), std::make_unique<SqlLogbook>(logbookPath()), nullptr,
                         FleetLogbook::Sending::ByOthers);
    for (int n = 0; n < 5; ++n) logbook.record(check("SENDER", n));
    {
        WaitingSender sender(at(server, db), logbookPath());
        // Its first try finds the server still away.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.start();
        // The next check pokes it; the window never waits for the send.
        logbook.sendWaitingWith([&sender] { sender.poke(); });
        logbook.record(check("SENDER", 5));
        for (int i = 0; i < 200 && onServer(server, db, "SENDER").first < 6; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        logbook.sendWaitingWith({});
    }
    EXPECT_EQ(onServer(server, db, "SENDER"), std::make_pair(std::size_t(6), std::size_t(6)));
    EXPECT_TRUE(logbook.local().waiting().empty());
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// With the server away and this workstation's logbook unable to keep anything (here: written
// by a newer program, which no run changes), a check is never said to be recorded, and the
// command line does not end as if it were.
TEST(FleetLogbookRoad, ACheckNeitherTheServerNorTheWorkstationTookIsToldAndFails) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "newer-outbox");
        file.setDatabaseName(QString::fromStdString(logbookPath()));
        ASSERT_TRUE(file.open());
        QSqlQuery(file).exec("PRAGMA user_version=99");
        file.close();
    }
    QSqlDatabase::removeDatabase("newer-outbox");
    test::SimInstrument sim("53", "L70S-000078");
    server.stop();
    for (int n = 0; n < 2; ++n) {
        const test::CliRun check =
            test::runCli({"repeatability", "--port", QString::fromStdString(sim.port())});
        EXPECT_NE(check.exitCode, 0) << check.out << check.err;
        EXPECT_NE(check.out.find("verdict PASSED"), std::string::npos) << check.out;
        EXPECT_NE(check.err.find("This check is not recorded"), std::string::npos) << check.err;
        EXPECT_EQ(check.err.find("recorded on this workstation"), std::string::npos) << check.err;
    }
}

// The whole road on the command line: a check made while the server is away ends by its
// verdict, says once where its record went, and reaches the server with the next run.
TEST(FleetLogbookRoad, ACheckMadeWhileTheServerIsAwayIsRecordedOnTheServerLater) {
    PgServer server;
    const std::string db = server.createDatabase("lab");
    test::TempHome home;
    LogbookEnv env(server.uri(server.adminUser(), server.adminPassword(), db));
    test::SimInstrument sim("53", "L70S-000077");
    server.stop();
    const test::CliRun check =
        test::runCli({"repeatability", "--port", QString::fromStdString(sim.port())});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("verdict PASSED"), std::string::npos) << check.out;
    const auto told = check.err.find("sent when it is back");
    EXPECT_NE(told, std::string::npos) << check.err;
    EXPECT_EQ(told, check.err.rfind("sent when it is back")) << "told once: " << check.err;

    // Every reading verb says, on standard error and in its JSON, that the server was away.
    for (const QStringList& verb :
         {QStringList{"history", "--json"}, QStringList{"history", "--serial", "L70S-000077"},
          QStringList{"history", "--serial", "L70S-000077", "--json"},
          QStringList{"performance", "--serial", "L70S-000077", "--json"}}) {
        const test::CliRun away = test::runCli(verb);
        EXPECT_EQ(away.exitCode, 0) << verb.join(' ').toStdString() << away.err;
        EXPECT_NE(away.err.find("this workstation's records only"), std::string::npos)
            << verb.join(' ').toStdString() << away.err;
        if (verb.contains("--json")) {
            EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(away.out))
                          .object()["source"]
                          .toString(),
                      "this workstation")
                << away.out;
        }
    }

    server.start();
    const test::CliRun history = test::runCli({"history", "--serial", "L70S-000077", "--json"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(history.out))
                  .object()["source"]
                  .toString(),
              "server");
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(history.out))
                                   .object()["records"]
                                   .toArray();
    ASSERT_EQ(records.size(), 1) << history.out;
    EXPECT_GT(records[0]["id"].toInteger(), 0) << "read from the server";
    EXPECT_EQ(records[0]["workstation"].toString().toStdString(), workstationName());
    EXPECT_EQ(records[0]["files"].toArray().size(), 1);
    EXPECT_EQ(onServer(server, db, "L70S-000077").first, 1u);
    // The record went with its file's digest: importing the data folder adds nothing.
    const test::CliRun imported = test::runCli({"import"});
    EXPECT_NE(imported.out.find("already recorded Repeatability_"), std::string::npos)
        << imported.out << imported.err;
    EXPECT_EQ(onServer(server, db, "L70S-000077").first, 1u);
}

}  // namespace
}  // namespace qv
