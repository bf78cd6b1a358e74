#include "platform/link/posix_serial_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/link/port_names.h"
#include "core/link/receive_line.h"
#include "platform/link/line_settings.h"
#include "platform/link/port_holder.h"

namespace qv {

namespace {

constexpr std::uint32_t kDefaultBaudRate = 9600;
constexpr std::uint8_t kDefaultDataBits = 8;
// The port's write time-out: a constant plus a share per byte.
constexpr std::int64_t kWriteTimeoutMs = 3000;
constexpr std::int64_t kWriteTimeoutPerByteMs = 100;

using SteadyClock = std::chrono::steady_clock;

// The lines the instrument's side drives.
constexpr int kFarSideLines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
// How long the raised lines must stay down before a pulled cable is reported: longer than a
// handshake line's flicker, short enough that the idle watch reports within a second.
constexpr std::int64_t kLinesDownMs = 200;

std::int64_t msSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

}  // namespace

bool farSideDropped(int raisedSinceOpen, int linesNow) {
    const int watched = raisedSinceOpen & kFarSideLines;
    return watched != 0 && (linesNow & watched) == 0;
}

PosixSerialChannel::~PosixSerialChannel() {
    close();
}

bool PosixSerialChannel::open(const std::string& portName) {
    close();
    openError_ = {};
    if (portName.empty()) return refuseOpen(-1, ENOENT, {});
    const std::string path = portDevicePath(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuseOpen(-1, errno, path);
    termios probe{};
    // Not a terminal, or someone else holds it: no sharing of the port.
    if (tcgetattr(fd, &probe) != 0) return refuseOpen(fd, ENOTTY, path);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0)
        return refuseOpen(fd, errno == EWOULDBLOCK ? EBUSY : errno, path);
    fd_ = fd;
    path_ = path;
    if (!applyLineDefaults()) {
        close();
        openError_ = {PortOpenFailure::Refused, {}, "the line settings were refused"};
        return false;
    }
    return true;
}

bool PosixSerialChannel::refuseOpen(int fd, int err, const std::string& path) {
    if (fd >= 0) ::close(fd);
    openError_.kind = portOpenFailureFor(err);
    openError_.detail = (path.empty() ? std::string() : path + ": ") + std::strerror(err);
    if (openError_.kind == PortOpenFailure::Busy) openError_.holder = portHolder(path);
    return false;
}

bool PosixSerialChannel::applyLineDefaults() {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation, no XON/XOFF.
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    // With O_NONBLOCK an empty read reports EAGAIN; a read of 0 bytes then means hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (!setLineSettings(t, kDefaultBaudRate, kDefaultDataBits,
                         static_cast<std::uint8_t>(Parity::None)) ||
        !applyLineSettings(fd_, t)) {
        return false;
    }
    // RTS on. Devices without modem lines (pseudo-terminals) refuse this; that is no fault.
    int rts = TIOCM_RTS;
    ioctl(fd_, TIOCMBIS, &rts);
    return true;
}

bool PosixSerialChannel::setParams(std::uint32_t baudRate, std::uint8_t dataBits,
                                   std::uint8_t parity) {
    if (fd_ < 0) return false;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    // One stop bit, whatever was chosen or used before.
    if (setLineSettings(t, baudRate, dataBits, parity) && applyLineSettings(fd_, t)) return true;
    // A device may take part of a change (an adapter that takes the speed but not mark parity):
    // back to the defaults rather than leave a mix nobody chose.
    applyLineDefaults();
    return false;
}

void PosixSerialChannel::close() {
    if (fd_ >= 0) {
        // Exclusive mode outlives the descriptor on a terminal whose other end stays open
        // (a pseudo-terminal); clear it, or the next open by an ordinary user is refused.
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // releases the flock
    }
    fd_ = -1;
    path_.clear();
    hungUpPath_.clear();
    linesRaised_ = 0;
    linesDownSince_.reset();
}

void PosixSerialChannel::closeAfterHangUp() {
    std::string port = path_;
    close();
    hungUpPath_ = std::move(port);
}

PortState PosixSerialChannel::portState() const {
    if (fd_ >= 0) return PortState::Open;
    return hungUpPath_.empty() ? PortState::NotOpen : PortState::ClosedAfterHangUp;
}

PortState PosixSerialChannel::checkLine() {
    if (fd_ >= 0) {
        // A terminal that hung up reports POLLHUP (with POLLIN, so that a reader sees the end);
        // a live line never does, and its waiting bytes stay where they are.
        pollfd p{fd_, POLLIN, 0};
        int r = 0;
        do {
            r = poll(&p, 1, 0);
        } while (r < 0 && errno == EINTR);
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            closeAfterHangUp();
        else
            checkModemLines();
    }
    return portState();
}

void PosixSerialChannel::checkModemLines() {
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) < 0) {
        // Some adapters report their removal only to a request: asking for the modem lines of
        // a vanished device fails with EIO. A terminal without modem lines (a pseudo-terminal)
        // refuses otherwise and stays open.
        if (errno == EIO) closeAfterHangUp();
        return;
    }
    if (!farSideDropped(linesRaised_, lines)) {
        linesRaised_ |= lines & kFarSideLines;
        linesDownSince_.reset();
        return;
    }
    // The adapter stays and so does its tty; only the lines tell that the cable went.
    if (!linesDownSince_) linesDownSince_ = SteadyClock::now();
    if (msSince(*linesDownSince_) >= kLinesDownMs) closeAfterHangUp();
}

bool PosixSerialChannel::send(std::string_view command) {
    if (fd_ < 0) return false;
    const auto start = SteadyClock::now();
    const std::int64_t limitMs =
        kWriteTimeoutMs + kWriteTimeoutPerByteMs * static_cast<std::int64_t>(command.size());
    std::size_t written = 0;
    while (written < command.size()) {
        const ssize_t n = ::write(fd_, command.data() + written, command.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            if (errno == EIO) closeAfterHangUp();
            return false;
        }
        const std::int64_t leftMs = limitMs - msSince(start);
        if (leftMs <= 0) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(leftMs)) < 0 && errno != EINTR) return false;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            closeAfterHangUp();
            return false;
        }
    }
    return true;
}

std::string PosixSerialChannel::receiveLine(Clock& clock, int timeoutS) {
    return qv::receiveLine(*this, clock, timeoutS);
}

std::string PosixSerialChannel::readAvailable(std::size_t maxBytes) {
    if (fd_ < 0 || maxBytes == 0) return {};
    std::string buffer(maxBytes, '\0');
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), maxBytes);
        if (n > 0) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return {};
        // End of file (a hung-up terminal) or EIO (the other side of the line is gone).
        closeAfterHangUp();
        return {};
    }
}

bool PosixSerialChannel::pollInput(std::uint32_t ms) {
    if (fd_ < 0) return false;
    const auto start = SteadyClock::now();
    for (;;) {
        const std::int64_t leftMs = static_cast<std::int64_t>(ms) - msSince(start);
        pollfd p{fd_, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(leftMs > 0 ? leftMs : 0));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        if (p.revents & POLLIN) return true;
        // No data and a dead line: end the wait now rather than let the caller spin.
        closeAfterHangUp();
        return false;
    }
}

}  // namespace qv
