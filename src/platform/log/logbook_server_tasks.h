#pragma once

// What the operator does with a logbook server beside recording checks: tries a location
// before keeping it, and sends another workstation's logbook file to it.

#include <QTemporaryDir>
#include <memory>
#include <string>

#include "platform/log/fleet_logbook.h"
#include "platform/log/sql_logbook.h"

namespace qv {

// What a try of `location` found, in plain words for the operator, with the server's own
// words after them when it failed.
std::string tryText(const SqlLogbook::ServerTry& tried, const LogbookLocation& location);

struct SentFile {
    enum class Outcome { Sent, NotALogbook, ServerAway };
    Outcome outcome = Outcome::Sent;
    LogbookImport counts;
    std::string why;  // why nothing was sent
};
// The records of the logbook file at `path` sent to the server of `fleet`, each once. Only an
// SQLite file is opened, so that any other file chosen by mistake is left exactly as it is.
SentFile sendLogbookFile(FleetLogbook& fleet, const std::string& path);

// Another logbook file, read from a copy of its own: the file given is never written, carried
// forward or moved aside, whatever it holds. Nothing, with `why`, when the copy cannot be read
// as a logbook.
struct LogbookFileCopy {
    QTemporaryDir folder;
    std::unique_ptr<SqlLogbook> logbook;
};
std::unique_ptr<LogbookFileCopy> readLogbookFile(const std::string& path, std::string* why);

// "sent 3, already on the server 1, not sent 0"
std::string sentSummary(const LogbookImport& counts);

}  // namespace qv
