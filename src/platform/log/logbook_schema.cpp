#include "platform/log/logbook_schema.h"

#include <cstddef>
#include <utility>

#include "core/log/check_intervals.h"
#include "core/log/performance_settings.h"
#include "core/tiles/tile_set.h"

namespace qv {

namespace {

// 13: the tiles' certificates, only ever added to: certified values once recorded never
// change, the newest row of a tile is in force. The certified values and the lab's additions
// (coefficients, limit) are each kept as the one canonical text the core writes.
std::vector<const char*> tileCertificatesStep() {
    return {
        "CREATE TABLE tile_certificates(id {key}, tile TEXT NOT NULL, number TEXT NOT NULL, "
        "certified TEXT NOT NULL, lab_values TEXT NOT NULL, recorded_by TEXT NOT NULL DEFAULT "
        "'', recorded_at TEXT NOT NULL)",
        "CREATE INDEX tile_certificates_by_tile ON tile_certificates(tile, number)",
    };
}

// Each version's statements in the dialect both engines read. "{key}" is the records' own
// numbering, the one column type they spell differently.
const std::vector<std::vector<const char*>>& steps() {
    static const std::vector<std::vector<const char*>> all = {
        {
            // 1: records, their angles and their files.
            "CREATE TABLE records(id {key}, kind TEXT NOT NULL, serial TEXT NOT NULL, "
            "instrument_type TEXT NOT NULL DEFAULT '', reference_serial TEXT NOT NULL DEFAULT '', "
            "time TEXT NOT NULL, threshold DOUBLE PRECISION, formula TEXT NOT NULL DEFAULT '', "
            "passed INTEGER, entry INTEGER NOT NULL DEFAULT 0, comment TEXT NOT NULL DEFAULT '')",
            "CREATE TABLE angles(record_id BIGINT NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, angle INTEGER NOT NULL, l DOUBLE PRECISION, a DOUBLE PRECISION, b DOUBLE "
            "PRECISION, delta_e DOUBLE PRECISION, before_delta_e DOUBLE PRECISION, PRIMARY "
            "KEY(record_id, angle))",
            "CREATE TABLE files(record_id BIGINT NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, path TEXT NOT NULL)",
            "CREATE INDEX records_by_serial ON records(serial, time)",
        },
        {
            // 2: who made the check, and imported files known by their contents.
            "ALTER TABLE records ADD COLUMN operator TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE files ADD COLUMN digest TEXT",
            "CREATE UNIQUE INDEX files_by_digest ON files(digest) WHERE digest IS NOT NULL",
        },
        {
            // 3: a file looked up by its path without reading every file on record.
            "CREATE INDEX files_by_path ON files(path)",
        },
        {
            // 4: a tile set's diagnosis, per angle its decision and its physical terms.
            "CREATE TABLE diagnoses(record_id BIGINT NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, angle INTEGER NOT NULL, decision TEXT NOT NULL, reason TEXT NOT NULL, "
            "mean_after_factors DOUBLE PRECISION, mean_after_model DOUBLE PRECISION, PRIMARY "
            "KEY(record_id, angle))",
            "CREATE TABLE diagnosis_terms(record_id BIGINT NOT NULL REFERENCES records(id) ON "
            "DELETE CASCADE, angle INTEGER NOT NULL, position INTEGER NOT NULL, term TEXT NOT "
            "NULL, estimate DOUBLE PRECISION, standard_error DOUBLE PRECISION, identified "
            "INTEGER NOT NULL, PRIMARY KEY(record_id, angle, position))",
        },
        {
            // 5: many workstations, one logbook. A record keeps its identity wherever it is sent
            // (a second copy is refused by it) and the host that recorded it; a file its place
            // among the record's files, which a server does not keep by itself; a workstation
            // the records still waiting for the server.
            "ALTER TABLE records ADD COLUMN uuid TEXT",
            "ALTER TABLE records ADD COLUMN workstation TEXT NOT NULL DEFAULT ''",
            "CREATE UNIQUE INDEX records_by_uuid ON records(uuid)",
            "ALTER TABLE files ADD COLUMN position INTEGER NOT NULL DEFAULT 0",
            "CREATE INDEX files_by_record ON files(record_id)",
            "CREATE TABLE unsent(record_id BIGINT PRIMARY KEY REFERENCES records(id) ON DELETE "
            "CASCADE, server TEXT NOT NULL)",
        },
        {
            // 6: repeatability over many readings: their number, whether the specimen was
            // handled between them, its name, and per angle the spread of each coordinate, the
            // largest difference from the mean and the differences' root mean square.
            "ALTER TABLE records ADD COLUMN readings INTEGER NOT NULL DEFAULT 0",
            "ALTER TABLE records ADD COLUMN handling INTEGER NOT NULL DEFAULT 0",
            "ALTER TABLE records ADD COLUMN specimen TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE angles ADD COLUMN sd_l DOUBLE PRECISION",
            "ALTER TABLE angles ADD COLUMN sd_a DOUBLE PRECISION",
            "ALTER TABLE angles ADD COLUMN sd_b DOUBLE PRECISION",
            "ALTER TABLE angles ADD COLUMN largest DOUBLE PRECISION",
            "ALTER TABLE angles ADD COLUMN rms DOUBLE PRECISION",
        },
        {
            // 7: a write keeps the factors it sent, so that the next correction can be computed
            // on top of them from the logbook alone.
            "ALTER TABLE records ADD COLUMN factors TEXT NOT NULL DEFAULT ''",
        },
        {
            // 8: who sent a record (the server's login, not what the record says of itself)
            // and when the server received it; a record a server refused stays on the
            // workstation with the server's reason instead of blocking those behind it.
            "ALTER TABLE records ADD COLUMN login TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE records ADD COLUMN received TEXT",
            "ALTER TABLE unsent ADD COLUMN refused TEXT",
            // The time's offset from UTC and the instant in UTC ("YYYY-MM-DD hh:mm:ss"), by
            // which a history of several time zones sorts and --since compares. A record kept
            // before has no offset: on a workstation its time was this system's local time, on
            // a server it is taken as it is. An instrument's history is read by the index
            // alone, the id included for the newest-first order.
            "ALTER TABLE records ADD COLUMN utc_offset INTEGER",
            "ALTER TABLE records ADD COLUMN instant TEXT",
            "UPDATE records SET instant = {utc_of_time}",
            "DROP INDEX IF EXISTS records_by_serial",
            "CREATE INDEX records_by_serial_instant ON records(serial, instant, id)",
        },
        {
            // 9: the instruments on record, kept as each record is added rather than counted
            // from every record each time the list is shown (the trigger is each engine's own).
            "CREATE TABLE instruments(serial TEXT PRIMARY KEY, instrument_type TEXT NOT NULL "
            "DEFAULT '', records BIGINT NOT NULL DEFAULT 0, last_time TEXT NOT NULL DEFAULT '')",
            "INSERT INTO instruments(serial, instrument_type, records, last_time) SELECT serial, "
            "MAX(instrument_type), COUNT(*), MAX(time) FROM records GROUP BY serial",
        },
        {
            // 10: a diagnosis keeps what a statement of uncertainty stands on: the tiles'
            // colour difference predicted each from the others (root mean square), and the
            // colours the set spans (L*, C*, the hue arc of its chromatic tiles).
            "ALTER TABLE diagnoses ADD COLUMN held_out_rms DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN l_low DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN l_high DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN c_low DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN c_high DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN h_from DOUBLE PRECISION",
            "ALTER TABLE diagnoses ADD COLUMN h_to DOUBLE PRECISION",
        },
        {
            // 11: a diagnosis keeps each tile's colour as the reference read it and the
            // instrument's differences from it in L*, a*, b* (as read, and predicted from the
            // other tiles), so that a statement can take the agreement apart per coordinate and
            // restate it in any formula.
            "CREATE TABLE diagnosis_tiles(record_id BIGINT NOT NULL REFERENCES records(id) ON "
            "DELETE CASCADE, angle INTEGER NOT NULL, position INTEGER NOT NULL, l DOUBLE "
            "PRECISION, a DOUBLE PRECISION, b DOUBLE PRECISION, read_l DOUBLE PRECISION, read_a "
            "DOUBLE PRECISION, read_b DOUBLE PRECISION, held_out_l DOUBLE PRECISION, held_out_a "
            "DOUBLE PRECISION, held_out_b DOUBLE PRECISION, PRIMARY KEY(record_id, angle, "
            "position))",
        },
        {
            // 12: how often the lab wants each kind of check made, set once for the whole lab.
            // Only ever added to, as the records are: the newest row of a kind is in force, one
            // without days takes the kind's interval out of force, and the rows say who set
            // what and when.
            "CREATE TABLE check_intervals(id {key}, kind TEXT NOT NULL, days INTEGER, lead_days "
            "INTEGER NOT NULL DEFAULT 0, set_by TEXT NOT NULL DEFAULT '', set_at TEXT NOT NULL)",
        },
        tileCertificatesStep(),
    };
    return all;
}

// The one way a workstation adds to a server's logbook: a record with all its rows, as one JSON
// object, in one statement. It runs with its owner's rights (a workstation may insert into no
// table itself), so it adds only a new record and that record's rows, sets who sent it and when
// itself, and refuses what the program would never send: an id of its own, a missing identity,
// texts longer than the program's limits. Its refusals carry SQLSTATE class 22 or 23, which a
// workstation takes as "this record is refused", not "the server is away".
// The function's head and its refusals of a record no logbook keeps.
std::string addFunctionChecks(bool replace) {
    const std::string name = std::to_string(kMaxNameChars),
                      longText = std::to_string(kMaxTextChars),
                      path = std::to_string(kMaxPathChars), files = std::to_string(kMaxFiles),
                      terms = std::to_string(kMaxTerms), tiles = std::to_string(kMaxTiles);
    return std::string(replace ? "CREATE OR REPLACE" : "CREATE") +
           R"( FUNCTION logbook_add(r jsonb) RETURNS bigint LANGUAGE plpgsql
SECURITY DEFINER SET search_path = public, pg_temp AS $body$
DECLARE
    new_id bigint;
    first_digest text := r->>'digest';
BEGIN
    IF jsonb_typeof(r) IS DISTINCT FROM 'object' THEN
        RAISE EXCEPTION 'a record is a JSON object' USING ERRCODE = '22023';
    END IF;
    IF (r->'id') IS NOT NULL THEN
        RAISE EXCEPTION 'a record is numbered by the server' USING ERRCODE = '22023';
    END IF;
    IF COALESCE(r->>'uuid', '') = '' THEN
        RAISE EXCEPTION 'a record needs its identity' USING ERRCODE = '23502';
    END IF;
    IF EXISTS (SELECT 1 FROM jsonb_each(r) e WHERE jsonb_typeof(e.value) = 'string' AND
               char_length(e.value #>> '{}') > CASE WHEN e.key IN ('comment', 'specimen',
               'factors') THEN )" +
           longText + " ELSE " + name + R"( END) THEN
        RAISE EXCEPTION 'a text of the record is too long' USING ERRCODE = '22001';
    END IF;
    IF jsonb_array_length(COALESCE(r->'angles', '[]')) > 3 OR
       jsonb_array_length(COALESCE(r->'files', '[]')) > )" +
           files + R"( OR
       jsonb_array_length(COALESCE(r->'diagnoses', '[]')) > 3 THEN
        RAISE EXCEPTION 'a record has too many rows' USING ERRCODE = '22023';
    END IF;
    IF EXISTS (SELECT 1 FROM jsonb_array_elements(COALESCE(r->'files', '[]')) f
               WHERE char_length(f #>> '{}') > )" +
           path + R"() OR
       EXISTS (SELECT 1 FROM jsonb_array_elements(COALESCE(r->'diagnoses', '[]')) d
               WHERE char_length(d->>'decision') > )" +
           longText + " OR char_length(d->>'reason') > " + longText +
           " OR jsonb_array_length(COALESCE(d->'terms', '[]')) > " + terms +
           " OR jsonb_array_length(COALESCE(d->'tiles', '[]')) > " + tiles + R"() THEN
        RAISE EXCEPTION 'a file or diagnosis of the record is too long' USING ERRCODE = '22001';
    END IF;
)";
}

// The record added, unless its file or its identity is on the server already.
std::string addFunctionRecord() {
    return R"(    -- A check whose file reached the server before its record did (imported from a folder
    -- elsewhere) is the record already there: the same file's contents, the same check.
    IF first_digest IS NOT NULL AND EXISTS (SELECT 1 FROM files WHERE digest = first_digest) THEN
        RETURN NULL;
    END IF;
    INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold,
        formula, passed, entry, comment, operator, uuid, workstation, readings, handling,
        specimen, factors, login, received, utc_offset, instant)
    VALUES (r->>'kind', r->>'serial', COALESCE(r->>'instrument_type', ''),
        COALESCE(r->>'reference_serial', ''), r->>'time', (r->>'threshold')::float8,
        COALESCE(r->>'formula', ''), (r->>'passed')::integer,
        COALESCE((r->>'entry')::integer, 0), COALESCE(r->>'comment', ''),
        COALESCE(r->>'operator', ''), r->>'uuid', COALESCE(r->>'workstation', ''),
        COALESCE((r->>'readings')::integer, 0), COALESCE((r->>'handling')::integer, 0),
        COALESCE(r->>'specimen', ''), COALESCE(r->>'factors', ''), session_user,
        to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'),
        (r->>'utc_offset')::integer, COALESCE(r->>'instant', r->>'time'))
    ON CONFLICT (uuid) DO NOTHING RETURNING id INTO new_id;
    IF new_id IS NULL THEN
        RETURN NULL;
    END IF;
)";
}

// Its angles, files and diagnoses.
std::string addFunctionRows() {
    return R"(    INSERT INTO angles(record_id, angle, l, a, b, delta_e, before_delta_e, sd_l, sd_a, sd_b,
        largest, rms)
    SELECT new_id, g.i - 1, (g.v->>'l')::float8, (g.v->>'a')::float8, (g.v->>'b')::float8,
        (g.v->>'delta_e')::float8, (g.v->>'before_delta_e')::float8, (g.v->>'sd_l')::float8,
        (g.v->>'sd_a')::float8, (g.v->>'sd_b')::float8, (g.v->>'largest')::float8,
        (g.v->>'rms')::float8
    FROM jsonb_array_elements(COALESCE(r->'angles', '[]')) WITH ORDINALITY g(v, i);
    INSERT INTO files(record_id, path, digest, position)
    SELECT new_id, f.v #>> '{}', CASE WHEN f.i = 1 THEN first_digest END, f.i - 1
    FROM jsonb_array_elements(COALESCE(r->'files', '[]')) WITH ORDINALITY f(v, i);
    INSERT INTO diagnoses(record_id, angle, decision, reason, mean_after_factors,
        mean_after_model, held_out_rms, l_low, l_high, c_low, c_high, h_from, h_to)
    SELECT new_id, g.i - 1, g.v->>'decision', g.v->>'reason',
        (g.v->>'mean_after_factors')::float8, (g.v->>'mean_after_model')::float8,
        (g.v->>'held_out_rms')::float8, (g.v->>'l_low')::float8, (g.v->>'l_high')::float8,
        (g.v->>'c_low')::float8, (g.v->>'c_high')::float8, (g.v->>'h_from')::float8,
        (g.v->>'h_to')::float8
    FROM jsonb_array_elements(COALESCE(r->'diagnoses', '[]')) WITH ORDINALITY g(v, i);
    INSERT INTO diagnosis_terms(record_id, angle, position, term, estimate, standard_error,
        identified)
    SELECT new_id, g.i - 1, t.j - 1, t.w->>'term', (t.w->>'estimate')::float8,
        (t.w->>'standard_error')::float8, (t.w->>'identified')::integer
    FROM jsonb_array_elements(COALESCE(r->'diagnoses', '[]')) WITH ORDINALITY g(v, i),
        jsonb_array_elements(COALESCE(g.v->'terms', '[]')) WITH ORDINALITY t(w, j);
    INSERT INTO diagnosis_tiles(record_id, angle, position, l, a, b, read_l, read_a, read_b,
        held_out_l, held_out_a, held_out_b)
    SELECT new_id, g.i - 1, t.j - 1, (t.w->>'l')::float8, (t.w->>'a')::float8,
        (t.w->>'b')::float8, (t.w->>'read_l')::float8, (t.w->>'read_a')::float8,
        (t.w->>'read_b')::float8, (t.w->>'held_out_l')::float8, (t.w->>'held_out_a')::float8,
        (t.w->>'held_out_b')::float8
    FROM jsonb_array_elements(COALESCE(r->'diagnoses', '[]')) WITH ORDINALITY g(v, i),
        jsonb_array_elements(COALESCE(g.v->'tiles', '[]')) WITH ORDINALITY t(w, j);
    RETURN new_id;
END
$body$)";
}

std::string addFunction(bool replace) {
    return addFunctionChecks(replace) + addFunctionRecord() + addFunctionRows();
}

// The instruments' list brought up to date with each record added, in each engine's words.
std::vector<std::string> summaryTrigger(LogbookEngine engine) {
    if (engine == LogbookEngine::SQLite)
        return {
            "CREATE TRIGGER records_counted AFTER INSERT ON records BEGIN INSERT INTO "
            "instruments(serial, instrument_type, records, last_time) VALUES(NEW.serial, "
            "NEW.instrument_type, 1, NEW.time) ON CONFLICT(serial) DO UPDATE SET records = "
            "records + 1, instrument_type = MAX(instrument_type, excluded.instrument_type), "
            "last_time = MAX(last_time, excluded.last_time); END"};
    // Runs with the rights of whoever adds the record: on a workstation's behalf, the owner's
    // function logbook_add; a workstation itself can write no table.
    return {
        "CREATE FUNCTION logbook_count() RETURNS trigger LANGUAGE plpgsql SET search_path = "
        "public, pg_temp AS $body$ BEGIN INSERT INTO instruments(serial, instrument_type, "
        "records, last_time) VALUES(NEW.serial, NEW.instrument_type, 1, NEW.time) ON "
        "CONFLICT(serial) DO UPDATE SET records = instruments.records + 1, instrument_type = "
        "GREATEST(instruments.instrument_type, EXCLUDED.instrument_type), last_time = "
        "GREATEST(instruments.last_time, EXCLUDED.last_time); RETURN NULL; END $body$",
        "REVOKE ALL ON FUNCTION logbook_count() FROM PUBLIC",
        "CREATE TRIGGER records_counted AFTER INSERT ON records FOR EACH ROW EXECUTE "
        "FUNCTION logbook_count()"};
}

// A workstation sets an interval as it adds a record: through a function of the owner's that
// adds one row, says who set it and when, and refuses what the program would never send. An
// auditor is not given it.
std::vector<std::string> intervalFunction(bool replace) {
    std::string kinds;
    for (CheckKind kind : kCheckKinds)
        kinds += std::string(kinds.empty() ? "'" : ", '") + std::string(checkKindName(kind)) + "'";
    return {
        std::string(replace ? "CREATE OR REPLACE" : "CREATE") +
            R"( FUNCTION logbook_set_interval(p_kind text, p_days integer, p_lead integer)
RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $body$
DECLARE
    new_id bigint;
BEGIN
    IF p_kind IS NULL OR p_kind NOT IN ()" +
            kinds + R"() THEN
        RAISE EXCEPTION 'no such kind of check' USING ERRCODE = '22023';
    END IF;
    IF (p_days IS NULL AND COALESCE(p_lead, 0) <> 0) OR (p_days IS NOT NULL AND (p_days < 1 OR
        p_days > )" +
            std::to_string(kMaxLongTermDays) +
            R"( OR p_lead IS NULL OR p_lead < 0 OR p_lead >= p_days)) THEN
        RAISE EXCEPTION 'an interval is a number of days, its lead fewer' USING ERRCODE = '22023';
    END IF;
    INSERT INTO check_intervals(kind, days, lead_days, set_by, set_at)
    VALUES (p_kind, p_days, COALESCE(p_lead, 0), session_user,
        to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'))
    RETURNING id INTO new_id;
    RETURN new_id;
END
$body$)",
        "REVOKE ALL ON FUNCTION logbook_set_interval(text, integer, integer) FROM PUBLIC",
        "DO $grants$ BEGIN IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qv_workstation') "
        "THEN GRANT EXECUTE ON FUNCTION logbook_set_interval(text, integer, integer) TO "
        "qv_workstation; END IF; END $grants$",
    };
}

// A workstation adds a tile's certificate through a function of the owner's, as it adds a
// record: NULL for the same certificate with the same additions already there, a refusal (class
// 23) for the tile's certificate of that number with other certified values, texts no longer
// than the program sends. Imports are taken one at a time so that two workstations importing
// the same file add it once.
std::vector<std::string> tileCertificateFunction() {
    const std::string name = std::to_string(kMaxNameChars), text = std::to_string(kMaxTextChars);
    return {
        R"(CREATE FUNCTION logbook_add_tile_certificate(p_tile text, p_number text,
    p_certified text, p_lab text)
RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $body$
DECLARE
    new_id bigint;
BEGIN
    IF p_tile IS NULL OR p_number IS NULL OR p_certified IS NULL OR p_lab IS NULL OR
       char_length(p_tile) > )" +
            name + " OR char_length(p_number) > " + name + " OR char_length(p_certified) > " +
            text + " OR char_length(p_lab) > " + text +
            R"( THEN
        RAISE EXCEPTION 'a tile certificate is incomplete or too long' USING ERRCODE = '22001';
    END IF;
    PERFORM pg_advisory_xact_lock(hashtext('tile_certificates'));
    IF EXISTS (SELECT 1 FROM tile_certificates WHERE tile = p_tile AND number = p_number
               AND certified <> p_certified) THEN
        RAISE EXCEPTION 'the certificate is on record with other certified values'
            USING ERRCODE = '23505';
    END IF;
    IF EXISTS (SELECT 1 FROM tile_certificates WHERE tile = p_tile AND number = p_number
               AND lab_values = p_lab) THEN
        RETURN NULL;
    END IF;
    INSERT INTO tile_certificates(tile, number, certified, lab_values, recorded_by, recorded_at)
    VALUES (p_tile, p_number, p_certified, p_lab, session_user,
        to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'))
    RETURNING id INTO new_id;
    RETURN new_id;
END
$body$)",
        "REVOKE ALL ON FUNCTION logbook_add_tile_certificate(text, text, text, text) FROM PUBLIC",
        "DO $grants$ BEGIN IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qv_workstation') "
        "THEN GRANT EXECUTE ON FUNCTION logbook_add_tile_certificate(text, text, text, text) TO "
        "qv_workstation; END IF; END $grants$",
    };
}

// The certificates' function, and the intervals' again so that it takes the check tile's kind.
std::vector<std::string> tileCertificateServer() {
    std::vector<std::string> out = tileCertificateFunction();
    for (std::string& sql : intervalFunction(true)) out.push_back(std::move(sql));
    return out;
}

// What a server needs beyond the tables both engines share.
std::vector<std::string> serverOnly(int version) {
    // The function's body is read only when it runs: version 8 may name the columns and tables
    // later versions add; each of those brings the function that fills them.
    if (version == 13) return tileCertificateServer();
    if (version == 12) return intervalFunction(false);
    if (version >= 10) return {addFunction(true)};
    if (version != 8) return {};
    return {
        addFunction(false),
        "REVOKE ALL ON FUNCTION logbook_add(jsonb) FROM PUBLIC",
        // A server set up by an earlier docs/fleet-logbook.sql let workstations insert into
        // every table: from this version on they add through the function only.
        "DO $grants$ BEGIN IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qv_workstation') "
        "THEN GRANT EXECUTE ON FUNCTION logbook_add(jsonb) TO qv_workstation; REVOKE INSERT, "
        "UPDATE, DELETE, TRUNCATE ON ALL TABLES IN SCHEMA public FROM qv_workstation; REVOKE "
        "USAGE ON ALL SEQUENCES IN SCHEMA public FROM qv_workstation; END IF; END $grants$",
    };
}

std::string replaced(std::string sql, const std::string& what, const std::string& by) {
    for (std::size_t at = sql.find(what); at != std::string::npos; at = sql.find(what, at))
        sql.replace(at, what.size(), by), at += by.size();
    return sql;
}

}  // namespace

std::vector<std::string> migrationTo(int version, LogbookEngine engine) {
    std::vector<std::string> out;
    if (version < 1 || version > kLogbookSchemaVersion) return out;
    const bool pg = engine == LogbookEngine::PostgreSQL;
    // SQLite numbers records by the row's own key only when it is spelt exactly so.
    const std::string key =
        pg ? "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY";
    for (const char* sql : steps()[static_cast<std::size_t>(version - 1)])
        out.push_back(replaced(replaced(sql, "{key}", key), "{utc_of_time}",
                               pg ? "time" : "COALESCE(datetime(time, 'utc'), time)"));
    if (version == 9)
        for (std::string& sql : summaryTrigger(engine)) out.push_back(std::move(sql));
    if (pg)
        for (std::string& sql : serverOnly(version)) out.push_back(std::move(sql));
    if (!pg) {
        out.push_back("PRAGMA user_version=" + std::to_string(version));
        return out;
    }
    // A server keeps each version it was brought to, appended as the records are.
    if (version == 1)
        out.insert(out.begin(), "CREATE TABLE schema_version(version INTEGER NOT NULL)");
    out.push_back("INSERT INTO schema_version(version) VALUES(" + std::to_string(version) + ")");
    return out;
}

SchemaProbe schemaProbe(LogbookEngine engine) {
    if (engine == LogbookEngine::SQLite) return {"SELECT 1, 0", "PRAGMA user_version", {}};
    return {"SELECT to_regclass('schema_version') IS NOT NULL, to_regclass('records') IS NOT NULL",
            "SELECT COALESCE(MAX(version), 0) FROM schema_version",
            // Any number of our own; held until the transaction ends.
            "SELECT pg_advisory_xact_lock(5125)"};
}

std::string fileOrder(LogbookEngine engine) {
    // Files recorded before their place was kept come in the order SQLite stored them.
    return engine == LogbookEngine::SQLite ? "files.position, files.rowid" : "position";
}

std::string rowsOfRecords(LogbookEngine engine, const std::string& rows,
                          const std::string& records) {
    if (engine == LogbookEngine::SQLite)
        return rows + " JOIN (" + records + ") chosen ON record_id = chosen.id";
    // A server would rather read the whole child table than look each record's rows up by
    // its index; OFFSET 0 keeps the lookup per record, which a history of a few thousand
    // records out of a hundred thousand wants.
    return "SELECT picked.* FROM (" + records + ") chosen CROSS JOIN LATERAL (" + rows +
           " WHERE record_id = chosen.id OFFSET 0) picked";
}

const char* sqlDriver(LogbookEngine engine) {
    return engine == LogbookEngine::SQLite ? "QSQLITE" : "QPSQL";
}

}  // namespace qv
