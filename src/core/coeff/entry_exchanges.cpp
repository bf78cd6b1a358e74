#include "core/coeff/entry_exchanges.h"

#include "core/coeff/entry_rules.h"
#include "core/link/commands.h"
#include "core/link/identify.h"

namespace qv {

LinkError readEntryList(SerialChannel& port, Clock& clock, const std::atomic<bool>& stop,
                        const std::function<void(const EntryRow&)>& onRow) {
    const IdentifyResult id = IdentifyInstrument(port, clock);
    if (!isType53Instrument(id))
        return id.ok() ? LinkError{LinkFailure::Unrecognised, "IDR", -1, {}} : id.error;
    for (int entry = kFirstEntry; entry <= kLastEntry; ++entry) {
        if (stop.load()) break;
        const ExchangeResult reply = queryEntry(port, clock, entry);
        onRow(
            EntryRow{entry, entryNumberText(entry).value_or(""), listedEntryComment(reply.reply)});
    }
    return {};
}

ExchangeResult queryEntry(SerialChannel& port, Clock& clock, int entry) {
    return exchange(port, clock, buildUcrCommand(entry), kEntryReplyTimeoutS);
}

LinkError writeEntry(SerialChannel& port, Clock& clock, const EntryContents& c) {
    const ExchangeResult header =
        exchange(port, clock, buildUcsHeaderCommand(c.entry, c.comment, c.timeStamp, c.serial),
                 kEntryReplyTimeoutS, judgeStatusPrefix);
    if (!header.ok()) return linkError(header, "UCS,1");
    for (int a = 0; a < kAngleCount; ++a) {
        const ExchangeResult block =
            exchange(port, clock, buildUcsBlockCommand(c.entry, a, c.blocks[a]),
                     kEntryReplyTimeoutS, judgeStatusPrefix);
        if (!block.ok()) return linkError(block, "UCS," + std::to_string(a + 2), a);
    }
    return {};
}

LinkError deleteEntry(SerialChannel& port, Clock& clock, int entry) {
    const ExchangeResult r =
        exchange(port, clock, buildUsdCommand(entry), kEntryReplyTimeoutS, judgeStatusPrefix);
    return r.ok() ? LinkError{} : linkError(r, "USD");
}

}  // namespace qv
