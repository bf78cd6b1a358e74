#pragma once

// Result files written before the logbook existed, or copied from another machine, read back
// as the record their check would have made. A file is known by its layout (the keys of its
// header lines and where its blocks stand), never by its name, which the operator may have
// changed. Everything read is untrusted: a file that is not laid out as one of ours is named
// with the line where it stops matching, never half read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"

namespace qv {

// No result file comes near this; anything larger is not read at all.
inline constexpr std::size_t kMaxImportBytes = 4 * 1024 * 1024;

struct ResultFileRead {
    // A check as the file tells it: kind, serials, time (from the date line) and the values
    // per angle the file holds; the caller adds the file's path.
    std::optional<CheckRecord> record;
    // One of the program's files, even without a record (a target measurement is no check).
    bool ours = false;
    // Without a record, why not, in English.
    std::string reason;
};

// Known by the table of result kinds. Numbers may use either decimal separator and the list separator the date line shows, so a
// file from a machine with other separators is read as well.
ResultFileRead recordFromResultFile(std::string_view text, const NumberFormat& format,
                                    const StringTable& texts);

// A 64-bit digest of the bytes (FNV-1a) as 16 hexadecimal digits: the same contents, under
// whatever name, are recorded once.
std::string contentDigest(std::string_view bytes);

}  // namespace qv
