#include "core/checks/verdict_workflow.h"

#include <cmath>

#include "core/app/number_format.h"
#include "core/app/shared_state.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/app/thresholds.h"

namespace qv {

VerdictView openVerdict(VerdictMode mode, const Seams& seams, const std::string& formulaLabel) {
    SharedState& state = seams.state;
    ProfileStore& profile = seams.profile;
    const StringTable& strings = seams.strings;
    const NumberFormat& format = seams.format;
    const bool repeat = mode == VerdictMode::Repeatability;
    VerdictView v;
    v.passed = repeat ? state.repeatPassed : state.interInstPassed;
    if (repeat) {
        v.line1 = strings.text(v.passed ? kStrRepeatPassedLine1 : kStrRepeatFailedLine1);
        v.line2 = strings.text(v.passed ? kStrRepeatPassedLine2 : kStrRepeatFailedLine2);
    } else {
        v.line1 = strings.text(v.passed ? kStrInstPassedLine1 : kStrInstFailedLine1);
        v.line2 = v.passed ? " " : strings.text(kStrInstFailedLine2);
    }
    v.picture = v.passed ? kPassPicture : kFailPicture;

    double& threshold = repeat ? state.defThreshold : state.instThreshold;
    threshold = thresholdFromProfile(profile, repeat);
    v.thresholdValue = threshold;
    // The decisive value is shown as it was judged to two decimals.
    v.measuredValue =
        roundedToTwoDecimals(repeat ? state.repeatMaxDeltaE : state.interInstMaxDeltaE);
    // A difference that could not be computed is shown like an empty field, not as "nan".
    v.measuredText = !std::isfinite(v.measuredValue) ? std::string(kNoValueText)
                                                     : format.general(v.measuredValue);
    v.thresholdText = format.general(v.thresholdValue);
    v.formulaLabel =
        formulaLabel.empty() ? displayLabel(formulaFromProfile(profile)) : formulaLabel;
    return v;
}

}  // namespace qv
