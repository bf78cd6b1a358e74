#include <gtest/gtest.h>

#include "core/measure/calibration.h"
#include "support/measure_rig.h"

namespace qv {
namespace {

using test::MeasureRig;
using Commands = std::vector<std::string>;

TEST(Calibration, JudgesOnlyTheFirstFourCharacters) {
    const std::pair<const char*, CalibrationVerdict> cases[] = {
        {"OK00,more", CalibrationVerdict::Done},   {"OK03,x", CalibrationVerdict::Failed},
        {"ER11", CalibrationVerdict::Failed},      {"OK05", CalibrationVerdict::Unconfirmed},
        {"ok00", CalibrationVerdict::Unconfirmed},
    };
    for (const auto& [reply, verdict] : cases) {
        SCOPED_TRACE(reply);
        MeasureRig rig;
        rig.control(std::string("fault UZC reply=") + reply);
        CalibrationWorkflow cal(rig.seams());
        cal.confirm();
        EXPECT_EQ(cal.lastStep().verdict, verdict);
        EXPECT_EQ(rig.prompter.asked.size(), verdict == CalibrationVerdict::Failed ? 1u : 0u);
    }
}

TEST(Calibration, ZeroThenWhite) {
    MeasureRig rig;
    rig.state.whiteCalibrationPending = true;  // left over from an earlier run
    CalibrationWorkflow cal(rig.seams());
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
        CalibrationWorkflow cal(rig.seams());
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
    CalibrationWorkflow cal(rig.seams());
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
    CalibrationWorkflow cal(rig.seams());
    cal.skipZero();
    EXPECT_TRUE(cal.whiteStepPending());
    EXPECT_EQ(cal.view().captionId, kStrWhiteStep);
    cal.confirm();
    EXPECT_TRUE(cal.view().closed);
    EXPECT_FALSE(cal.whiteStepPending());
    EXPECT_EQ(rig.prompter.ids(), std::vector<int>{kStrCalibrationFailed});
    EXPECT_EQ(rig.takeCommands(), Commands{"CAL\\r\\n"});

    CalibrationWorkflow again(rig.seams());
    again.skipZero();
    again.cancel();
    EXPECT_FALSE(again.whiteStepPending());
    EXPECT_TRUE(again.view().closed);
    EXPECT_TRUE(rig.takeCommands().empty());
}

}  // namespace
}  // namespace qv
