#include "platform/log/logbook_schema.h"

#include <cstddef>
#include <utility>

#include "core/app/logbook.h"
#include "core/colour/spectrum.h"
#include "core/log/check_intervals.h"
#include "core/log/performance_settings.h"
#include "core/tiles/tile_set.h"

namespace qv {

namespace {

// 15: the tiles' certificates, only ever added to: certified values once recorded never
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
        {
            // 13: a record made while the instrument's checks were overdue says which, and an
            // action a supervisor let go ahead all the same says why.
            "ALTER TABLE records ADD COLUMN overdue TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE records ADD COLUMN override_reason TEXT NOT NULL DEFAULT ''",
        },
        {
            // 14: read-only views for any dashboard, written per engine (viewsMigration).
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
               'factors', 'overdue', 'override_reason') THEN )" +
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
        specimen, factors, login, received, utc_offset, instant, overdue, override_reason)
    VALUES (r->>'kind', r->>'serial', COALESCE(r->>'instrument_type', ''),
        COALESCE(r->>'reference_serial', ''), r->>'time', (r->>'threshold')::float8,
        COALESCE(r->>'formula', ''), (r->>'passed')::integer,
        COALESCE((r->>'entry')::integer, 0), COALESCE(r->>'comment', ''),
        COALESCE(r->>'operator', ''), r->>'uuid', COALESCE(r->>'workstation', ''),
        COALESCE((r->>'readings')::integer, 0), COALESCE((r->>'handling')::integer, 0),
        COALESCE(r->>'specimen', ''), COALESCE(r->>'factors', ''), session_user,
        to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'),
        (r->>'utc_offset')::integer, COALESCE(r->>'instant', r->>'time'),
        COALESCE(r->>'overdue', ''), COALESCE(r->>'override_reason', ''))
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
    if (version == 15) return tileCertificateServer();
    if (version == 12) return intervalFunction(false);
    if (version == 13 || (version >= 10 && version < 12)) return {addFunction(true)};
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

// The version that adds the views for dashboards (fleet_status, check_trend) and the indexes by
// which they and the fleet overview find an instrument's newest record of a kind and its
// workstations. All of it is written below, from here to viewsMigration(); when versions are
// renumbered only this number moves, and the comment of its empty step in steps().
constexpr int kViewsVersion = 14;

// Every record kind. They are numbered from 0 without gaps, each with its row; past the last,
// kindRow answers with the first row, which ends the walk.
std::vector<RecordKind> everyRecordKind() {
    std::vector<RecordKind> out;
    for (int k = 0; kindRow(static_cast<RecordKind>(k)).kind == static_cast<RecordKind>(k); ++k)
        out.push_back(static_cast<RecordKind>(k));
    return out;
}

// Each record kind that counts as a check with the check kind it counts as, exactly as
// checkKindOf says, so the views and the program cannot disagree on what a check is.
std::vector<std::pair<std::string, std::string>> checkedKinds() {
    std::vector<std::pair<std::string, std::string>> out;
    for (RecordKind kind : everyRecordKind())
        if (const auto check = checkKindOf(kind))
            out.emplace_back(std::string(kindName(kind)), std::string(checkKindName(*check)));
    return out;
}

// "'repeatability', 'inter-instrument', ...": the record kinds that count as a check.
std::string checkedKindList() {
    std::string out;
    for (const auto& [record, check] : checkedKinds())
        out += std::string(out.empty() ? "'" : ", '") + record + "'";
    return out;
}

// The check kind of the record kind in `column`; NULL for a kind that is no check.
std::string checkKindCase(const std::string& column) {
    std::string out = "CASE " + column;
    for (const auto& [record, check] : checkedKinds())
        out += " WHEN '" + record + "' THEN '" + check + "'";
    return out + " END";
}

// The civil day number (days since 1970-01-01) of the date at the start of the text `x`, by the
// program's own arithmetic (daysFromCivil); NULL for a text that does not start with a date as
// the logbook writes it, which no cast is let near (a server would refuse the whole query).
std::string dayNumber(const std::string& x, LogbookEngine engine) {
    const std::string dated =
        engine == LogbookEngine::PostgreSQL
            ? "(" + x + ") ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}'"
            : "(" + x + ") GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'";
    const std::string year = "CAST(substr(" + x + ", 1, 4) AS INTEGER)",
                      month = "CAST(substr(" + x + ", 6, 2) AS INTEGER)",
                      day = "CAST(substr(" + x + ", 9, 2) AS INTEGER)";
    // The year counted from March, so that a leap day ends it; from year 1 on it is never
    // negative, and whole divisions truncate alike in both engines and in C++.
    const std::string y = "(" + year + " - CASE WHEN " + month + " <= 2 THEN 1 ELSE 0 END)";
    return "CASE WHEN " + dated + " AND substr(" + x + ", 1, 4) > '0000' THEN " + y + " * 365 + " +
           y + " / 4 - " + y + " / 100 + " + y + " / 400 + (153 * (" + month + " + CASE WHEN " +
           month + " > 2 THEN -3 ELSE 9 END) + 2) / 5 + " + day + " - 1 - 719468 END";
}

// The day number `n` as "YYYY-MM-DD".
std::string dateOfDay(const std::string& n, LogbookEngine engine) {
    return engine == LogbookEngine::PostgreSQL
               ? "to_char(DATE '1970-01-01' + (" + n + "), 'YYYY-MM-DD')"
               : "date((" + n + ") * 86400, 'unixepoch')";
}

// Per instrument and check kind its newest record: per record kind by the index, then the
// newest of the kinds that count as one check.
std::string newestChecks() {
    std::string kinds;
    for (const auto& [record, check] : checkedKinds())
        kinds += std::string(kinds.empty() ? "" : ", ") + "('" + record + "', '" + check + "')";
    return "record_kinds(record_kind, kind) AS (VALUES " + kinds +
           "), newest AS (SELECT i.serial, k.kind, (SELECT r.id FROM records r WHERE r.serial = "
           "i.serial AND r.kind = k.record_kind ORDER BY r.instant DESC, r.id DESC LIMIT 1) AS "
           "id FROM instruments i CROSS JOIN record_kinds k), last AS (SELECT n.serial, n.kind, "
           "r.id, r.time, r.instant, r.passed, ROW_NUMBER() OVER (PARTITION BY n.serial, n.kind "
           "ORDER BY r.instant DESC, r.id DESC) AS nth FROM newest n JOIN records r ON r.id = "
           "n.id)";
}

// One row per instrument and check kind, as instrumentStatus judges it: the newest record of
// the kind, the interval in force (the kind's newest row, one without days none), the due date
// the record's own local day plus the interval, and the status; "today" is the day of the
// engine's own clock (a server's in the session's time zone).
std::string fleetStatusView(LogbookEngine engine) {
    const bool pg = engine == LogbookEngine::PostgreSQL;
    std::string kinds;
    for (CheckKind kind : kCheckKinds)
        kinds += std::string(kinds.empty() ? "" : ", ") + "('" + std::string(checkKindName(kind)) +
                 "', " + std::to_string(static_cast<int>(kind)) + ")";
    const std::string due = dayNumber("l.time", engine) + " + f.days",
                      today = dayNumber(
                          pg ? "to_char(CURRENT_DATE, 'YYYY-MM-DD')" : "date('now', 'localtime')",
                          engine);
    return "CREATE VIEW fleet_status AS WITH check_kinds(kind, position) AS (VALUES " + kinds +
           "), " + newestChecks() +
           ", in_force AS (SELECT c.kind, c.days, c.lead_days FROM check_intervals c WHERE c.id = "
           "(SELECT MAX(id) FROM check_intervals WHERE kind = c.kind) AND c.days IS NOT NULL), "
           "judged AS (SELECT i.serial, COALESCE((SELECT r.instrument_type FROM records r WHERE "
           "r.serial = i.serial AND r.instrument_type <> '' ORDER BY r.instant DESC, r.id DESC "
           "LIMIT 1), i.instrument_type) AS instrument_type, k.kind, k.position, l.id AS "
           "record_id, l.time AS last_time, l.instant AS last_instant, l.passed, f.days AS "
           "interval_days, f.lead_days, " +
           due + " AS due_day, " + today +
           " AS today FROM instruments i CROSS JOIN check_kinds k LEFT JOIN last l ON l.serial "
           "= i.serial AND l.kind = k.kind AND l.nth = 1 LEFT JOIN in_force f ON f.kind = "
           "k.kind) SELECT serial, instrument_type, kind, record_id, last_time, last_instant, "
           "passed, interval_days, lead_days, " +
           dateOfDay("due_day", engine) +
           " AS due_date, CASE WHEN interval_days IS NULL THEN 'ok' WHEN record_id IS NULL THEN "
           "'overdue' WHEN passed = 0 THEN 'failed' WHEN due_day IS NULL OR today > due_day THEN "
           "'overdue' WHEN today >= due_day - lead_days THEN 'due-soon' ELSE 'ok' END AS status, "
           "position AS kind_order FROM judged";
}

// One row per check and angle, for plotting a trend.
std::string checkTrendView() {
    std::string angles;
    for (int a = 0; a < kAngleCount; ++a)
        angles += " WHEN " + std::to_string(a) + " THEN " + std::to_string(kAngleDegrees[a]);
    return "CREATE VIEW check_trend AS SELECT r.id AS record_id, r.serial, " +
           checkKindCase("r.kind") +
           " AS kind, r.kind AS record_kind, r.time, r.instant, CASE a.angle" + angles +
           " END AS angle, a.delta_e, a.before_delta_e, r.threshold, r.formula, r.passed, "
           "r.reference_serial, r.workstation FROM records r JOIN angles a ON a.record_id = r.id "
           "WHERE r.kind IN (" +
           checkedKindList() + ")";
}

std::vector<std::string> viewsMigration(LogbookEngine engine) {
    std::vector<std::string> out = {
        "CREATE INDEX records_by_serial_kind ON records(serial, kind, instant, id)",
        "CREATE INDEX records_by_serial_workstation ON records(serial, workstation)",
        fleetStatusView(engine), checkTrendView()};
    // Views are only ever read: a server grants no more than SELECT on them, to whoever reads
    // the tables (a fresh setup's default privileges give the same).
    if (engine == LogbookEngine::PostgreSQL)
        for (const char* role : {"qv_auditor", "qv_workstation"})
            out.push_back(std::string("DO $grants$ BEGIN IF EXISTS (SELECT 1 FROM pg_roles WHERE "
                                      "rolname = '") +
                          role + "') THEN GRANT SELECT ON fleet_status, check_trend TO " + role +
                          "; END IF; END $grants$");
    return out;
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
    if (version == kViewsVersion)
        for (std::string& sql : viewsMigration(engine)) out.push_back(std::move(sql));
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

std::string overviewChoice(LogbookEngine engine) {
    std::string kinds;
    for (RecordKind kind : everyRecordKind())
        kinds += std::string(kinds.empty() ? "SELECT '" : " UNION ALL SELECT '") +
                 std::string(kindName(kind)) + "' AS kind";
    // What the drift reads nothing older than, as fleet_status.cpp's driftRecords stops there.
    const std::string changes = "'" + std::string(kindName(RecordKind::EntryWrite)) + "', '" +
                                std::string(kindName(RecordKind::EntryDeletion)) + "'";
    // Each instrument's own first instant: its newest entry change when later than the day.
    const std::string window =
        "SELECT i.serial, COALESCE((SELECT CASE WHEN c.instant > ? THEN c.instant END FROM "
        "records c WHERE c.serial = i.serial AND c.kind IN (" +
        changes + ") ORDER BY c.instant DESC LIMIT 1), ?) AS first FROM instruments i";
    const std::string ids =
        "SELECT r.id FROM (" + window +
        ") w JOIN records r ON r.serial = w.serial AND r.instant >= w.first UNION SELECT "
        "(SELECT r.id FROM records r WHERE r.serial = i.serial AND r.kind = k.kind ORDER BY "
        "r.instant DESC, r.id DESC LIMIT 1) FROM instruments i CROSS JOIN (" +
        kinds +
        ") k UNION SELECT (SELECT r.id FROM records r WHERE r.serial = i.serial AND "
        "r.instrument_type <> '' ORDER BY r.instant DESC, r.id DESC LIMIT 1) FROM "
        "instruments i";
    // A server would join the few ids chosen with every record by hashing; as an array, chosen
    // once, each is looked up by its key.
    return engine == LogbookEngine::PostgreSQL ? "WHERE id = ANY(ARRAY(" + ids + "))"
                                               : "WHERE id IN (" + ids + ")";
}

std::string overviewWorkstations() {
    // From each instrument's first workstation to the next by the index, as a skip over it:
    // a few lookups per workstation, however many records each made.
    return "WITH RECURSIVE w(serial, workstation) AS (SELECT i.serial, (SELECT MIN(r.workstation) "
           "FROM records r WHERE r.serial = i.serial) FROM instruments i UNION ALL SELECT "
           "w.serial, (SELECT MIN(r.workstation) FROM records r WHERE r.serial = w.serial AND "
           "r.workstation > w.workstation) FROM w WHERE w.workstation IS NOT NULL) SELECT serial, "
           "workstation FROM w WHERE workstation IS NOT NULL";
}

const char* sqlDriver(LogbookEngine engine) {
    return engine == LogbookEngine::SQLite ? "QSQLITE" : "QPSQL";
}

}  // namespace qv
