#include "core/checks/verdict_workflow.h"

#include <cmath>

#include "core/app/number_text.h"
#include "core/app/shared_state.h"
#include "core/app/string_table.h"
#include "core/checks/threshold_workflow.h"

namespace qv {

VerdictView openVerdict(VerdictMode mode, SharedState& state, ProfileStore& profile,
                        const StringTable& strings, char decimalSeparator,
                        const std::string& formulaLabel) {
    const bool repeat = mode == VerdictMode::Repeatability;
    VerdictView v;
    v.passed = repeat ? state.repeatPassed : state.interInstPassed;
    if (repeat) {
        v.line1 = strings.text(v.passed ? 108 : 106);
        v.line2 = strings.text(v.passed ? 109 : 107);
    } else {
        v.line1 = strings.text(v.passed ? 168 : 166);
        v.line2 = v.passed ? " " : strings.text(167);
    }
    v.picture = v.passed ? kPassPicture : kFailPicture;

    double& threshold = repeat ? state.defThreshold : state.instThreshold;
    threshold = thresholdFromProfile(profile, repeat);
    v.thresholdValue = threshold;
    // The decisive value is shown as it was judged to two decimals.
    v.measuredValue =
        leadingDouble(formatFixed(repeat ? state.repeatMaxDeltaE : state.interInstMaxDeltaE, 2));
    // A difference that could not be computed is shown like an empty field, not as "nan".
    v.measuredText = !std::isfinite(v.measuredValue)
                         ? std::string(kNoValueText)
                         : withSeparator(formatGeneral(v.measuredValue), decimalSeparator);
    v.thresholdText = withSeparator(formatGeneral(v.thresholdValue), decimalSeparator);
    v.formulaLabel =
        formulaLabel.empty() ? displayLabel(formulaFromProfile(profile)) : formulaLabel;
    return v;
}

}  // namespace qv
