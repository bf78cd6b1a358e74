#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/prompter.h"
#include "platform/log/logbook_location.h"
#include "platform/log/logbook_schema.h"
#include "platform/log/logbook_store.h"
#include "platform/log/server_problem.h"
#include "platform/log/server_watch.h"

namespace qv {

// The logbook in one database: an SQLite file (write-ahead logging) or a PostgreSQL server; one
// transaction per record, a schema version with forward migrations. A file SQLite calls corrupt
// or no database is moved aside, never overwritten, and a new one begun; one that is only
// locked, read-only or of a newer program stays as it is and recording is off for this run.
// Either way the operator is told once, and checks go on. Records are only ever added.
class SqlLogbook : public LogbookStore {
public:
    static constexpr int kSchemaVersion = kLogbookSchemaVersion;

    // The SQLite file at `path`; `notify` receives what the operator should learn (once).
    explicit SqlLogbook(const std::string& path,
                        std::function<void(const std::string&)> notify = {});
    // The server at `location`, brought up to date when older and the user may.
    explicit SqlLogbook(const LogbookLocation& location,
                        std::function<void(const std::string&)> notify = {});
    ~SqlLogbook() override;

    // What the Try button says of a server: connected and its logbook's version read, nothing
    // changed on it. `version` is 0 for a database that holds no logbook yet.
    struct ServerTry {
        ServerProblem problem = ServerProblem::None;
        std::string detail;  // the server's own words
        int version = 0;
    };
    static ServerTry tryServer(const LogbookLocation& location);
    SqlLogbook(const SqlLogbook&) = delete;
    SqlLogbook& operator=(const SqlLogbook&) = delete;

    bool isOpen() const override { return open_; }
    std::string where() const override { return path_; }
    // Where a damaged file was moved; empty when none was.
    const std::string& setAside() const { return setAside_; }
    const std::string& path() const { return path_; }
    LogbookEngine engine() const { return engine_; }
    // Why a server could not be used, and the server's own words.
    ServerProblem problem() const { return problem_; }
    // Whether the last read failed (the server went away, a lock or statement time-out): what
    // it gave is not the logbook's whole answer.
    bool readFailed() const { return readFailed_; }
    std::string why() const { return why_.toStdString(); }

    std::int64_t record(const CheckRecord& record) override;
    bool recordImported(const CheckRecord& record, const std::string& digest) override;
    bool knowsDigest(const std::string& digest) override;
    bool knowsFile(const std::string& path) override;
    std::vector<Instrument> instruments() override;
    // Newest first; `since` "YYYY-MM-DD" or empty for all.
    std::vector<CheckRecord> records(const std::string& serial, const std::string& since = {},
                                     int limit = -1) override;
    std::optional<CheckRecord> recordById(std::int64_t id) override;
    std::unique_ptr<HistoryPages> history(const std::string& serial,
                                          const std::string& since) override;
    std::optional<CheckIntervals> checkIntervals() override;
    bool setCheckInterval(CheckKind kind, const CheckInterval& interval, std::string& why) override;
    // In three queries for the whole fleet, however many instruments and records.
    std::optional<std::vector<InstrumentRecords>> overviewRecords(
        const std::string& since) override;
    std::optional<TileCertificates> tileCertificates(const std::string& tile) override;
    CertificateAdded addTileCertificate(const TileCertificate& certificate,
                                        std::string& why) override;

    // Where a record stands in a history, newest first: a page goes on after the key of the
    // last record of the one before.
    struct HistoryKey {
        std::string instant;
        std::int64_t id = 0;
    };
    // Which of an instrument's records a page is taken from: all, those waiting for a server,
    // or those numbered above zero (a server's own; a lower number was written past the program).
    enum class Rows { All, Waiting, Numbered };
    // Up to `count` of the instrument's records after `after` (from the newest when none), with
    // their keys.
    std::vector<CheckRecord> historyPage(const std::string& serial, const std::string& since,
                                         Rows rows, int count,
                                         const std::optional<HistoryKey>& after,
                                         std::vector<HistoryKey>& keys);

    // A record sent on from elsewhere, as it is: its identity, workstation and operator kept.
    // Failed: the logbook could not be reached or written now; Refused: it never takes this
    // record as it is (too long a text, a value the server's checks refuse), with why().
    enum class Sent { Added, AlreadyThere, Failed, Refused };
    struct Inserted {
        Sent outcome = Sent::Failed;
        std::int64_t id = 0;  // when added
    };
    Inserted send(const CheckRecord& record, const std::string& digest);
    // Records the check here, marked as waiting for the server named `server`, and gives its id;
    // 0 when it could not be. The record is completed (identity, workstation, operator) as
    // record() does. With `refused`, the server's reason for not taking it: kept here, never
    // sent again.
    std::int64_t recordWaiting(const CheckRecord& record, const std::string& server,
                               const std::string& refused = {});
    // The records waiting for a server, oldest first, and one taken off that list once sent.
    std::vector<std::int64_t> waiting();
    bool markSent(std::int64_t id);
    // A waiting record the server refused: kept here with the server's reason, and no longer
    // sent; the list of them, oldest first.
    bool markRefused(std::int64_t id, const std::string& why);
    struct RefusedRecord {
        std::int64_t id = 0;
        std::string serial;
        std::string time;
        std::string why;
    };
    std::vector<RefusedRecord> refused();
    // The digest kept with a record's first file, empty when none.
    std::string digestOf(std::int64_t id);
    // The waiting records of one instrument, as records() gives them.
    std::vector<CheckRecord> waitingRecords(const std::string& serial, const std::string& since,
                                            int limit);

private:
    SqlLogbook() = default;  // a connection only, for tryServer()
    enum class Opened { Yes, Damaged, Unusable };
    Opened openFile();
    bool connectServer(const LogbookLocation& location);
    bool openServer(const LogbookLocation& location);
    bool migrate();
    std::optional<int> schemaVersion();
    bool migrateTo(int version);
    bool migrateOnce(int version);
    void moveAside();
    void tell(const std::string& what);
    Inserted insert(const CheckRecord& record, const std::string& digest,
                    const std::string& waitingFor = {}, const std::string& refusedFor = {});
    // A server adds a record through its one function, in one statement.
    Inserted insertOnServer(const CheckRecord& record, const std::string& digest);
    bool markUnsent(std::int64_t id, const std::string& server, const std::string& refused);
    bool insertRows(std::int64_t id, const CheckRecord& record, const std::string& digest);
    bool insertDiagnosis(std::int64_t id, const DiagnosisRecord& diagnosis);
    // The digest of the first file, or empty when it cannot be read or is on record already.
    std::string newDigestOf(const std::vector<std::string>& files);
    // `detailsOf` chooses the same records for their rows, when it can do so more simply.
    std::vector<CheckRecord> selectRecords(const QString& which, const QVariantList& binds,
                                           const QString& detailsOf = {},
                                           std::vector<HistoryKey>* keys = nullptr);
    std::vector<CheckRecord> instrumentHistory(const std::string& serial, const std::string& since,
                                               int limit, const QString& extra);
    // Marks the read failed, with the server's words, and gives `empty`.
    template <typename T>
    T failedRead(const QSqlQuery& q, T empty);
    // Fills in the angles, files and diagnoses of `records`.
    // `which` and `binds` chose them.
    void readDetails(std::vector<CheckRecord>& records, const QString& which,
                     const QVariantList& binds);

    LogbookEngine engine_ = LogbookEngine::SQLite;
    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    bool open_ = false;
    bool told_ = false;
    QString why_;  // why the logbook could not be used
    ServerProblem problem_ = ServerProblem::None;
    bool lockTimedOut_ = false;
    bool readFailed_ = false;
    std::string setAside_;
    std::function<void(const std::string&)> tell_;
    // A server's statements are cut when the server holds them past its own time-outs.
    std::unique_ptr<ServerWatch> watch_;
    ServerWatch::Armed watched();
    // The server's words for a failure, or what the watch did when it cut the statement.
    QString failure(const QSqlError& error) const;
};

// A record as this workstation adds it: its identity, workstation and operator filled in where
// they are not known yet.
CheckRecord completed(CheckRecord record);

// Why no logbook takes `record` (a text or a list longer than both engines keep); empty when
// it may be recorded.
std::string whyRefused(const CheckRecord& record);

// The record as the server's function logbook_add takes it.
QByteArray serverRecordJson(const CheckRecord& record, const std::string& digest);

// The digest a record's first file is known by; empty when it cannot be read.
std::string firstFileDigest(const std::vector<std::string>& files);

// This system's offset from UTC, in minutes, at that local time; none for no valid time.
std::optional<int> systemUtcOffset(const LocalTime& time);
// The instant of a time with its offset (this system's zone when none is known) in UTC, as
// "YYYY-MM-DD hh:mm:ss": checks of several time zones sort and compare by it.
std::string logbookInstant(const LocalTime& time, std::optional<int> offsetMinutes);
// The instant a day ("YYYY-MM-DD") begins on this system's clock; empty for empty.
std::string sinceInstant(const std::string& day);

// Where every program keeps the logbook: beside the data folder, in the program's own folder
// of the documents; empty when there is no documents folder.
std::string logbookPath();

// The login name of whoever runs the program.
std::string operatorName();

}  // namespace qv
