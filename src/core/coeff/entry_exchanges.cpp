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
        const EntryState state = readEntryState(port, clock, entry);
        onRow(EntryRow{entry, entryNumberText(entry).value_or(""), state.comment, state.reason,
                       state.timeStamp, state.serial});
    }
    return {};
}

ExchangeResult queryEntry(SerialChannel& port, Clock& clock, int entry) {
    return exchange(port, clock, buildUcrCommand(entry), kEntryReplyTimeoutS);
}

EntryState readEntryState(SerialChannel& port, Clock& clock, int entry) {
    return judgeEntryReply(entry, queryEntry(port, clock, entry));
}

EntryWritePlanResult planEntryWrite(const EntryContents& c, bool emptyFirst) {
    EntryWritePlan plan;
    plan.entry = c.entry;
    const auto refuse = [](const std::string& step) {
        return EntryWritePlanResult{
            std::nullopt,
            "the " + step +
                " command cannot be built: a text holds a line break, "
                "a value is not a number, or the command does not fit the instrument's "
                "line of " +
                std::to_string(kEntryWriteBufferBytes - 1) + " characters"};
    };
    if (emptyFirst) {
        plan.emptyFirst = buildUsdCommand(c.entry);
        if (!plan.emptyFirst) return refuse("USD");
    }
    const auto header = buildUcsHeaderCommand(c.entry, c.comment, c.timeStamp, c.serial);
    if (!header) return refuse("UCS,1");
    plan.header = *header;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto block = buildUcsBlockCommand(c.entry, a, c.blocks[a]);
        if (!block) return refuse("UCS," + std::to_string(a + 2));
        plan.blocks[a] = *block;
    }
    return {std::move(plan), {}};
}

EntryWriteProgress writeEntry(SerialChannel& port, Clock& clock, const EntryWritePlan& plan) {
    EntryWriteProgress p;
    if (plan.emptyFirst) {
        const ExchangeResult emptied = exchange(port, clock, std::string_view(*plan.emptyFirst),
                                                kEntryReplyTimeoutS, judgeStatusPrefix);
        p.emptied = emptied.ok();
        if (!p.emptied) p.emptying = linkError(emptied, "USD");
    }
    const ExchangeResult header = exchange(port, clock, std::string_view(plan.header),
                                           kEntryReplyTimeoutS, judgeStatusPrefix);
    if (!header.ok()) {
        p.failure = linkError(header, "UCS,1");
        return p;
    }
    p.headerWritten = true;
    for (int a = 0; a < kAngleCount; ++a) {
        const ExchangeResult block = exchange(port, clock, std::string_view(plan.blocks[a]),
                                              kEntryReplyTimeoutS, judgeStatusPrefix);
        if (!block.ok()) {
            p.failure = linkError(block, "UCS," + std::to_string(a + 2), a);
            return p;
        }
        p.blocksWritten = a + 1;
    }
    return p;
}

LinkError deleteEntry(SerialChannel& port, Clock& clock, int entry) {
    const ExchangeResult r =
        exchange(port, clock, buildUsdCommand(entry), kEntryReplyTimeoutS, judgeStatusPrefix);
    return r.ok() ? LinkError{} : linkError(r, "USD");
}

}  // namespace qv
