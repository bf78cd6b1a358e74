// Reading records back: an instrument's history, one record, the instruments on record.
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/tiles/tile_set.h"
#include "platform/log/logbook_schema.h"
#include "platform/log/sql_logbook.h"
#include "platform/log/sql_values.h"

namespace qv {

using namespace sqlvalues;

template <typename T>
T SqlLogbook::failedRead(const QSqlQuery& q, T empty) {
    readFailed_ = true;
    why_ = failure(q.lastError());
    return empty;
}

std::vector<LogbookStore::Instrument> SqlLogbook::instruments() {
    std::vector<Instrument> out;
    QSqlQuery q(db_);
    readFailed_ = !open_;
    if (!open_) return out;
    const auto armed = watched();
    if (!q.exec(QStringLiteral("SELECT serial, instrument_type, records, last_time FROM "
                               "instruments ORDER BY serial")))
        return failedRead(q, out);
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

// One row of a diagnosis's tiles, in the order readDetails selects it; no more than a record
// may carry, whatever the table holds.
void diagnosisRow(CheckRecord& r, const QSqlQuery& q) {
    const int a = q.value(1).toInt();
    if (a < 0 || a >= kAngleCount) return;
    if (!r.diagnosis) r.diagnosis.emplace();
    AngleDiagnosisRecord& d = (*r.diagnosis)[a];
    d.decision = str(q.value(2));
    d.reason = str(q.value(3));
    d.meanAfterFactors = real(q.value(4));
    d.meanAfterModel = real(q.value(5));
    d.heldOutRmsAfterFactors = real(q.value(6));
    d.lightnessLow = real(q.value(7));
    d.lightnessHigh = real(q.value(8));
    d.chromaLow = real(q.value(9));
    d.chromaHigh = real(q.value(10));
    d.hueFrom = real(q.value(11));
    d.hueTo = real(q.value(12));
}

// A term of a diagnosis whose angle was read before it (the terms are read after the angles).
void termRow(CheckRecord& r, const QSqlQuery& q) {
    const int a = q.value(1).toInt();
    if (!r.diagnosis || a < 0 || a >= kAngleCount) return;
    (*r.diagnosis)[a].terms.push_back(
        {str(q.value(2)), real(q.value(3)), errorOrInfinite(q.value(4)), q.value(5).toInt() != 0});
}

void tileRow(CheckRecord& r, const QSqlQuery& q) {
    const int a = q.value(1).toInt();
    if (!r.diagnosis || a < 0 || a >= kAngleCount) return;
    std::vector<TileDifferenceRecord>& tiles = (*r.diagnosis)[a].tiles;
    if (tiles.size() >= kMaxTiles) return;
    const auto three = [&q](int from) {
        return std::array<double, 3>{real(q.value(from)), real(q.value(from + 1)),
                                     real(q.value(from + 2))};
    };
    tiles.push_back({three(2), three(5), three(8)});
}
}  // namespace

void SqlLogbook::readDetails(std::vector<CheckRecord>& records, const QString& which,
                             const QVariantList& binds) {
    // One query for the angles and one for the files of all of them, not two for each record:
    // a long history would otherwise cost thousands of queries. The records are chosen again
    // by the same condition, joined: no list of ids is sent, however long the history.
    if (records.empty()) return;
    std::unordered_map<qint64, CheckRecord*> byId;
    for (CheckRecord& r : records) byId.emplace(r.id, &r);
    const QString chosen = QStringLiteral("SELECT id FROM records ") + which;
    const auto run = [&](const QString& sql, const auto& take, const QString& order) {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.prepare(QString::fromStdString(
                      rowsOfRecords(engine_, sql.toStdString(), chosen.toStdString())) +
                  QStringLiteral(" ORDER BY ") + order);
        for (const QVariant& v : binds) q.addBindValue(v);
        if (!q.exec()) {
            failedRead(q, 0);
            return;
        }
        while (q.next())
            if (const auto at = byId.find(q.value(0).toLongLong()); at != byId.end())
                take(*at->second, q);
    };
    run(QStringLiteral("SELECT record_id, angle, l, a, b, delta_e, before_delta_e, sd_l, sd_a, "
                       "sd_b, largest, rms FROM angles"),
        angleRow, QStringLiteral("record_id, angle"));
    run(
        QStringLiteral("SELECT record_id, path, position FROM files"),
        [](CheckRecord& r, const QSqlQuery& q) { r.files.push_back(str(q.value(1))); },
        QStringLiteral("record_id, ") + QString::fromStdString(fileOrder(engine_)));
    run(QStringLiteral("SELECT record_id, angle, decision, reason, mean_after_factors, "
                       "mean_after_model, held_out_rms, l_low, l_high, c_low, c_high, h_from, "
                       "h_to FROM diagnoses"),
        diagnosisRow, QStringLiteral("record_id, angle"));
    run(QStringLiteral("SELECT record_id, angle, term, estimate, standard_error, identified, "
                       "position FROM "
                       "diagnosis_terms"),
        termRow, QStringLiteral("record_id, angle, position"));
    run(QStringLiteral("SELECT record_id, angle, l, a, b, read_l, read_a, read_b, held_out_l, "
                       "held_out_a, held_out_b, position FROM diagnosis_tiles"),
        tileRow, QStringLiteral("record_id, angle, position"));
}

namespace {
constexpr const char* kRecordColumns =
    "SELECT id, kind, serial, instrument_type, reference_serial, time, threshold, formula, "
    "passed, entry, comment, operator, uuid, workstation, readings, handling, specimen, "
    "factors, utc_offset, instant FROM records ";

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
    if (!q.value(18).isNull()) r.utcOffsetMinutes = q.value(18).toInt();
    return r;
}
}  // namespace

std::vector<CheckRecord> SqlLogbook::selectRecords(const QString& which, const QVariantList& binds,
                                                   const QString& detailsOf,
                                                   std::vector<HistoryKey>* keys) {
    std::vector<CheckRecord> out;
    readFailed_ = !open_;
    if (!open_) return out;
    const auto armed = watched();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(kRecordColumns) + which);
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) return failedRead(q, out);
    while (q.next()) {
        out.push_back(fromRow(q));
        if (keys) keys->push_back({str(q.value(19)), out.back().id});
    }
    q.finish();
    readDetails(out, detailsOf.isEmpty() ? which : detailsOf, binds);
    return out;
}

namespace {
// One instrument's records since an instant, newest first; a limit where one is asked for
// (engines disagree on what a negative one means).
QString instrumentRecords(bool since, const QString& extra) {
    return QStringLiteral("WHERE serial = ? ") +
           (since ? QStringLiteral("AND instant >= ? ") : QString()) + extra;
}

QString newestFirst(int limit) {
    return QStringLiteral("ORDER BY instant DESC, id DESC") +
           (limit >= 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString());
}

QVariantList instrumentBinds(const std::string& serial, const std::string& since) {
    QVariantList binds{text(serial)};
    if (!since.empty()) binds.append(text(sinceInstant(since)));
    return binds;
}
}  // namespace

std::vector<CheckRecord> SqlLogbook::records(const std::string& serial, const std::string& since,
                                             int limit) {
    return instrumentHistory(serial, since, limit, {});
}

std::vector<CheckRecord> SqlLogbook::overviewRecords(const std::string& serial,
                                                     const std::string& since) {
    if (since.empty()) return records(serial);
    QVariantList binds{text(serial), text(sinceInstant(since))};
    // Before the period only three columns of each record are read, newest first, to pick the
    // newest of each kind and workstation: the records and their details are then read for
    // the period and those few, not for years of checks.
    QString older;
    {
        readFailed_ = !open_;
        if (!open_) return {};
        const auto armed = watched();
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT id, kind, workstation FROM records WHERE serial = ? AND "
                                 "(instant < ? OR instant IS NULL) ") +
                  newestFirst(-1));
        for (const QVariant& v : binds) q.addBindValue(v);
        if (!q.exec()) return failedRead(q, std::vector<CheckRecord>());
        std::unordered_set<QString> kinds, workstations;
        std::vector<QVariant> ids;
        while (q.next()) {
            const bool newKind = kinds.insert(q.value(1).toString()).second;
            if (workstations.insert(q.value(2).toString()).second || newKind) {
                older += older.isEmpty() ? QStringLiteral("?") : QStringLiteral(", ?");
                ids.push_back(q.value(0));
            }
        }
        for (const QVariant& id : ids) binds << id;
    }
    const QString which = QStringLiteral("WHERE serial = ? AND (instant >= ?") +
                          (older.isEmpty() ? QString() : " OR id IN (" + older + ")") +
                          QStringLiteral(") ");
    return selectRecords(which + newestFirst(-1), binds, which);
}

std::vector<CheckRecord> SqlLogbook::waitingRecords(const std::string& serial,
                                                    const std::string& since, int limit) {
    return instrumentHistory(serial, since, limit,
                             QStringLiteral("AND id IN (SELECT record_id FROM unsent) "));
}

std::vector<CheckRecord> SqlLogbook::instrumentHistory(const std::string& serial,
                                                       const std::string& since, int limit,
                                                       const QString& extra) {
    const QString which = instrumentRecords(!since.empty(), extra);
    // Without a limit the rows of the same records are chosen by the condition alone, which a
    // server joins by its indexes; an order inside would only cost a sort.
    return selectRecords(which + newestFirst(limit), instrumentBinds(serial, since),
                         limit < 0 ? which : QString());
}

std::vector<CheckRecord> SqlLogbook::historyPage(const std::string& serial,
                                                 const std::string& since, Rows rows, int count,
                                                 const std::optional<HistoryKey>& after,
                                                 std::vector<HistoryKey>& keys) {
    QString extra = rows == Rows::Waiting
                        ? QStringLiteral("AND id IN (SELECT record_id FROM unsent) ")
                    : rows == Rows::Numbered ? QStringLiteral("AND id > 0 ")
                                             : QString();
    QVariantList binds = instrumentBinds(serial, since);
    // By the key of the last record given, not by an offset, and as one row value, which both
    // engines take as a range of the index on serial, instant and id: each page is found
    // straight away, however deep in a long history it lies.
    if (after) {
        extra += QStringLiteral("AND (instant, id) < (?, ?) ");
        binds << text(after->instant) << QVariant(qlonglong(after->id));
    }
    const QString which = instrumentRecords(!since.empty(), extra) + newestFirst(count);
    keys.clear();
    return selectRecords(which, binds, {}, &keys);
}

namespace {
// An instrument's history of one logbook, page after page.
class SqlHistoryPages : public HistoryPages {
public:
    SqlHistoryPages(SqlLogbook& book, std::string serial, std::string since)
        : book_(book), serial_(std::move(serial)), since_(std::move(since)) {}
    std::vector<CheckRecord> next(int count) override {
        if (done_ || count <= 0) return {};
        std::vector<SqlLogbook::HistoryKey> keys;
        std::vector<CheckRecord> page =
            book_.historyPage(serial_, since_, SqlLogbook::Rows::All, count, after_, keys);
        failed_ = failed_ || book_.readFailed();
        done_ = failed_ || page.size() < static_cast<std::size_t>(count);
        if (!keys.empty()) after_ = keys.back();
        return page;
    }
    bool failed() const override { return failed_; }

private:
    SqlLogbook& book_;
    std::string serial_;
    std::string since_;
    std::optional<SqlLogbook::HistoryKey> after_;
    bool done_ = false;
    bool failed_ = false;
};
}  // namespace

std::unique_ptr<HistoryPages> SqlLogbook::history(const std::string& serial,
                                                  const std::string& since) {
    return std::make_unique<SqlHistoryPages>(*this, serial, since);
}

std::optional<CheckRecord> SqlLogbook::recordById(std::int64_t id) {
    std::vector<CheckRecord> one =
        selectRecords(QStringLiteral("WHERE id = ?"), {QVariant(qlonglong(id))});
    if (one.empty()) return std::nullopt;
    return one.front();
}

std::optional<CheckIntervals> SqlLogbook::checkIntervals() {
    readFailed_ = !open_;
    if (!open_) return std::nullopt;
    const auto armed = watched();
    QSqlQuery q(db_);
    // Each kind's rows in the order they were set: the last one stands.
    if (!q.exec(QStringLiteral("SELECT kind, days, lead_days FROM check_intervals ORDER BY id")))
        return failedRead(q, std::optional<CheckIntervals>());
    CheckIntervals out{};
    while (q.next())
        if (const auto kind = checkKindFromName(str(q.value(0))))
            out[static_cast<std::size_t>(*kind)] = {
                q.value(1).isNull() ? std::nullopt : std::optional(q.value(1).toInt()),
                q.value(2).toInt()};
    return out;
}

}  // namespace qv
