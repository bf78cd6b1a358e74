#include "core/link/exchange.h"

namespace qv {

ExchangeResult exchange(SerialChannel& port, std::string_view command, int timeoutS,
                        ReplyJudge judge) {
    ExchangeResult result;
    if (!port.send(command)) return result;
    result.reply = port.receiveLine(timeoutS);
    if (result.reply.empty())
        result.outcome = ExchangeOutcome::NoReply;
    else
        result.outcome = judge(result.reply) ? ExchangeOutcome::Ok : ExchangeOutcome::Refused;
    return result;
}

ExchangeResult exchange(SerialChannel& port, const std::optional<std::string>& command,
                        int timeoutS, ReplyJudge judge) {
    if (!command) return ExchangeResult{};
    return exchange(port, std::string_view(*command), timeoutS, judge);
}

}  // namespace qv
