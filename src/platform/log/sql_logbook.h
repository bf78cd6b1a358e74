#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/logbook.h"
#include "core/app/prompter.h"

namespace qv {

// The logbook in an SQLite file (write-ahead logging, one transaction per record, a schema
// version with forward migrations). A file SQLite calls corrupt or no database is moved aside,
// never overwritten, and a new one begun; one that is only locked, read-only or of a newer
// program stays as it is and recording is off for this run. Either way the operator is told
// once, and checks go on.
class SqlLogbook : public Logbook {
public:
    static constexpr int kSchemaVersion = 4;

    // `notify` receives what the operator should learn (once per logbook).
    explicit SqlLogbook(const std::string& path,
                        std::function<void(const std::string&)> notify = {});
    ~SqlLogbook() override;
    SqlLogbook(const SqlLogbook&) = delete;
    SqlLogbook& operator=(const SqlLogbook&) = delete;

    bool isOpen() const { return open_; }
    // Where a damaged file was moved; empty when none was.
    const std::string& setAside() const { return setAside_; }
    const std::string& path() const { return path_; }

    void record(const CheckRecord& record) override;
    // As record(), for an imported file, whose operator stays as the file tells (none: not
    // known, never whoever imports it): false when a file with this digest is on record
    // already (nothing added) or the record could not be added.
    bool recordImported(const CheckRecord& record, const std::string& digest);
    bool knowsDigest(const std::string& digest);
    // Whether a record names the file at `path` (a check recorded as it wrote the file, before
    // its contents were known too).
    bool knowsFile(const std::string& path);

    struct Instrument {
        std::string serial;
        std::string type;
        int records = 0;
        std::string lastTime;  // "YYYY-MM-DD hh:mm:ss"
    };
    std::vector<Instrument> instruments();
    // Newest first; `since` "YYYY-MM-DD" or empty for all.
    std::vector<CheckRecord> records(const std::string& serial, const std::string& since = {},
                                     int limit = -1) override;
    std::optional<CheckRecord> recordById(std::int64_t id);

private:
    enum class Opened { Yes, Damaged, Unusable };
    Opened openFile();
    bool migrate();
    void moveAside();
    void tell(const std::string& what);
    std::optional<std::int64_t> insert(const CheckRecord& record, const std::string& digest);
    bool insertDiagnosis(std::int64_t id, const DiagnosisRecord& diagnosis);
    // The digest of the first file, or empty when it cannot be read or is on record already.
    std::string newDigestOf(const std::vector<std::string>& files);
    // Fills in the angles, files and diagnoses of `records`, whose ids the query `chosen` selects.
    void readDetails(std::vector<CheckRecord>& records, const QString& chosen,
                     const QVariantList& binds);

    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    bool open_ = false;
    bool told_ = false;
    QString why_;  // why the file could not be used
    std::string setAside_;
    std::function<void(const std::string&)> tell_;
};

// "YYYY-MM-DD hh:mm:ss", as the logbook keeps times (they sort as text).
std::string logbookTime(const LocalTime& time);
LocalTime fromLogbookTime(const std::string& text);

// Where every program keeps the logbook: beside the data folder, in the program's own folder
// of the documents; empty when there is no documents folder.
std::string logbookPath();

// A logbook at logbookPath() that tells its problems through message 232 of `prompter`.
std::unique_ptr<SqlLogbook> openLogbook(Prompter& prompter);

// The login name of whoever runs the program.
std::string operatorName();

}  // namespace qv
