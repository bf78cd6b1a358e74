#pragma once

// The exchanges with the instrument's user-calibration entries: list, query, write, delete.
// They take the clock of the thread they run on: the entry list runs on a worker.

#include <atomic>
#include <functional>
#include <string>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/link/exchange.h"

namespace qv {

// One row of the entry list.
struct EntryRow {
    int entry = 0;        // 1 to 30
    std::string number;   // "001" to "030"
    std::string comment;  // empty: a free entry
};

// Identifies the instrument (type 53 only), then reads the comments of entries 1 to 30,
// handing each row to `onRow` as it comes. `stop` is looked at before each entry, so a stop
// takes effect once the exchange under way is over. Returns the failure of the identification
// (ok() when it passed; the list reads on whatever the single entries answer).
LinkError readEntryList(SerialChannel& port, Clock& clock, const std::atomic<bool>& stop,
                        const std::function<void(const EntryRow&)>& onRow);

// UCR for one entry; the reply as received (empty when none came).
ExchangeResult queryEntry(SerialChannel& port, Clock& clock, int entry);

// What is written into an entry.
struct EntryContents {
    int entry = 0;
    std::string comment;    // at most 16 characters
    std::string timeStamp;  // "dd.mm.yyyy hh:mm:ss"
    std::string serial;     // the connected instrument's
    CoefficientBlocks blocks;
};

// The four UCS commands; each must be answered "OK00" before the next goes out. The failure
// names the command that failed ("UCS,3").
LinkError writeEntry(SerialChannel& port, Clock& clock, const EntryContents& contents);

// USD; ok() when the instrument answered "OK00".
LinkError deleteEntry(SerialChannel& port, Clock& clock, int entry);

}  // namespace qv
