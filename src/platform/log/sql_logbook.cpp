#include "platform/log/sql_logbook.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>

#include <pwd.h>
#include <unistd.h>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/log/result_file_import.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/data_folder.h"
#include "platform/log/import_folder.h"

namespace qv {

namespace {

QVariant real(double v) {
    return std::isnan(v) ? QVariant() : QVariant(v);
}

double real(const QVariant& v) {
    return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
}

// Not every database keeps an infinity: NULL stands for any number that is not finite.
QVariant finite(double v) {
    return std::isfinite(v) ? QVariant(v) : QVariant();
}

// A standard error not kept is one the set could not tell.
double errorOrInfinite(const QVariant& v) {
    return v.isNull() ? std::numeric_limits<double>::infinity() : v.toDouble();
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

std::string str(const QVariant& v) {
    return v.toString().toStdString();
}

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

std::string logbookTime(const LocalTime& t) {
    char out[80];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  std::max(t.hour, 0), std::max(t.minute, 0), std::max(t.second, 0));
    return out;
}

LocalTime fromLogbookTime(const std::string& s) {
    LocalTime t;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second) != 6)
        return {};
    return t;
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

namespace {

// libpq's words for what went wrong, in the order that tells them apart: a refusal by the
// server's host rules mentions TLS too, and is the server refusing the user.
ServerProblem classify(const QString& error) {
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

// libpq's parameters, quoted as its connection strings want them.
QString connectOptions(const LogbookLocation& l) {
    std::vector<std::pair<std::string, std::string>> all = {
        {"sslmode", l.tlsMode}, {"application_name", "QV-L70s"}, {"connect_timeout", "5"}};
    if (!l.service.empty()) all.emplace_back("service", l.service);
    for (const auto& [key, value] : l.options) {
        if (key == "connect_timeout")
            all[2].second = value;
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

}  // namespace

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
    db_.setPort(l.port);
    if (!l.database.empty()) db_.setDatabaseName(text(l.database));
    if (!l.user.empty()) db_.setUserName(text(l.user));
    if (!l.password.empty()) db_.setPassword(text(l.password));
    db_.setConnectOptions(connectOptions(l));
    if (db_.open()) return true;
    // libpq's own words on one line; Qt's "unable to connect" adds nothing to them.
    const QSqlError error = db_.lastError();
    QStringList lines =
        (error.databaseText().isEmpty() ? error.text() : error.databaseText()).split(u'\n');
    for (QString& line : lines) line = line.simplified();
    lines.removeAll(QString());
    why_ = lines.join(QStringLiteral("; "));
    problem_ = classify(why_);
    return false;
}

bool SqlLogbook::openServer(const LogbookLocation& l) {
    if (!connectServer(l)) return false;
    open_ = migrate();
    if (!open_) {
        if (problem_ == ServerProblem::None) problem_ = classify(why_);
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
    if (!db_.transaction()) {
        why_ = db_.lastError().text();
        return false;
    }
    QSqlQuery q(db_);
    const auto step = [this, &q](const std::string& sql) {
        if (sql.empty() || q.exec(QString::fromStdString(sql))) return true;
        why_ = q.lastError().text();
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

SqlLogbook::Inserted SqlLogbook::insert(const CheckRecord& r, const std::string& digest,
                                        const std::string& waitingFor) {
    if (!open_ || !db_.transaction()) return {};
    QSqlQuery q(db_);
    // A record the logbook holds already (by its identity) is left as it is: a record sent twice
    // is recorded once.
    q.prepare(QStringLiteral(
        "INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, "
        "formula, passed, entry, comment, operator, uuid, workstation, readings, handling, "
        "specimen, factors) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT(uuid) DO "
        "NOTHING "
        "RETURNING id"));
    for (const QVariant& v :
         {QVariant(text(std::string(kindName(r.kind)))), QVariant(text(r.serial)),
          QVariant(text(r.instrumentType)), QVariant(text(r.referenceSerial)),
          QVariant(text(logbookTime(r.time))), real(r.threshold), QVariant(text(r.formula)),
          r.passed ? QVariant(int(*r.passed)) : QVariant(), QVariant(r.entry),
          QVariant(text(r.comment)), QVariant(text(r.operatorName)),
          r.uuid.empty() ? QVariant() : QVariant(text(r.uuid)), QVariant(text(r.workstation)),
          QVariant(r.readings), QVariant(int(r.handling)), QVariant(text(r.specimen)),
          QVariant(text(factorsText(r.factors)))})
        q.addBindValue(v);
    bool ok = q.exec();
    if (ok && !q.next()) {
        db_.rollback();
        return {Sent::AlreadyThere, 0};
    }
    const std::int64_t id = ok ? q.value(0).toLongLong() : 0;
    q.finish();
    ok = ok && insertRows(id, r, digest);
    if (ok && !waitingFor.empty()) {
        QSqlQuery wait(db_);
        wait.prepare(QStringLiteral("INSERT INTO unsent(record_id, server) VALUES(?,?)"));
        wait.addBindValue(qlonglong(id));
        wait.addBindValue(text(waitingFor));
        ok = wait.exec();
    }
    if (ok && db_.commit()) return {Sent::Added, id};
    why_ = db_.lastError().text().isEmpty() ? q.lastError().text() : db_.lastError().text();
    db_.rollback();
    return {};
}

bool SqlLogbook::insertRows(std::int64_t id, const CheckRecord& r, const std::string& digest) {
    bool ok = true;
    for (int a = 0; ok && a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        QSqlQuery angle(db_);
        angle.prepare(
            QStringLiteral("INSERT INTO angles(record_id, angle, l, a, b, delta_e, "
                           "before_delta_e, sd_l, sd_a, sd_b, largest, rms) "
                           "VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"));
        for (const QVariant& v :
             {QVariant(qlonglong(id)), QVariant(a), real(g.lab[0]), real(g.lab[1]), real(g.lab[2]),
              real(g.deltaE), real(g.beforeDeltaE), real(g.sd[0]), real(g.sd[1]), real(g.sd[2]),
              real(g.largest), real(g.rms)})
            angle.addBindValue(v);
        ok = angle.exec();
        if (!ok) why_ = angle.lastError().text();
    }
    ok = ok && (!r.diagnosis || insertDiagnosis(id, *r.diagnosis));
    for (std::size_t i = 0; ok && i < r.files.size(); ++i) {
        QSqlQuery file(db_);
        file.prepare(
            QStringLiteral("INSERT INTO files(record_id, path, digest, position) VALUES(?,?,?,?)"));
        file.addBindValue(qlonglong(id));
        file.addBindValue(text(r.files[i]));
        file.addBindValue(i == 0 && !digest.empty() ? QVariant(text(digest)) : QVariant());
        file.addBindValue(int(i));
        ok = file.exec();
        if (!ok) why_ = file.lastError().text();
    }
    return ok;
}

bool SqlLogbook::insertDiagnosis(std::int64_t id, const DiagnosisRecord& diagnosis) {
    const auto run = [this](const QString& sql, const QVariantList& values) {
        QSqlQuery q(db_);
        q.prepare(sql);
        for (const QVariant& v : values) q.addBindValue(v);
        return q.exec();
    };
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosisRecord& d = diagnosis[a];
        if (!run(QStringLiteral("INSERT INTO diagnoses(record_id, angle, decision, reason, "
                                "mean_after_factors, mean_after_model) VALUES(?,?,?,?,?,?)"),
                 {qlonglong(id), a, text(d.decision), text(d.reason), finite(d.meanAfterFactors),
                  finite(d.meanAfterModel)}))
            return false;
        for (std::size_t k = 0; k < d.terms.size(); ++k) {
            const TermRecord& t = d.terms[k];
            if (!run(QStringLiteral("INSERT INTO diagnosis_terms(record_id, angle, position, term, "
                                    "estimate, standard_error, identified) VALUES(?,?,?,?,?,?,?)"),
                     {qlonglong(id), a, int(k), text(t.key), finite(t.value),
                      finite(t.standardError), int(t.identified)}))
                return false;
        }
    }
    return true;
}

namespace {
// A new record's identity, random: two workstations never make the same.
std::string newIdentity() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}
}  // namespace

CheckRecord completed(CheckRecord r) {
    if (r.operatorName.empty()) r.operatorName = operatorName();
    if (r.uuid.empty()) r.uuid = newIdentity();
    if (r.workstation.empty()) r.workstation = workstationName();
    return r;
}

void SqlLogbook::record(const CheckRecord& check) {
    // A record that fails must not leave an earlier check's record standing for this one.
    last_.reset();
    if (!open_) return;
    CheckRecord r = completed(check);
    if (const Inserted added = insert(r, newDigestOf(r.files)); added.outcome == Sent::Added) {
        last_ = std::move(r);
        last_->id = added.id;
        return;
    }
    tell("A check could not be recorded in the logbook " + path_ + " (" + why_.toStdString() +
         "); its result files were written.");
}

bool SqlLogbook::recordWaiting(const CheckRecord& check, const std::string& server) {
    last_.reset();
    if (!open_) return false;
    CheckRecord r = completed(check);
    const Inserted added = insert(r, newDigestOf(r.files), server);
    if (added.outcome != Sent::Added) return false;
    last_ = std::move(r);
    last_->id = added.id;
    return true;
}

SqlLogbook::Sent SqlLogbook::send(const CheckRecord& r, const std::string& digest) {
    // The same file may have reached the server another way (imported from a folder): the
    // record still goes, without the digest the server knows already.
    const bool known = !digest.empty() && knowsDigest(digest);
    const Inserted added = insert(r, known ? std::string() : digest);
    last_.reset();
    if (added.outcome == Sent::Added) {
        last_ = r;
        last_->id = added.id;
    }
    return added.outcome;
}

std::vector<std::int64_t> SqlLogbook::waiting() {
    std::vector<std::int64_t> out;
    QSqlQuery q(db_);
    if (!open_ || !q.exec(QStringLiteral("SELECT record_id FROM unsent ORDER BY record_id")))
        return out;
    while (q.next()) out.push_back(q.value(0).toLongLong());
    return out;
}

bool SqlLogbook::markSent(std::int64_t id) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM unsent WHERE record_id = ?"));
    q.addBindValue(qlonglong(id));
    return open_ && q.exec();
}

std::string SqlLogbook::digestOf(std::int64_t id) {
    QSqlQuery q(db_);
    q.prepare(
        QStringLiteral("SELECT digest FROM files WHERE record_id = ? AND digest IS NOT NULL"));
    q.addBindValue(qlonglong(id));
    return open_ && q.exec() && q.next() ? str(q.value(0)) : std::string();
}

std::string firstFileDigest(const std::vector<std::string>& files) {
    std::string contents;
    if (files.empty() || !AtomicFileStore().readAll(files.front(), kMaxImportBytes, contents))
        return {};
    return contentDigest(contents);
}

std::string SqlLogbook::newDigestOf(const std::vector<std::string>& files) {
    // The written file known by its contents too: a copy imported later under another name or
    // from another folder is this check, not a new one.
    const std::string digest = firstFileDigest(files);
    return digest.empty() || knowsDigest(digest) ? std::string() : digest;
}

bool SqlLogbook::knowsDigest(const std::string& digest) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT 1 FROM files WHERE digest = ?"));
    q.addBindValue(text(digest));
    return open_ && q.exec() && q.next();
}

bool SqlLogbook::knowsFile(const std::string& path) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT 1 FROM files WHERE path = ?"));
    q.addBindValue(text(path));
    return open_ && q.exec() && q.next();
}

bool SqlLogbook::recordImported(const CheckRecord& r, const std::string& digest) {
    if (!open_ || knowsDigest(digest)) return false;
    CheckRecord own = r;
    if (own.uuid.empty()) own.uuid = newIdentity();
    return insert(own, digest).outcome == Sent::Added;
}

std::vector<LogbookStore::Instrument> SqlLogbook::instruments() {
    std::vector<Instrument> out;
    QSqlQuery q(db_);
    if (!open_ || !q.exec(QStringLiteral(
                      "SELECT serial, MAX(instrument_type), COUNT(*), MAX(time) FROM records "
                      "GROUP BY serial ORDER BY serial")))
        return out;
    while (q.next())
        out.push_back({str(q.value(0)), str(q.value(1)), q.value(2).toInt(), str(q.value(3))});
    return out;
}

namespace {
// One row of the angles' table, in the order readDetails selects it.
void angleRow(CheckRecord& r, const QSqlQuery& q) {
    const int a = q.value(1).toInt();
    if (a < 0 || a >= kAngleCount) return;
    r.angles[a] = {{real(q.value(2)), real(q.value(3)), real(q.value(4))},
                   real(q.value(5)),
                   real(q.value(6)),
                   {real(q.value(7)), real(q.value(8)), real(q.value(9))},
                   real(q.value(10)),
                   real(q.value(11))};
}
}  // namespace

void SqlLogbook::readDetails(std::vector<CheckRecord>& records) {
    // One query for the angles and one for the files of all of them, not two for each record:
    // a long history would otherwise cost thousands of queries. The ids are named, not selected
    // again: a server then reads each table by its index instead of all of it.
    if (records.empty()) return;
    std::unordered_map<qint64, CheckRecord*> byId;
    QString chosen;
    for (CheckRecord& r : records) {
        byId.emplace(r.id, &r);
        chosen += (chosen.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(r.id);
    }
    const auto run = [&](const QString& sql, const auto& take, const QString& order) {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        if (!q.exec(sql + QStringLiteral(" WHERE record_id IN (") + chosen +
                    QStringLiteral(") ORDER BY ") + order))
            return;
        while (q.next())
            if (const auto at = byId.find(q.value(0).toLongLong()); at != byId.end())
                take(*at->second, q);
    };
    run(QStringLiteral("SELECT record_id, angle, l, a, b, delta_e, before_delta_e, sd_l, sd_a, "
                       "sd_b, largest, rms FROM angles"),
        angleRow, QStringLiteral("record_id, angle"));
    run(
        QStringLiteral("SELECT record_id, path FROM files"),
        [](CheckRecord& r, const QSqlQuery& q) { r.files.push_back(str(q.value(1))); },
        QStringLiteral("record_id, ") + QString::fromStdString(fileOrder(engine_)));
    run(
        QStringLiteral("SELECT record_id, angle, decision, reason, mean_after_factors, "
                       "mean_after_model FROM diagnoses"),
        [](CheckRecord& r, const QSqlQuery& q) {
            const int a = q.value(1).toInt();
            if (a < 0 || a >= kAngleCount) return;
            if (!r.diagnosis) r.diagnosis.emplace();
            AngleDiagnosisRecord& d = (*r.diagnosis)[a];
            d.decision = str(q.value(2));
            d.reason = str(q.value(3));
            d.meanAfterFactors = real(q.value(4));
            d.meanAfterModel = real(q.value(5));
        },
        QStringLiteral("record_id, angle"));
    run(
        QStringLiteral("SELECT record_id, angle, term, estimate, standard_error, identified FROM "
                       "diagnosis_terms"),
        [](CheckRecord& r, const QSqlQuery& q) {
            const int a = q.value(1).toInt();
            if (!r.diagnosis || a < 0 || a >= kAngleCount) return;
            (*r.diagnosis)[a].terms.push_back({str(q.value(2)), real(q.value(3)),
                                               errorOrInfinite(q.value(4)),
                                               q.value(5).toInt() != 0});
        },
        QStringLiteral("record_id, angle, position"));
}

namespace {
constexpr const char* kRecordColumns =
    "SELECT id, kind, serial, instrument_type, reference_serial, time, threshold, formula, "
    "passed, entry, comment, operator, uuid, workstation, readings, handling, specimen, "
    "factors FROM records ";

CheckRecord fromRow(const QSqlQuery& q) {
    CheckRecord r = emptyRecord(kindFromName(str(q.value(1))).value_or(RecordKind::Repeatability),
                                fromLogbookTime(str(q.value(5))));
    r.id = q.value(0).toLongLong();
    r.serial = str(q.value(2));
    r.instrumentType = str(q.value(3));
    r.referenceSerial = str(q.value(4));
    r.threshold = real(q.value(6));
    r.formula = str(q.value(7));
    if (!q.value(8).isNull()) r.passed = q.value(8).toInt() != 0;
    r.entry = q.value(9).toInt();
    r.comment = str(q.value(10));
    r.operatorName = str(q.value(11));
    r.uuid = str(q.value(12));
    r.workstation = str(q.value(13));
    r.readings = std::clamp(q.value(14).toInt(), 0, 1000);
    r.handling = q.value(15).toInt() != 0;
    r.specimen = str(q.value(16));
    r.factors = factorsFromText(str(q.value(17)));
    return r;
}
}  // namespace

std::vector<CheckRecord> SqlLogbook::selectRecords(const QString& which,
                                                   const QVariantList& binds) {
    std::vector<CheckRecord> out;
    if (!open_) return out;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(kRecordColumns) + which);
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) return out;
    while (q.next()) out.push_back(fromRow(q));
    readDetails(out);
    return out;
}

namespace {
// One instrument's records since a day, newest first; a limit where one is asked for (engines
// disagree on what a negative one means).
QString instrumentRecords(int limit, const QString& extra = {}) {
    return QStringLiteral("WHERE serial = ? AND time >= ? ") + extra +
           QStringLiteral("ORDER BY time DESC, id DESC") +
           (limit >= 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString());
}
}  // namespace

std::vector<CheckRecord> SqlLogbook::records(const std::string& serial, const std::string& since,
                                             int limit) {
    return selectRecords(instrumentRecords(limit), {text(serial), text(since)});
}

std::vector<CheckRecord> SqlLogbook::waitingRecords(const std::string& serial,
                                                    const std::string& since, int limit) {
    return selectRecords(
        instrumentRecords(limit, QStringLiteral("AND id IN (SELECT record_id FROM unsent) ")),
        {text(serial), text(since)});
}

std::optional<CheckRecord> SqlLogbook::recordById(std::int64_t id) {
    std::vector<CheckRecord> one =
        selectRecords(QStringLiteral("WHERE id = ?"), {QVariant(qlonglong(id))});
    if (one.empty()) return std::nullopt;
    return one.front();
}

}  // namespace qv
