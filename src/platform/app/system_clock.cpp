#include "platform/app/system_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "core/app/serial_channel.h"

namespace qv {

std::int64_t SystemClock::calendarSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::uint32_t SystemClock::tickMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SystemClock::sleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool SystemClock::waitForInput(ByteSource& source, std::uint32_t ms) {
    return source.pollInput(ms);
}

}  // namespace qv
