#include "core/link/link_failure.h"

#include "core/colour/spectrum.h"

namespace qv {

std::string describe(const LinkError& error) {
    std::string what = error.step;
    if (error.angle >= 0 && error.angle < kAngleCount)
        // "the line hung up at data line (45 deg)": a second "at" would read as a doubled word.
        what += " (" + std::to_string(kAngleDegrees[error.angle]) + " deg)";
    switch (error.kind) {
        case LinkFailure::None:
            return "ok";
        case LinkFailure::WriteFailed:
            return "could not send " + what;
        case LinkFailure::NoReply:
            return "no reply to " + what;
        case LinkFailure::HungUp:
            return "the line hung up at " + what;
        case LinkFailure::Refused:
            return what + " refused" + (error.status.empty() ? "" : " (" + error.status + ")");
        case LinkFailure::Unrecognised:
            return "unrecognised reply to " + what +
                   (error.status.empty() ? "" : " \"" + error.status + "\"");
    }
    return "ok";
}

Message lostLinkMessage(const LinkError& error) {
    Message m = messageBox(kStrLinkLost, Icon::Stop);
    m.detail = describe(error);
    return m;
}

}  // namespace qv
