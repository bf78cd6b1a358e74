#include "core/checks/threshold_workflow.h"

#include <cmath>
#include <optional>

#include "core/app/number_format.h"
#include "core/app/profile_store.h"
#include "core/app/prompter.h"
#include "core/app/shared_state.h"

namespace qv {

namespace {
std::string_view keyOf(ThresholdField field) {
    return field == ThresholdField::Repeat ? key::kDefThreshold : key::kInstThreshold;
}

bool inRange(double value) {
    return value >= kMinThreshold && value <= kMaxThreshold;
}

}  // namespace

ThresholdWorkflow::ThresholdWorkflow(const Seams& seams)
    : state_(seams.state),
      profile_(seams.profile),
      prompter_(seams.prompter),
      decimal_(seams.format.decimalSeparator) {}

const ThresholdView& ThresholdWorkflow::open() {
    for (ThresholdField field : {ThresholdField::Repeat, ThresholdField::Inst}) {
        const bool repeat = field == ThresholdField::Repeat;
        double& shared = repeat ? state_.defThreshold : state_.instThreshold;
        const std::string text = profile_.read(keyOf(field));
        if (text != kNotSet) {
            shared = leadingDouble(text);
            continue;
        }
        // First use: the current value is written down. A repeatability threshold that no
        // check has loaded yet is still 0, which no series could ever pass; the built-in
        // default is written instead.
        if (!inRange(shared)) shared = repeat ? kDefaultRepeatThreshold : kDefaultInstThreshold;
        profile_.write(keyOf(field), formatFixed(shared, 6));
    }
    repeat_ = Threshold{state_.defThreshold, false};
    inst_ = Threshold{state_.instThreshold, false};
    lastEdited_ = ThresholdField::None;
    confirmed_ = declined_ = false;
    savedFormula_ = formulaFromProfile(profile_);
    view_ = ThresholdView{display(repeat_.value), display(inst_.value), savedFormula_};
    return view_;
}

bool ThresholdWorkflow::textChanged(ThresholdField field, const std::string& text) {
    Threshold& t = field == ThresholdField::Repeat ? repeat_ : inst_;
    t.edited = true;
    lastEdited_ = field;
    if (text.size() != 3 || text[0] != decimal_) return false;
    t.value = leadingDouble("0." + text.substr(1));
    view_.repeatText = display(repeat_.value);
    view_.instText = display(inst_.value);
    return true;
}

void ThresholdWorkflow::formulaChosen(DeltaEFormula formula) {
    view_.formula = formula;
}

ThresholdWorkflow::OkResult ThresholdWorkflow::ok(const std::string& repeatText,
                                                  const std::string& instText) {
    const bool formulaChanged = view_.formula != savedFormula_;
    if (lastEdited_ == ThresholdField::None && !formulaChanged) return {true, ThresholdField::None};
    const ThresholdField first =
        lastEdited_ == ThresholdField::Inst ? ThresholdField::Inst : ThresholdField::Repeat;
    const ThresholdField second =
        first == ThresholdField::Inst ? ThresholdField::Repeat : ThresholdField::Inst;
    for (ThresholdField field : {first, second}) {
        ThresholdField focus = ThresholdField::None;
        if (!validate(field, repeatText, instText, focus)) return {false, focus};
    }
    if (formulaChanged && confirmOnce()) {
        profile_.write(key::kDeltaEFormula, profileText(view_.formula));
        savedFormula_ = view_.formula;
    }
    return {true, ThresholdField::None};
}

bool ThresholdWorkflow::validate(ThresholdField field, const std::string& repeatText,
                                 const std::string& instText, ThresholdField& focus) {
    const bool repeat = field == ThresholdField::Repeat;
    Threshold& t = repeat ? repeat_ : inst_;
    if (!t.edited) return true;
    for (char c : repeat ? repeatText : instText) {
        if ((c < '0' || c > '9') && c != '-' && c != decimal_) {
            show(kStrThresholdCharacters, Icon::Exclamation);
            focus = field;
            return false;
        }
    }
    if (!takeIntoMembers(repeatText, instText, focus)) return false;
    if (!confirmOnce()) return true;  // declined: closes with nothing saved
    if (repeat) {
        const double inst = otherForCrossCheck(ThresholdField::Inst);
        if (inst * 0.5 < repeat_.value) {
            show(kStrRepeatAboveHalfInst, Icon::Exclamation, NumberFormat{decimal_}.fixed(inst, 2));
            focus = field;
            return false;
        }
    } else {
        const double rep = otherForCrossCheck(ThresholdField::Repeat);
        if (2.0 * rep > inst_.value) {
            show(kStrInstBelowTwiceRepeat, Icon::Exclamation, NumberFormat{decimal_}.fixed(rep, 2));
            focus = field;
            return false;
        }
    }
    const std::string saved = formatFixed(t.value, 2);
    profile_.write(keyOf(field), saved);
    (repeat ? state_.defThreshold : state_.instThreshold) = leadingDouble(saved);
    return true;
}

bool ThresholdWorkflow::takeIntoMembers(const std::string& repeatText, const std::string& instText,
                                        ThresholdField& focus) {
    for (ThresholdField field : {ThresholdField::Repeat, ThresholdField::Inst}) {
        const bool repeat = field == ThresholdField::Repeat;
        const std::optional<double> value = wholeNumber(repeat ? repeatText : instText, decimal_);
        if (!value || !inRange(*value)) {
            show(value ? kStrThresholdRange : kStrEnterNumber, Icon::Exclamation);
            focus = field;
            return false;
        }
        (repeat ? repeat_ : inst_).value = *value;
    }
    return true;
}

bool ThresholdWorkflow::confirmOnce() {
    if (!confirmed_ && !declined_) {
        Message box;
        box.stringId = kStrSaveThresholds;
        box.icon = Icon::Question;
        box.buttons = Buttons::OkCancel;
        (prompter_.ask(box) == Answer::Ok ? confirmed_ : declined_) = true;
    }
    return confirmed_;
}

double ThresholdWorkflow::otherForCrossCheck(ThresholdField other) {
    if (profile_.read(keyOf(other)) == kNotSet)
        return other == ThresholdField::Repeat ? kDefaultRepeatThreshold : kDefaultInstThreshold;
    const Threshold& t = other == ThresholdField::Repeat ? repeat_ : inst_;
    return roundedToTwoDecimals(t.value);
}

void ThresholdWorkflow::show(int stringId, Icon icon, std::string suffix) {
    Message box;
    box.stringId = stringId;
    box.icon = icon;
    box.suffix = std::move(suffix);
    prompter_.ask(box);
}

std::string ThresholdWorkflow::display(double value) const {
    // A value with more decimals (edited by hand) would be cut by the four-character edit: it
    // is shown, and so judged and saved, with the two decimals the program saves.
    return NumberFormat{decimal_}.general(roundedToTwoDecimals(value));
}

}  // namespace qv
