#include "core/link/identify.h"

#include "core/app/string_division.h"
#include "core/link/commands.h"
#include "core/link/exchange.h"

namespace qv {

namespace {

constexpr std::size_t kIdTextOffset = 12;
// The three-field form "OK00, 0, 0, 1" with its carriage return.
constexpr std::size_t kThreeFieldReplyLength = 14;
// The CPS edit: offsets 12 and 13 take the setting 0 as "%2d", offset 5 takes "0".
constexpr std::size_t kCpsSettingOffset = 12;
constexpr std::string_view kCpsSetting = " 0";
constexpr std::size_t kCpsFlagOffset = 5;

bool isThreeFieldForm(StringDivision& fields, std::string_view reply) {
    return fields.GetField(2) == " 0" && fields.GetField(3) == " 0" &&
           fields.GetField(4).substr(0, 2) == " 1" && reply.size() == kThreeFieldReplyLength;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string_view::npos;
         at = text.find(from, start)) {
        out.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    out.append(text.substr(start));
    return out;
}

}  // namespace

std::string identificationText(std::string_view reply) {
    // The line end the receive rules keep is no part of the text.
    while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n')) reply.remove_suffix(1);
    if (reply.size() <= kIdTextOffset) return {};
    const std::string_view rest = reply.substr(kIdTextOffset);
    return std::string(rest.substr(0, rest.find(',')));
}

IdentifyResult classifyIdentification(std::string_view reply) {
    IdentifyResult result;
    result.reply = std::string(reply);
    StringDivision fields(reply);
    const std::string type = fields.GetField(2);
    if (type == "40" || type == "53") {
        result.outcome = type == "40" ? IdentifyOutcome::Type40 : IdentifyOutcome::Type53;
        result.idText = identificationText(reply);
        result.error = {};
    } else if (isThreeFieldForm(fields, reply)) {
        result.outcome = IdentifyOutcome::ThreeField;
        result.error = {};
    } else {
        result.error = linkError(
            ExchangeResult{reply.empty() ? LinkFailure::NoReply : LinkFailure::Unrecognised,
                           std::string(reply)},
            "IDR");
    }
    return result;
}

IdentifyResult IdentifyInstrument(SerialChannel& port, Clock& clock) {
    const ExchangeResult sent = exchange(port, clock, kIdrCommand, kIdentifyReplyTimeoutS);
    IdentifyResult result = classifyIdentification(sent.reply);
    // A dead line or a command that did not go out says more than "no reply".
    if (!sent.ok()) result.error = linkError(sent, "IDR");
    return result;
}

std::string measuredSerial(const IdentifyResult& id) {
    return id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldSerialText)
                                                     : id.idText;
}

void tellIdentified(Activity* activity, const IdentifyResult& id) {
    if (activity && id.ok()) activity->identified(measuredSerial(id), id.modelCode());
}

std::optional<std::string> buildCpsCommand(std::string_view cprReply) {
    std::string command = replaceAll(cprReply, kAcceptedStatus, "CPS");
    // The command buffer holds 49 characters.
    if (!fitsBuffer(command, kSettingsCommandBufferBytes)) return std::nullopt;
    // The CR is the command's only terminator: without it, or with the edit overwriting it,
    // the instrument would run this text into the next command; with a line break or zero byte
    // before it, the instrument would read a second command out of the reply.
    if (command.empty() || command.back() != '\r') return std::nullopt;
    if (command.find_first_of(std::string_view("\r\n\0", 3)) + 1 != command.size())
        return std::nullopt;
    if (command.size() <= kCpsSettingOffset + kCpsSetting.size()) return std::nullopt;
    command.replace(kCpsSettingOffset, kCpsSetting.size(), kCpsSetting);
    command[kCpsFlagOffset] = '0';
    return command;
}

SettingsResetResult runSettingsReset(SerialChannel& port, Clock& clock) {
    const auto failedAt = [](ResetStep step, const ExchangeResult& r) {
        if (r.ok()) return SettingsResetResult{};
        return SettingsResetResult{step, linkError(r, resetStepName(step))};
    };
    const ExchangeResult cpr = exchange(port, clock, kCprCommand, kSettingsReplyTimeoutS);
    if (!cpr.ok()) return failedAt(ResetStep::Cpr, cpr);
    // Sent as built: it ends with the carriage return of the CPR reply and no line feed.
    const ExchangeResult cps =
        exchange(port, clock, buildCpsCommand(cpr.reply), kSettingsReplyTimeoutS);
    if (!cps.ok()) return failedAt(ResetStep::Cps, cps);
    const ExchangeResult usr = exchange(port, clock, kUsrCommand, kSettingsReplyTimeoutS);
    if (!usr.ok()) return failedAt(ResetStep::Usr, usr);
    return failedAt(ResetStep::Uss, exchange(port, clock, kUssCommand, kSettingsReplyTimeoutS));
}

std::string_view resetStepName(ResetStep step) {
    switch (step) {
        case ResetStep::Cpr:
            return "CPR";
        case ResetStep::Cps:
            return "CPS";
        case ResetStep::Usr:
            return "USR";
        case ResetStep::Uss:
            return "USS";
        case ResetStep::None:
            break;
    }
    return {};
}

}  // namespace qv
