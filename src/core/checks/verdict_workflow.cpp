#include "core/checks/verdict_workflow.h"

#include <cmath>

#include "core/app/number_format.h"
#include "core/app/shared_state.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/app/thresholds.h"

namespace qv {

namespace {

std::string typed(const std::string& serial, const std::string& type) {
    if (serial.empty()) return "(not identified)";
    return type.empty() ? serial : serial + " (type " + type + ")";
}

std::string instrumentLine(bool repeat, bool passed, const SharedState& state) {
    if (repeat)
        return "Instrument " + typed(state.repeatSerial, state.repeatType) +
               (passed ? " passed" : " failed") + " the repeatability check";
    return "Reference " + typed(state.targetSerial, {}) + ", under correction " +
           typed(state.sampleSerial, state.sampleType);
}

}  // namespace

VerdictView openVerdict(VerdictMode mode, const CheckVerdict& verdict, const Seams& seams,
                        const std::string& formulaLabel) {
    SharedState& state = seams.state;
    ProfileStore& profile = seams.profile;
    const StringTable& strings = seams.strings;
    const NumberFormat& format = seams.format;
    const bool repeat = mode == VerdictMode::Repeatability;
    VerdictView v;
    v.passed = verdict.passed;
    if (repeat) {
        v.line1 = strings.text(v.passed ? kStrRepeatPassedLine1 : kStrRepeatFailedLine1);
        v.line2 = strings.text(v.passed ? kStrRepeatPassedLine2 : kStrRepeatFailedLine2);
    } else {
        v.line1 = strings.text(v.passed ? kStrInstPassedLine1 : kStrInstFailedLine1);
        v.line2 = v.passed ? " " : strings.text(kStrInstFailedLine2);
    }
    v.picture = v.passed ? kPassPicture : kFailPicture;
    v.instrumentLine = instrumentLine(repeat, v.passed, state);

    double& threshold = repeat ? state.defThreshold : state.instThreshold;
    threshold = thresholdFromProfile(profile, repeat);
    v.thresholdValue = threshold;
    // The decisive value is shown as it was judged to two decimals.
    v.measuredValue = roundedToTwoDecimals(verdict.largest);
    // A difference that could not be computed is shown like an empty field, not as "nan".
    v.measuredText = !std::isfinite(v.measuredValue) ? std::string(kNoValueText)
                                                     : format.general(v.measuredValue);
    v.thresholdText = format.general(v.thresholdValue);
    v.formulaLabel =
        formulaLabel.empty() ? displayLabel(formulaFromProfile(profile)) : formulaLabel;
    v.record = verdict.record;
    return v;
}

}  // namespace qv
