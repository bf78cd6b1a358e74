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
    // What an instrument's overview needs in a few queries however long its history: every
    // record since the day `since` (empty: all), and of those before it only the newest of each
    // kind and of each workstation; newest first, as records() gives them.
    virtual std::vector<CheckRecord> overviewRecords(const std::string& serial,
                                                     const std::string& since) = 0;
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
};

}  // namespace qv
