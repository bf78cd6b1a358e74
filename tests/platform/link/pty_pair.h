#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace qv::test {

// A pseudo-terminal whose master side the test drives: bytes written here arrive at the
// slave, which the channel under test opens as its port.
class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            char name[128];
            if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
        }
    }
    ~PtyPair() { hangUp(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& slavePath() const { return slave_; }
    int master() const { return master_; }

    void write(std::string_view bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }

    // What the channel wrote, waiting at most `ms` for the first byte.
    std::string read(int ms = 1000) const {
        std::string out;
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, out.empty() ? ms : 20) > 0 && (p.revents & POLLIN)) {
            char buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

    // Closing the master hangs the line up for whoever holds the slave.
    void hangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slave_;
};

}  // namespace qv::test
