#include "core/link/exchange.h"

#include <algorithm>

namespace qv {

namespace {
// The start of a reply kept with an error: its first field, enough to recognise it, with
// control bytes escaped so that a terminal shows it as it came.
constexpr std::size_t kStatusChars = 16;

std::string statusOf(std::string_view reply) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string status;
    for (char c : reply.substr(0, std::min(reply.find(','), kStatusChars))) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') break;
        if (byte >= 0x20 && byte < 0x7f) {
            status += c;
        } else {
            status += "\\x";
            status += kHex[byte >> 4];
            status += kHex[byte & 0xf];
        }
    }
    return status;
}
}  // namespace

ExchangeResult exchange(SerialChannel& port, Clock& clock, std::string_view command, int timeoutS,
                        ReplyJudge judge) {
    ExchangeResult result;
    if (!port.send(command)) {
        result.failure = port.hungUp() ? LinkFailure::HungUp : LinkFailure::WriteFailed;
        return result;
    }
    result.reply = port.receiveLine(clock, timeoutS);
    if (result.reply.empty())
        result.failure = port.hungUp() ? LinkFailure::HungUp : LinkFailure::NoReply;
    else if (judge(result.reply))
        result.failure = LinkFailure::None;
    else if (judgeStatusCode(result.reply) == StatusCode::Refused)
        result.failure = LinkFailure::Refused;
    else
        result.failure = LinkFailure::Unrecognised;
    return result;
}

ExchangeResult exchange(SerialChannel& port, Clock& clock,
                        const std::optional<std::string>& command, int timeoutS, ReplyJudge judge) {
    if (!command) return ExchangeResult{};
    return exchange(port, clock, std::string_view(*command), timeoutS, judge);
}

LinkError linkError(const ExchangeResult& result, std::string_view step, int angle) {
    LinkError error{result.failure, std::string(step), angle, {}};
    if (result.failure == LinkFailure::Refused || result.failure == LinkFailure::Unrecognised)
        error.status = statusOf(result.reply);
    return error;
}

LinkError linkError(LinkFailure failure, const SerialChannel& port, std::string_view step,
                    int angle) {
    if (failure != LinkFailure::None && port.hungUp()) failure = LinkFailure::HungUp;
    return LinkError{failure, std::string(step), angle, {}};
}

}  // namespace qv
