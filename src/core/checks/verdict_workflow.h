#pragma once

#include <optional>
#include <string>

#include "core/app/seams.h"

namespace qv {

class ProfileStore;
class StringTable;
struct SharedState;

inline constexpr const char* kPassPicture = "PIC/inf_icon.bmp";
inline constexpr const char* kFailPicture = "PIC/excl_icon.bmp";
inline constexpr int kVerdictPictureSize = 35;
inline constexpr const char* kNoValueText = "---";

enum class VerdictMode { Repeatability, InterInstrument };

// What the verdict window shows at the end of a check. The judgement itself was made by the
// check; this only chooses the texts and picture and puts the decisive value beside its
// threshold.
struct VerdictView {
    bool passed = false;
    std::string line1;
    std::string line2;
    std::string picture;  // relative to the program folder
    double measuredValue = 0.0;
    double thresholdValue = 0.0;
    std::string measuredText;  // up to 15 significant digits, the user's decimal separator
    std::string thresholdText;
    std::string formulaLabel;  // the colour-difference formula both values are in
    // Which instrument the verdict is about: "Instrument L70S-000042 (type 53) passed" for a
    // series; the reference and the instrument under correction for a pair.
    std::string instrumentLine;
    // The logbook's record of this check, whose certificate the window offers; none when the
    // check was not recorded.
    std::optional<CheckRecord> record;
};

// Re-reads the mode's threshold from the profile (a threshold changed since the check counts
// here) and stores it in the shared state. `formulaLabel` names the formula the check was
// judged in; empty: the formula saved in the profile.
VerdictView openVerdict(VerdictMode mode, const CheckVerdict& verdict, const Seams& seams,
                        const std::string& formulaLabel = {});

}  // namespace qv
