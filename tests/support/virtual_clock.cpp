#include "support/virtual_clock.h"

#include <algorithm>

#include "core/app/serial_channel.h"
#include "core/link/commands.h"

namespace qv::test {

namespace {
// Real time a raw read's wait may take for the simulator's line to arrive.
constexpr std::uint32_t kRawLineSettleMs = 250;
}  // namespace

std::int64_t VirtualClock::calendarSeconds() {
    return static_cast<std::int64_t>(nowMs_ / 1000);
}

std::uint32_t VirtualClock::tickMs() {
    return static_cast<std::uint32_t>(nowMs_);
}

void VirtualClock::sleepMs(std::uint32_t ms) {
    sleeps_.push_back(ms);
    nowMs_ += ms;
    if (ms == kRawReadWaitMs && rawReadSource != nullptr)
        rawReadSource->pollInput(kRawLineSettleMs);
}

bool VirtualClock::waitForInput(ByteSource& source, std::uint32_t ms) {
    if (source.pollInput(std::min(ms, realSliceMs))) return true;
    nowMs_ += ms;
    return false;
}

}  // namespace qv::test
