// A line that hung up (the adapter pulled out) must not be waited on: every clock's wait for
// input returns at once instead of polling the dead line until its time is up.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "gui/kit/gui_clock.h"
#include "platform/app/system_clock.h"
#include "platform/link/posix_serial_channel.h"
#include "sim/simulator.h"

namespace qv {
namespace {

using Steady = std::chrono::steady_clock;

double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename C>
void expectNoWaitOnADeadLine() {
    sim::Options options;
    options.instruments.emplace_back();
    sim::Simulator sim(options);
    ASSERT_TRUE(sim.start());
    C clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(sim.portPath()));
    ASSERT_EQ(sim.control("hangup"), "ok");
    // Let the simulator close its side; the channel has not looked at the line yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const auto start = Steady::now();
    const double cpuStart = threadCpuSeconds();
    // The longest wait, the partial-line grace. A dead line reports itself readable, so that
    // the next read sees the hang-up.
    clock.waitForInput(port, 500);
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    EXPECT_LT(seconds, 0.1);
    EXPECT_LT(threadCpuSeconds() - cpuStart, 0.05);
    EXPECT_EQ(port.receiveLine(clock, 5), "");
    EXPECT_TRUE(port.hungUp());
    EXPECT_LT(std::chrono::duration<double>(Steady::now() - start).count(), 0.2);
}

TEST(DeadLine, TheSystemClockDoesNotWaitOnIt) {
    expectNoWaitOnADeadLine<SystemClock>();
}

TEST(DeadLine, TheDesktopClockDoesNotSpinOnIt) {
    expectNoWaitOnADeadLine<GuiClock>();
}

}  // namespace
}  // namespace qv
