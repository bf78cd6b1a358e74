#include "platform/log/logbook_reader.h"

#include <utility>

#include "platform/log/fleet_logbook.h"

namespace qv {

LogbookReader::LogbookReader(Opener open) : open_(std::move(open)), thread_([this] { run(); }) {}

LogbookReader::~LogbookReader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void LogbookReader::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void LogbookReader::run() {
    // Made here: a database connection belongs to the thread that opened it.
    std::unique_ptr<LogbookStore> logbook;
    bool opened = false;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
            if (stop_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (!std::exchange(opened, true) && open_) logbook = open_();
        task(logbook.get());
    }
}

LogbookReader::Opener sameLogbook(const LogbookStore& logbook) {
    if (!logbook.isOpen()) return {};
    if (const auto* fleet = dynamic_cast<const FleetLogbook*>(&logbook)) {
        const LogbookLocation server = fleet->location();
        const std::string path = fleet->local().path();
        return [server, path]() -> std::unique_ptr<LogbookStore> {
            return std::make_unique<FleetLogbook>(server, std::make_unique<SqlLogbook>(path),
                                                  nullptr, FleetLogbook::Sending::ByOthers);
        };
    }
    const auto* file = dynamic_cast<const SqlLogbook*>(&logbook);
    if (file && file->engine() == LogbookEngine::SQLite) {
        const std::string path = file->path();
        return [path]() -> std::unique_ptr<LogbookStore> {
            return std::make_unique<SqlLogbook>(path);
        };
    }
    return {};
}

}  // namespace qv
