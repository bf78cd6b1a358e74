#pragma once

// How far the entry an entry-write record stands for holds, for its certificate: the diagnosis
// of the pair from the logbook, the entry's specimen readings and factors from the record
// file the write left, the threshold and formula of the inter-instrument check before it.
//
// The diagnosis is that of the latest tile set of the same instrument (and reference, when the
// write names one) recorded no later than the write: a set read afterwards may already have
// been read through the entry, and its terms would then describe what the entry left rather
// than what it corrects.
//
// The prediction is trusted only where it holds on the specimen itself: the verification after
// the write (the specimen measured again through the entry, before any other entry change of
// the instrument) must have measured what it predicts there, give or take reading noise. That
// noise is what two readings of one specimen may differ by on this instrument: its latest
// repeatability check's threshold, or what that check measured when more; without one the
// built-in repeatability threshold. The verification is one more such reading, and its own
// "does not apply the entry yet" judgement takes the same threshold for no change.

#include <cstdint>
#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/tiles/entry_validity.h"

namespace qv {

struct RecordValidity {
    std::optional<EntryValidity> validity;
    // The tile-set record the diagnosis comes from (when one was found), and the check whose
    // threshold and formula the residual is judged by (none: the built-in threshold and the
    // set's formula).
    std::optional<CheckRecord> set;
    std::optional<CheckRecord> check;
    // The verification the prediction at the specimen is held against, and the repeatability
    // check its noise allowance comes from (none: the built-in threshold).
    std::optional<CheckRecord> verification;
    std::optional<CheckRecord> repeatability;
    double threshold = 0.0;
    std::string formula;  // as the records name it: "dE00", "dE*ab", ...
    // Without a validity, why not, in English; empty for a record that is no entry write.
    std::string problem;
};

// The formula a record names by its label ("dE*ab", "dE94", "dE00", "dE CMC(2:1)"); nothing
// for a label this program does not write.
std::optional<DeltaEFormula> formulaFromLabel(const std::string& label,
                                              DeltaEParameters* parameters = nullptr);

RecordValidity recordValidity(const CheckRecord& write, Logbook& logbook, FileStore& files,
                              const NumberFormat& user, const StringTable& texts);

}  // namespace qv
