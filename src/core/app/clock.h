#pragma once

#include <cstdint>

namespace qv {

class ByteSource;

// Time as the instrument workflows see it. The real clock sleeps; the virtual clock of the
// tests advances on every sleep, so a 20 s time-out costs nothing.
class Clock {
public:
    virtual ~Clock() = default;
    // Calendar time in whole seconds.
    virtual std::int64_t calendarSeconds() = 0;
    // Millisecond tick counter; wraps like a 32-bit tick count.
    virtual std::uint32_t tickMs() = 0;
    // A fixed pause of a workflow.
    virtual void sleepMs(std::uint32_t ms) = 0;
    // Waits at most `ms` for `source` to have input; returns true when it has.
    virtual bool waitForInput(ByteSource& source, std::uint32_t ms) = 0;
};

}  // namespace qv
