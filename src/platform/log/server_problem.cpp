#include "platform/log/server_problem.h"

#include <QStringList>
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/log/logbook_location.h"

namespace qv {

std::string describe(ServerProblem problem) {
    switch (problem) {
        case ServerProblem::None:
            return "no problem";
        case ServerProblem::Unreachable:
            return "the server cannot be reached";
        case ServerProblem::Refused:
            return "the server refused the connection";
        case ServerProblem::Authentication:
            return "the user or its password was not accepted";
        case ServerProblem::Tls:
            return "the TLS connection failed";
        case ServerProblem::NoDatabase:
            return "the database does not exist";
        case ServerProblem::WrongSchema:
            return "the database does not hold a logbook this program can use";
        case ServerProblem::NewerSchema:
            return "the logbook was written by a newer version of the program";
        case ServerProblem::Other:
            break;
    }
    return "the server could not be used";
}

// libpq's words, in the order that tells them apart: a refusal by the server's host rules
// mentions TLS too, and is the server refusing the user.
ServerProblem classifyConnectionError(const QString& error) {
    const QString e = error.toLower();
    const auto says = [&e](std::initializer_list<const char*> words) {
        for (const char* w : words)
            if (e.contains(QLatin1String(w))) return true;
        return false;
    };
    if (says({"could not translate host name", "no route to host", "network is unreachable",
              "timeout expired", "timed out", "name or service not known"}))
        return ServerProblem::Unreachable;
    if (says({"connection refused"})) return ServerProblem::Refused;
    if (says({"password", "authentication", "pg_hba.conf", "role \"", "permission denied"}))
        return ServerProblem::Authentication;
    if (says({"ssl", "tls", "certificate"})) return ServerProblem::Tls;
    if (says({"database \"", "does not exist"})) return ServerProblem::NoDatabase;
    return ServerProblem::Other;
}

SendFailure classifySqlState(const QString& state) {
    // Only the classes that speak of the record itself refuse it; anything else (a connection
    // lost without a state, a server shutting down, out of memory, a lock or statement
    // time-out, a serialisation conflict) may pass on a later try.
    for (const char* cls : {"22", "23", "42", "54", "P0"})
        if (state.size() == 5 && state.startsWith(QLatin1String(cls))) return SendFailure::Refused;
    return SendFailure::Away;
}

namespace {

// Time-outs: a server that accepts a connection and never answers, a backend stopped under a
// running statement, a lock held by another session each cost a check a few seconds at most.
constexpr const char* kConnectSeconds = "5";
constexpr const char* kStatementMs = "8000";
constexpr const char* kLockMs = "3000";
constexpr const char* kTcpUserMs = "8000";

}  // namespace

QString connectOptions(const LogbookLocation& l) {
    std::vector<std::pair<std::string, std::string>> all = {
        {"application_name", "QV-L70s"},
        {"connect_timeout", kConnectSeconds},
        {"keepalives", "1"},
        {"keepalives_idle", "5"},
        {"keepalives_interval", "2"},
        {"keepalives_count", "3"},
        {"tcp_user_timeout", kTcpUserMs},
        {"options",
         std::string("-c statement_timeout=") + kStatementMs + " -c lock_timeout=" + kLockMs},
    };
    if (!l.tlsMode.empty()) all.emplace_back("sslmode", l.tlsMode);
    if (!l.service.empty()) all.emplace_back("service", l.service);
    if (!l.rootCertificate.empty()) all.emplace_back("sslrootcert", l.rootCertificate);
    for (const auto& [key, value] : l.options) {
        const auto same = [&key](const auto& kv) { return kv.first == key; };
        if (auto at = std::find_if(all.begin(), all.end(), same); at != all.end())
            at->second = value;
        else
            all.emplace_back(key, value);
    }
    QStringList out;
    // Qt hands the options on as they are; a value with a space or quote would end it early.
    for (const auto& [key, value] : all) {
        QString v = QString::fromStdString(value);
        v.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\''), QLatin1String("\\'"));
        v.remove(QLatin1Char(';'));
        out << QString::fromStdString(key) + QStringLiteral("='") + v + QLatin1Char('\'');
    }
    return out.join(QLatin1Char(';'));
}

}  // namespace qv
