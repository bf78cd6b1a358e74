#pragma once

// The spectra behind a logbook record of an inter-instrument check or its verification: the
// target and sample reflectances read back from the judgement file the record points at, so a
// certificate can draw them. The file is untrusted and may have been moved, replaced or edited
// since the check: anything that does not read whole, or names other instruments, is refused
// with the reason.

#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/tiles/set_agreement.h"

namespace qv {

struct RecordSpectra {
    std::optional<TileSpectra> spectra;
    // Without spectra, why not in English (empty for a kind of record that has none).
    std::string problem;
};

RecordSpectra recordSpectra(const CheckRecord& record, FileStore& files, const NumberFormat& user,
                            const StringTable& texts);

}  // namespace qv
