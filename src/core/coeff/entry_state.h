#pragma once

// What an entry holds, as far as the instrument's answer to UCR lets us know. An answer we
// cannot read is never taken for a free entry: whatever may be in there is treated as occupied
// and unknown, so nothing overwrites or empties it without the operator's consent.

#include <string>
#include <string_view>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/link/exchange.h"

namespace qv {

enum class EntryHolds { Free, Occupied, Unknown };

struct EntryState {
    int entry = 0;
    EntryHolds holds = EntryHolds::Unknown;
    std::string comment;    // as the list shows it (white space removed)
    std::string timeStamp;  // "dd.mm.yyyy hh:mm:ss", as the instrument keeps it
    std::string serial;     // the instrument the entry was made for
    std::string reason;     // why it is unknown ("no reply to UCR,1")

    bool free() const { return holds == EntryHolds::Free; }
};

// The entry's state from the reply to its UCR query (pure; the table tests feed it).
EntryState judgeEntryReply(int entry, const ExchangeResult& reply);

// What the entry holds in words for a question's details: "entry 004 holds "LAB 1" (written
// 06.12.2026 05:28:35 for L70S-000042)", "entry 004 is free", "the state of entry 4 could not
// be read: no reply to UCR,1".
std::string describe(const EntryState& state);

}  // namespace qv
