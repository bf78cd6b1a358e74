#pragma once

// A statement a server holds longer than its own time-outs allow is cut from this side: a
// backend that stopped (a debugger, a frozen virtual machine) answers nothing, not even its
// statement time-out, and the system goes on answering the keepalives for it. The connection's
// socket is shut, the waiting read ends, and the logbook takes the server as away.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class QSqlDatabase;

namespace qv {

// How long a statement may go unanswered: the server's own statement time-out, with room for
// its answer to arrive.
inline constexpr std::chrono::milliseconds kServerAnswerLimit{12000};

class ServerWatch {
public:
    explicit ServerWatch(std::chrono::milliseconds limit);
    ~ServerWatch();
    ServerWatch(const ServerWatch&) = delete;
    ServerWatch& operator=(const ServerWatch&) = delete;

    // Watches `db`'s connection while the returned object lives; nothing for a connection
    // that is not a server's.
    class Armed {
    public:
        explicit Armed(ServerWatch* watch) : watch_(watch) {}
        ~Armed();
        Armed(const Armed&) = delete;
        Armed& operator=(const Armed&) = delete;

    private:
        ServerWatch* watch_;
    };
    [[nodiscard]] Armed arm(const QSqlDatabase& db);
    // Whether a statement was cut since the connection was made: it is of no further use.
    bool cut() const;

private:
    void run();
    void disarm();

    const std::chrono::milliseconds limit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    int socket_ = -1;
    int depth_ = 0;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool cut_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace qv
