#include "platform/log/logbook_schema.h"

#include <cstddef>

namespace qv {

namespace {

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
    };
    return all;
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
        out.push_back(replaced(sql, "{key}", key));
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
    return engine == LogbookEngine::SQLite ? "position, rowid" : "position";
}

const char* sqlDriver(LogbookEngine engine) {
    return engine == LogbookEngine::SQLite ? "QSQLITE" : "QPSQL";
}

}  // namespace qv
