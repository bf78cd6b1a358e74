#include "support/pg_server.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace qv::test {

namespace {

constexpr const char* kFolderPrefix = "qvpg-";

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A version folder's name ("15", "9.6") as a number to sort by, newest first.
double versionOf(const std::string& name) {
    char* end = nullptr;
    const double version = std::strtod(name.c_str(), &end);
    return end == name.c_str() ? -1 : version;
}

bool hasServerTools(const fs::path& dir) {
    std::error_code ec;
    for (const char* tool : {"initdb", "pg_ctl", "postgres", "psql"})
        if (!fs::is_regular_file(dir / tool, ec)) return false;
    return true;
}

// pg_config is not always there and Debian keeps the server's tools off PATH, in one folder
// per major version: the newest of those, else the first complete set on PATH.
std::string findBindir() {
    std::vector<std::pair<double, fs::path>> versions;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path bin = entry.path() / "bin";
        if (hasServerTools(bin)) versions.emplace_back(versionOf(entry.path().filename()), bin);
    }
    std::sort(versions.begin(), versions.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    if (!versions.empty()) return versions.front().second.string();
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');)
        if (!dir.empty() && hasServerTools(dir)) return dir;
    throw std::runtime_error(
        "no PostgreSQL server found in /usr/lib/postgresql/*/bin or on "
        "PATH; scripts/install-deps installs it");
}

// The kernel hands out a port nobody listens on; the server takes it a moment later.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok) throw std::runtime_error(std::string("no free port: ") + std::strerror(error));
    return ntohs(address.sin_port);
}

// Alive and not a zombie: a postmaster whose parent does not reap it still has a /proc entry.
bool alive(long pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

bool waitGone(long pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (alive(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The last resort when pg_ctl cannot stop it: the postmaster named in the data folder, if it
// still is one (the number may have been given to another process since).
void killPostmaster(const fs::path& dataDir) {
    std::ifstream in(dataDir / "postmaster.pid");
    long pid = 0;
    if (!(in >> pid) || pid <= 1) return;
    if (readFile("/proc/" + std::to_string(pid) + "/comm") != "postgres\n" || !alive(pid)) return;
    ::kill(static_cast<pid_t>(pid), SIGQUIT);
    if (waitGone(pid, std::chrono::seconds(5))) return;
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    waitGone(pid, std::chrono::seconds(5));
}

// A test process killed by a time-out never runs its destructors: its server and folder are
// found by the folder's owner file and taken away by whichever server starts next.
void reapAbandoned() {
    try {
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
            if (!entry.path().filename().string().starts_with(kFolderPrefix)) continue;
            std::ifstream in(entry.path() / "owner.pid");
            long owner = 0;
            if (!(in >> owner) || owner <= 1 || owner == ::getpid()) continue;
            if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno == EPERM) continue;
            killPostmaster(entry.path() / "data");
            std::error_code ec;
            fs::remove_all(entry.path(), ec);
        }
    } catch (const fs::filesystem_error&) {
        // Someone else's folder vanished or is unreadable: not ours to clean.
    }
}

class FileLock {
public:
    explicit FileLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

std::string percentEncoded(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

}  // namespace

PgServer::PgServer() {
    reapAbandoned();
    bindir_ = findBindir();
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            throw std::runtime_error(
                "the tests run as root, which the PostgreSQL server "
                "refuses, and there is no postgres user to run it as");
        switchUser_ = true;
        uid_ = user->pw_uid;
        gid_ = user->pw_gid;
    }
    makeFolder();
    try {
        makeDataDir();
        configure();
        startOnFreePort();
    } catch (...) {
        removeEverything();
        throw;
    }
}

PgServer::~PgServer() {
    removeEverything();
}

void PgServer::makeFolder() {
    std::string pattern =
        (fs::temp_directory_path() / (kFolderPrefix + std::string("XXXXXX"))).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    folder_ = pattern;
    std::ofstream(folder_ + "/owner.pid") << ::getpid() << '\n';
    if (switchUser_ && ::chown(folder_.c_str(), uid_, gid_) != 0) {
        const std::string reason = std::strerror(errno);
        removeEverything();
        throw std::runtime_error("cannot hand " + folder_ + " to the postgres user: " + reason);
    }
}

// initdb takes about a second, copying its result a tenth of that: the first server of a build
// keeps a copy of its fresh data folder beside the programs, and later ones start from it.
void PgServer::makeDataDir() {
    const fs::path stored = fs::path(QV_BIN_DIR).parent_path() / "pg-template";
    FileLock lock(stored.string() + ".lock");
    if (lock.held() && readFile(stored / "bindir") == bindir_ &&
        run("cp", {"-a", (stored / "data").string(), dataDir()}, false).code == 0)
        return;
    std::error_code ec;
    fs::remove_all(dataDir(), ec);
    initdb(dataDir());
    if (!lock.held()) return;
    // Made aside and renamed, so a half-written copy is never taken for the real one.
    const fs::path fresh = stored.string() + ".new";
    fs::remove_all(fresh, ec);
    fs::create_directories(fresh, ec);
    if (ec || run("cp", {"-a", dataDir(), (fresh / "data").string()}, false).code != 0) return;
    std::ofstream(fresh / "bindir") << bindir_;
    fs::remove_all(stored, ec);
    fs::rename(fresh, stored, ec);
}

void PgServer::initdb(const std::string& dataDir) {
    const std::string passwordFile = folder_ + "/admin-password";
    std::ofstream(passwordFile) << adminPassword() << '\n';
    if (switchUser_ && ::chown(passwordFile.c_str(), uid_, gid_) != 0)
        throw std::runtime_error("cannot hand the password file to the postgres user");
    const Result result =
        run(bindir_ + "/initdb",
            {"-D", dataDir, "-U", adminUser(), "--pwfile=" + passwordFile, "-A", "scram-sha-256",
             "--auth-local=trust", "--no-sync", "-E", "UTF8", "--locale=C"},
            true);
    std::error_code ec;
    fs::remove(passwordFile, ec);
    if (result.code != 0) fail("initdb", result);
}

// Durability costs time a test server does not need; TCP only on the loopback and the socket
// in the test's folder, so it never meets a server of the machine's own.
void PgServer::configure() {
    std::ofstream conf(dataDir() + "/postgresql.conf", std::ios::app);
    conf << "\n# A test's own server\n"
         << "listen_addresses = '127.0.0.1'\n"
         << "unix_socket_directories = '" << folder_ << "'\n"
         << "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\nssl = off\n";
    if (!conf) throw std::runtime_error("cannot write " + dataDir() + "/postgresql.conf");
}

// Another process may take the free port before the server binds it: then another port.
void PgServer::startOnFreePort() {
    for (int attempt = 1;; ++attempt) {
        port_ = freePort();
        std::ofstream(dataDir() + "/postgresql.conf", std::ios::app) << "port = " << port_ << '\n';
        try {
            start();
            return;
        } catch (const std::runtime_error&) {
            if (attempt == 3 || log().find("could not bind") == std::string::npos) throw;
        }
    }
}

std::string PgServer::useTls(const std::string& hostName) {
    const std::string cert = dataDir() + "/server.crt", key = dataDir() + "/server.key";
    // Made by the server's own user, so that the key is its own and no one else's.
    Result made = run("openssl",
                      {"req", "-new", "-x509", "-days", "2", "-nodes", "-newkey", "rsa:2048",
                       "-subj", "/CN=" + hostName, "-keyout", key, "-out", cert},
                      true);
    if (made.code != 0) fail("openssl req", made);
    if (Result locked = run("chmod", {"600", key}, true); locked.code != 0) fail("chmod", locked);
    std::ofstream(dataDir() + "/postgresql.conf", std::ios::app)
        << "ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\n";
    stop();
    start();
    // A copy the test's own user may read, whoever owns the data folder.
    const std::string copy = folder_ + "/root.crt";
    std::error_code ec;
    fs::copy_file(cert, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) throw std::runtime_error("cannot copy " + cert + ": " + ec.message());
    return copy;
}

void PgServer::start() {
    const Result result =
        run(bindir_ + "/pg_ctl",
            {"-w", "-t", "60", "-D", dataDir(), "-l", folder_ + "/server.log", "start"}, true);
    if (result.code != 0) fail("pg_ctl start", result);
    running_ = true;
}

void PgServer::stop() {
    const Result result =
        run(bindir_ + "/pg_ctl", {"-w", "-t", "60", "-D", dataDir(), "-m", "fast", "stop"}, true);
    if (result.code != 0) fail("pg_ctl stop", result);
    running_ = false;
}

void PgServer::removeEverything() noexcept {
    if (folder_.empty()) return;
    try {
        std::error_code ec;
        if (fs::exists(dataDir() + "/postmaster.pid", ec))
            run(bindir_ + "/pg_ctl", {"-w", "-t", "30", "-D", dataDir(), "-m", "immediate", "stop"},
                true);
        killPostmaster(dataDir());
        fs::remove_all(folder_, ec);
    } catch (...) {
        // Nothing more to do in a destructor; the next server reaps what is left.
    }
    running_ = false;
}

bool PgServer::sql(const std::string& statements, const std::string& database,
                   std::string* error) const {
    const Result result = run(bindir_ + "/psql",
                              {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", host(), "-p",
                               std::to_string(port_), "-U", adminUser(), "-d", database, "-f", "-"},
                              false, statements);
    if (result.code == 0) return true;
    if (error) *error = result.output.empty() ? "psql failed" : result.output;
    return false;
}

bool PgServer::sql(const std::string& statements, std::string* error) const {
    return sql(statements, "postgres", error);
}

std::string PgServer::createDatabase(const std::string& name) const {
    std::string quoted = "\"";
    for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    quoted += '"';
    std::string error;
    if (!sql("CREATE DATABASE " + quoted + ";", &error))
        throw std::runtime_error("CREATE DATABASE " + name + " failed:\n" + error +
                                 "\n--- server log ---\n" + log());
    return name;
}

std::string PgServer::uri(const std::string& user, const std::string& password,
                          const std::string& database, const std::string& query) const {
    std::string text = "postgresql://" + percentEncoded(user) + ':' + percentEncoded(password) +
                       '@' + host() + ':' + std::to_string(port_) + '/' + percentEncoded(database);
    if (!query.empty()) text += '?' + query;
    return text;
}

std::string PgServer::log() const {
    std::error_code ec;
    if (!fs::exists(folder_ + "/server.log", ec)) return "(the server wrote no log)";
    return readFile(folder_ + "/server.log");
}

void PgServer::fail(const std::string& what, const Result& result) const {
    throw std::runtime_error(what + " failed (exit " + std::to_string(result.code) + "):\n" +
                             result.output + "\n--- server log ---\n" + log());
}

// Server commands run as the postgres user when the tests run as root. No PG* variable of
// the caller's reaches the tools, and the password comes from the environment, so the user's
// own ~/.pgpass is never read.
PgServer::Result PgServer::run(const std::string& tool, const std::vector<std::string>& args,
                               bool asServerUser, const std::string& input) const {
    QStringList arguments;
    QString program = QString::fromStdString(tool);
    if (asServerUser && switchUser_) {
        // By name: setpriv looks a number up as a name first, and a name not in /etc/passwd
        // sends the lookup on to whatever else the system's name service asks.
        const group* primary = ::getgrgid(gid_);
        arguments << QStringLiteral("--reuid=postgres")
                  << QStringLiteral("--regid=%1")
                         .arg(primary ? QString::fromLocal8Bit(primary->gr_name)
                                      : QString::number(gid_))
                  << "--clear-groups"
                  << "--" << program;
        program = "setpriv";
    }
    for (const auto& arg : args) arguments << QString::fromStdString(arg);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& key : environment.keys())
        if (key.startsWith("PG")) environment.remove(key);
    environment.insert("PGPASSWORD", QString::fromStdString(adminPassword()));
    environment.insert("PGPASSFILE", QString::fromStdString(folder_ + "/no-pgpass"));
    environment.insert("PGCONNECT_TIMEOUT", "10");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QString::fromStdString(folder_));
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {-1, "cannot run " + tool + ": " + process.errorString().toStdString()};
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    Result result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.output = "(" + tool + " did not finish within two minutes)\n";
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.code = process.exitCode();
    }
    result.output += process.readAll().toStdString();
    return result;
}

PgSession::PgSession(const PgServer& server, const std::string& user, const std::string& password,
                     const std::string& database) {
    static std::atomic<int> serial{0};
    name_ = QStringLiteral("pg-session-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    db.setHostName(QString::fromStdString(server.host()));
    db.setPort(server.port());
    db.setDatabaseName(QString::fromStdString(database));
    db.setUserName(QString::fromStdString(user));
    db.setPassword(QString::fromStdString(password));
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    open_ = db.open();
    error_ = db.lastError().text().toStdString();
}

PgSession::~PgSession() {
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

std::string PgSession::value(const std::string& statement) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    if (!q.exec(QString::fromStdString(statement)) || !q.next()) return {};
    return q.value(0).toString().toStdString();
}

std::string PgSession::refusal(const std::string& statement) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    if (q.exec(QString::fromStdString(statement))) return {};
    const std::string why = q.lastError().text().toStdString();
    return why.empty() ? "refused without a reason" : why;
}

}  // namespace qv::test
