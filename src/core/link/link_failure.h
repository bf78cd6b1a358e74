#pragma once

// One vocabulary for everything that can go wrong on the link, with the step it happened at.
// Exchanges return it, workflows map it to the message the operator sees, and `describe` words
// it for the command line and for the details of a message box.

#include <string>
#include <string_view>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"

namespace qv {

enum class LinkFailure {
    None,
    WriteFailed,   // the command could not be built or written; nothing was read
    NoReply,       // nothing arrived within the time-out
    HungUp,        // the line is gone (cable pulled, adapter unplugged)
    Refused,       // the instrument answered with a known refusal code
    Unrecognised,  // a reply came but it is not of the expected form
};

struct LinkError {
    LinkFailure kind = LinkFailure::None;
    std::string step;    // the command or line it happened at ("MES", "data line")
    int angle = -1;      // angle index of a data or companion line
    std::string status;  // the refusal code ("ER11"), or the start of an unrecognised reply

    bool ok() const { return kind == LinkFailure::None; }
};

// "no reply to MES", "could not send data line at 45 deg", "STR refused (OK01)".
std::string describe(const LinkError& error);

// The message every instrument workflow shows when its exchange failed: the link to the
// instrument was lost (string 114 under the error caption), the description as its details.
Message lostLinkMessage(const LinkError& error);

}  // namespace qv
