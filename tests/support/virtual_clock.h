#pragma once

#include <cstdint>
#include <vector>

#include "core/app/clock.h"

namespace qv::test {

// Time that advances only when the code under test waits. Sleeps are recorded so that
// the pauses of a sequence can be checked; input waits take a short real slice (so a
// simulator on the other end of a pty can answer) and then count the full wait.
class VirtualClock : public Clock {
public:
    std::int64_t calendarSeconds() override;
    std::uint32_t tickMs() override;
    void sleepMs(std::uint32_t ms) override;
    bool waitForInput(ByteSource& source, std::uint32_t ms) override;

    void advanceMs(std::uint64_t ms) { nowMs_ += ms; }
    std::uint64_t nowMs() const { return nowMs_; }
    const std::vector<std::uint32_t>& sleeps() const { return sleeps_; }
    void clearSleeps() { sleeps_.clear(); }

    // Real milliseconds an input wait may take before it counts as elapsed.
    std::uint32_t realSliceMs = 2;
    // The line a target measurement reads raw after its fixed wait: that wait also gives the
    // instrument's line real time to arrive (the read takes only what is there).
    ByteSource* rawReadSource = nullptr;

private:
    // Starts mid-second so whole-second arithmetic is exercised honestly.
    std::uint64_t nowMs_ = 1'700'000'000'500ULL;
    std::vector<std::uint32_t> sleeps_;
};

}  // namespace qv::test
