#pragma once

// What the history window, the certificates, the import and the verbs need of a logbook beyond
// recording and reading an instrument's records: the same for the workstation's own file, a
// server, and a server with the file standing in while the server is away.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/logbook.h"
#include "core/log/check_intervals.h"
#include "core/tiles/tile_certificate.h"

namespace qv {

// An instrument's history read a page at a time, newest first: a history of any length costs
// one page's time and memory per page.
class HistoryPages {
public:
    virtual ~HistoryPages() = default;
    // Up to `count` further records; fewer only at the end or when a read failed.
    virtual std::vector<CheckRecord> next(int count) = 0;
    // Whether a read failed: what was given is not the whole history.
    virtual bool failed() const = 0;
};

// A tile's certificate as the logbook keeps it.
struct StoredTileCertificate {
    TileCertificate certificate;
    std::int64_t id = 0;
    std::string recordedBy;
    std::string recordedAt;  // UTC, "YYYY-MM-DDThh:mm:ss.sssZ"
};
struct TileCertificates {
    std::vector<StoredTileCertificate> rows;  // newest first: a tile's first is in force
    int unreadable = 0;  // rows that do not read as a certificate (written past the program)
};
// Added; the same certificate with the same coefficients and limit on record already; or not
// taken (the reason told): a certificate of that number with other certified values, a
// logbook that cannot be written.
enum class CertificateAdded { Added, AlreadyRecorded, Refused };
// The certificates alone, newest first.
std::vector<TileCertificate> certificatesOf(const TileCertificates& read);

class LogbookStore : public Logbook {
public:
    struct Instrument {
        std::string serial;
        std::string type;
        int records = 0;
        std::string lastTime;  // "YYYY-MM-DD hh:mm:ss"
    };

    virtual bool isOpen() const = 0;
    // The file's path or the server's name, for messages.
    virtual std::string where() const = 0;
    virtual std::vector<Instrument> instruments() = 0;
    // The instrument's records since the day `since` ("YYYY-MM-DD", empty for all), in pages.
    virtual std::unique_ptr<HistoryPages> history(const std::string& serial,
                                                  const std::string& since) = 0;
    virtual std::optional<CheckRecord> recordById(std::int64_t id) = 0;
    // As record(), for an imported file, whose operator stays as the file tells (none: not
    // known, never whoever imports it): false when a file with this digest is on record
    // already (nothing added) or the record could not be added.
    virtual bool recordImported(const CheckRecord& record, const std::string& digest) = 0;
    virtual bool knowsDigest(const std::string& digest) = 0;
    // Whether a record names the file at `path` (a check recorded as it wrote the file, before
    // its contents were known too).
    virtual bool knowsFile(const std::string& path) = 0;
    // The lab's check intervals in force (a kind never set has none); nothing when the logbook
    // cannot be read.
    virtual std::optional<CheckIntervals> checkIntervals() = 0;
    // Sets one kind's interval for the whole lab; false, with the reason in `why`, when the
    // logbook does not take it.
    virtual bool setCheckInterval(CheckKind kind, const CheckInterval& interval,
                                  std::string& why) = 0;
    // From the lab's intervals and the instrument's records: none without an interval in
    // force; a history that cannot be read is held back too, since it proves nothing current.
    std::vector<std::string> overdueChecks(const std::string& serial,
                                           const LocalTime& now) override;

    // What the fleet overview reads of every instrument: its records newest first, of them only
    // the newest of each kind, the newest naming its type, and every record from the day
    // `since` ("YYYY-MM-DD", empty for all) that is no older than its newest entry write or
    // deletion; and the workstations of all its records. Nothing when this logbook cannot tell
    // (the overview then reads every record of each instrument).
    struct InstrumentRecords {
        Instrument instrument;
        std::vector<CheckRecord> records;
        std::vector<std::string> workstations;
    };
    virtual std::optional<std::vector<InstrumentRecords>> overviewRecords(
        const std::string& since) {
        (void)since;
        return std::nullopt;
    }

    // The certificates of `tile` (every tile's when empty); nothing when the logbook cannot be
    // read.
    virtual std::optional<TileCertificates> tileCertificates(const std::string& tile) = 0;
    // Adds a tile's certificate, never changing one on record.
    virtual CertificateAdded addTileCertificate(const TileCertificate& certificate,
                                                std::string& why) = 0;
};

}  // namespace qv
