#include "core/coeff/entry_state.h"

#include "core/app/string_division.h"
#include "core/coeff/entry_rules.h"
#include "core/link/commands.h"
#include "core/link/reply_judgement.h"

namespace qv {

namespace {
constexpr std::string_view kAnswered = "OK00";

std::string trimmedField(StringDivision& fields, int n) {
    return std::string(trimmed(fields.GetField(n)));
}
}  // namespace

EntryState judgeEntryReply(int entry, const ExchangeResult& reply) {
    EntryState s;
    s.entry = entry;
    // A reply that does not begin "OK00" says nothing about the entry (a refusal, noise, an
    // echo of another command), nor does one without the comma that starts the fields.
    const bool readable = reply.ok() && reply.reply.substr(0, kAnswered.size()) == kAnswered &&
                          reply.reply.size() > kAnswered.size() &&
                          reply.reply[kAnswered.size()] == ',';
    if (!readable) {
        ExchangeResult judged = reply;
        if (judged.ok()) judged.failure = LinkFailure::Unrecognised;
        s.reason = describe(linkError(judged, "UCR,1"));
        return s;
    }
    StringDivision fields(reply.reply);
    s.comment = trimmedField(fields, 2);
    s.timeStamp = trimmedField(fields, 3);
    s.serial = trimmedField(fields, 4);
    s.holds = s.comment.empty() ? EntryHolds::Free : EntryHolds::Occupied;
    return s;
}

std::string describe(const EntryState& s) {
    const std::string number = entryNumberText(s.entry).value_or(std::to_string(s.entry));
    switch (s.holds) {
        case EntryHolds::Free:
            return "entry " + number + " is free";
        case EntryHolds::Occupied: {
            std::string text = "entry " + number + " holds \"" + s.comment + "\"";
            if (!s.timeStamp.empty() || !s.serial.empty())
                text += " (written " +
                        (s.timeStamp.empty() ? std::string("at a time not known") : s.timeStamp) +
                        (s.serial.empty() ? std::string() : " for " + s.serial) + ")";
            return text;
        }
        case EntryHolds::Unknown:
            break;
    }
    return "the state of entry " + std::to_string(s.entry) + " could not be read: " + s.reason;
}

}  // namespace qv
