// The tiles' certificates in the logbook: only ever added to, the same certificate recognised
// when it comes again, one with the same number and other certified values refused.
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "platform/log/logbook_schema.h"
#include "platform/log/sql_logbook.h"
#include "platform/log/sql_values.h"

namespace qv {

using namespace sqlvalues;

namespace {

// A row as the core reads it back; nothing when its texts are not a certificate's.
std::optional<StoredTileCertificate> rowOf(const QSqlQuery& q) {
    StoredTileCertificate s;
    s.id = q.value(0).toLongLong();
    if (!readCertifiedValuesText(str(q.value(3)), s.certificate) ||
        !readLabValuesText(str(q.value(4)), s.certificate) ||
        s.certificate.tile != str(q.value(1)) || s.certificate.number != str(q.value(2)) ||
        !certificateProblem(s.certificate).empty())
        return std::nullopt;
    s.recordedBy = str(q.value(5));
    s.recordedAt = str(q.value(6));
    return s;
}

}  // namespace

std::vector<TileCertificate> certificatesOf(const TileCertificates& read) {
    std::vector<TileCertificate> out;
    for (const StoredTileCertificate& s : read.rows) out.push_back(s.certificate);
    return out;
}

std::optional<TileCertificates> SqlLogbook::tileCertificates(const std::string& tile) {
    readFailed_ = !open_;
    if (!open_) return std::nullopt;
    const auto armed = watched();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT id, tile, number, certified, lab_values, recorded_by, "
                             "recorded_at FROM tile_certificates") +
              (tile.empty() ? QString() : QStringLiteral(" WHERE tile = ?")) +
              QStringLiteral(" ORDER BY id DESC"));
    if (!tile.empty()) q.addBindValue(text(tile));
    if (!q.exec()) {
        readFailed_ = true;
        why_ = failure(q.lastError());
        return std::nullopt;
    }
    TileCertificates out;
    while (q.next()) {
        if (auto row = rowOf(q))
            out.rows.push_back(std::move(*row));
        else
            ++out.unreadable;
    }
    return out;
}

CertificateAdded SqlLogbook::addTileCertificate(const TileCertificate& c, std::string& why) {
    why = certificateProblem(c);
    if (!why.empty()) return CertificateAdded::Refused;
    if (!open_) return why = "the logbook " + path_ + " cannot be used", CertificateAdded::Refused;
    const std::string certified = certifiedValuesText(c), lab = labValuesText(c);
    if (certified.size() > std::size_t(kMaxTextChars) || lab.size() > std::size_t(kMaxTextChars))
        return why = "the certificate is too long to keep", CertificateAdded::Refused;
    const auto on = tileCertificates(c.tile);
    if (!on) return why = why_.toStdString(), CertificateAdded::Refused;
    for (const StoredTileCertificate& s : on->rows) {
        if (s.certificate.number != c.number) continue;
        if (certifiedValuesText(s.certificate) != certified)
            return why = "certificate " + c.number + " of tile " + c.tile +
                         " is on record with other certified values, which never change",
                   CertificateAdded::Refused;
        if (labValuesText(s.certificate) == lab) return CertificateAdded::AlreadyRecorded;
    }
    const auto armed = watched();
    QSqlQuery q(db_);
    if (engine_ == LogbookEngine::PostgreSQL)
        q.prepare(QStringLiteral("SELECT logbook_add_tile_certificate(?, ?, ?, ?)"));
    else
        q.prepare(QStringLiteral(
            "INSERT INTO tile_certificates(tile, number, certified, lab_values, recorded_by, "
            "recorded_at) VALUES(?, ?, ?, ?, ?, strftime('%Y-%m-%dT%H:%M:%fZ'))"));
    for (const std::string* v : {&c.tile, &c.number, &certified, &lab}) q.addBindValue(text(*v));
    if (engine_ == LogbookEngine::SQLite) q.addBindValue(text(operatorName()));
    if (!q.exec()) {
        why_ = failure(q.lastError());
        return why = why_.toStdString(), CertificateAdded::Refused;
    }
    // The server's function gives no number when another workstation added it meanwhile.
    if (engine_ == LogbookEngine::PostgreSQL && q.next() && q.value(0).isNull())
        return CertificateAdded::AlreadyRecorded;
    return CertificateAdded::Added;
}

}  // namespace qv
