// A few cells of the fault matrix on the real clock: the waits really end within the time-out
// plus one second, the grace really catches a late line feed, a flood cannot stretch the wait,
// and a dead line costs neither time nor processor.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

#include "core/link/connection_workflow.h"
#include "core/link/receive_line.h"
#include "fault/fault_rig.h"
#include "fault/matrix_table.h"
#include "platform/app/system_clock.h"

namespace qv {
namespace {

using Steady = std::chrono::steady_clock;
constexpr const char* kRow = "connect 40: IDR, real clock";

double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Milliseconds until the identification time-out of 1 s runs out when IDR goes now: the
// calendar counts whole seconds, so the wait ends when the second after next begins.
int msUntilIdentifyTimeout() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return 2000 - static_cast<int>(ms % 1000);
}

struct Attempt {
    std::string outcome;
    double seconds = 0;
    double cpuSeconds = 0;
};

class RealClockCell : public ::testing::Test {
protected:
    Attempt connect() {
        ConnectionWorkflow connection(rig.seams());
        const auto start = Steady::now();
        const double cpuStart = threadCpuSeconds();
        connection.connect();
        Attempt run;
        run.seconds = std::chrono::duration<double>(Steady::now() - start).count();
        run.cpuSeconds = threadCpuSeconds() - cpuStart;
        std::string ids;
        for (int id : rig.takeMessages()) ids += (ids.empty() ? "" : "+") + std::to_string(id);
        run.outcome = (ids.empty() ? "-" : ids) + (rig.state.bConnected ? " on" : " off");
        return run;
    }
    void record(const std::string& column, const Attempt& run) {
        char timing[48];
        std::snprintf(timing, sizeof timing, " %.2fs", run.seconds);
        test::recordCell(kRow, column, run.outcome + timing, !HasFailure());
    }

    SystemClock clock;
    test::FaultRig rig{"40", &clock};
};

TEST_F(RealClockCell, SilenceEndsWithinTheTimeOutPlusOneSecondWithoutBusyWaiting) {
    rig.setFault("IDR", "silence", 1);
    const Attempt run = connect();
    EXPECT_EQ(run.outcome, "121 off");
    EXPECT_GT(run.seconds, 1.0);
    EXPECT_LE(run.seconds, 2.0 + 0.1);
    EXPECT_LT(run.cpuSeconds, 0.25);
    record("silence", run);
}

TEST_F(RealClockCell, TheRestOfALineWithinTheGraceCompletesIt) {
    // The rest comes 200 ms into the half second of grace.
    rig.setFault("IDR", "chunks=3," + std::to_string(msUntilIdentifyTimeout() + 200), 1);
    const Attempt run = connect();
    EXPECT_EQ(run.outcome, "- on");
    EXPECT_LE(run.seconds, 2.0 + 0.5 + 0.1);
    record("rest in grace", run);
}

TEST_F(RealClockCell, TheRestOfALineAfterTheGraceIsTooLate) {
    rig.setFault("IDR", "chunks=3," + std::to_string(msUntilIdentifyTimeout() + 1000), 1);
    const Attempt run = connect();
    EXPECT_EQ(run.outcome, "121 off");  // "OK0" is no identification
    EXPECT_LE(run.seconds, 2.0 + 0.5 + 0.1);
    ASSERT_FALSE(rig.channel->receives.empty());
    EXPECT_EQ(rig.channel->receives.front().reply, "OK0");
    record("rest late", run);
}

TEST_F(RealClockCell, AFloodWithoutLineFeedStillEndsAfterTheTimeOutAndTheGrace) {
    // Sixteen megabytes without a line feed: whether or not they outlast the wait, the wait
    // ends on time with at most one bounded line.
    rig.setFault("IDR", "flood=16777216", 1);
    const Attempt run = connect();
    EXPECT_EQ(run.outcome, "121 off");
    EXPECT_LE(run.seconds, 2.0 + 0.5 + 0.1);
    ASSERT_FALSE(rig.channel->receives.empty());
    EXPECT_LE(rig.channel->receives.front().reply.size(), kMaxLineBytes);
    record("flood", run);
}

TEST_F(RealClockCell, AHangUpEndsTheExchangeAtOnceAndThePortOpensAgain) {
    rig.setFault("IDR", "hangup", 1);
    const Attempt run = connect();
    EXPECT_EQ(run.outcome, "121 off");
    EXPECT_LT(run.seconds, 0.5);
    EXPECT_LT(run.cpuSeconds, 0.1);
    EXPECT_TRUE(rig.channel->hungUp());
    EXPECT_TRUE(rig.reopenAndIdentify());
    record("hang-up", run);
}

}  // namespace
}  // namespace qv
