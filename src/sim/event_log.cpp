#include "sim/event_log.h"

#include <time.h>

#include <cerrno>
#include <cstring>

#include "sim/text_escape.h"

namespace qv::sim {

std::int64_t monotonicUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

EventLog::~EventLog() {
    closeFile();
}

bool EventLog::openFile(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    std::FILE* f = std::fopen(path.c_str(), "we");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (file_) std::fclose(file_);
    file_ = f;
    return true;
}

void EventLog::closeFile() {
    std::lock_guard lock(mutex_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void EventLog::add(std::int64_t timeUs, char direction, std::string_view bytes) {
    LogEntry entry{timeUs, direction, escapeBytes(bytes)};
    std::lock_guard lock(mutex_);
    if (file_) {
        const std::string line = std::to_string(timeUs) + ' ' + direction + ' ' + entry.text + '\n';
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }
    entries_.push_back(std::move(entry));
    if (entries_.size() > kMaxEntries) entries_.pop_front();
}

std::vector<LogEntry> EventLog::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

void EventLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace qv::sim
