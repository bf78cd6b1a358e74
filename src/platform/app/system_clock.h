#pragma once

#include "core/app/clock.h"

namespace qv {

// Real time: calendar seconds, a monotonic millisecond tick, real sleeps, and poll() for input.
class SystemClock : public Clock {
public:
    std::int64_t calendarSeconds() override;
    std::uint32_t tickMs() override;
    void sleepMs(std::uint32_t ms) override;
    bool waitForInput(ByteSource& source, std::uint32_t ms) override;
};

}  // namespace qv
