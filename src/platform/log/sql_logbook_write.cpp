// Adding records: the record as rows of this workstation's file, or handed to the server's one
// function that adds a record with all its rows.
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "core/app/string_ids.h"
#include "core/log/result_file_import.h"
#include "platform/app/atomic_file_store.h"
#include "platform/log/sql_logbook.h"
#include "platform/log/sql_values.h"

namespace qv {

using namespace sqlvalues;

SqlLogbook::Inserted SqlLogbook::insert(const CheckRecord& r, const std::string& digest,
                                        const std::string& waitingFor,
                                        const std::string& refusedFor) {
    if (!open_) return {};
    // A record kept because a server refused it is this workstation's only copy: it is kept
    // whatever it holds. Any other is checked the same way on both engines.
    if (refusedFor.empty()) {
        if (const std::string why = whyRefused(r); !why.empty()) {
            why_ = QString::fromStdString(why);
            return {Sent::Refused, 0};
        }
    }
    if (engine_ == LogbookEngine::PostgreSQL) return insertOnServer(r, digest);
    if (!db_.transaction()) {
        why_ = db_.lastError().text();
        return {};
    }
    QSqlQuery q(db_);
    // A record the logbook holds already (by its identity) is left as it is: a record sent twice
    // is recorded once.
    q.prepare(QStringLiteral(
        "INSERT INTO records(kind, serial, instrument_type, reference_serial, time, threshold, "
        "formula, passed, entry, comment, operator, uuid, workstation, readings, handling, "
        "specimen, factors, utc_offset, instant, overdue, override_reason) "
        "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) "
        "ON CONFLICT(uuid) DO NOTHING RETURNING id"));
    for (const QVariant& v : {QVariant(text(std::string(kindName(r.kind)))),
                              QVariant(text(r.serial)),
                              QVariant(text(r.instrumentType)),
                              QVariant(text(r.referenceSerial)),
                              QVariant(text(logbookTime(r.time))),
                              real(r.threshold),
                              QVariant(text(r.formula)),
                              r.passed ? QVariant(int(*r.passed)) : QVariant(),
                              QVariant(r.entry),
                              QVariant(text(r.comment)),
                              QVariant(text(r.operatorName)),
                              r.uuid.empty() ? QVariant() : QVariant(text(r.uuid)),
                              QVariant(text(r.workstation)),
                              QVariant(r.readings),
                              QVariant(int(r.handling)),
                              QVariant(text(r.specimen)),
                              QVariant(text(factorsText(r.factors))),
                              r.utcOffsetMinutes ? QVariant(*r.utcOffsetMinutes) : QVariant(),
                              QVariant(text(logbookInstant(r.time, r.utcOffsetMinutes))),
                              QVariant(text(r.overdue)),
                              QVariant(text(r.overrideReason))})
        q.addBindValue(v);
    bool ok = q.exec();
    if (ok && !q.next()) {
        db_.rollback();
        return {Sent::AlreadyThere, 0};
    }
    const std::int64_t id = ok ? q.value(0).toLongLong() : 0;
    if (!ok) why_ = q.lastError().text();
    q.finish();
    ok = ok && insertRows(id, r, digest) && markUnsent(id, waitingFor, refusedFor);
    if (ok && db_.commit()) return {Sent::Added, id};
    if (ok) why_ = db_.lastError().text();
    db_.rollback();
    return {};
}

bool SqlLogbook::markUnsent(std::int64_t id, const std::string& server,
                            const std::string& refused) {
    if (server.empty()) return true;
    QSqlQuery wait(db_);
    wait.prepare(QStringLiteral("INSERT INTO unsent(record_id, server, refused) VALUES(?,?,?)"));
    wait.addBindValue(qlonglong(id));
    wait.addBindValue(text(server));
    wait.addBindValue(refused.empty() ? QVariant() : QVariant(text(refused)));
    if (wait.exec()) return true;
    why_ = wait.lastError().text();
    return false;
}

SqlLogbook::Inserted SqlLogbook::insertOnServer(const CheckRecord& r, const std::string& digest) {
    const auto armed = watched();
    // One statement, one round trip: a prepared one would cost three (prepare, execute, free).
    // The record goes as a literal the driver quotes, exactly as it quotes a prepared one's
    // values.
    QSqlField json(QStringLiteral("r"), QMetaType(QMetaType::QString));
    json.setValue(QString::fromUtf8(serverRecordJson(r, digest)));
    QSqlQuery q(db_);
    if (q.exec(QStringLiteral("SELECT logbook_add(CAST(") + db_.driver()->formatValue(json) +
               QStringLiteral(" AS jsonb))")) &&
        q.next()) {
        if (q.value(0).isNull()) return {Sent::AlreadyThere, 0};
        return {Sent::Added, q.value(0).toLongLong()};
    }
    const QSqlError error = q.lastError();
    // Two workstations sending the same file's check at once: the second finds it there.
    if (error.nativeErrorCode() == QLatin1String("23505")) return {Sent::AlreadyThere, 0};
    why_ = failure(error);
    const bool refused = classifySqlState(error.nativeErrorCode()) == SendFailure::Refused;
    return {refused ? Sent::Refused : Sent::Failed, 0};
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
                                "mean_after_factors, mean_after_model, held_out_rms, l_low, "
                                "l_high, c_low, c_high, h_from, h_to) "
                                "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                 {qlonglong(id), a, text(d.decision), text(d.reason), finite(d.meanAfterFactors),
                  finite(d.meanAfterModel), finite(d.heldOutRmsAfterFactors),
                  finite(d.lightnessLow), finite(d.lightnessHigh), finite(d.chromaLow),
                  finite(d.chromaHigh), finite(d.hueFrom), finite(d.hueTo)}))
            return false;
        for (std::size_t k = 0; k < d.terms.size(); ++k) {
            const TermRecord& t = d.terms[k];
            if (!run(QStringLiteral("INSERT INTO diagnosis_terms(record_id, angle, position, term, "
                                    "estimate, standard_error, identified) VALUES(?,?,?,?,?,?,?)"),
                     {qlonglong(id), a, int(k), text(t.key), finite(t.value),
                      finite(t.standardError), int(t.identified)}))
                return false;
        }
        for (std::size_t k = 0; k < d.tiles.size(); ++k) {
            const TileDifferenceRecord& t = d.tiles[k];
            if (!run(QStringLiteral("INSERT INTO diagnosis_tiles(record_id, angle, position, l, a, "
                                    "b, read_l, read_a, read_b, held_out_l, held_out_a, "
                                    "held_out_b) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"),
                     {qlonglong(id), a, int(k), finite(t.reference[0]), finite(t.reference[1]),
                      finite(t.reference[2]), finite(t.read[0]), finite(t.read[1]),
                      finite(t.read[2]), finite(t.heldOut[0]), finite(t.heldOut[1]),
                      finite(t.heldOut[2])}))
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
    if (!r.utcOffsetMinutes) r.utcOffsetMinutes = systemUtcOffset(r.time);
    return r;
}

std::int64_t SqlLogbook::record(const CheckRecord& check) {
    CheckRecord r = completed(check);
    if (open_) {
        if (const Inserted added = insert(r, newDigestOf(r.files)); added.outcome == Sent::Added)
            return added.id;
    }
    // Told for every check it happens to, not once: each is a check missing from the logbook.
    ++notRecorded_;
    if (tell_)
        tell_("This check is not recorded: the logbook " + path_ + " could not take it (" +
              why_.toStdString() + "); its result files were written.");
    return 0;
}

std::int64_t SqlLogbook::recordWaiting(const CheckRecord& check, const std::string& server,
                                       const std::string& refused) {
    if (!open_) return 0;
    CheckRecord r = completed(check);
    const Inserted added = insert(r, newDigestOf(r.files), server, refused);
    return added.outcome == Sent::Added ? added.id : 0;
}

SqlLogbook::Inserted SqlLogbook::send(const CheckRecord& r, const std::string& digest) {
    // The same file may have reached the server another way (imported from a folder): the
    // record still goes, without the digest the logbook knows already (a server's function
    // sees to that itself, in the same statement).
    const bool known = !digest.empty() && engine_ == LogbookEngine::SQLite && knowsDigest(digest);
    return insert(r, known ? std::string() : digest);
}

std::vector<std::int64_t> SqlLogbook::waiting() {
    std::vector<std::int64_t> out;
    QSqlQuery q(db_);
    if (!open_ || !q.exec(QStringLiteral(
                      "SELECT record_id FROM unsent WHERE refused IS NULL ORDER BY record_id")))
        return out;
    while (q.next()) out.push_back(q.value(0).toLongLong());
    return out;
}

bool SqlLogbook::markRefused(std::int64_t id, const std::string& why) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("UPDATE unsent SET refused = ? WHERE record_id = ?"));
    q.addBindValue(text(why.empty() ? std::string("refused") : why));
    q.addBindValue(qlonglong(id));
    return open_ && q.exec() && q.numRowsAffected() == 1;
}

std::vector<SqlLogbook::RefusedRecord> SqlLogbook::refused() {
    std::vector<RefusedRecord> out;
    QSqlQuery q(db_);
    if (!open_ || !q.exec(QStringLiteral(
                      "SELECT u.record_id, r.serial, r.time, u.refused FROM unsent u JOIN "
                      "records r ON r.id = u.record_id WHERE u.refused IS NOT NULL ORDER BY "
                      "u.record_id")))
        return out;
    while (q.next())
        out.push_back({q.value(0).toLongLong(), str(q.value(1)), str(q.value(2)), str(q.value(3))});
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
    const auto armed = watched();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT 1 FROM files WHERE digest = ?"));
    q.addBindValue(text(digest));
    return open_ && q.exec() && q.next();
}

bool SqlLogbook::knowsFile(const std::string& path) {
    const auto armed = watched();
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

bool SqlLogbook::setCheckInterval(CheckKind kind, const CheckInterval& interval, std::string& why) {
    why = whyNotInterval(interval);
    if (!why.empty()) return false;
    if (!open_) {
        why = "the logbook " + path_ + " cannot be used";
        return false;
    }
    const auto armed = watched();
    QSqlQuery q(db_);
    const QVariant days = interval.days ? QVariant(*interval.days) : QVariant();
    if (engine_ == LogbookEngine::PostgreSQL) {
        q.prepare(QStringLiteral("SELECT logbook_set_interval(?, ?, ?)"));
    } else {
        q.prepare(
            QStringLiteral("INSERT INTO check_intervals(kind, days, lead_days, set_by, "
                           "set_at) VALUES(?, ?, ?, ?, strftime('%Y-%m-%dT%H:%M:%fZ'))"));
    }
    q.addBindValue(text(std::string(checkKindName(kind))));
    q.addBindValue(days);
    q.addBindValue(interval.leadDays);
    if (engine_ == LogbookEngine::SQLite) q.addBindValue(text(operatorName()));
    if (q.exec()) return true;
    why_ = failure(q.lastError());
    why = why_.toStdString();
    return false;
}

}  // namespace qv
