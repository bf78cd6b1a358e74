#include "core/app/hold_back.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {

std::string trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

}  // namespace

std::string heldBackText(const std::string& serial, const Clearance& clearance) {
    return serial + ": " + clearance.overdue;
}

Clearance clearance(Logbook* logbook, Prompter& prompter, const std::string& serial,
                    const LocalTime& now) {
    Clearance out;
    const std::vector<std::string> reasons =
        logbook ? logbook->overdueChecks(serial, now) : std::vector<std::string>{};
    if (reasons.empty()) return out;
    out.overdue = overdueText(reasons);
    Message question;
    question.stringId = kStrHeldBack;
    question.icon = Icon::Stop;
    question.buttons = Buttons::OkCancel;
    question.suffix = " " + heldBackText(serial, out);
    // A reason of blanks is no reason: the action stays held back.
    out.overrideReason = trimmed(prompter.askReason(question).value_or(std::string()));
    out.cleared = !out.overrideReason.empty();
    return out;
}

void markCleared(CheckRecord& record, const Clearance& clearance) {
    if (record.overdue.empty()) record.overdue = clearance.overdue;
    record.overrideReason = clearance.overrideReason;
}

}  // namespace qv
