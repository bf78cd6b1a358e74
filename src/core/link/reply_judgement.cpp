#include "core/link/reply_judgement.h"

#include <array>

#include "core/app/string_division.h"

namespace qv {

bool judgeNonEmpty(std::string_view reply) {
    return !reply.empty();
}

bool judgeFirstField(std::string_view reply) {
    return StringDivision(reply).GetField(1) == kAcceptedStatus;
}

bool judgeStatusPrefix(std::string_view reply) {
    return reply.substr(0, 4) == kAcceptedStatus;
}

StatusCode judgeStatusCode(std::string_view reply) {
    static constexpr std::array<std::string_view, 5> kRefusals = {"OK01", "OK02", "OK03", "OK04",
                                                                  "ER11"};
    if (reply.empty()) return StatusCode::NoReply;
    const std::string_view status = reply.substr(0, 4);
    if (status == kAcceptedStatus) return StatusCode::Accepted;
    for (std::string_view refusal : kRefusals) {
        if (status == refusal) return StatusCode::Refused;
    }
    return StatusCode::Unrecognised;
}

}  // namespace qv
