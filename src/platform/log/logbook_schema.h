#pragma once

// The logbook's tables, one description for both engines that keep it: an SQLite file on the
// workstation and a PostgreSQL server a lab shares. Every difference between the two dialects
// lives here, so that the statements that add and read records are the same for both.

#include <string>
#include <vector>

namespace qv {

enum class LogbookEngine { SQLite, PostgreSQL };

inline constexpr int kLogbookSchemaVersion = 15;

// The longest texts and the most rows a record may carry, the same on both engines: a server
// indexes the names, and an index entry takes no more than a few kilobytes.
inline constexpr int kMaxNameChars = 200;   // serial, type, reference, workstation, operator...
inline constexpr int kMaxTextChars = 4000;  // comment, specimen, factors, a diagnosis's words
inline constexpr int kMaxPathChars = 4096;
inline constexpr int kMaxFiles = 64;
inline constexpr int kMaxTerms = 64;

// The statements that bring a logbook of version `version - 1` to `version` (1 to
// kLogbookSchemaVersion), the new version's own mark included.
std::vector<std::string> migrationTo(int version, LogbookEngine engine);

// How an engine says which schema version a logbook has.
struct SchemaProbe {
    // One row: whether the logbook keeps a version at all (non-zero) and whether a table named
    // like our records exists; SQLite keeps the version in the file's header and answers both
    // with its version query alone.
    std::string tables;
    std::string version;  // one row, one column: the version (0 for none)
    // Run first in each migration's transaction so that two workstations starting at once do not
    // both migrate; empty where the engine's transaction is enough.
    std::string lock;
};
SchemaProbe schemaProbe(LogbookEngine engine);

// The order in which a record's files come back: the order they were recorded in.
std::string fileOrder(LogbookEngine engine);

// The statement `rows` ("SELECT record_id, ... FROM angles") restricted to the records that
// `records` ("SELECT id FROM records WHERE ...") chooses, without a list of their ids.
std::string rowsOfRecords(LogbookEngine engine, const std::string& rows,
                          const std::string& records);

// The condition ("WHERE ...") choosing the records LogbookStore::overviewRecords gives, by the
// indexes rather than by reading every record: two binds, the first day `since` both times.
std::string overviewChoice(LogbookEngine engine);
// "SELECT serial, workstation ...": each instrument's workstations, once each, by the index
// rather than from every record.
std::string overviewWorkstations();

// The Qt SQL driver for the engine.
const char* sqlDriver(LogbookEngine engine);

}  // namespace qv
