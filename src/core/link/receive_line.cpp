#include "core/link/receive_line.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace qv {

namespace {

// The chunk's text: a zero byte ends it, as it would end a zero-terminated buffer.
std::string_view chunkText(const std::string& chunk) {
    return std::string_view(chunk).substr(0, chunk.find('\0'));
}

// Appends a chunk and returns the line when a line feed ended it.
std::optional<std::string> appendAndTakeLine(std::string& pending, std::string_view text) {
    pending += text;
    const std::size_t leading = pending.find_first_not_of('\n');
    pending.erase(0, std::min(leading, pending.size()));
    const std::size_t lineFeed = pending.find('\n');
    if (lineFeed != std::string::npos) {
        pending.resize(std::min(lineFeed, kMaxLineBytes));
        return std::move(pending);
    }
    if (pending.size() > kMaxLineBytes) pending.resize(kMaxLineBytes);
    return std::nullopt;
}

}  // namespace

std::string receiveLine(ByteSource& source, Clock& clock, int timeoutS) {
    std::string pending;
    const std::int64_t startS = clock.calendarSeconds();
    const std::uint32_t startMs = clock.tickMs();
    // Guards against the calendar clock being set back during the wait: never longer than
    // the whole-second bound on the monotonic tick.
    const std::int64_t longestWaitMs = (static_cast<std::int64_t>(timeoutS) + 1) * 1000;
    std::optional<std::uint32_t> graceStartMs;
    for (;;) {
        const std::string chunk = source.readAvailable(kReadChunkBytes);
        if (auto line = appendAndTakeLine(pending, chunkText(chunk))) return std::move(*line);
        if (chunk.empty() && source.hungUp()) return pending;

        const std::uint32_t nowMs = clock.tickMs();
        const bool timedOut = clock.calendarSeconds() - startS > timeoutS ||
                              static_cast<std::int64_t>(nowMs - startMs) > longestWaitMs;
        if (!timedOut) {
            clock.waitForInput(source, kReceiveIdleWaitMs);
            continue;
        }
        if (pending.empty()) return pending;
        if (!graceStartMs) graceStartMs = nowMs;
        const std::uint32_t inGraceMs = nowMs - *graceStartMs;
        if (inGraceMs >= kPartialLineGraceMs) return pending;
        clock.waitForInput(source, kPartialLineGraceMs - inGraceMs);
    }
}

}  // namespace qv
