#pragma once

// A logbook server's problems in the operator's words, and what a server's error means for the
// record being sent: the server is away (keep the record, send it later) or the server refuses
// this record (keep it, mark it, go on with the next).

#include <QString>
#include <string>

namespace qv {

struct LogbookLocation;

// Why a logbook server could not be used.
enum class ServerProblem {
    None,
    Unreachable,     // no such host, no route, no answer in time
    Refused,         // the host answers, but nothing listens on the port
    Authentication,  // the user or its password was not accepted
    Tls,             // the TLS mode asked for could not be had
    NoDatabase,
    WrongSchema,  // the database holds something else, or a logbook we may not bring up to date
    NewerSchema,  // written by a newer version of the program
    Other
};

// The problem in a few words for the operator ("the password was not accepted").
std::string describe(ServerProblem problem);

// libpq's words when a connection could not be made.
ServerProblem classifyConnectionError(const QString& error);

// What a failed statement's SQLSTATE says about the record it carried.
enum class SendFailure {
    Away,     // the connection, the server's state or its resources: try again later
    Refused,  // the data, a constraint or the rights: this record will never be taken as it is
};
SendFailure classifySqlState(const QString& sqlState);

// libpq's connection parameters for `location`, as Qt's PostgreSQL driver takes them: only what
// the user set, so that PGSSLMODE, PGHOST and a service file hold for the rest, and always the
// time-outs that keep a check from waiting on a server that does not answer.
QString connectOptions(const LogbookLocation& location);

}  // namespace qv
