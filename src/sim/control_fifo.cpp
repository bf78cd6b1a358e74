#include "sim/control_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::sim {

ControlFifo::~ControlFifo() {
    close();
}

bool ControlFifo::open(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            error = path + ": exists and is not a named pipe";
            return false;
        }
        ::unlink(path.c_str());
    }
    if (::mkfifo(path.c_str(), 0600) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    readFd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writeFd_ = readFd_ < 0 ? -1 : ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (readFd_ < 0 || writeFd_ < 0) {
        error = path + ": " + std::strerror(errno);
        path_ = path;
        close();
        return false;
    }
    path_ = path;
    return true;
}

void ControlFifo::close() {
    if (readFd_ >= 0) ::close(readFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
    readFd_ = writeFd_ = -1;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
    pending_.clear();
}

std::vector<std::string> ControlFifo::readLines() {
    std::vector<std::string> lines;
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(readFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (c == '\n') {
                lines.push_back(overlong_ ? std::string("overlong control line") : pending_);
                pending_.clear();
                overlong_ = false;
            } else if (pending_.size() < kMaxLine) {
                pending_ += c;
            } else {
                overlong_ = true;
            }
        }
    }
    return lines;
}

}  // namespace qv::sim
