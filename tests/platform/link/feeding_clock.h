#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "core/link/receive_line.h"
#include "pty_pair.h"
#include "support/virtual_clock.h"

namespace qv::test {

// Virtual time that also plays the instrument: before an input wait of the code under test it
// writes the next scripted bytes to the pty master, so arrival "during the n-th wait" or
// "during the grace period" is exact and costs no real time.
class FeedingClock : public VirtualClock {
public:
    enum class When { AtWait, InGrace };
    struct Feed {
        When when;
        std::size_t wait;  // written before this wait, counted from when it was queued
        std::string bytes;
    };

    explicit FeedingClock(const PtyPair& pty) : pty_(pty) {}

    // Written before the n-th input wait (1-based) from now.
    void atWait(std::size_t n, std::string bytes) {
        feeds.push_back({When::AtWait, waits.size() + n, std::move(bytes)});
    }
    void inGrace(std::string bytes) { feeds.push_back({When::InGrace, 0, std::move(bytes)}); }

    bool waitForInput(ByteSource& source, std::uint32_t ms) override {
        waits.push_back(ms);
        bool fed = false;
        while (!feeds.empty() && due(feeds.front(), ms)) {
            pty_.write(feeds.front().bytes);
            feeds.pop_front();
            fed = true;
        }
        // Bytes just written take a moment to cross the pty; wait for them in real time.
        if (fed && source.pollInput(kArrivalMs)) return true;
        return VirtualClock::waitForInput(source, ms);
    }

    std::deque<Feed> feeds;
    std::vector<std::uint32_t> waits;  // every input wait asked for, in ms

private:
    static constexpr std::uint32_t kArrivalMs = 1000;
    bool due(const Feed& f, std::uint32_t ms) const {
        // Grace waits are the only ones longer than the idle wait.
        return f.when == When::AtWait ? waits.size() >= f.wait : ms > kReceiveIdleWaitMs;
    }
    const PtyPair& pty_;
};

}  // namespace qv::test
