#pragma once

#include "core/app/seams.h"
#include "core/coeff/file_choice.h"
#include "core/colour/evaluate_hue_control.h"

namespace qv {

// Taking the target from a file of the reference instrument's readings (a target result file
// is one) instead of measuring it.
class RegistrationWorkflow {
public:
    RegistrationWorkflow(const Seams& seams, EvaluateHueControl& colour);

    bool browse();
    // True when the target was registered and the dialog closes.
    bool registerTarget();
    void cancel();

    const std::string& path() const { return choice_.path(); }
    bool fileLoaded() const { return fileLoaded_; }
    const CoordinateTexts& target() const { return target_; }
    const ThreeAngles& work() const { return work_; }

private:
    bool refuse(int stringId, std::string detail);
    void completeCoordinates();

    Seams s_;
    EvaluateHueControl& colour_;
    FileChoice choice_;
    bool fileLoaded_ = false;
    ThreeAngles work_;
    CoordinateTexts target_;
};

}  // namespace qv
