#include "platform/log/sql_logbook.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
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

// Each schema version's statements, applied in order from the file's version up.
const std::vector<std::vector<const char*>>& migrations() {
    static const std::vector<std::vector<const char*>> all = {
        {
            // 1: records, their angles and their files.
            "CREATE TABLE records(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, serial TEXT NOT "
            "NULL, instrument_type TEXT NOT NULL DEFAULT '', reference_serial TEXT NOT NULL "
            "DEFAULT '', time TEXT NOT NULL, threshold REAL, formula TEXT NOT NULL DEFAULT '', "
            "passed INTEGER, entry INTEGER NOT NULL DEFAULT 0, comment TEXT NOT NULL DEFAULT '')",
            "CREATE TABLE angles(record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, angle INTEGER NOT NULL, l REAL, a REAL, b REAL, delta_e REAL, "
            "before_delta_e REAL, PRIMARY KEY(record_id, angle))",
            "CREATE TABLE files(record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, path TEXT NOT NULL)",
            "CREATE INDEX records_by_serial ON records(serial, time)",
        },
        {
            // 2: who made the check, and imported files known by their contents.
            "ALTER TABLE records ADD COLUMN operator TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE files ADD COLUMN digest TEXT",
            "CREATE UNIQUE INDEX files_by_digest ON files(digest) WHERE digest IS NOT NULL",
        },
        {
            // 3: a file looked up by its path without reading every file on record.
            "CREATE INDEX files_by_path ON files(path)",
        },
        {
            // 4: a tile set's diagnosis, per angle its decision and its physical terms.
            "CREATE TABLE diagnoses(record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE "
            "CASCADE, angle INTEGER NOT NULL, decision TEXT NOT NULL, reason TEXT NOT NULL, "
            "mean_after_factors DOUBLE PRECISION, mean_after_model DOUBLE PRECISION, PRIMARY "
            "KEY(record_id, angle))",
            "CREATE TABLE diagnosis_terms(record_id INTEGER NOT NULL REFERENCES records(id) ON "
            "DELETE CASCADE, angle INTEGER NOT NULL, position INTEGER NOT NULL, term TEXT NOT "
            "NULL, estimate DOUBLE PRECISION, standard_error DOUBLE PRECISION, identified "
            "INTEGER NOT NULL, PRIMARY KEY(record_id, angle, position))",
        },
    };
    return all;
}

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

std::unique_ptr<SqlLogbook> openLogbook(Prompter& prompter) {
    const std::string path = logbookPath();
    if (path.empty()) return nullptr;
    return std::make_unique<SqlLogbook>(path, [&prompter](const std::string& what) {
        Message m = messageBox(kStrLogbookProblem, Icon::Exclamation);
        m.suffix = "\n" + what;
        prompter.ask(m);
    });
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

bool SqlLogbook::migrate() {
    QSqlQuery q(db_);
    const auto step = [this, &q](const QString& sql) {
        if (q.exec(sql)) return true;
        why_ = q.lastError().text();
        return false;
    };
    if (!step(QStringLiteral("PRAGMA user_version")) || !q.next()) return false;
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        // Written by a newer program: left exactly as it is.
        setAside_ = "-";
        tell("The logbook " + path_ +
             " was written by a newer version of the program; checks "
             "are not recorded in it.");
        return false;
    }
    for (int v = version; v < kSchemaVersion; ++v) {
        if (!db_.transaction()) {
            why_ = db_.lastError().text();
            return false;
        }
        bool ok = true;
        for (const char* sql : migrations()[static_cast<std::size_t>(v)])
            ok = ok && step(QString::fromLatin1(sql));
        ok = ok && step(QStringLiteral("PRAGMA user_version=%1").arg(v + 1));
        if (!ok || !db_.commit()) {
            db_.rollback();
            return false;
        }
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

std::optional<std::int64_t> SqlLogbook::insert(const CheckRecord& r, const std::string& digest) {
    if (!open_ || !db_.transaction()) return std::nullopt;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, "
        "formula, passed, entry, comment, operator) VALUES(?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {QVariant(text(std::string(kindName(r.kind)))), QVariant(text(r.serial)),
          QVariant(text(r.instrumentType)), QVariant(text(r.referenceSerial)),
          QVariant(text(logbookTime(r.time))), real(r.threshold), QVariant(text(r.formula)),
          r.passed ? QVariant(int(*r.passed)) : QVariant(), QVariant(r.entry),
          QVariant(text(r.comment)), QVariant(text(r.operatorName))})
        q.addBindValue(v);
    bool ok = q.exec();
    const std::int64_t id = q.lastInsertId().toLongLong();
    for (int a = 0; ok && a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        QSqlQuery angle(db_);
        angle.prepare(QStringLiteral("INSERT INTO angles VALUES(?,?,?,?,?,?,?)"));
        for (const QVariant& v :
             {QVariant(qlonglong(id)), QVariant(a), real(g.lab[0]), real(g.lab[1]), real(g.lab[2]),
              real(g.deltaE), real(g.beforeDeltaE)})
            angle.addBindValue(v);
        ok = angle.exec();
    }
    ok = ok && (!r.diagnosis || insertDiagnosis(id, *r.diagnosis));
    for (std::size_t i = 0; ok && i < r.files.size(); ++i) {
        QSqlQuery file(db_);
        file.prepare(QStringLiteral("INSERT INTO files(record_id, path, digest) VALUES(?,?,?)"));
        file.addBindValue(qlonglong(id));
        file.addBindValue(text(r.files[i]));
        file.addBindValue(i == 0 && !digest.empty() ? QVariant(text(digest)) : QVariant());
        ok = file.exec();
    }
    if (ok && db_.commit()) return id;
    db_.rollback();
    return std::nullopt;
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

void SqlLogbook::record(const CheckRecord& check) {
    // A record that fails must not leave an earlier check's record standing for this one.
    last_.reset();
    if (!open_) return;
    CheckRecord r = check;
    if (r.operatorName.empty()) r.operatorName = operatorName();
    if (const auto id = insert(r, newDigestOf(r.files))) {
        last_ = std::move(r);
        last_->id = *id;
        return;
    }
    tell("A check could not be recorded in the logbook " + path_ + " (" +
         db_.lastError().text().toStdString() + "); its result files were written.");
}

std::string SqlLogbook::newDigestOf(const std::vector<std::string>& files) {
    // The written file known by its contents too: a copy imported later under another name or
    // from another folder is this check, not a new one.
    std::string contents;
    if (files.empty() || !AtomicFileStore().readAll(files.front(), kMaxImportBytes, contents))
        return {};
    const std::string digest = contentDigest(contents);
    return knowsDigest(digest) ? std::string() : digest;
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
    return insert(r, digest).has_value();
}

std::vector<SqlLogbook::Instrument> SqlLogbook::instruments() {
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

void SqlLogbook::readDetails(std::vector<CheckRecord>& records, const QString& chosen,
                             const QVariantList& binds) {
    // One query for the angles and one for the files of all of them, not two for each record:
    // a long history would otherwise cost thousands of queries.
    std::unordered_map<qint64, CheckRecord*> byId;
    for (CheckRecord& r : records) byId.emplace(r.id, &r);
    const auto run = [&](const QString& sql, const auto& take,
                         const QString& order = QStringLiteral("rowid")) {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.prepare(sql + QStringLiteral(" WHERE record_id IN (") + chosen +
                  QStringLiteral(") ORDER BY ") + order);
        for (const QVariant& v : binds) q.addBindValue(v);
        if (!q.exec()) return;
        while (q.next())
            if (const auto at = byId.find(q.value(0).toLongLong()); at != byId.end())
                take(*at->second, q);
    };
    run(QStringLiteral("SELECT record_id, angle, l, a, b, delta_e, before_delta_e FROM angles"),
        [](CheckRecord& r, const QSqlQuery& q) {
            const int a = q.value(1).toInt();
            if (a < 0 || a >= kAngleCount) return;
            r.angles[a] = {{real(q.value(2)), real(q.value(3)), real(q.value(4))},
                           real(q.value(5)),
                           real(q.value(6))};
        });
    run(QStringLiteral("SELECT record_id, path FROM files"),
        [](CheckRecord& r, const QSqlQuery& q) { r.files.push_back(str(q.value(1))); });
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
    "passed, entry, comment, operator FROM records ";

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
    return r;
}
}  // namespace

std::vector<CheckRecord> SqlLogbook::records(const std::string& serial, const std::string& since,
                                             int limit) {
    std::vector<CheckRecord> out;
    if (!open_) return out;
    const QString which =
        QStringLiteral("WHERE serial = ? AND time >= ? ORDER BY time DESC, id DESC LIMIT ?");
    const QVariantList binds{text(serial), text(since), limit};
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(kRecordColumns) + which);
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) return out;
    while (q.next()) out.push_back(fromRow(q));
    readDetails(out, QStringLiteral("SELECT id FROM records ") + which, binds);
    return out;
}

std::optional<CheckRecord> SqlLogbook::recordById(std::int64_t id) {
    if (!open_) return std::nullopt;
    QSqlQuery q(db_);
    q.prepare(QString::fromLatin1(kRecordColumns) + QStringLiteral("WHERE id = ?"));
    q.addBindValue(qlonglong(id));
    if (!q.exec() || !q.next()) return std::nullopt;
    std::vector<CheckRecord> one{fromRow(q)};
    readDetails(one, QStringLiteral("SELECT ?"), {qlonglong(id)});
    return one.front();
}

}  // namespace qv
