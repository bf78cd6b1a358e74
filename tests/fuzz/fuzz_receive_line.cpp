// The line receiver over whatever the line delivers: chunks of any bytes, silences, a
// hang-up. It must return within the time-out plus its whole-second slack and the grace
// period, never hold more than one bounded line, and never spin on a dead line.
//
// Input: byte 0 is the time-out (0..3 s: longer ones only repeat the idle waits); then records of
// [length byte][bytes]; a length of 0xFF is a silence of 0.2 s of clock time, 0xFE hangs the line
// up.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/link/receive_line.h"
#include "fuzz_check.h"

namespace {

struct Event {
    enum Kind { Bytes, Silence, HangUp } kind = Bytes;
    std::string bytes;
};

class ScriptedSource : public qv::ByteSource {
public:
    std::deque<Event> events;
    std::uint64_t* nowMs = nullptr;
    std::uint64_t silentUntilMs = 0;
    bool hung = false;
    int reads = 0;

    std::string readAvailable(std::size_t maxBytes) override {
        ++reads;
        if (hung || *nowMs < silentUntilMs || events.empty()) return {};
        Event& e = events.front();
        if (e.kind == Event::Silence) {
            silentUntilMs = *nowMs + 200;
            events.pop_front();
            return {};
        }
        if (e.kind == Event::HangUp) {
            hung = true;
            events.pop_front();
            return {};
        }
        std::string out = e.bytes.substr(0, maxBytes);
        e.bytes.erase(0, out.size());
        if (e.bytes.empty()) events.pop_front();
        return out;
    }
    bool pollInput(std::uint32_t) override { return !events.empty(); }
    bool hungUp() const override { return hung; }
};

class FakeClock : public qv::Clock {
public:
    std::uint64_t nowMs = 1'700'000'000'700ULL;
    std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(nowMs / 1000); }
    std::uint32_t tickMs() override { return static_cast<std::uint32_t>(nowMs); }
    void sleepMs(std::uint32_t ms) override { nowMs += ms; }
    bool waitForInput(qv::ByteSource& source, std::uint32_t ms) override {
        nowMs += ms == 0 ? 1 : ms;
        return source.pollInput(0);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int timeoutS = data[0] % 4;
    FakeClock clock;
    ScriptedSource source;
    source.nowMs = &clock.nowMs;
    std::size_t i = 1;
    while (i < size) {
        const std::uint8_t length = data[i++];
        Event e;
        if (length == 0xFF) {
            e.kind = Event::Silence;
        } else if (length == 0xFE) {
            e.kind = Event::HangUp;
        } else {
            const std::size_t n = length < size - i ? length : size - i;
            e.bytes.assign(reinterpret_cast<const char*>(data + i), n);
            i += n;
            if (n == 0) continue;
        }
        source.events.push_back(std::move(e));
    }

    const std::uint64_t startMs = clock.nowMs;
    const std::string line = qv::receiveLine(source, clock, timeoutS);
    const std::uint64_t tookMs = clock.nowMs - startMs;

    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(line.find('\0') == std::string::npos);
    FUZZ_CHECK(line.size() <= qv::kMaxLineBytes);
    // More than the time-out and at most one second more, then the grace period for a
    // partial line (plus one idle wait of slack each).
    const std::uint64_t boundMs = (static_cast<std::uint64_t>(timeoutS) + 1) * 1000 +
                                  qv::kReceiveIdleWaitMs + qv::kPartialLineGraceMs +
                                  qv::kReceiveIdleWaitMs;
    FUZZ_CHECK(tookMs <= boundMs);
    // Each read either delivered bytes or was followed by a wait on the clock: no spinning.
    FUZZ_CHECK(static_cast<std::uint64_t>(source.reads) <=
               size + tookMs / qv::kReceiveIdleWaitMs + 2);
    if (source.hung) FUZZ_CHECK(tookMs <= boundMs);
    return 0;
}
