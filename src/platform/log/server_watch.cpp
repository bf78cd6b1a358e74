#include "platform/log/server_watch.h"

#include <libpq-fe.h>
#include <sys/socket.h>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <cstring>

namespace qv {

ServerWatch::ServerWatch(std::chrono::milliseconds limit) : limit_(limit) {}

ServerWatch::~ServerWatch() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

ServerWatch::Armed ServerWatch::arm(const QSqlDatabase& db) {
    const QVariant handle = db.isValid() && db.driver() ? db.driver()->handle() : QVariant();
    // Qt names the handle's type by the structure the typedef stands for.
    const char* type = handle.isValid() ? handle.typeName() : "";
    if (std::strcmp(type, "pg_conn*") != 0 && std::strcmp(type, "PGconn*") != 0)
        return Armed(nullptr);
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    const int socket = connection ? PQsocket(connection) : -1;
    if (socket < 0) return Armed(nullptr);
    {
        // A watched operation that calls another is watched as one, from its start.
        std::lock_guard lock(mutex_);
        if (depth_++ > 0) return Armed(this);
        socket_ = socket;
        deadline_ = std::chrono::steady_clock::now() + limit_;
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_all();
    return Armed(this);
}

ServerWatch::Armed::~Armed() {
    if (watch_) watch_->disarm();
}

void ServerWatch::disarm() {
    std::lock_guard lock(mutex_);
    if (--depth_ > 0) return;
    deadline_.reset();
    socket_ = -1;
}

bool ServerWatch::cut() const {
    std::lock_guard lock(mutex_);
    return cut_;
}

void ServerWatch::run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (!deadline_) {
            wake_.wait(lock);
            continue;
        }
        const auto deadline = *deadline_;
        if (wake_.wait_until(lock, deadline) != std::cv_status::timeout || !deadline_ ||
            *deadline_ != deadline)
            continue;
        // Shut, not closed: the socket stays the connection's to close, and the read waiting
        // on it ends at once.
        ::shutdown(socket_, SHUT_RDWR);
        cut_ = true;
        deadline_.reset();
    }
}

}  // namespace qv
