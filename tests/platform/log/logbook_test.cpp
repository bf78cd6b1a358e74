// The logbook file itself: records kept and read back, an older schema carried forward, and a
// damaged or foreign file kept aside without costing a record.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <pwd.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/record_builder.h"
#include "support/sample_certificate.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

CheckRecord verification() {
    return test::RecordBuilder(RecordKind::Verification, {2026, 12, 7, 18, 5, 9})
        .serial("L70S-200002")
        .reference("L70S-100001")
        .judged(0.5, "dE*ab", true)
        .angle(2, {{56.04, 0.02, 1.33}, 0.04, 0.69})
        .files({"/data/Judgement_20261207_180509_2.csv"})
        .build();
}

// A logbook as the first version of the program left it: one repeatability check.
void writeVersionOne(const std::string& path) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v1");
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE records(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, serial TEXT NOT "
              "NULL, instrument_type TEXT NOT NULL DEFAULT '', reference_serial TEXT NOT NULL "
              "DEFAULT '', time TEXT NOT NULL, threshold REAL, formula TEXT NOT NULL DEFAULT '', "
              "passed INTEGER, entry INTEGER NOT NULL DEFAULT 0, comment TEXT NOT NULL DEFAULT '')",
              "CREATE TABLE angles(record_id INTEGER NOT NULL, angle INTEGER NOT NULL, l REAL, a "
              "REAL, b REAL, delta_e REAL, before_delta_e REAL, PRIMARY KEY(record_id, angle))",
              "CREATE TABLE files(record_id INTEGER NOT NULL, path TEXT NOT NULL)",
              "INSERT INTO records(kind, serial, time, threshold, passed) VALUES('repeatability', "
              "'L70S-000042', '2026-03-14 09:15:02', 0.2, 1)",
              "PRAGMA user_version=1"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
        db.close();
    }
    QSqlDatabase::removeDatabase("v1");
}

// Version 1's logbook carried forward to version 3 by hand, with a tile set of that time.
void writeVersionThree(const std::string& path) {
    writeVersionOne(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v3");
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"ALTER TABLE records ADD COLUMN operator TEXT NOT NULL DEFAULT ''",
              "ALTER TABLE files ADD COLUMN digest TEXT",
              "CREATE UNIQUE INDEX files_by_digest ON files(digest) WHERE digest IS NOT NULL",
              "CREATE INDEX files_by_path ON files(path)",
              "INSERT INTO records(kind, serial, time, threshold, passed, comment) "
              "VALUES('tile-set', 'L70S-200002', '2026-12-01 10:00:00', 0.5, 0, 'LAB SET')",
              "PRAGMA user_version=3"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
        db.close();
    }
    QSqlDatabase::removeDatabase("v3");
}

// A diagnosed set: a term the set could not tell at all, a mean that was not known.
CheckRecord diagnosedSet() {
    DiagnosisRecord d;
    for (int a = 0; a < kAngleCount; ++a) {
        d[a] = {a == 1 ? "service" : "write-factors",
                "reason " + std::to_string(a),
                0.3 + a,
                a == 2 ? NAN : 0.1 * a,
                {}};
        d[a].terms = {{"offset", 0.12 * (a + 1), 0.01, true},
                      {"shift", -0.4, INFINITY, false},
                      {"bandwidth", NAN, 3.5, false}};
        d[a].heldOutRmsAfterFactors = 0.4 + a;
        d[a].lightnessLow = 20.0 + a;
        d[a].lightnessHigh = 90.0 + a;
        d[a].chromaLow = 0.5;
        d[a].chromaHigh = 60.0;
        d[a].hueFrom = 300.0;
        d[a].hueTo = a == 2 ? NAN : 120.0;
        // Tiles whose held-out prediction was not known, one only read as it was.
        for (int t = 0; t < 3 + a; ++t)
            d[a].tiles.push_back({{95.0 - 10 * t, 0.5 * a, -t * 1.5},
                                  {0.1 * t, -0.02, t == 1 ? NAN : 0.3},
                                  {t == 0 ? NAN : -0.05 * t, 0.01 * a, 0.2}});
    }
    return test::RecordBuilder(RecordKind::TileSet, {2026, 12, 7, 11, 0, 0})
        .serial("L70S-200002")
        .comment("LAB SET")
        .diagnosis(d)
        .build();
}

void expectSameNumber(double got, double kept, const std::string& what) {
    if (std::isnan(kept))
        EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
    else
        EXPECT_EQ(got, kept) << what;
}

struct LogbookFile : ::testing::Test {
    std::string path() const { return home.path() + "/logbook.sqlite"; }
    std::vector<std::string> told;
    std::function<void(const std::string&)> tell = [this](const std::string& t) {
        told.push_back(t);
    };
    test::TempHome home;
};

TEST_F(LogbookFile, ARecordReadsBackAsItWasKept) {
    {
        SqlLogbook log(path(), tell);
        ASSERT_TRUE(log.isOpen());
        log.record(verification());
        log.record(test::RecordBuilder(RecordKind::EntryWrite, {2026, 12, 7, 18, 6, 0})
                       .serial("L70S-200002")
                       .entry(9)
                       .comment("AFTER SERVICE")
                       .build());
    }
    SqlLogbook log(path(), tell);  // opened again: the same records
    const auto instruments = log.instruments();
    ASSERT_EQ(instruments.size(), 1u);
    EXPECT_EQ(instruments[0].records, 2);
    const auto records = log.records("L70S-200002");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, RecordKind::EntryWrite);  // newest first
    EXPECT_EQ(records[0].entry, 9);
    const CheckRecord& v = records[1];
    EXPECT_EQ(v.referenceSerial, "L70S-100001");
    EXPECT_EQ(v.passed, std::optional<bool>(true));
    EXPECT_DOUBLE_EQ(v.angles[2].beforeDeltaE, 0.69);
    EXPECT_TRUE(std::isnan(v.angles[0].deltaE));  // nothing kept stays nothing
    EXPECT_EQ(v.files, verification().files);
    EXPECT_FALSE(v.operatorName.empty());
    EXPECT_EQ(log.records("L70S-200002", "2026-12-08").size(), 0u);
    EXPECT_TRUE(told.empty());
}

// A session without USER in its environment still names its operator: the account's own.
TEST_F(LogbookFile, TheOperatorIsTheAccountsLoginNameWhateverTheEnvironmentSays) {
    const passwd* account = getpwuid(geteuid());
    if (!account) GTEST_SKIP() << "the account is not in the password database";
    const std::string login = account->pw_name;
    const char* names[] = {"USER", "LOGNAME", "USERNAME"};
    std::vector<QByteArray> saved;
    for (const char* name : names) {
        saved.push_back(qgetenv(name));
        qputenv(name, "someone-else");
    }
    qunsetenv("USER");
    {
        SqlLogbook log(path(), tell);
        log.record(verification());
    }
    for (std::size_t i = 0; i < saved.size(); ++i)
        saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
    SqlLogbook log(path(), tell);
    const auto records = log.records("L70S-200002");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operatorName, login);
}

TEST_F(LogbookFile, AVersionOneLogbookIsCarriedForward) {
    writeVersionOne(path());
    SqlLogbook log(path(), tell);
    ASSERT_TRUE(log.isOpen()) << (told.empty() ? "" : told[0]);
    const auto old = log.records("L70S-000042");
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old[0].time.year, 2026);
    EXPECT_EQ(old[0].operatorName, "");  // unknown before version 2
    log.record(verification());
    EXPECT_EQ(log.records("L70S-200002").size(), 1u);
    EXPECT_TRUE(told.empty());
}

// The lab's intervals are rows only ever added: the newest of a kind stands, none takes it out
// of force, and a logbook carried forward from before they were kept holds none.
TEST_F(LogbookFile, CheckIntervalsAreAddedAsRowsAndTheNewestOfAKindStands) {
    writeVersionOne(path());
    SqlLogbook log(path(), tell);
    ASSERT_TRUE(log.isOpen());
    EXPECT_EQ(log.checkIntervals(), CheckIntervals{});
    std::string why;
    ASSERT_TRUE(log.setCheckInterval(CheckKind::Calibration, {1, 0}, why)) << why;
    ASSERT_TRUE(log.setCheckInterval(CheckKind::TileSet, {90, 14}, why)) << why;
    ASSERT_TRUE(log.setCheckInterval(CheckKind::TileSet, {60, 10}, why)) << why;
    ASSERT_TRUE(log.setCheckInterval(CheckKind::Calibration, {}, why)) << why;
    EXPECT_FALSE(log.setCheckInterval(CheckKind::Profile, {5, 5}, why));
    EXPECT_NE(why.find("lead"), std::string::npos) << why;
    CheckIntervals want{};
    want[static_cast<std::size_t>(CheckKind::TileSet)] = {60, 10};
    EXPECT_EQ(log.checkIntervals(), want);
    SqlLogbook again(path(), tell);
    EXPECT_EQ(again.checkIntervals(), want);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "intervals-read");
    {
        db.setDatabaseName(QString::fromStdString(path()));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT COUNT(*), MIN(set_by) <> '', MIN(set_at) FROM check_intervals"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 4);  // who set what, and when, stays on record
        EXPECT_TRUE(q.value(1).toBool());
        EXPECT_EQ(q.value(2).toString().size(), 24) << q.value(2).toString().toStdString();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("intervals-read");
    EXPECT_TRUE(told.empty());
}

// A tile's certified values never change: the same certificate again is recognised, the same
// number with other values refused, new coefficients or a new limit a new row in force; a row
// written past the program is counted, never taken for a certificate.
TEST_F(LogbookFile, TileCertificatesAreOnlyAddedAndTheSameOneIsRecognised) {
    writeVersionOne(path());
    SqlLogbook log(path(), tell);
    ASSERT_TRUE(log.isOpen());
    TileCertificate c = test::sampleCertificate();
    std::string why;
    EXPECT_EQ(log.addTileCertificate(c, why), CertificateAdded::Added) << why;
    EXPECT_EQ(log.addTileCertificate(c, why), CertificateAdded::AlreadyRecorded) << why;
    TileCertificate other = c;
    other.spectra[1][12] += 0.01;
    EXPECT_EQ(log.addTileCertificate(other, why), CertificateAdded::Refused);
    EXPECT_NE(why.find("other certified values"), std::string::npos) << why;
    c.limit = 0.3;
    EXPECT_EQ(log.addTileCertificate(c, why), CertificateAdded::Added) << why;
    other.number = "NCL-2027-0002";
    EXPECT_EQ(log.addTileCertificate(other, why), CertificateAdded::Added) << why;
    other.tile = "red";
    other.date = "2026-02-30";
    EXPECT_EQ(log.addTileCertificate(other, why), CertificateAdded::Refused);

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "certificates");
    {
        db.setDatabaseName(QString::fromStdString(path()));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec("INSERT INTO tile_certificates(tile, number, certified, lab_values, "
                   "recorded_at) VALUES('green', 'X', 'tile=green', '', 'now')"));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("certificates");

    SqlLogbook again(path(), tell);
    const auto green = again.tileCertificates("green");
    ASSERT_TRUE(green);
    EXPECT_EQ(green->unreadable, 1);
    ASSERT_EQ(green->rows.size(), 3u);
    EXPECT_EQ(green->rows[0].certificate.number, "NCL-2027-0002");
    EXPECT_EQ(certifiedValuesText(green->rows[1].certificate), certifiedValuesText(c));
    EXPECT_EQ(green->rows[1].certificate.limit, 0.3);
    EXPECT_EQ(labValuesText(green->rows[1].certificate), labValuesText(c));
    EXPECT_FALSE(green->rows[2].certificate.limit);
    EXPECT_FALSE(green->rows[2].recordedBy.empty());
    EXPECT_EQ(again.tileCertificates("")->rows.size(), 3u);
    EXPECT_TRUE(again.tileCertificates("red")->rows.empty());
    EXPECT_TRUE(told.empty());
}

TEST_F(LogbookFile, AVersionThreeLogbookIsCarriedForwardAndKeepsASetsDiagnosis) {
    writeVersionThree(path());
    {
        SqlLogbook log(path(), tell);
        ASSERT_TRUE(log.isOpen()) << (told.empty() ? "" : told[0]);
        log.record(diagnosedSet());
    }
    SqlLogbook log(path(), tell);
    const auto records = log.records("L70S-200002");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].comment, "LAB SET");
    EXPECT_FALSE(records[1].diagnosis);  // judged before sets were diagnosed
    const auto byId = log.recordById(records[0].id);
    ASSERT_TRUE(byId);
    const DiagnosisRecord kept = *diagnosedSet().diagnosis;
    for (const CheckRecord& r : {records[0], *byId}) {
        ASSERT_TRUE(r.diagnosis);
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleDiagnosisRecord& got = (*r.diagnosis)[a];
            const AngleDiagnosisRecord& want = kept[a];
            const std::string at = "angle " + std::to_string(a);
            EXPECT_EQ(got.decision, want.decision) << at;
            EXPECT_EQ(got.reason, want.reason) << at;
            expectSameNumber(got.meanAfterFactors, want.meanAfterFactors, at);
            expectSameNumber(got.meanAfterModel, want.meanAfterModel, at);
            const std::array<double AngleDiagnosisRecord::*, 7> fields = {
                &AngleDiagnosisRecord::heldOutRmsAfterFactors,
                &AngleDiagnosisRecord::lightnessLow,
                &AngleDiagnosisRecord::lightnessHigh,
                &AngleDiagnosisRecord::chromaLow,
                &AngleDiagnosisRecord::chromaHigh,
                &AngleDiagnosisRecord::hueFrom,
                &AngleDiagnosisRecord::hueTo};
            for (const auto field : fields) expectSameNumber(got.*field, want.*field, at);
            ASSERT_EQ(got.tiles.size(), want.tiles.size()) << at;
            for (std::size_t t = 0; t < got.tiles.size(); ++t)
                for (std::size_t i = 0; i < 3; ++i) {
                    const std::string tile = at + ", tile " + std::to_string(t);
                    expectSameNumber(got.tiles[t].reference[i], want.tiles[t].reference[i], tile);
                    expectSameNumber(got.tiles[t].read[i], want.tiles[t].read[i], tile);
                    expectSameNumber(got.tiles[t].heldOut[i], want.tiles[t].heldOut[i], tile);
                }
            ASSERT_EQ(got.terms.size(), want.terms.size()) << at;
            for (std::size_t k = 0; k < got.terms.size(); ++k) {
                EXPECT_EQ(got.terms[k].key, want.terms[k].key) << at;
                expectSameNumber(got.terms[k].value, want.terms[k].value, want.terms[k].key);
                EXPECT_EQ(got.terms[k].standardError, want.terms[k].standardError)
                    << want.terms[k].key;
                EXPECT_EQ(got.terms[k].identified, want.terms[k].identified) << at;
            }
        }
    }
    EXPECT_TRUE(told.empty());
}

TEST_F(LogbookFile, TheHistoryVerbTellsEachAnglesDecisionAndItsJsonTheTerms) {
    {
        SqlLogbook log(logbookPath());
        log.record(diagnosedSet());
    }
    const test::CliRun text = test::runCli({"history", "--serial", "L70S-200002"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("45 degrees: service: reason 1\n"), std::string::npos) << text.out;
    const test::CliRun json = test::runCli({"history", "--serial", "L70S-200002", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const QJsonArray records =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["records"].toArray();
    ASSERT_EQ(records.size(), 1);
    const QJsonObject at75 = records[0]["diagnosis"][2].toObject();
    EXPECT_EQ(at75["recommendation"].toString(), "write-factors");
    EXPECT_TRUE(at75["meanAfterModel"].isNull());
    EXPECT_DOUBLE_EQ(at75["terms"]["offset"]["value"].toDouble(), 0.36);
    EXPECT_TRUE(at75["terms"]["shift"]["standardError"].isNull());  // never a bare Infinity
    EXPECT_FALSE(at75["terms"]["shift"]["identified"].toBool(true));
}

TEST_F(LogbookFile, ADamagedOrForeignFileIsKeptAsideAndANewLogbookBegun) {
    {
        SqlLogbook log(path(), tell);
        for (int i = 0; i < 200; ++i) log.record(verification());
    }
    for (const auto& [name, damage] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"truncated", [&] { std::filesystem::resize_file(path(), 3000); }},
             {"not a database", [&] { std::ofstream(path()) << "Date;20261207_180509\r\n"; }}}) {
        damage();
        std::string before;
        {
            std::ifstream in(path(), std::ios::binary);
            before.assign(std::istreambuf_iterator<char>(in), {});
        }
        told.clear();
        SqlLogbook log(path(), tell);
        ASSERT_TRUE(log.isOpen()) << name;
        ASSERT_EQ(told.size(), 1u) << name;
        EXPECT_NE(told[0].find("could not be read"), std::string::npos) << told[0];
        // The damaged file is kept byte for byte; the check is recorded in the new logbook.
        std::ifstream aside(log.setAside(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), before) << name;
        log.record(verification());
        EXPECT_EQ(log.records("L70S-200002").size(), 1u) << name;
        std::filesystem::remove(path());
        std::filesystem::remove(path() + "-wal");
    }
}

TEST_F(LogbookFile, ALogbookOfANewerProgramIsLeftAlone) {
    {
        SqlLogbook log(path(), tell);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
        db.setDatabaseName(QString::fromStdString(path()));
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=99"));
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    SqlLogbook log(path(), tell);
    EXPECT_FALSE(log.isOpen());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("newer version"), std::string::npos);
    log.record(verification());  // nothing happens, nothing breaks
    EXPECT_TRUE(std::filesystem::exists(path()));
}

// Another program holding the logbook locked while it must be carried forward is no damage:
// the file stays where it is, whole, and is carried forward once the lock is gone.
TEST_F(LogbookFile, ALockedLogbookIsLeftWhereItIs) {
    writeVersionOne(path());
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(QString::fromStdString(path()));
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        SqlLogbook log(path(), tell);  // waits SQLite's busy time, then gives up
        EXPECT_FALSE(log.isOpen());
        EXPECT_TRUE(log.setAside().empty());
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("cannot be used"), std::string::npos) << told[0];
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    SqlLogbook log(path(), tell);
    ASSERT_TRUE(log.isOpen());
    EXPECT_EQ(log.records("L70S-000042").size(), 1u);
}

// The whole road on the command line: a check made while the logbook is damaged still ends by
// its verdict with its file, is told about once, and is in the new logbook's history.
TEST(LogbookRoad, ADamagedLogbookNeverCostsACheck) {
    test::TempHome home;
    test::SimInstrument sim("53", "L70S-000042");
    const std::string program = home.documents() + "/VARNHOLT/QV-L70s";
    std::filesystem::create_directories(program);
    std::ofstream(program + "/logbook.sqlite") << "not a logbook at all";
    const QString port = QString::fromStdString(sim.port());
    const test::CliRun r = test::runCli({"repeatability", "--port", port});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("verdict PASSED"), std::string::npos);
    const auto told = r.err.find("logbook.sqlite could not be read");
    EXPECT_NE(told, std::string::npos) << r.err;
    EXPECT_EQ(told, r.err.rfind("logbook.sqlite could not be read")) << "told once: " << r.err;
    const test::CliRun history = test::runCli({"history", "--serial", "L70S-000042", "--json"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(history.out))
                                   .object()["records"]
                                   .toArray();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]["kind"].toString(), "repeatability");
    EXPECT_EQ(records[0]["files"].toArray().size(), 1);
    std::size_t aside = 0;
    for (const auto& e : std::filesystem::directory_iterator(program))
        aside += e.path().filename().string().rfind("logbook.sqlite.damaged-", 0) == 0;
    EXPECT_EQ(aside, 1u);
}

}  // namespace
}  // namespace qv
