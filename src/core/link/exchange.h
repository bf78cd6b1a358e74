#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/link/link_failure.h"
#include "core/link/reply_judgement.h"

namespace qv {

// What one exchange (a command, then its reply line) came to.
struct ExchangeResult {
    LinkFailure failure = LinkFailure::WriteFailed;
    std::string reply;  // as received, carriage return kept

    bool ok() const { return failure == LinkFailure::None; }
};

using ReplyJudge = bool (*)(std::string_view reply);

// Sends the command once and judges the one reply line read with `timeoutS` (no retry), waiting
// with `clock`: the caller's thread decides how a wait is spent. A reply that fails `judge` is
// Refused when it starts with a known refusal code, Unrecognised otherwise; an empty reply on a
// line that hung up is HungUp.
ExchangeResult exchange(SerialChannel& port, Clock& clock, std::string_view command, int timeoutS,
                        ReplyJudge judge = judgeNonEmpty);

// The same for a built command; a command its builder refused counts as a failed write.
ExchangeResult exchange(SerialChannel& port, Clock& clock,
                        const std::optional<std::string>& command, int timeoutS,
                        ReplyJudge judge = judgeNonEmpty);

// The failure of an exchange as the vocabulary words it, at `step`.
LinkError linkError(const ExchangeResult& result, std::string_view step, int angle = -1);

// The same failure seen on `port` without an exchange result (a raw read, or a write that did
// not go out): HungUp when the line is gone.
LinkError linkError(LinkFailure failure, const SerialChannel& port, std::string_view step,
                    int angle = -1);

}  // namespace qv
