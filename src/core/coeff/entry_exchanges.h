#pragma once

// The exchanges with the instrument's user-calibration entries: list, query, write, delete.
// They take the clock of the thread they run on: the entry list runs on a worker.

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_state.h"
#include "core/link/exchange.h"

namespace qv {

// One row of the entry list.
struct EntryRow {
    int entry = 0;           // 1 to 30
    std::string number;      // "001" to "030"
    std::string comment;     // empty: a free entry, unless it could not be read
    std::string unreadable;  // why the entry's state is not known; empty when it was read
    std::string timeStamp;   // of an occupied entry, as the instrument keeps it
    std::string serial;      // the instrument an occupied entry was made for
};

// Identifies the instrument (type 53 only), then reads the state of entries 1 to 30,
// handing each row to `onRow` as it comes. `stop` is looked at before each entry, so a stop
// takes effect once the exchange under way is over. Returns the failure of the identification
// (ok() when it passed; the list reads on whatever the single entries answer).
LinkError readEntryList(SerialChannel& port, Clock& clock, const std::atomic<bool>& stop,
                        const std::function<void(const EntryRow&)>& onRow);

// UCR for one entry; the reply as received (empty when none came).
ExchangeResult queryEntry(SerialChannel& port, Clock& clock, int entry);
// Queries the entry (UCR) and judges the reply.
EntryState readEntryState(SerialChannel& port, Clock& clock, int entry);

// What is written into an entry.
struct EntryContents {
    int entry = 0;
    std::string comment;    // at most 16 characters
    std::string timeStamp;  // "dd.mm.yyyy hh:mm:ss"
    std::string serial;     // the connected instrument's
    CoefficientBlocks blocks;
};

// Every command of a write, built and checked against its buffer before the first one goes
// out: a write that cannot be sent whole is refused while the entry is still untouched.
struct EntryWritePlan {
    int entry = 0;
    std::optional<std::string> emptyFirst;  // USD, when the entry holds (or may hold) something
    std::string header;                     // UCS,1
    std::array<std::string, kAngleCount> blocks;  // UCS,2 to UCS,4
};

// The plan, or why a command cannot be built ("the UCS,3 command does not fit the
// instrument's 512-byte line").
struct EntryWritePlanResult {
    std::optional<EntryWritePlan> plan;
    std::string refusal;
};
EntryWritePlanResult planEntryWrite(const EntryContents& contents, bool emptyFirst);

// How far a write got: the operator is told exactly this, and the logbook records what the
// entry now holds.
struct EntryWriteProgress {
    bool emptied = false;        // USD went out and was acknowledged
    LinkError emptying;          // why USD was not acknowledged; ok() when it was or none went
    bool headerWritten = false;  // UCS,1 acknowledged: the entry lists its new comment
    int blocksWritten = 0;       // UCS,2 to UCS,4 acknowledged, in angle order
    LinkError failure;           // the command that failed; ok() when everything went in

    bool complete() const { return headerWritten && blocksWritten == kAngleCount; }
};

// Sends the plan: USD first (its outcome does not stop the write: an entry that is still
// occupied refuses UCS,1), then the four UCS commands, each answered "OK00" before the next.
EntryWriteProgress writeEntry(SerialChannel& port, Clock& clock, const EntryWritePlan& plan);

// USD; ok() when the instrument answered "OK00".
LinkError deleteEntry(SerialChannel& port, Clock& clock, int entry);

}  // namespace qv
