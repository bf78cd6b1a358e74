#include "platform/log/logbook_location.h"

#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

#include "core/app/profile_store.h"

namespace qv {

namespace {

constexpr std::string_view kSection = "Logbook";

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

bool fail(std::string* why, const std::string& what) {
    if (why) *why = what;
    return false;
}

// Takes the URI's query into the location: the TLS mode and the service by name, anything else
// handed to libpq as it is.
bool takeQuery(const QUrl& url, LogbookLocation& l, std::string* why) {
    for (const auto& [k, v] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        const std::string key = k.toStdString(), value = v.toStdString();
        if (key.empty() || key.find_first_of(" ='\\") != std::string::npos)
            return fail(why, "the parameter \"" + key + "\" is not one libpq knows");
        if (key == "sslmode") {
            if (std::find(tlsModes().begin(), tlsModes().end(), value) == tlsModes().end())
                return fail(why, "sslmode \"" + value + "\" is not a TLS mode");
            l.tlsMode = value;
        } else if (key == "service") {
            l.service = value;
        } else if (key == "sslrootcert") {
            l.rootCertificate = value;
        } else {
            l.options.emplace_back(key, value);
        }
    }
    return true;
}

}  // namespace

const std::vector<std::string>& tlsModes() {
    static const std::vector<std::string> modes = {"disable", "allow",     "prefer",
                                                   "require", "verify-ca", "verify-full"};
    return modes;
}

std::string LogbookLocation::name() const {
    if (!isServer()) return "local";
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(qs(host.empty() ? std::string("localhost") : host));
    if (port > 0) url.setPort(port);
    if (!user.empty()) url.setUserName(qs(user));
    url.setPath(QLatin1Char('/') + qs(database));
    if (!service.empty()) url.setQuery(QStringLiteral("service=") + qs(service));
    return url.toString(QUrl::FullyEncoded).toStdString();
}

std::optional<LogbookLocation> locationFromUri(const std::string& uri, std::string* why) {
    const QUrl url(qs(uri), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") &&
                           url.scheme() != QLatin1String("postgres"))) {
        fail(why, "\"" + QUrl(qs(uri)).toString(QUrl::RemovePassword).toStdString() +
                      "\" is not a postgresql:// connection URI");
        return std::nullopt;
    }
    LogbookLocation l;
    l.kind = LogbookLocation::Kind::Server;
    l.host = url.host().toStdString();
    l.port = url.port(0);
    l.user = url.userName().toStdString();
    l.password = url.password().toStdString();
    l.database = url.path().mid(1).toStdString();
    if (l.port < 0 || l.port > 65535) {
        fail(why, "the port " + std::to_string(l.port) + " is out of range");
        return std::nullopt;
    }
    if (!takeQuery(url, l, why)) return std::nullopt;
    return l;
}

LogbookLocation savedLogbookLocation(ProfileStore& profile) {
    LogbookLocation l;
    const auto read = [&profile](std::string_view key, const std::string& fallback) {
        const std::string v = profile.read(kSection, key, kNotSet);
        return v == kNotSet ? fallback : v;
    };
    if (read("Location", "local") != "server") return l;
    l.kind = LogbookLocation::Kind::Server;
    l.host = read("Host", "");
    l.database = read("Database", "");
    l.user = read("User", "");
    l.service = read("Service", "");
    l.rootCertificate = read("TlsRootCertificate", "");
    const std::string mode = read("TlsMode", l.tlsMode);
    if (std::find(tlsModes().begin(), tlsModes().end(), mode) != tlsModes().end()) l.tlsMode = mode;
    bool isNumber = false;
    const int port = qs(read("Port", "")).toInt(&isNumber);
    if (isNumber && port > 0 && port < 65536) l.port = port;
    return l;
}

void saveLogbookLocation(ProfileStore& profile, const LogbookLocation& l) {
    profile.write(kSection, "Location", l.isServer() ? "server" : "local");
    profile.write(kSection, "Host", l.host);
    profile.write(kSection, "Port", l.port > 0 ? std::to_string(l.port) : std::string());
    profile.write(kSection, "Database", l.database);
    profile.write(kSection, "User", l.user);
    profile.write(kSection, "TlsMode", l.tlsMode);
    profile.write(kSection, "Service", l.service);
    profile.write(kSection, "TlsRootCertificate", l.rootCertificate);
}

std::optional<LogbookLocation> chosenLogbookLocation(ProfileStore& profile, LogbookChoice choice,
                                                     std::string* why) {
    if (choice == LogbookChoice::Local) return LogbookLocation{};
    if (const QByteArray env = qgetenv("QV_LOGBOOK"); !env.isEmpty()) {
        if (env == "local" && choice != LogbookChoice::Server) return LogbookLocation{};
        if (auto l = locationFromUri(env.toStdString(), why)) return l;
        if (why) *why = "QV_LOGBOOK: " + *why;
        return std::nullopt;
    }
    LogbookLocation saved = savedLogbookLocation(profile);
    if (choice == LogbookChoice::Server && !saved.isServer()) {
        fail(why, "no logbook server is set (QV_LOGBOOK or Logbook location... in the program)");
        return std::nullopt;
    }
    return saved;
}

std::string workstationName() {
    if (const QString named = qEnvironmentVariable("QV_WORKSTATION"); !named.trimmed().isEmpty())
        return named.trimmed().toStdString();
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? std::string("unknown") : host.toStdString();
}

}  // namespace qv
