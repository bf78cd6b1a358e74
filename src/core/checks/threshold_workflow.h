#pragma once

#include <string>

#include "core/app/prompter.h"
#include "core/app/seams.h"
#include "core/app/string_ids.h"
#include "core/app/thresholds.h"
#include "core/colour/delta_e.h"

namespace qv {

class ProfileStore;
struct SharedState;

inline constexpr int kThresholdEditChars = 4;

enum class ThresholdField { None, Repeat, Inst };

// What the dialog shows: the two edit texts (with the user's decimal separator) and the
// colour-difference formula the thresholds are measured in.
struct ThresholdView {
    std::string repeatText;
    std::string instText;
    DeltaEFormula formula = DeltaEFormula::Cie76;
};

// Editing the repeatability and inter-instrument thresholds. The inter-instrument threshold
// must stay at least twice the repeatability threshold; values are saved as "%.2lf" after one
// confirmation per opening.
class ThresholdWorkflow {
public:
    explicit ThresholdWorkflow(const Seams& seams);

    const ThresholdView& open();
    // An edit's text changed. True when both edits are to be rewritten from the view (a text
    // such as ".25" becomes "0.25").
    bool textChanged(ThresholdField field, const std::string& text);
    void formulaChosen(DeltaEFormula formula);

    struct OkResult {
        bool close = false;
        ThresholdField focus = ThresholdField::None;  // the edit to focus when staying
    };
    OkResult ok(const std::string& repeatText, const std::string& instText);
    const ThresholdView& view() const { return view_; }

private:
    struct Threshold {
        double value = 0.0;
        bool edited = false;
    };
    bool validate(ThresholdField field, const std::string& repeatText, const std::string& instText,
                  ThresholdField& focus);
    bool takeIntoMembers(const std::string& repeatText, const std::string& instText,
                         ThresholdField& focus);
    bool confirmOnce();
    double otherForCrossCheck(ThresholdField other);
    void show(int stringId, Icon icon, std::string suffix = {});
    std::string display(double value) const;

    SharedState& state_;
    ProfileStore& profile_;
    Prompter& prompter_;
    char decimal_;
    Threshold repeat_;
    Threshold inst_;
    ThresholdField lastEdited_ = ThresholdField::None;
    bool confirmed_ = false;
    bool declined_ = false;
    DeltaEFormula savedFormula_ = DeltaEFormula::Cie76;
    ThresholdView view_;
};

}  // namespace qv
