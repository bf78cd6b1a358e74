#include <gtest/gtest.h>

#include "core/measure/calibration.h"
#include "unit/measure/measure_rig.h"

namespace qv {
namespace {

using test::MeasureRig;
using Commands = std::vector<std::string>;

TEST(Calibration, JudgesOnlyTheFirstFourCharacters) {
    EXPECT_EQ(judgeCalibrationReply("OK00\r"), CalibrationVerdict::Done);
    EXPECT_EQ(judgeCalibrationReply("OK00,more\r"), CalibrationVerdict::Done);
    for (const char* code : {"OK01\r", "OK02", "OK03,x", "OK04\r", "ER11\r", ""})
        EXPECT_EQ(judgeCalibrationReply(code), CalibrationVerdict::Failed) << code;
    for (const char* other : {"OK05\r", "ok00\r", "O", "ER12"})
        EXPECT_EQ(judgeCalibrationReply(other), CalibrationVerdict::Unconfirmed) << other;
}

TEST(Calibration, ZeroThenWhite) {
    MeasureRig rig;
    rig.state.whiteCalibrationPending = true;  // left over from an earlier run
    CalibrationWorkflow cal(rig.state, rig.prompter);
    EXPECT_FALSE(cal.whiteStepPending());
    EXPECT_TRUE(cal.view().skipVisible);
    cal.confirm();
    EXPECT_TRUE(cal.whiteStepPending());
    EXPECT_FALSE(cal.view().closed);
    EXPECT_EQ(cal.view().captionId, kStrWhiteStep);
    EXPECT_EQ(cal.view().instructionId, kStrWhiteStep);
    EXPECT_EQ(cal.view().picture, CalibrationPicture::White);
    EXPECT_FALSE(cal.view().skipVisible);
    cal.confirm();
    EXPECT_TRUE(cal.view().closed);
    EXPECT_TRUE(rig.prompter.asked.empty());
    EXPECT_EQ(rig.takeCommands(), (Commands{"UZC\\r\\n", "CAL\\r\\n"}));
}

TEST(Calibration, FailedOrUnknownZeroReplies) {
    for (const char* fault :
         {"fault UZC reply=OK02", "fault UZC reply=ER11", "fault UZC silence"}) {
        SCOPED_TRACE(fault);
        MeasureRig rig;
        rig.control(fault);
        // Nothing will come: no real time needs to pass while the reply is awaited.
        if (std::string(fault).find("silence") != std::string::npos) rig.clock.realSliceMs = 0;
        CalibrationWorkflow cal(rig.state, rig.prompter);
        cal.confirm();
        EXPECT_TRUE(cal.view().closed);
        EXPECT_FALSE(cal.whiteStepPending());
        EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCalibrationFailed});
        EXPECT_EQ(rig.prompter.asked.at(0).icon, Icon::Stop);
        EXPECT_EQ(rig.takeCommands(), Commands{"UZC\\r\\n"});
    }
    // A reply outside the table moves on silently, leaving the zero step on screen.
    MeasureRig rig;
    rig.control("fault UZC reply=OK05");
    CalibrationWorkflow cal(rig.state, rig.prompter);
    cal.confirm();
    EXPECT_TRUE(cal.whiteStepPending());
    EXPECT_FALSE(cal.view().closed);
    EXPECT_EQ(cal.view().picture, CalibrationPicture::Zero);
    EXPECT_EQ(cal.view().instructionId, 0);
    EXPECT_TRUE(cal.view().skipVisible);
    EXPECT_TRUE(rig.prompter.asked.empty());
}

TEST(Calibration, SkipSendsOnlyTheWhiteCommandAndCancelResets) {
    MeasureRig rig;
    rig.control("fault CAL reply=OK04");
    CalibrationWorkflow cal(rig.state, rig.prompter);
    cal.skipZero();
    EXPECT_TRUE(cal.whiteStepPending());
    EXPECT_EQ(cal.view().captionId, kStrWhiteStep);
    cal.confirm();
    EXPECT_TRUE(cal.view().closed);
    EXPECT_FALSE(cal.whiteStepPending());
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCalibrationFailed});
    EXPECT_EQ(rig.takeCommands(), Commands{"CAL\\r\\n"});

    CalibrationWorkflow again(rig.state, rig.prompter);
    again.skipZero();
    again.cancel();
    EXPECT_FALSE(again.whiteStepPending());
    EXPECT_TRUE(again.view().closed);
    EXPECT_TRUE(rig.takeCommands().empty());
}

}  // namespace
}  // namespace qv
