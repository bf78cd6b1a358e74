#pragma once

// Result files already in a folder taken into the logbook: every file the program writes is
// recorded once, whatever it is called now and however often it is imported.

#include <cstddef>
#include <string>
#include <vector>

#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "platform/log/logbook_store.h"

namespace qv {

struct ImportedFile {
    // NotRecorded: one of ours, but the logbook could not take it (its file is fine).
    enum class Outcome { Imported, AlreadyRecorded, Skipped, NotRecorded };
    std::string path;
    Outcome outcome = Outcome::Skipped;
    std::string detail;  // imported: the record's kind; skipped: why
};

// Every "*.csv" directly in `folder`, in the order of their names. A file the logbook holds
// already (the same contents, or a record naming this path) adds nothing.
std::vector<ImportedFile> importFolder(const std::string& folder, LogbookStore& logbook,
                                       const NumberFormat& format, const StringTable& texts);

// How many files were imported, already on record, skipped and not recorded, in one line.
std::string importCounts(const std::vector<ImportedFile>& files);

// The outcome in a few lines for the operator: the counts, then each skipped or unrecorded
// file's name with why (the first `maxNamed` of them).
std::string importSummary(const std::vector<ImportedFile>& files, std::size_t maxNamed = 10);

}  // namespace qv
