#pragma once

#include "platform/app/system_clock.h"

namespace qv {

// The real clock of the desktop program. Its pauses and its waits for the instrument keep
// every window painting (no "not responding") while user input is thrown away, so that the
// exchange stays on the user-interface thread and no second one can start meanwhile. Used from
// any other thread it throws std::logic_error: workers wait with the system clock.
class GuiClock : public SystemClock {
public:
    void sleepMs(std::uint32_t ms) override;
    bool waitForInput(ByteSource& source, std::uint32_t ms) override;
    // An exchange is waiting on this clock (the events pumped meanwhile must not touch the
    // port).
    static bool waiting();
};

// The wait cursor for the life of the object.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace qv
