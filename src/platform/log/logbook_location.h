#pragma once

// Where the logbook lives: the SQLite file on this workstation, or a PostgreSQL server the lab
// shares. The server's password is never kept in the settings: libpq reads it from PostgreSQL's
// own password file (~/.pgpass) or service file, as every PostgreSQL client does; only a
// connection URI given in QV_LOGBOOK may carry one, for the run it is given to.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

class ProfileStore;

struct LogbookLocation {
    enum class Kind { Local, Server };
    Kind kind = Kind::Local;
    std::string host;
    int port = 0;  // 0: not set, so PGPORT, a service file or libpq's own default holds
    std::string database;
    std::string user;
    // libpq's sslmode (disable, prefer, require, verify-full...); empty: not set, so PGSSLMODE,
    // a service file or libpq's own default holds.
    std::string tlsMode;
    std::string service;          // a name in PostgreSQL's service file, or empty
    std::string password;         // only from a URI; never saved
    std::string rootCertificate;  // libpq's sslrootcert: the CA a verify-full checks against
    // Further libpq parameters a URI gave (sslrootcert, connect_timeout, ...).
    std::vector<std::pair<std::string, std::string>> options;

    bool isServer() const { return kind == Kind::Server; }
    // "postgresql://user@host:5432/lab", never with the password: the server's name in messages
    // and beside the records waiting for it.
    std::string name() const;
};

// The TLS modes libpq knows, weakest first.
const std::vector<std::string>& tlsModes();

// A connection URI as libpq reads it ("postgresql://qv@dbhost:5432/lab?sslmode=require"); a
// text that is none gives nothing and says why in `why`.
std::optional<LogbookLocation> locationFromUri(const std::string& uri, std::string* why);

// The settings' location (section "Logbook"); local when none is set.
LogbookLocation savedLogbookLocation(ProfileStore& profile);
// Saves everything but the password and the URI's further options.
void saveLogbookLocation(ProfileStore& profile, const LogbookLocation& location);

// What the operator or a verb asked for: the location in force, a forced local logbook, or the
// server (of QV_LOGBOOK or the settings).
enum class LogbookChoice { InForce, Local, Server };

// QV_LOGBOOK goes before the settings. Nothing, with `why`, when QV_LOGBOOK is no URI or the
// server is asked for and none is set.
std::optional<LogbookLocation> chosenLogbookLocation(ProfileStore& profile, LogbookChoice choice,
                                                     std::string* why);

// The name this workstation's records carry: QV_WORKSTATION where a lab names its
// workstations itself, else the host name.
std::string workstationName();

}  // namespace qv
