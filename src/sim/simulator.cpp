#include "sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "sim/control_fifo.h"
#include "sim/event_log.h"
#include "sim/faults.h"
#include "sim/instrument.h"
#include "sim/instrument_config.h"
#include "sim/pseudo_terminal.h"
#include "sim/user_entries.h"

namespace qv::sim {
namespace {

// The longest command of the set fits 512 bytes; anything longer is refused whole.
constexpr std::size_t kMaxCommandBytes = 1024;
// While no program holds the port open the master reports a hang-up on every poll; it is
// then looked at again after this pause instead of spinning.
constexpr std::int64_t kNoListenerPauseUs = 5000;
constexpr std::size_t kReadChunkBytes = 4096;

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string floodBytes(std::size_t count) {
    static const std::string pattern = "FLOOD-0123456789ABCDEF,";
    std::string out;
    out.reserve(count);
    while (out.size() < count) out += pattern.substr(0, count - out.size());
    return out;
}

// One piece of output. The first piece of an answer is due at a fixed time; later pieces
// follow the previous one after their pause.
struct OutItem {
    std::string bytes;
    std::size_t sent = 0;
    std::int64_t dueUs = 0;
    std::int64_t pauseUs = 0;
    bool first = false;
    bool last = false;
    bool hangup = false;
    std::string answer;  // the whole answer as sent, logged with its last piece
    bool logged = false;
};

}  // namespace

struct Simulator::Impl {
    explicit Impl(Options o) : options(std::move(o)) {}

    Options options;
    EventLog log;

    // Shared between the line thread and control() callers.
    mutable std::mutex mutex;
    std::vector<Instrument> instruments;
    int plugged = 0;  // -1: nothing plugged in
    std::vector<Fault> faults;
    EntryStore otherEntries;  // state-file entries of instruments not configured in this run
    std::string portPath;
    std::string error;
    bool hangupRequested = false;
    bool saveNeeded = false;

    // Owned by the line thread while it runs.
    PseudoTerminal pty;
    ControlFifo fifo;
    std::deque<OutItem> out;
    std::string pending;
    bool skipLineFeed = false;
    bool overlong = false;
    bool waitWritable = false;
    std::int64_t noListenerUntilUs = 0;
    bool listening = false;  // a program has the port open and has sent something

    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};
    bool running = false;

    bool start();
    void stop();
    bool setUp(std::string& why);
    void tearDown();
    void run();
    void wakeUp();
    void serviceMaster(short revents, char* buf);
    void feed(const char* data, std::size_t n, std::int64_t t);
    void handleCommand(std::string_view wire, std::int64_t t);
    void queueAnswer(const std::string& line, const std::optional<FaultEffect>& effect);
    void flushOutput();
    void dropOutput(const std::string& why);
    void hangUp(const std::string& why);
    void saveIfNeeded();
    void warn(const std::string& text);
    bool loadEntries(EntryStore& store, std::string& why);
    timespec* pollTimeout(std::int64_t now, bool noListener, timespec& ts) const;
    std::string control(const std::string& line, const char* source);
    std::string controlLocked(const std::vector<std::string>& w);
    std::string specimenLocked(const std::string& specimen, const std::string& target);
    std::string statusLocked() const;
    int findLocked(const std::string& name) const;
};

// ---- start and stop ----

bool Simulator::Impl::start() {
    if (running) return true;
    std::string why;
    if (!setUp(why)) {
        log.note("not started: " + why);
        tearDown();
        std::lock_guard lock(mutex);
        error = why;
        return false;
    }
    {
        std::lock_guard lock(mutex);
        error.clear();
        portPath = pty.slavePath;
    }
    log.note("started; line " + pty.slavePath);
    stopping = false;
    running = true;
    thread = std::thread([this] { run(); });
    return true;
}

bool Simulator::Impl::setUp(std::string& why) {
    if (options.instruments.empty()) return why = "no instrument configured", false;
    std::set<std::string> names;
    std::vector<Instrument> built;
    for (const InstrumentConfig& c : options.instruments) {
        why = validateConfig(c);
        if (!why.empty()) return false;
        if (!names.insert(c.name).second)
            return why = "instrument name '" + c.name + "' given twice", false;
        built.emplace_back(c);
    }
    std::vector<Fault> initial;
    for (const std::string& text : options.faults) {
        auto f = parseFault(splitWords(text), why);
        if (!f) return why = "fault '" + text + "': " + why, false;
        initial.push_back(*f);
    }
    // The log is open first, so that what the state file's reading has to say lands in it.
    if (!options.logFile.empty() && !log.openFile(options.logFile, why)) return false;
    EntryStore store;
    if (!loadEntries(store, why)) return false;
    for (Instrument& inst : built) {
        auto it = store.find(inst.config().name);
        if (it == store.end()) continue;
        inst.setEntries(it->second);
        store.erase(it);
    }
    {
        std::lock_guard lock(mutex);
        instruments = std::move(built);
        plugged = 0;
        faults = std::move(initial);
        otherEntries = std::move(store);
        saveNeeded = false;
        hangupRequested = false;
    }
    why.clear();
    if (!openPseudoTerminal(pty, why)) return false;
    if (!options.linkPath.empty() && !pointLink(options.linkPath, pty.slavePath, why)) return false;
    if (!options.controlPath.empty() && !fifo.open(options.controlPath, why)) return false;
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return why = std::strerror(errno), false;
    out.clear();
    pending.clear();
    skipLineFeed = overlong = waitWritable = listening = false;
    noListenerUntilUs = 0;
    return true;
}

// The entries kept in the state file. A file that exists but is not a state file is refused,
// as saving would replace it; damaged lines are skipped, and said so.
bool Simulator::Impl::loadEntries(EntryStore& store, std::string& why) {
    if (options.stateFile.empty()) return true;
    std::string problem;
    switch (loadState(options.stateFile, store, problem)) {
        case StateLoad::Read:
            return true;
        case StateLoad::Damaged:
            warn("state file " + problem + "; starting from what could be read");
            return true;
        case StateLoad::Refused:
            break;
    }
    why = "state file " + problem + " (left as it is)";
    return false;
}

void Simulator::Impl::warn(const std::string& text) {
    log.note(text);
    if (options.warning) options.warning(text);
}

void Simulator::Impl::tearDown() {
    if (!options.linkPath.empty() && !pty.slavePath.empty())
        removeLinkTo(options.linkPath, pty.slavePath);
    closePseudoTerminal(pty);
    pty.slavePath.clear();
    fifo.close();
    for (int& fd : wake) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    log.closeFile();
}

void Simulator::Impl::stop() {
    if (!running) return;
    stopping = true;
    wakeUp();
    thread.join();
    saveIfNeeded();
    log.note("stopped");
    tearDown();
    running = false;
}

void Simulator::Impl::wakeUp() {
    const char byte = 1;
    if (wake[1] >= 0) [[maybe_unused]]
        const ssize_t n = ::write(wake[1], &byte, 1);
}

// ---- the line ----

timespec* Simulator::Impl::pollTimeout(std::int64_t now, bool noListener, timespec& ts) const {
    std::int64_t wakeAt = LLONG_MAX;
    if (!out.empty() && !waitWritable) wakeAt = out.front().dueUs;
    if (noListener) wakeAt = std::min(wakeAt, noListenerUntilUs);
    if (wakeAt == LLONG_MAX) return nullptr;
    const std::int64_t us = std::max<std::int64_t>(0, wakeAt - now);
    ts.tv_sec = static_cast<time_t>(us / 1'000'000);
    ts.tv_nsec = static_cast<long>(us % 1'000'000) * 1000;
    return &ts;
}

void Simulator::Impl::run() {
    std::vector<char> buf(kReadChunkBytes);
    while (!stopping.load()) {
        pollfd fds[3];
        nfds_t n = 0;
        fds[n++] = {wake[0], POLLIN, 0};
        const std::int64_t now = monotonicUs();
        const bool noListener = noListenerUntilUs > now;
        int masterAt = -1;
        int fifoAt = -1;
        if (pty.master >= 0 && !noListener) {
            masterAt = static_cast<int>(n);
            const short events = static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0));
            fds[n++] = {pty.master, events, 0};
        }
        if (fifo.fd() >= 0) {
            fifoAt = static_cast<int>(n);
            fds[n++] = {fifo.fd(), POLLIN, 0};
        }
        timespec ts{};
        if (::ppoll(fds, n, pollTimeout(now, noListener, ts), nullptr) < 0 && errno != EINTR) {
            log.note(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents) {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (masterAt >= 0 && fds[masterAt].revents)
            serviceMaster(fds[masterAt].revents, buf.data());
        if (fifoAt >= 0 && (fds[fifoAt].revents & POLLIN)) {
            for (const std::string& line : fifo.readLines()) control(line, "control channel");
        }
        flushOutput();
        saveIfNeeded();
        bool hangupNow = false;
        {
            std::lock_guard lock(mutex);
            hangupNow = std::exchange(hangupRequested, false);
        }
        if (hangupNow) hangUp("control");
    }
}

void Simulator::Impl::serviceMaster(short revents, char* buf) {
    if (revents & POLLIN) {
        const ssize_t n = ::read(pty.master, buf, kReadChunkBytes);
        const std::int64_t t = monotonicUs();
        if (n > 0) {
            listening = true;
            feed(buf, static_cast<std::size_t>(n), t);
            return;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    } else if (!(revents & (POLLHUP | POLLERR))) {
        return;  // only writable
    }
    // No program holds the port open (or it just closed it).
    noListenerUntilUs = monotonicUs() + kNoListenerPauseUs;
    if (listening) dropOutput("the port was closed");
    listening = false;
}

// Bytes sent to a closed serial port are lost; here they would wait in the terminal for the
// next program to open it, so they are thrown away with whatever was still to be sent.
void Simulator::Impl::dropOutput(const std::string& why) {
    if (!out.empty())
        log.note(why + ": " + std::to_string(out.size()) + " pending piece(s) of answer dropped");
    out.clear();
    waitWritable = false;
    pending.clear();
    skipLineFeed = overlong = false;
    if (pty.master >= 0) ::tcflush(pty.master, TCOFLUSH);
}

// Commands end with CR LF; CPS ends with a lone CR, so CR alone ends a command too and a line
// feed right after it belongs to it. A lone LF also ends a command.
void Simulator::Impl::feed(const char* data, std::size_t n, std::int64_t t) {
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (skipLineFeed) {
            skipLineFeed = false;
            if (c == '\n') continue;
        }
        if (c != '\r' && c != '\n') {
            if (pending.size() < kMaxCommandBytes) {
                pending += c;
            } else {
                overlong = true;
            }
            continue;
        }
        std::string wire = pending + c;
        if (c == '\r') {
            if (i + 1 < n && data[i + 1] == '\n') {
                wire += '\n';
                ++i;
            } else {
                skipLineFeed = true;
            }
        }
        handleCommand(wire, t);
        pending.clear();
        overlong = false;
    }
}

void Simulator::Impl::handleCommand(std::string_view wire, std::int64_t t) {
    log.add(t, '>', wire);
    const std::string_view text = wire.substr(0, wire.find_first_of("\r\n"));
    if (text.empty()) {
        log.note("empty line ignored");
        return;
    }
    std::unique_lock lock(mutex);
    if (plugged < 0) {
        lock.unlock();
        log.note("nothing plugged in: no answer");
        return;
    }
    Answer answer;
    if (overlong) {
        answer.line = std::string(kBadArgument);
    } else {
        answer = instruments[plugged].answer(text);
    }
    saveNeeded = saveNeeded || answer.entriesChanged;
    const auto effect = applyFaults(faults, text.substr(0, text.find(',')));
    lock.unlock();
    if (answer.line == kUnknownCommand) log.note("unknown command");
    queueAnswer(answer.line, effect);
    flushOutput();
}

void Simulator::Impl::queueAnswer(const std::string& line,
                                  const std::optional<FaultEffect>& effect) {
    const std::int64_t now = monotonicUs();
    if (!effect) {
        const std::string bytes = line + "\r\n";
        out.push_back({bytes, 0, now, 0, true, true, false, bytes});
        return;
    }
    const FaultEffect& e = *effect;
    const std::int64_t due = now + std::int64_t{e.delayMs} * 1000;
    if (e.silence) {
        log.note("fault: no answer");
        return;
    }
    if (e.hangup) {
        out.push_back({{}, 0, due, 0, true, false, true, {}});
        return;
    }
    std::string bytes = e.prefix;
    if (e.floodBytes) {
        bytes += floodBytes(e.floodBytes);
    } else {
        bytes += e.reply.value_or(line) + (e.noLineFeed ? "\r" : "\r\n");
    }
    std::size_t at = 0;
    std::int64_t pauseUs = 0;
    for (const auto& [size, pauseMs] : e.chunks) {
        if (at >= bytes.size()) break;
        const std::size_t take = std::min(size, bytes.size() - at);
        out.push_back({bytes.substr(at, take), 0, due, pauseUs, at == 0, false, false, {}});
        at += take;
        pauseUs = std::int64_t{pauseMs} * 1000;
    }
    if (at < bytes.size() || at == 0) {
        out.push_back({bytes.substr(at), 0, due, pauseUs, at == 0, false, false, {}});
    }
    out.back().last = true;
    out.back().answer = bytes;
}

void Simulator::Impl::flushOutput() {
    while (!out.empty()) {
        OutItem& item = out.front();
        if (item.dueUs > monotonicUs()) return;
        if (item.hangup) {
            out.pop_front();
            hangUp("fault");
            return;
        }
        // The answer is logged as its last piece goes to the line, before the write, so that
        // whoever has read the answer also finds it in the log.
        if (item.last && !item.logged) {
            log.add(monotonicUs(), '<', item.answer);
            item.logged = true;
        }
        const std::size_t left = item.bytes.size() - item.sent;
        const ssize_t n = left == 0 ? 0 : ::write(pty.master, item.bytes.data() + item.sent, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                waitWritable = true;
                return;
            }
            log.note(std::string("write failed: ") + std::strerror(errno));
            out.pop_front();
            continue;
        }
        item.sent += static_cast<std::size_t>(n);
        if (item.sent < item.bytes.size()) {
            waitWritable = true;
            return;
        }
        waitWritable = false;
        const std::int64_t t = monotonicUs();
        out.pop_front();
        if (!out.empty() && !out.front().first) out.front().dueUs = t + out.front().pauseUs;
    }
}

// Hangs up: the program holding the port sees the line close. The fresh line is opened, linked
// and published before the old one closes, so whoever notices the hang-up and asks for the
// port already gets the new one.
void Simulator::Impl::hangUp(const std::string& why) {
    std::string err;
    PseudoTerminal fresh;
    const bool reopened = openPseudoTerminal(fresh, err);
    if (reopened && !options.linkPath.empty() &&
        !pointLink(options.linkPath, fresh.slavePath, err)) {
        log.note("link not moved: " + err);
    }
    {
        std::lock_guard lock(mutex);
        portPath = fresh.slavePath;
    }
    log.note("hang-up (" + why + "): line " + pty.slavePath + " closed");
    closePseudoTerminal(pty);
    pty = fresh;
    out.clear();
    pending.clear();
    skipLineFeed = overlong = waitWritable = listening = false;
    noListenerUntilUs = 0;
    if (!reopened) {
        log.note("line not reopened: " + err);
        return;
    }
    log.note("line reopened at " + pty.slavePath);
    if (options.portReopened) options.portReopened(pty.slavePath);
}

void Simulator::Impl::saveIfNeeded() {
    if (options.stateFile.empty()) return;
    EntryStore store;
    {
        std::lock_guard lock(mutex);
        if (!saveNeeded) return;
        saveNeeded = false;
        store = otherEntries;
        for (const Instrument& inst : instruments) store[inst.config().name] = inst.entries();
    }
    std::string why;
    if (!saveState(options.stateFile, store, why)) warn("state not saved: " + why);
}

// ---- control ----

std::string Simulator::Impl::control(const std::string& line, const char* source) {
    std::string reply;
    {
        std::lock_guard lock(mutex);
        reply = controlLocked(splitWords(line));
    }
    const std::string said = std::string(source) + ": " + line + " -> " + reply;
    // A refused line would otherwise go unnoticed by whoever typed it into the pipe.
    if (reply.rfind("error", 0) == 0) {
        warn(said);
    } else {
        log.note(said);
    }
    wakeUp();
    return reply;
}

int Simulator::Impl::findLocked(const std::string& name) const {
    for (std::size_t i = 0; i < instruments.size(); ++i) {
        if (instruments[i].config().name == name) return static_cast<int>(i);
    }
    return -1;
}

std::string Simulator::Impl::controlLocked(const std::vector<std::string>& w) {
    if (w.empty()) return "error: empty control line";
    const std::string& cmd = w[0];
    std::string why;
    if (cmd == "plug" && w.size() == 2) {
        const int i = findLocked(w[1]);
        if (i < 0) return "error: no instrument named '" + w[1] + "'";
        plugged = i;
        return "ok";
    }
    if (cmd == "unplug" && w.size() == 1) {
        plugged = -1;
        return "ok";
    }
    if (cmd == "specimen" && (w.size() == 2 || w.size() == 3))
        return specimenLocked(w[1], w.size() == 3 ? w[2] : "");
    if (cmd == "entry" && (w.size() == 2 || w.size() == 3)) {
        const int i = w.size() == 3 ? findLocked(w[2]) : plugged;
        if (i < 0)
            return w.size() == 3 ? "error: no instrument named '" + w[2] + "'"
                                 : "error: nothing plugged in";
        InstrumentConfig c = instruments[i].config();
        if (!applySetting(c, "entries", w[1], why)) return "error: " + why;
        instruments[i].reconfigure(c);
        return "ok";
    }
    if (cmd == "set" && w.size() == 2) {
        const std::string name = w[1].substr(0, w[1].find(':'));
        const int i = findLocked(name);
        if (i < 0) return "error: no instrument named '" + name + "'";
        InstrumentConfig c = instruments[i].config();
        if (!parseInstrumentSpec(w[1], c, why)) return "error: " + why;
        instruments[i].reconfigure(c);
        return "ok";
    }
    if (cmd == "fault") {
        auto f = parseFault({w.begin() + 1, w.end()}, why);
        if (!f) return "error: " + why;
        faults.push_back(*f);
        return "ok";
    }
    if (cmd == "clear" && w.size() == 1) {
        faults.clear();
        return "ok";
    }
    if (cmd == "hangup" && w.size() == 1) {
        hangupRequested = true;
        return "ok";
    }
    if (cmd == "status" && w.size() == 1) return statusLocked();
    return "error: unknown control command '" + cmd +
           "' (plug, unplug, specimen, entry, set, fault, clear, hangup, status)";
}

// The specimen under the plugged instrument, a named one, or "all".
std::string Simulator::Impl::specimenLocked(const std::string& specimen,
                                            const std::string& target) {
    if (target.empty() && plugged < 0) return "error: nothing plugged in";
    const int only = target.empty() ? plugged : target == "all" ? -1 : findLocked(target);
    if (!target.empty() && target != "all" && only < 0)
        return "error: no instrument named '" + target + "'";
    std::string why;
    for (std::size_t i = 0; i < instruments.size(); ++i) {
        if (only >= 0 && static_cast<int>(i) != only) continue;
        InstrumentConfig c = instruments[i].config();
        if (!applySetting(c, "specimen", specimen, why)) return "error: " + why;
        instruments[i].reconfigure(c);
    }
    return "ok";
}

std::string Simulator::Impl::statusLocked() const {
    std::string s =
        "plugged " + (plugged < 0 ? std::string("none") : instruments[plugged].config().name) + ";";
    for (const Instrument& inst : instruments) {
        const InstrumentConfig& c = inst.config();
        s += " " + c.name + ":type=" + c.type + ",id=" + c.idText + ",specimen=" + c.specimen;
    }
    s += "; faults " + std::to_string(faults.size());
    for (const Fault& f : faults) s += " [" + f.text + "]";
    return s;
}

// ---- the public face ----

Simulator::Simulator(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start() {
    return impl_->start();
}

void Simulator::stop() {
    impl_->stop();
}

std::string Simulator::portPath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->portPath;
}

std::string Simulator::control(const std::string& command) {
    return impl_->control(command, "control");
}

std::vector<LogEntry> Simulator::log() const {
    return impl_->log.entries();
}

void Simulator::clearLog() {
    impl_->log.clear();
}

std::string Simulator::error() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->error;
}

std::array<std::array<double, 31>, 3> Simulator::expectedReading(
    const std::string& instrument) const {
    std::lock_guard lock(impl_->mutex);
    const int i = impl_->findLocked(instrument);
    if (i < 0) return {};
    return impl_->instruments[i].expectedReading();
}

}  // namespace qv::sim
