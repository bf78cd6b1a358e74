#include "core/measure/calibration.h"

#include <cstdio>

#include "core/app/local_time.h"
#include "core/app/message_box.h"
#include "core/link/commands.h"
#include "core/link/exchange.h"
#include "core/link/identify.h"

namespace qv {

CalibrationWorkflow::CalibrationWorkflow(const Seams& seams) : s_(seams) {
    s_.state.whiteCalibrationPending = false;
}

void CalibrationWorkflow::confirm() {
    if (view_.closed) return;
    if (!s_.state.whiteCalibrationPending) {
        const CalibrationVerdict verdict = runStep(kZeroCalibrationCommand);
        if (verdict == CalibrationVerdict::Done) showWhiteStep();
        s_.state.whiteCalibrationPending = verdict != CalibrationVerdict::Failed;
        if (verdict == CalibrationVerdict::Failed) view_.closed = true;
        return;
    }
    view_.skipVisible = false;
    const CalibrationVerdict white = runStep(kWhiteCalibrationCommand);
    s_.state.whiteCalibrationPending = white != CalibrationVerdict::Failed;
    // Only a calibration the instrument confirmed is told as done.
    if (white == CalibrationVerdict::Done) {
        const LocalTime t = localTimeOf(s_.clock.calendarSeconds());
        char at[16];
        std::snprintf(at, sizeof at, "%02d:%02d", t.hour, t.minute);
        s_.state.lastCalibration = s_.state.instrumentId() + " at " + at;
        recordCalibration(t);
    }
    view_.closed = true;
}

// A confirmed white calibration is a condition of every check after it: the logbook keeps when
// it was, for the statements made from those checks. An instrument known by no serial has no
// record to keep it under.
void CalibrationWorkflow::recordCalibration(const LocalTime& at) {
    const std::string& serial = s_.state.instrumentId();
    if (!s_.logbook || serial.empty() || serial == kThreeFieldIdText) return;
    CheckRecord r = emptyRecord(RecordKind::Calibration, at);
    r.serial = serial;
    s_.logbook->recordMarked(r);
}

void CalibrationWorkflow::skipZero() {
    if (view_.closed) return;
    showWhiteStep();
    s_.state.whiteCalibrationPending = true;
}

void CalibrationWorkflow::cancel() {
    s_.state.whiteCalibrationPending = false;
    view_.closed = true;
}

CalibrationVerdict CalibrationWorkflow::runStep(std::string_view command) {
    last_ = CalibrationStepResult{};
    last_.ran = true;
    last_.white = command == kWhiteCalibrationCommand;
    const std::string_view step = last_.white ? "CAL" : "UZC";
    SerialChannel* port = s_.state.commPort.get();
    // A command that cannot be written is not answered; it fails like a silent instrument,
    // without waiting for a reply to something never sent.
    const ExchangeResult r =
        port ? exchange(*port, s_.clock, command, kCalibrationReplyTimeoutS, judgeStatusPrefix)
             : ExchangeResult{};
    last_.reply = r.reply;
    last_.error = linkError(r, step);
    switch (r.failure) {
        case LinkFailure::None:
            last_.verdict = CalibrationVerdict::Done;
            break;
        case LinkFailure::Unrecognised:
            last_.verdict = CalibrationVerdict::Unconfirmed;
            break;
        default:
            last_.verdict = CalibrationVerdict::Failed;
            s_.prompter.ask(messageBox(kStrCalibrationFailed, Icon::Stop));
    }
    return last_.verdict;
}

void CalibrationWorkflow::showWhiteStep() {
    view_.captionId = kStrWhiteStep;
    view_.instructionId = kStrWhiteStep;
    view_.picture = CalibrationPicture::White;
    view_.skipVisible = false;
}

}  // namespace qv
