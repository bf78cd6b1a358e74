#include "platform/log/sql_logbook.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTime>
#include <QTimeZone>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unordered_map>

#include <pwd.h>
#include <unistd.h>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/log/result_file_import.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/data_folder.h"

#include "platform/log/sql_values.h"

namespace qv {

using namespace sqlvalues;

namespace {

// Only SQLite's own word that a file is no database or is corrupt makes it damaged.
bool saysDamaged(const QSqlError& error) {
    constexpr int kCorrupt = 11;  // SQLITE_CORRUPT
    constexpr int kNotADb = 26;   // SQLITE_NOTADB
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber) & 0xff;  // the primary code
    return isNumber && (code == kCorrupt || code == kNotADb);
}

bool exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

}  // namespace

namespace {

QDateTime dateTimeOf(const LocalTime& t, std::optional<int> offsetMinutes) {
    const QDate day(t.year, t.month, t.day);
    const QTime time(std::max(t.hour, 0), std::max(t.minute, 0), std::max(t.second, 0));
    // An offset no time zone has (more than a day) is no offset at all.
    if (offsetMinutes && std::abs(*offsetMinutes) <= 24 * 60)
        return QDateTime(day, time, QTimeZone(*offsetMinutes * 60));
    return QDateTime(day, time);
}

}  // namespace

std::optional<int> systemUtcOffset(const LocalTime& t) {
    const QDateTime at = dateTimeOf(t, std::nullopt);
    if (!at.isValid()) return std::nullopt;
    return at.offsetFromUtc() / 60;
}

std::string logbookInstant(const LocalTime& t, std::optional<int> offsetMinutes) {
    const QDateTime at = dateTimeOf(t, offsetMinutes);
    if (!at.isValid()) return logbookTime(t);
    return at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string sinceInstant(const std::string& day) {
    if (day.empty()) return {};
    const QDate d = QDate::fromString(QString::fromStdString(day), Qt::ISODate);
    if (!d.isValid()) return day;
    // The day as the reader's clock begins it.
    return QDateTime(d, QTime(0, 0))
        .toUTC()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

std::string logbookPath() {
    const std::string data = setUpDataFolder();
    if (data.empty()) return {};
    return QFileInfo(QString::fromStdString(data)).path().toStdString() + "/logbook.sqlite";
}

// The account's own login name; the environment only where the system knows none (a desktop
// session or a service may run without USER set).
std::string operatorName() {
    if (const passwd* account = getpwuid(geteuid());
        account && account->pw_name && account->pw_name[0] != '\0')
        return account->pw_name;
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (const QString v = qEnvironmentVariable(name); !v.isEmpty()) return v.toStdString();
    return "unknown";
}

SqlLogbook::SqlLogbook(const std::string& path, std::function<void(const std::string&)> notify)
    : path_(path), tell_(std::move(notify)) {
    static std::atomic<int> counter{0};
    connection_ = QStringLiteral("logbook-%1").arg(counter++);
    const Opened opened = openFile();
    if (opened == Opened::Yes) return;
    // Not a logbook at all, or a damaged one: kept aside as it is, and a new one begun. A
    // logbook that is only locked, read-only or on a full disk stays where it is.
    if (opened == Opened::Damaged && QFile::exists(text(path_))) {
        moveAside();
        if (!setAside_.empty() && openFile() == Opened::Yes) {
            tell("The logbook " + path_ + " could not be read; it was kept as " + setAside_ +
                 " and a new one begun.");
            return;
        }
    }
    tell("The logbook " + path_ + " cannot be used (" + why_.toStdString() +
         "); checks are not recorded in it.");
}

SqlLogbook::SqlLogbook(const LogbookLocation& location,
                       std::function<void(const std::string&)> notify)
    : engine_(LogbookEngine::PostgreSQL), path_(location.name()), tell_(std::move(notify)) {
    static std::atomic<int> counter{0};
    connection_ = QStringLiteral("logbook-server-%1").arg(counter++);
    if (openServer(location)) return;
    tell("The logbook server " + path_ + " cannot be used (" + describe(problem_) + ": " +
         why_.toStdString() + "); checks are not recorded in it.");
}

SqlLogbook::ServerTry SqlLogbook::tryServer(const LogbookLocation& location) {
    SqlLogbook probe;
    probe.engine_ = LogbookEngine::PostgreSQL;
    probe.path_ = location.name();
    static std::atomic<int> counter{0};
    probe.connection_ = QStringLiteral("logbook-try-%1").arg(counter++);
    ServerTry result;
    if (probe.connectServer(location)) {
        if (const std::optional<int> version = probe.schemaVersion()) {
            result.version = *version;
            if (*version > kSchemaVersion) probe.problem_ = ServerProblem::NewerSchema;
        } else if (probe.problem_ == ServerProblem::None) {
            probe.problem_ = ServerProblem::WrongSchema;
        }
    }
    result.problem = probe.problem_;
    result.detail = probe.why_.toStdString();
    return result;
}

bool SqlLogbook::connectServer(const LogbookLocation& l) {
    db_ = QSqlDatabase::addDatabase(QString::fromLatin1(sqlDriver(engine_)), connection_);
    if (!db_.isValid()) {
        problem_ = ServerProblem::Other;
        why_ = QStringLiteral("Qt SQL's PostgreSQL driver (QPSQL) is not installed");
        return false;
    }
    // Only what is given goes to libpq, which takes the rest from a service file, PGHOST and the
    // like, and the password from PostgreSQL's password file.
    if (!l.host.empty()) db_.setHostName(text(l.host));
    db_.setPort(l.port > 0 ? l.port : -1);
    if (!l.database.empty()) db_.setDatabaseName(text(l.database));
    if (!l.user.empty()) db_.setUserName(text(l.user));
    if (!l.password.empty()) db_.setPassword(text(l.password));
    db_.setConnectOptions(connectOptions(l));
    if (db_.open()) {
        watch_ = std::make_unique<ServerWatch>(kServerAnswerLimit);
        return true;
    }
    // libpq's own words on one line; Qt's "unable to connect" adds nothing to them.
    const QSqlError error = db_.lastError();
    QStringList lines =
        (error.databaseText().isEmpty() ? error.text() : error.databaseText()).split(u'\n');
    for (QString& line : lines) line = line.simplified();
    lines.removeAll(QString());
    why_ = lines.join(QStringLiteral("; "));
    problem_ = classifyConnectionError(why_);
    return false;
}

ServerWatch::Armed SqlLogbook::watched() {
    return watch_ ? watch_->arm(db_) : ServerWatch::Armed(nullptr);
}

QString SqlLogbook::failure(const QSqlError& error) const {
    if (watch_ && watch_->cut())
        return QStringLiteral(
                   "the server did not answer within %1 seconds; its connection was "
                   "closed")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(kServerAnswerLimit).count());
    return error.databaseText().isEmpty() ? error.text() : error.databaseText().simplified();
}

bool SqlLogbook::openServer(const LogbookLocation& l) {
    if (!connectServer(l)) return false;
    open_ = migrate();
    if (!open_) {
        if (problem_ == ServerProblem::None) problem_ = classifyConnectionError(why_);
        db_.close();
    }
    return open_;
}

SqlLogbook::~SqlLogbook() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

void SqlLogbook::tell(const std::string& what) {
    if (told_ || !tell_) return;
    told_ = true;
    tell_(what);
}

SqlLogbook::Opened SqlLogbook::openFile() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(text(path_));
    const auto fail = [this](const QSqlError& error, Opened how) {
        why_ = error.text();
        db_.close();
        return how;
    };
    if (!db_.open()) return fail(db_.lastError(), Opened::Unusable);
    QSqlQuery check(db_);
    // A file that is not a database fails here; a damaged one fails the quick check.
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next())
        return fail(check.lastError(),
                    saysDamaged(check.lastError()) ? Opened::Damaged : Opened::Unusable);
    if (check.value(0).toString() != QStringLiteral("ok"))
        return fail(QSqlError(check.value(0).toString()), Opened::Damaged);
    // A statement left open keeps SQLite from dropping what a migration drops.
    check.finish();
    exec(db_, QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(db_, QStringLiteral("PRAGMA foreign_keys=ON"));
    // Room for the pages of a long history (SQLite keeps 2 MiB), so that reading it again costs
    // no file reads.
    exec(db_, QStringLiteral("PRAGMA cache_size=-16384"));
    open_ = migrate();
    if (!open_) db_.close();
    return open_ ? Opened::Yes : Opened::Unusable;
}

std::optional<int> SqlLogbook::schemaVersion() {
    const SchemaProbe probe = schemaProbe(engine_);
    QSqlQuery q(db_);
    if (!q.exec(QString::fromStdString(probe.tables)) || !q.next()) {
        why_ = q.lastError().text();
        return std::nullopt;
    }
    const bool keepsVersion = q.value(0).toBool(), hasRecords = q.value(1).toBool();
    if (!keepsVersion) {
        if (!hasRecords) return 0;
        // Someone else's table of that name: nothing of ours is added beside it.
        problem_ = ServerProblem::WrongSchema;
        why_ = QStringLiteral("the database holds a table \"records\" that is not this logbook's");
        return std::nullopt;
    }
    if (!q.exec(QString::fromStdString(probe.version)) || !q.next()) {
        why_ = q.lastError().text();
        return std::nullopt;
    }
    return q.value(0).toInt();
}

bool SqlLogbook::migrateTo(int version) {
    // A migration waits for every session reading the tables; behind a transaction left open it
    // would wait for ever, so it waits for the lock a few seconds at a time, a few times.
    constexpr int kTries = 3;
    for (int attempt = 1;; ++attempt) {
        lockTimedOut_ = false;
        if (migrateOnce(version)) return true;
        if (!lockTimedOut_ || attempt == kTries) return false;
    }
}

bool SqlLogbook::migrateOnce(int version) {
    if (!db_.transaction()) {
        why_ = db_.lastError().text();
        return false;
    }
    QSqlQuery q(db_);
    const auto step = [this, &q](const std::string& sql) {
        if (sql.empty() || q.exec(QString::fromStdString(sql))) return true;
        why_ = q.lastError().text();
        lockTimedOut_ = q.lastError().nativeErrorCode() == QLatin1String("55P03");
        return false;
    };
    // Under the lock, another workstation may have brought the logbook this far already.
    bool ok = step(schemaProbe(engine_).lock);
    const std::optional<int> now = ok ? schemaVersion() : std::nullopt;
    ok = ok && now;
    if (ok && *now < version)
        for (const std::string& sql : migrationTo(version, engine_)) ok = ok && step(sql);
    if (ok && db_.commit()) return true;
    db_.rollback();
    return false;
}

bool SqlLogbook::migrate() {
    const std::optional<int> version = schemaVersion();
    if (!version) return false;
    if (*version > kSchemaVersion) {
        // Written by a newer program: left exactly as it is.
        setAside_ = "-";
        problem_ = ServerProblem::NewerSchema;
        why_ = QStringLiteral("written by a newer version of the program");
        tell("The logbook " + path_ +
             " was written by a newer version of the program; checks "
             "are not recorded in it.");
        return false;
    }
    for (int v = *version + 1; v <= kSchemaVersion; ++v) {
        if (migrateTo(v)) continue;
        // A workstation's user may add records but not tables: the owner brings it up to date.
        if (engine_ == LogbookEngine::PostgreSQL && problem_ == ServerProblem::None) {
            problem_ = ServerProblem::WrongSchema;
            why_ =
                QStringLiteral("the logbook is of version %1 and could not be brought to %2 (%3)")
                    .arg(*version)
                    .arg(kSchemaVersion)
                    .arg(why_);
        }
        return false;
    }
    return true;
}

void SqlLogbook::moveAside() {
    db_.close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString aside = text(path_) + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = text(path_) + QStringLiteral(".damaged-%1_%2").arg(stamp).arg(n);
    if (!QFile::rename(text(path_), aside)) return;
    // The journal files belong to the damaged file; a new logbook must not pick them up.
    for (const char* suffix : {"-wal", "-shm"})
        if (QFile::exists(text(path_) + QLatin1String(suffix)))
            QFile::rename(text(path_) + QLatin1String(suffix), aside + QLatin1String(suffix));
    setAside_ = aside.toStdString();
}

}  // namespace qv
