#pragma once

#include <string>
#include <string_view>

#include "core/app/prompter.h"
#include "core/app/shared_state.h"

namespace qv {

inline constexpr int kCalibrationReplyTimeoutS = 20;
// String numbers: the white step's caption and instruction, the failure message.
inline constexpr int kStrWhiteStep = 110;
inline constexpr int kStrCalibrationFailed = 113;

// How a calibration reply counts; only its first four characters matter.
enum class CalibrationVerdict {
    Done,         // "OK00"
    Failed,       // a known error code, or no reply
    Unconfirmed,  // anything else: taken as done, but the dialog does not move on visibly
};
CalibrationVerdict judgeCalibrationReply(std::string_view reply);

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
    bool writeFailed = false;
    std::string reply;  // as received, carriage return kept
};

// Zero calibration, then white calibration. The zero step may be skipped; a failed step ends
// the dialog, and so does the white step whatever its outcome.
class CalibrationWorkflow {
public:
    CalibrationWorkflow(SharedState& state, Prompter& prompter);

    // OK: runs the pending step.
    void confirm();
    // Goes to the white step without sending anything.
    void skipZero();
    // Cancel or closing the window.
    void cancel();

    bool whiteStepPending() const { return state_.whiteCalibrationPending; }
    const CalibrationView& view() const { return view_; }
    const CalibrationStepResult& lastStep() const { return last_; }

private:
    CalibrationVerdict runStep(std::string_view command);
    void showWhiteStep();

    SharedState& state_;
    Prompter& prompter_;
    CalibrationView view_;
    CalibrationStepResult last_;
};

}  // namespace qv
