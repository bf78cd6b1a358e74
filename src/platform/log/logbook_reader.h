#pragma once

// A logbook read on a thread of its own, with a connection of its own, so that a window never
// waits for a server that is slow or away: the window hands it tasks, each runs in turn with
// the reader's logbook, and each hands its answer back the way the window chooses.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/log/logbook_store.h"

namespace qv {

class LogbookReader {
public:
    using Opener = std::function<std::unique_ptr<LogbookStore>()>;
    // `open` runs on the reader's thread before the first task; a task gets nothing when it
    // made no logbook.
    explicit LogbookReader(Opener open);
    // Waits for the task under way (a server's reads end within their time-outs); those not
    // begun are dropped.
    ~LogbookReader();
    LogbookReader(const LogbookReader&) = delete;
    LogbookReader& operator=(const LogbookReader&) = delete;

    using Task = std::function<void(LogbookStore*)>;
    void post(Task task);

private:
    void run();

    Opener open_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

// What opens the logbook `logbook` is again, quietly (its problems were told when it was first
// opened): the same file, or the same server with the same file keeping what waits. Nothing
// when it is not open.
LogbookReader::Opener sameLogbook(const LogbookStore& logbook);

}  // namespace qv
