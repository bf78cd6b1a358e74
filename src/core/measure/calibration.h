#pragma once

#include <string>
#include <string_view>

#include "core/app/local_time.h"
#include "core/app/seams.h"
#include "core/app/string_ids.h"
#include "core/link/link_failure.h"

namespace qv {

// How a calibration step came out; only the first four characters of its reply matter.
enum class CalibrationVerdict {
    Done,         // "OK00"
    Failed,       // a known refusal code, no reply, or the command did not go out
    Unconfirmed,  // anything else: taken as done, but the dialog does not move on visibly
};

enum class CalibrationPicture { Zero, White };

// What the calibration dialog shows.
struct CalibrationView {
    int captionId = 0;      // 0: the dialog's own caption
    int instructionId = 0;  // 0: the zero step's instruction of the dialog layout
    CalibrationPicture picture = CalibrationPicture::Zero;
    bool skipVisible = true;
    bool closed = false;
};

// The result of the last step run, for callers that report it (the command line).
struct CalibrationStepResult {
    bool ran = false;
    bool white = false;  // the step: zero (false) or white (true)
    CalibrationVerdict verdict = CalibrationVerdict::Failed;
    LinkError error;    // the step's failure; Unrecognised for an unconfirmed step
    std::string reply;  // as received, carriage return kept
};

// Zero calibration, then white calibration. The zero step may be skipped; a failed step ends
// the dialog, and so does the white step whatever its outcome.
class CalibrationWorkflow {
public:
    explicit CalibrationWorkflow(const Seams& seams);

    // OK: runs the pending step.
    void confirm();
    // Goes to the white step without sending anything.
    void skipZero();
    // Cancel or closing the window.
    void cancel();

    bool whiteStepPending() const { return s_.state.whiteCalibrationPending; }
    const CalibrationView& view() const { return view_; }
    const CalibrationStepResult& lastStep() const { return last_; }

private:
    CalibrationVerdict runStep(std::string_view command);
    void recordCalibration(const LocalTime& at);
    void showWhiteStep();

    Seams s_;
    CalibrationView view_;
    CalibrationStepResult last_;
};

}  // namespace qv
