#include "support/sim_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

namespace qv::test {
namespace {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

sim::Options oneInstrument(const std::string& type, const std::string& idText,
                           const std::string& specimen) {
    sim::Options o;
    sim::InstrumentConfig c;
    c.type = type;
    c.idText = idText;
    c.specimen = specimen;
    o.instruments.push_back(c);
    return o;
}

sim::Options referenceAndCorrected(std::array<double, 3> gain) {
    sim::InstrumentConfig reference;
    reference.name = "REF";
    reference.idText = "L70S-100001";
    sim::InstrumentConfig corrected = reference;
    corrected.name = "DUT";
    corrected.idText = "L70S-200002";
    corrected.gain = gain;
    sim::Options options;
    options.instruments = {reference, corrected};
    return options;
}

SimInstrument::SimInstrument(const std::string& type, const std::string& idText,
                             const std::string& specimen)
    : SimInstrument(oneInstrument(type, idText, specimen)) {}

SimInstrument::SimInstrument(sim::Options options) : sim_(std::move(options)) {
    if (!sim_.start()) throw std::runtime_error("simulator did not start: " + sim_.error());
}

SimInstrument::~SimInstrument() {
    sim_.stop();
}

std::vector<std::string> SimInstrument::received() const {
    std::vector<std::string> commands;
    for (const sim::LogEntry& e : sim_.log()) {
        if (e.direction == '>') commands.push_back(e.text);
    }
    return commands;
}

bool SimInstrument::waitForReceived(std::size_t count, int timeoutMs) const {
    const std::int64_t end = nowMs() + timeoutMs;
    while (received().size() < count) {
        if (nowMs() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

SimLine::SimLine(const std::string& port)
    : fd_(::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

SimLine::~SimLine() {
    if (fd_ >= 0) ::close(fd_);
}

bool SimLine::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Waits at most `timeoutMs` for input and appends it: 1 when bytes came, 0 on time-out, -1
// when the line hung up or failed.
int SimLine::fill(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r == 0) return 0;
    if (r < 0) return errno == EINTR ? 0 : -1;
    char buf[4096];
    const ssize_t n = (p.revents & POLLIN) ? ::read(fd_, buf, sizeof buf) : -1;
    // A terminal may wake a poll with nothing to read after all: that is no hang-up.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    if (n <= 0) return -1;
    buffered_.append(buf, static_cast<std::size_t>(n));
    return 1;
}

std::string SimLine::readLine(int timeoutMs) {
    const std::int64_t end = nowMs() + timeoutMs;
    for (;;) {
        const std::size_t lf = buffered_.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffered_.substr(0, lf + 1);
            buffered_.erase(0, lf + 1);
            return line;
        }
        const std::int64_t left = end - nowMs();
        if (left <= 0 || fill(static_cast<int>(left)) < 0) return std::exchange(buffered_, {});
    }
}

std::string SimLine::readFor(int ms) {
    const std::int64_t end = nowMs() + ms;
    for (std::int64_t left = ms; left > 0; left = end - nowMs()) {
        if (fill(static_cast<int>(left)) < 0) break;
    }
    return std::exchange(buffered_, {});
}

std::string SimLine::ask(std::string_view command, int timeoutMs) {
    if (!send(command)) return {};
    return readLine(timeoutMs);
}

bool SimLine::hungUp(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    if (p.revents & POLLHUP) return true;
    char c;
    return ::read(fd_, &c, 1) == 0;
}

}  // namespace qv::test
