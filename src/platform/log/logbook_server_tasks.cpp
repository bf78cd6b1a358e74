#include "platform/log/logbook_server_tasks.h"

#include <QFile>

#include <algorithm>
#include <fstream>
#include <string_view>

namespace qv {

namespace {

// What the operator can do about each problem.
std::string remedy(ServerProblem problem, const LogbookLocation& l) {
    switch (problem) {
        case ServerProblem::Unreachable:
            return "Check the host name and that this workstation reaches it on the network.";
        case ServerProblem::Refused:
            return "Nothing accepts connections on port " +
                   (l.port > 0 ? std::to_string(l.port) : std::string("5432 (or PGPORT)")) +
                   ": check the port, and that the server runs and listens on the network.";
        case ServerProblem::Authentication:
            return "Check the user, and its password in ~/.pgpass or the service file.";
        case ServerProblem::Tls:
            return "Choose a TLS mode the server offers, or install the server's certificate.";
        case ServerProblem::NoDatabase:
            return "Check the database's name with whoever runs the server.";
        case ServerProblem::WrongSchema:
            return "Ask whoever runs the server which database holds the logbook.";
        case ServerProblem::NewerSchema:
            return "Install the newer version of the program on this workstation.";
        case ServerProblem::None:
        case ServerProblem::Other:
            break;
    }
    return {};
}

// Every SQLite database begins so; a file that does not is never handed to SQLite, which would
// take it for a damaged logbook and put it aside.
bool isSqliteFile(const std::string& path) {
    static constexpr char kMagic[] = "SQLite format 3";
    char head[sizeof kMagic] = {};
    std::ifstream in(path, std::ios::binary);
    return in.read(head, sizeof head) && std::equal(head, head + sizeof head, kMagic);
}

// libpq's lines, indented with tabs for a terminal, as one line.
std::string oneLine(const std::string& words) {
    std::string out;
    bool blank = false, broken = false;
    for (const char c : words) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = true;
            broken = broken || c == '\n';
            continue;
        }
        // A line that ends its sentence itself needs no mark after it.
        if (!out.empty() && blank)
            out += broken && std::string_view(".?!:;").find(out.back()) == std::string_view::npos
                       ? "; "
                       : " ";
        blank = broken = false;
        out += c;
    }
    return out;
}

}  // namespace

std::string tryText(const SqlLogbook::ServerTry& tried, const LogbookLocation& location) {
    if (tried.problem == ServerProblem::None) {
        if (tried.version == 0)
            return "Connected; the database holds no logbook yet: it is set up by the first "
                   "check of a user who may create tables.";
        std::string text =
            "Connected; the logbook is of version " + std::to_string(tried.version) + ".";
        if (tried.version < SqlLogbook::kSchemaVersion)
            text += " It is brought to version " + std::to_string(SqlLogbook::kSchemaVersion) +
                    " by the first check of a user who may change its tables.";
        return text;
    }
    std::string text = "Not connected: " + describe(tried.problem) + ".";
    if (const std::string r = remedy(tried.problem, location); !r.empty()) text += " " + r;
    if (!tried.detail.empty()) text += "\nPostgreSQL says: " + oneLine(tried.detail);
    return text;
}

SentFile sendLogbookFile(FleetLogbook& fleet, const std::string& path) {
    SentFile out;
    if (!isSqliteFile(path)) {
        out.outcome = SentFile::Outcome::NotALogbook;
        out.why = path + " is no logbook file";
        return out;
    }
    SqlLogbook* server = fleet.server();
    if (!server) {
        out.outcome = SentFile::Outcome::ServerAway;
        out.why = "the server " + fleet.where() + " cannot be reached (" +
                  describe(fleet.problem()) + ": " + fleet.why() + ")";
        return out;
    }
    const auto from = readLogbookFile(path, &out.why);
    if (!from) {
        out.outcome = SentFile::Outcome::NotALogbook;
        return out;
    }
    out.counts = importLogbook(*from->logbook, *server);
    return out;
}

std::unique_ptr<LogbookFileCopy> readLogbookFile(const std::string& path, std::string* why) {
    auto copy = std::make_unique<LogbookFileCopy>();
    const QString given = QString::fromStdString(path);
    const QString into = copy->folder.filePath(QStringLiteral("logbook.sqlite"));
    bool copied = copy->folder.isValid() && QFile::copy(given, into);
    // What the file's own journal holds belongs to it (a logbook still in use elsewhere).
    if (copied && QFile::exists(given + QStringLiteral("-wal")))
        copied = QFile::copy(given + QStringLiteral("-wal"), into + QStringLiteral("-wal"));
    if (!copied) {
        *why = path + " cannot be read";
        return nullptr;
    }
    copy->logbook = std::make_unique<SqlLogbook>(into.toStdString());
    if (copy->logbook->isOpen() && copy->logbook->setAside().empty()) return copy;
    *why = path + " cannot be read as a logbook (" +
           (copy->logbook->setAside().empty() ? copy->logbook->why() : "it is damaged") +
           "); it is left as it is";
    return nullptr;
}

std::string sentSummary(const LogbookImport& counts) {
    return "sent " + std::to_string(counts.sent) + ", already on the server " +
           std::to_string(counts.already) + ", not sent " + std::to_string(counts.failed);
}

}  // namespace qv
