// The server set up exactly as docs/fleet-logbook.sql tells an administrator to: the program
// makes the tables as their owner; a workstation's login adds and reads records, but the server
// itself refuses it any change to one; an auditor only reads; a role outside the logbook is not
// let in at all. The script is the one shipped, run as psql runs it.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/log/sql_logbook.h"
#include "support/pg_server.h"
#include "support/record_builder.h"
#include "support/sample_certificate.h"

namespace qv {
namespace {

using test::PgServer;
using test::PgSession;

constexpr const char* kDatabase = "qv_logbook";

LogbookLocation as(const PgServer& server, const std::string& user, const std::string& password) {
    std::string why;
    const auto location = locationFromUri(server.uri(user, password, kDatabase), &why);
    EXPECT_TRUE(location) << why;
    return location.value_or(LogbookLocation{});
}

// A diagnosed tile set: the one kind of record that fills every table a record has.
CheckRecord tileSetCheck() {
    DiagnosisRecord diagnosis;
    for (AngleDiagnosisRecord& d : diagnosis)
        d = {"service",
             "the linearity cannot be removed by factors",
             0.4,
             0.05,
             {{"gain", 1.02, 0.001, true}, {"linearity", 0.06, 0.01, true}}};
    for (int t = 0; t < 2; ++t)
        diagnosis[2].tiles.push_back({{90.0 - 40 * t, 1.0, -2.0},
                                      {0.1, t ? NAN : 0.2, -0.3},
                                      {-0.15 * (t + 1), 0.05, 0.25}});
    CheckRecord r =
        test::RecordBuilder(RecordKind::TileSet, {2026, 12, 8, 10, 15, 0})
            .serial("L70S-300003")
            .reference("L70S-100001")
            .instrumentType("53")
            .judged(0.5, "dE*ab", false)
            .comment("white,mid grey")
            .eachAngle([](int a) {
                return AngleRecord{{80.0 - a, 0.5, -1.0}, 0.3 + a, NAN};
            })
            .files({"/data/TileSet_20261208_101500.csv", "/data/Judgement_20261208_101400.csv"})
            .diagnosis(diagnosis)
            .build();
    r.overdue = "its tile set is 2 days overdue";
    r.overrideReason = "made for the audit";
    return r;
}

std::string script() {
    std::ifstream in(QV_SOURCE_DIR "/docs/fleet-logbook.sql");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool refusedForLackOfRights(const std::string& refusal) {
    return refusal.find("permission denied") != std::string::npos;
}

// The script as shipped, then the passwords the administrator gives with \password, and one role
// the script never names.
void setUp(const PgServer& server) {
    const std::string setup = script();
    ASSERT_NE(setup.find("qv_workstation"), std::string::npos) << "the script was not found";
    std::string error;
    ASSERT_TRUE(server.sql(setup, &error)) << error;
    ASSERT_TRUE(
        server.sql("ALTER ROLE qv_owner PASSWORD 'owner-pw';\n"
                   "ALTER ROLE ws_plant1 PASSWORD 'plant1-pw';\n"
                   "ALTER ROLE ws_plant2 PASSWORD 'plant2-pw';\n"
                   "ALTER ROLE audit_quality PASSWORD 'audit-pw';\n"
                   "CREATE ROLE outsider LOGIN PASSWORD 'outsider-pw';",
                   &error))
        << error;
}

TEST(FleetRoles, AWorkstationAddsAndReadsRecordsButTheServerRefusesItAnyChange) {
    PgServer server;
    setUp(server);

    // Before the owner has run the program, a workstation can make nothing of its own there.
    {
        SqlLogbook early(as(server, "ws_plant1", "plant1-pw"));
        EXPECT_FALSE(early.isOpen());
        EXPECT_EQ(early.problem(), ServerProblem::WrongSchema) << early.why();
    }
    {
        SqlLogbook owner(as(server, "qv_owner", "owner-pw"));
        ASSERT_TRUE(owner.isOpen()) << owner.why();
    }

    const CheckRecord check = tileSetCheck();
    std::string uuid;
    {
        SqlLogbook workstation(as(server, "ws_plant1", "plant1-pw"));
        ASSERT_TRUE(workstation.isOpen()) << workstation.why();
        workstation.record(check);
        const auto back = workstation.records(check.serial);
        ASSERT_EQ(back.size(), 1u) << workstation.why() << server.log();
        EXPECT_EQ(back[0].files, check.files);
        EXPECT_DOUBLE_EQ(back[0].angles[2].deltaE, 2.3);
        EXPECT_EQ(back[0].overdue, check.overdue);
        EXPECT_EQ(back[0].overrideReason, check.overrideReason);
        ASSERT_TRUE(back[0].diagnosis);
        EXPECT_EQ((*back[0].diagnosis)[1].terms.size(), 2u);
        // The tiles' differences pass through the server's function in their order.
        const auto& tiles = (*back[0].diagnosis)[2].tiles;
        ASSERT_EQ(tiles.size(), 2u);
        EXPECT_TRUE((*back[0].diagnosis)[1].tiles.empty());
        EXPECT_DOUBLE_EQ(tiles[1].reference[0], 50.0);
        EXPECT_TRUE(std::isnan(tiles[1].read[1]));
        EXPECT_DOUBLE_EQ(tiles[0].read[1], 0.2);
        EXPECT_DOUBLE_EQ(tiles[1].heldOut[0], -0.3);
        uuid = back[0].uuid;
        // A record sent again is recognised with the rights to add alone.
        EXPECT_EQ(workstation.send(back[0], {}).outcome, SqlLogbook::Sent::AlreadyThere);
    }

    PgSession plant1(server, "ws_plant1", "plant1-pw", kDatabase);
    ASSERT_TRUE(plant1.open()) << plant1.error();
    for (const char* statement :
         {"UPDATE records SET comment = 'changed'", "UPDATE angles SET delta_e = 0",
          "UPDATE files SET path = '/elsewhere'", "UPDATE diagnoses SET decision = 'write-factors'",
          "UPDATE schema_version SET version = 99", "DELETE FROM records", "DELETE FROM angles",
          "DELETE FROM files", "DELETE FROM diagnoses", "DELETE FROM diagnosis_terms",
          "DELETE FROM unsent", "DELETE FROM schema_version", "TRUNCATE records CASCADE",
          "DROP TABLE angles", "ALTER TABLE records ADD COLUMN note TEXT",
          "CREATE TABLE records_copy(id BIGINT)"}) {
        const std::string refusal = plant1.refusal(statement);
        EXPECT_TRUE(refusedForLackOfRights(refusal) ||
                    refusal.find("must be owner") != std::string::npos)
            << statement << ": " << (refusal.empty() ? "the server ran it" : refusal);
    }
    EXPECT_EQ(plant1.value("SELECT comment || ' ' || uuid FROM records"),
              check.comment + " " + uuid);
    EXPECT_EQ(plant1.value("SELECT COUNT(*) FROM angles"), "3");

    PgSession auditor(server, "audit_quality", "audit-pw", kDatabase);
    ASSERT_TRUE(auditor.open()) << auditor.error();
    EXPECT_EQ(auditor.value("SELECT COUNT(*) FROM diagnosis_terms"), "6");
    EXPECT_TRUE(refusedForLackOfRights(auditor.refusal(
        "INSERT INTO records(kind, serial, time) VALUES('repeatability', 'X', '2026-12-08')")));
    EXPECT_TRUE(refusedForLackOfRights(auditor.refusal(
        "SELECT logbook_add('{\"kind\": \"repeatability\", \"serial\": \"X\", \"time\": "
        "\"2026-12-08 10:00:00\", \"uuid\": \"a\"}')")));
    // The dashboards' views: read by both, written, changed or dropped by neither.
    const std::string kinds = std::to_string(kCheckKindCount);
    EXPECT_EQ(auditor.value("SELECT COUNT(*) FROM fleet_status WHERE status = 'ok'"), kinds);
    EXPECT_EQ(auditor.value("SELECT COUNT(*) FROM check_trend WHERE kind = 'tile-set'"), "3");
    EXPECT_EQ(plant1.value("SELECT COUNT(*) FROM fleet_status"), kinds);
    for (const PgSession* role : {&auditor, &plant1})
        for (const char* statement :
             {"INSERT INTO check_trend(serial) VALUES('X')",
              "UPDATE fleet_status SET status = 'ok'", "DELETE FROM check_trend",
              "DROP VIEW fleet_status", "CREATE OR REPLACE VIEW check_trend AS SELECT 1 AS one"}) {
            const std::string refusal = role->refusal(statement);
            EXPECT_TRUE(refusedForLackOfRights(refusal) ||
                        refusal.find("must be owner") != std::string::npos ||
                        refusal.find("cannot") != std::string::npos)
                << statement << ": " << (refusal.empty() ? "the server ran it" : refusal);
        }
    {
        SqlLogbook reading(as(server, "audit_quality", "audit-pw"));
        ASSERT_TRUE(reading.isOpen()) << reading.why();
        EXPECT_EQ(reading.records(check.serial).size(), 1u);
    }

    PgSession outsider(server, "outsider", "outsider-pw", kDatabase);
    EXPECT_FALSE(outsider.open());
    EXPECT_TRUE(refusedForLackOfRights(outsider.error())) << outsider.error();
}

// What a workstation's login tried on a real server: rows added to another workstation's record,
// a record of its own numbering dated years back in another's name, a version that would take
// the whole fleet off the server. The only way in is the function, which adds a new record only.
TEST(FleetRoles, AWorkstationAddsOnlyNewRecordsAndOnlyThroughTheLogbooksFunction) {
    PgServer server;
    setUp(server);
    {
        SqlLogbook owner(as(server, "qv_owner", "owner-pw"));
        ASSERT_TRUE(owner.isOpen()) << owner.why();
    }
    CheckRecord theirs = tileSetCheck();
    theirs.workstation = "plant2";
    {
        SqlLogbook plant2(as(server, "ws_plant2", "plant2-pw"));
        ASSERT_TRUE(plant2.isOpen()) << plant2.why();
        theirs.id = plant2.record(theirs);
        ASSERT_NE(theirs.id, 0) << plant2.why();
        theirs = *plant2.recordById(theirs.id);
    }
    const std::string id = std::to_string(theirs.id);

    PgSession plant1(server, "ws_plant1", "plant1-pw", kDatabase);
    ASSERT_TRUE(plant1.open()) << plant1.error();
    for (const std::string& statement : std::vector<std::string>{
             "INSERT INTO schema_version VALUES (99)",
             "INSERT INTO files(record_id, path, position) VALUES(" + id + ", '/forged.csv', 9)",
             "INSERT INTO diagnoses(record_id, angle, decision, reason) VALUES(" + id +
                 ", 5, 'write-factors', 'forged')",
             "INSERT INTO records(id, kind, serial, time, workstation) VALUES(-7, "
             "'repeatability', 'L70S-300003', '2020-01-01 00:00:00', 'plant2')",
             "INSERT INTO unsent(record_id, server) VALUES(" + id + ", 'x')",
             "UPDATE instruments SET records = 0",
             "INSERT INTO instruments(serial, records) VALUES('L70S-FORGED', 9)",
             "SELECT nextval(pg_get_serial_sequence('records', 'id'))"})
        EXPECT_TRUE(refusedForLackOfRights(plant1.refusal(statement)))
            << statement << ": " << plant1.refusal(statement);

    // Through the function: an id of its own, a record without identity, a name longer than
    // the program sends, each refused with a class a workstation reads as "this record".
    const std::string base = R"("kind": "repeatability", "serial": "L70S-300003", )"
                             R"("time": "2020-01-01 00:00:00", "workstation": "plant2")";
    for (const std::string& json : std::vector<std::string>{
             "{\"id\": -7, \"uuid\": \"forged-1\", " + base + "}", "{" + base + "}",
             "{\"uuid\": \"forged-2\", \"serial\": \"" + std::string(3000, 'S') +
                 "\", \"kind\": \"repeatability\", \"time\": \"2020-01-01 00:00:00\"}",
             std::string("[1, 2]")}) {
        const std::string refusal = plant1.refusal("SELECT logbook_add('" + json + "')");
        EXPECT_FALSE(refusal.empty()) << json.substr(0, 80);
    }
    // A record sent again under an existing identity adds nothing to it.
    EXPECT_EQ(plant1.value("SELECT COALESCE(logbook_add('{\"uuid\": \"" + theirs.uuid + "\", " +
                           base + ", \"files\": [\"/forged.csv\"]}')::text, 'none')"),
              "none");
    EXPECT_EQ(plant1.value("SELECT COUNT(*) FROM files WHERE record_id = " + id), "2");
    EXPECT_EQ(plant1.value("SELECT COUNT(*) FROM records"), "1");
    EXPECT_EQ(plant1.value("SELECT records FROM instruments WHERE serial = 'L70S-300003'"), "1");
    EXPECT_EQ(plant1.value("SELECT MAX(version) FROM schema_version"),
              std::to_string(kLogbookSchemaVersion));

    // A record added by ws_plant1 in plant2's name carries the login that sent it and the time
    // the server received it, whatever the record says.
    const std::string added =
        plant1.value("SELECT logbook_add('{\"uuid\": \"mine\", " + base + "}')");
    ASSERT_FALSE(added.empty());
    EXPECT_GT(std::stoll(added), 0);
    EXPECT_EQ(plant1.value("SELECT login || ' ' || workstation || ' ' || (received IS NOT NULL) "
                           "FROM records WHERE id = " +
                           added),
              "ws_plant1 plant2 true");
}

// The lab's check intervals: a workstation sets them through the owner's function, which says
// who set each and refuses what the program never sends; no role changes or removes one, and
// an auditor reads them but sets none.
TEST(FleetRoles, AWorkstationSetsTheLabsIntervalsOnlyThroughItsFunctionAndAnAuditorReadsThem) {
    PgServer server;
    setUp(server);
    {
        SqlLogbook owner(as(server, "qv_owner", "owner-pw"));
        ASSERT_TRUE(owner.isOpen()) << owner.why();
        EXPECT_EQ(owner.checkIntervals(), CheckIntervals{});
    }
    std::string why;
    {
        SqlLogbook plant1(as(server, "ws_plant1", "plant1-pw"));
        ASSERT_TRUE(plant1.setCheckInterval(CheckKind::InterInstrument, {30, 7}, why)) << why;
        ASSERT_TRUE(plant1.setCheckInterval(CheckKind::Calibration, {1, 0}, why)) << why;
        ASSERT_TRUE(plant1.setCheckInterval(CheckKind::Calibration, {}, why)) << why;
    }
    CheckIntervals want{};
    want[static_cast<std::size_t>(CheckKind::InterInstrument)] = {30, 7};
    {
        SqlLogbook auditor(as(server, "audit_quality", "audit-pw"));
        ASSERT_TRUE(auditor.isOpen()) << auditor.why();
        EXPECT_EQ(auditor.checkIntervals(), want);
        EXPECT_FALSE(auditor.setCheckInterval(CheckKind::TileSet, {90, 14}, why));
        EXPECT_TRUE(refusedForLackOfRights(why)) << why;
    }
    PgSession plant2(server, "ws_plant2", "plant2-pw", kDatabase);
    ASSERT_TRUE(plant2.open()) << plant2.error();
    for (const char* statement :
         {"INSERT INTO check_intervals(kind, days, set_at) VALUES('profile', 9, 'x')",
          "UPDATE check_intervals SET days = 365", "DELETE FROM check_intervals",
          "TRUNCATE check_intervals"})
        EXPECT_TRUE(refusedForLackOfRights(plant2.refusal(statement))) << statement;
    for (const char* statement : {"SELECT logbook_set_interval('weekly', 7, 0)",
                                  "SELECT logbook_set_interval('profile', 0, 0)",
                                  "SELECT logbook_set_interval('profile', 9, 9)",
                                  "SELECT logbook_set_interval('profile', NULL, 3)"}) {
        const std::string refusal = plant2.refusal(statement);
        EXPECT_TRUE(refusal.find("no such kind") != std::string::npos ||
                    refusal.find("number of days") != std::string::npos)
            << statement << ": " << refusal;
    }
    EXPECT_EQ(plant2.value("SELECT string_agg(set_by || ' ' || kind || ' ' || COALESCE(days::text, "
                           "'none'), ', ' ORDER BY id) FROM check_intervals"),
              "ws_plant1 inter-instrument 30, ws_plant1 calibration 1, ws_plant1 calibration none");
}

// A workstation adds a tile's certificate only through the owner's function, which recognises
// the same certificate and refuses the same number with other values; no role changes a row, an
// auditor reads them; the check tile is a kind the lab sets an interval for.
TEST(FleetRoles, AWorkstationAddsTileCertificatesOnlyThroughItsFunctionAndAnAuditorReadsThem) {
    PgServer server;
    setUp(server);
    {
        SqlLogbook owner(as(server, "qv_owner", "owner-pw"));
        ASSERT_TRUE(owner.isOpen()) << owner.why();
    }
    std::string why;
    TileCertificate c = test::sampleCertificate();
    {
        SqlLogbook plant1(as(server, "ws_plant1", "plant1-pw"));
        EXPECT_EQ(plant1.addTileCertificate(c, why), CertificateAdded::Added) << why;
        EXPECT_EQ(plant1.addTileCertificate(c, why), CertificateAdded::AlreadyRecorded) << why;
        TileCertificate other = c;
        other.uncertainty = 0.2;
        EXPECT_EQ(plant1.addTileCertificate(other, why), CertificateAdded::Refused);
        EXPECT_NE(why.find("other certified values"), std::string::npos) << why;
        ASSERT_TRUE(plant1.setCheckInterval(CheckKind::CheckTile, {1, 0}, why)) << why;
    }
    PgSession plant2(server, "ws_plant2", "plant2-pw", kDatabase);
    ASSERT_TRUE(plant2.open()) << plant2.error();
    // The function itself refuses another certificate of that number, and answers NULL for the
    // same one, whatever the program checked before.
    const std::string certified = certifiedValuesText(c), lab = labValuesText(c);
    EXPECT_EQ(plant2.value("SELECT COALESCE(logbook_add_tile_certificate('green', "
                           "'NCL-2026-0147', '" +
                           certified + "', '" + lab + "')::text, 'none')"),
              "none");
    EXPECT_NE(plant2
                  .refusal("SELECT logbook_add_tile_certificate('green', 'NCL-2026-0147', "
                           "'other', '')")
                  .find("other certified values"),
              std::string::npos);
    EXPECT_NE(plant2.refusal("SELECT logbook_add_tile_certificate(NULL, 'n', 'c', 'l')")
                  .find("incomplete or too long"),
              std::string::npos);
    for (const char* statement :
         {"INSERT INTO tile_certificates(tile, number, certified, lab_values, recorded_at) "
          "VALUES('x', 'y', 'z', '', 'now')",
          "UPDATE tile_certificates SET certified = 'z'", "DELETE FROM tile_certificates",
          "TRUNCATE tile_certificates"})
        EXPECT_TRUE(refusedForLackOfRights(plant2.refusal(statement))) << statement;
    EXPECT_EQ(plant2.value("SELECT COUNT(*) || ' ' || MIN(recorded_by) FROM tile_certificates"),
              "1 ws_plant1");
    SqlLogbook auditor(as(server, "audit_quality", "audit-pw"));
    ASSERT_TRUE(auditor.isOpen()) << auditor.why();
    const auto read = auditor.tileCertificates("green");
    ASSERT_TRUE(read);
    ASSERT_EQ(read->rows.size(), 1u);
    EXPECT_EQ(certifiedValuesText(read->rows[0].certificate), certified);
    c.limit = 0.25;
    EXPECT_EQ(auditor.addTileCertificate(c, why), CertificateAdded::Refused);
    EXPECT_TRUE(refusedForLackOfRights(why)) << why;
}

}  // namespace
}  // namespace qv
