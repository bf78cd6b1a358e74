#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/app/activity.h"
#include "core/app/serial_channel.h"
#include "core/link/exchange.h"
#include "core/link/link_failure.h"

namespace qv {

// What one identification exchange ("IDR") yields.
enum class IdentifyOutcome { Failed, Type40, Type53, ThreeField };

// What callers show for the identification of a three-field instrument.
inline constexpr std::string_view kThreeFieldIdText = "-----";
inline constexpr std::string_view kThreeFieldSerialText = "--------";

struct IdentifyResult {
    IdentifyOutcome outcome = IdentifyOutcome::Failed;
    // The identification text (characters from offset 12 up to the next comma); empty for
    // the three-field form, whose callers substitute their own row of dashes.
    std::string idText;
    LinkError error{
        LinkFailure::WriteFailed, "IDR", -1, {}};  // why it failed; ok() once identified
    // The reply as received (carriage return kept); empty when none came.
    std::string reply;

    bool ok() const { return outcome != IdentifyOutcome::Failed; }
    // The timing variant: only a type-53 instrument runs without the type-40 waits.
    bool type53() const { return outcome == IdentifyOutcome::Type53; }
    // The type code a caller keeps: "53", or "40" for type 40 and the three-field form.
    std::string modelCode() const { return type53() ? "53" : "40"; }
};

// Classifies an identification reply as received (carriage return kept).
IdentifyResult classifyIdentification(std::string_view reply);

// Characters from offset 12 up to, not including, the next comma (or the end).
std::string identificationText(std::string_view reply);

// Sends "IDR", receives with the identification time-out and classifies the reply.
IdentifyResult IdentifyInstrument(SerialChannel& port, Clock& clock);

// The serial a measurement is recorded under: the identification text, or the row of dashes of
// the three-field form.
std::string measuredSerial(const IdentifyResult& id);

// Tells `activity` (may be null) which instrument answered, when one did.
void tellIdentified(Activity* activity, const IdentifyResult& id);

// The CPS command built from a CPR reply: every "OK00" becomes "CPS", offsets 12 and 13
// become " 0", offset 5 becomes "0". Nothing when the reply does not fit the 50-byte command
// buffer, does not end in a carriage return, holds another line break or a zero byte, or is
// too short to edit at those offsets and still end in it.
std::optional<std::string> buildCpsCommand(std::string_view cprReply);

// The steps of the settings reset, in the order they run.
enum class ResetStep { None, Cpr, Cps, Usr, Uss };

struct SettingsResetResult {
    ResetStep failedStep = ResetStep::None;  // None: every step was answered
    LinkError error;                         // what the failed step came to
    bool ok() const { return failedStep == ResetStep::None; }
};

// The settings reset of a type-53 instrument: CPR, CPS, USR, "USS,0", each answered within
// 5 s. Stops at the first failure (nothing more is sent) and says which step it was; a CPS
// command that cannot be built from the CPR reply fails as a write at CPS.
SettingsResetResult runSettingsReset(SerialChannel& port, Clock& clock);

// The mnemonic of a step ("CPR", "CPS", "USR", "USS"); empty for None.
std::string_view resetStepName(ResetStep step);

}  // namespace qv
