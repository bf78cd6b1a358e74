#include "core/measure/calibration.h"

#include <array>

#include "core/app/message_box.h"

namespace qv {

namespace {
constexpr std::string_view kZeroCommand = "UZC\r\n";
constexpr std::string_view kWhiteCommand = "CAL\r\n";
constexpr std::array<std::string_view, 5> kErrorCodes = {"OK01", "OK02", "OK03", "OK04", "ER11"};
}  // namespace

CalibrationVerdict judgeCalibrationReply(std::string_view reply) {
    if (reply.empty()) return CalibrationVerdict::Failed;
    const std::string_view code = reply.substr(0, 4);
    if (code == "OK00") return CalibrationVerdict::Done;
    for (std::string_view error : kErrorCodes)
        if (code == error) return CalibrationVerdict::Failed;
    return CalibrationVerdict::Unconfirmed;
}

CalibrationWorkflow::CalibrationWorkflow(SharedState& state, Prompter& prompter)
    : state_(state), prompter_(prompter) {
    state_.whiteCalibrationPending = false;
}

void CalibrationWorkflow::confirm() {
    if (view_.closed) return;
    if (!state_.whiteCalibrationPending) {
        const CalibrationVerdict verdict = runStep(kZeroCommand);
        if (verdict == CalibrationVerdict::Done) showWhiteStep();
        state_.whiteCalibrationPending = verdict != CalibrationVerdict::Failed;
        if (verdict == CalibrationVerdict::Failed) view_.closed = true;
        return;
    }
    view_.skipVisible = false;
    state_.whiteCalibrationPending = runStep(kWhiteCommand) != CalibrationVerdict::Failed;
    view_.closed = true;
}

void CalibrationWorkflow::skipZero() {
    if (view_.closed) return;
    showWhiteStep();
    state_.whiteCalibrationPending = true;
}

void CalibrationWorkflow::cancel() {
    state_.whiteCalibrationPending = false;
    view_.closed = true;
}

CalibrationVerdict CalibrationWorkflow::runStep(std::string_view command) {
    last_ = CalibrationStepResult{};
    last_.ran = true;
    last_.white = command == kWhiteCommand;
    SerialChannel* port = state_.commPort.get();
    // A command that cannot be written is not answered; it fails like a silent instrument,
    // without waiting for a reply to something never sent.
    if (port == nullptr || !port->send(command)) {
        last_.writeFailed = true;
    } else {
        last_.reply = port->receiveLine(kCalibrationReplyTimeoutS);
    }
    last_.verdict = judgeCalibrationReply(last_.reply);
    if (last_.verdict == CalibrationVerdict::Failed)
        prompter_.ask(messageBox(kStrCalibrationFailed, Icon::Stop));
    return last_.verdict;
}

void CalibrationWorkflow::showWhiteStep() {
    view_.captionId = kStrWhiteStep;
    view_.instructionId = kStrWhiteStep;
    view_.picture = CalibrationPicture::White;
    view_.skipVisible = false;
}

}  // namespace qv
