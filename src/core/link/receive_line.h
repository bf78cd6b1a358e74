#pragma once

// Collecting one reply line from the instrument.
//
// Rules, in the order they apply:
// - Reads take at most 512 bytes; a zero byte ends the text of the chunk it is in.
// - A line feed at the very start of the pending text is dropped; the wait goes on.
// - The first line feed ends the line: the text before it is returned, a carriage return
//   included; whatever followed it in the same read is discarded.
// - The time-out counts whole calendar seconds: the wait ends once more than `timeoutS`
//   seconds have passed, so a silent instrument is waited for more than the time-out and at most
//   one second (plus one idle wait) longer. Nothing pending then: the empty text.
// - A partial line pending at the time-out gets 500 ms more for its line feed, then is
//   returned as it stands (without a line feed).
// - The pending text is bounded: a line longer than kMaxLineBytes is cut to its first
//   kMaxLineBytes; the rest of that line is still read and discarded, so the line ends at its
//   line feed or by the time-out like any other, and the next reply starts clean.
// - A line that hung up ends the wait at once with what is pending.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"

namespace qv {

inline constexpr std::size_t kReadChunkBytes = 512;
inline constexpr std::uint32_t kReceiveIdleWaitMs = 20;
inline constexpr std::uint32_t kPartialLineGraceMs = 500;
inline constexpr std::size_t kMaxLineBytes = 4096;

// One reply line; empty when nothing arrived.
std::string receiveLine(ByteSource& source, Clock& clock, int timeoutS);

}  // namespace qv
