#pragma once

// What the history window, the certificates, the import and the verbs need of a logbook beyond
// recording and reading an instrument's records: the same for the workstation's own file, a
// server, and a server with the file standing in while the server is away.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/logbook.h"

namespace qv {

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
    virtual std::optional<CheckRecord> recordById(std::int64_t id) = 0;
    // As record(), for an imported file, whose operator stays as the file tells (none: not
    // known, never whoever imports it): false when a file with this digest is on record
    // already (nothing added) or the record could not be added.
    virtual bool recordImported(const CheckRecord& record, const std::string& digest) = 0;
    virtual bool knowsDigest(const std::string& digest) = 0;
    // Whether a record names the file at `path` (a check recorded as it wrote the file, before
    // its contents were known too).
    virtual bool knowsFile(const std::string& path) = 0;
};

}  // namespace qv
