#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/link/reply_judgement.h"
#include "core/app/serial_channel.h"

namespace qv {

// What one exchange (a command, then its reply line) came to.
enum class ExchangeOutcome {
    Ok,           // the reply passed its judgement
    WriteFailed,  // the command could not be built or written; nothing was read
    NoReply,      // nothing arrived within the time-out
    Refused,      // a reply came but failed its judgement
};

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::WriteFailed;
    std::string reply;  // as received, carriage return kept

    bool ok() const { return outcome == ExchangeOutcome::Ok; }
};

using ReplyJudge = bool (*)(std::string_view reply);

// Sends the command once and judges the one reply line read with `timeoutS` (no retry).
ExchangeResult exchange(SerialChannel& port, std::string_view command, int timeoutS,
                        ReplyJudge judge = judgeNonEmpty);

// The same for a built command; a command its builder refused counts as a failed write.
ExchangeResult exchange(SerialChannel& port, const std::optional<std::string>& command,
                        int timeoutS, ReplyJudge judge = judgeNonEmpty);

}  // namespace qv
