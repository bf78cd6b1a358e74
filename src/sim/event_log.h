#pragma once

// What went over the line, for tests and for measuring the host's turnaround: every command
// received ('>'), every answer sent ('<') and every event worth knowing ('#'), each with a
// monotonic time stamp in microseconds.

#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sim {

struct LogEntry {
    std::int64_t timeUs = 0;  // monotonic
    char direction = '>';     // '>' received from the host, '<' sent to the host, '#' an event
    std::string text;         // as on the wire, CR and LF escaped as \r and \n
};

// CLOCK_MONOTONIC in microseconds: the clock std::chrono::steady_clock reads on Linux, so the
// host's own stamps compare directly.
std::int64_t monotonicUs();

class EventLog {
public:
    EventLog() = default;
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Also writes every entry to `path` (replaced), one "TIME DIR TEXT" line each.
    bool openFile(const std::string& path, std::string& error);
    void closeFile();

    // `bytes` are escaped here.
    void add(std::int64_t timeUs, char direction, std::string_view bytes);
    void note(std::string_view text) { add(monotonicUs(), '#', text); }

    std::vector<LogEntry> entries() const;
    void clear();

private:
    // The in-memory log keeps the latest entries; the file keeps everything.
    static constexpr std::size_t kMaxEntries = 200'000;

    mutable std::mutex mutex_;
    std::deque<LogEntry> entries_;
    std::FILE* file_ = nullptr;
};

}  // namespace qv::sim
