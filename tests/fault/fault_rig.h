#pragma once

// The fault matrix's test bench: the simulated instrument on a pseudo-terminal, the real
// serial channel on its other end (watched, so every receive can be timed), virtual time,
// scripted answers, real settings and a real data folder in a temporary home.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/seams.h"
#include "core/app/shared_state.h"
#include "core/app/string_table_text.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/link/posix_serial_channel.h"
#include "sim/simulator.h"
#include "support/project_strings.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv::test {

// Virtual time that keeps a 20 s silence cheap: idle waits poll the line for a short real slice
// until the instrument has read the last command and then stayed quiet for a while; after that,
// the rest of the wait passes in virtual time only. With `realGrace` the half second of grace for
// a partial line is waited in real time, so a line's rest can arrive within it.
class MatrixClock : public VirtualClock {
public:
    bool waitForInput(ByteSource& source, std::uint32_t ms) override;
    void commandSent() { quietWaits_ = unreadWaits_ = 0; }

    // True once the instrument has read every command sent so far.
    std::function<bool()> commandsRead;
    bool realGrace = false;

private:
    int quietWaits_ = 0;  // polls without input since the instrument read the last command
    int unreadWaits_ = 0;
};

// One reply line as a workflow received it.
struct Receive {
    std::string command;  // the command sent last, as on the wire
    int timeoutS = 0;
    std::string reply;
    std::uint64_t tookMs = 0;  // on the channel's clock
    bool hungUp = false;       // the line was dead when it returned
};

// The real channel with a record of every receive. Everything is passed straight through.
class WatchedChannel : public SerialChannel {
public:
    WatchedChannel(std::unique_ptr<PosixSerialChannel> real, Clock& clock)
        : real_(std::move(real)), clock_(clock) {}

    bool open(const std::string& portName) override { return real_->open(portName); }
    bool setParams(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity) override {
        return real_->setParams(baud, bits, parity);
    }
    void close() override { real_->close(); }
    bool isOpen() const override { return real_->isOpen(); }
    bool send(std::string_view command) override;
    std::string receiveLine(Clock& clock, int timeoutS) override;
    std::string readAvailable(std::size_t maxBytes) override {
        return real_->readAvailable(maxBytes);
    }
    bool pollInput(std::uint32_t ms) override { return real_->pollInput(ms); }
    bool hungUp() const override { return real_->hungUp(); }

    std::function<void()> onSend;
    std::vector<Receive> receives;
    std::size_t sent = 0;  // commands written

private:
    std::unique_ptr<PosixSerialChannel> real_;
    Clock& clock_;
    std::string lastCommand_;
};

class FaultRig {
public:
    // One instrument "A" of the given type; `clock` replaces the virtual clock when given.
    explicit FaultRig(const std::string& type, Clock* clock = nullptr);
    ~FaultRig();

    // "fault <command> <actions> occurrence=<n>"; the test fails unless the simulator takes it.
    void setFault(const std::string& command, const std::string& actions, int occurrence);
    // The string numbers asked since the last call, without the questions in `ignore`.
    std::vector<int> takeMessages(const std::vector<int>& ignore = {});
    // Files in the data folder.
    std::vector<std::string> dataFiles() const;
    // Closes the port and opens the simulator's current line (a new one after a hang-up);
    // true when the instrument identifies itself there.
    bool reopenAndIdentify();

    // Commands the instrument has read, as it logged them.
    std::size_t commandsReceived() const;

    TempHome home;
    MatrixClock virtualClock;
    Clock& clock;
    sim::Simulator sim;
    SharedState state;
    WatchedChannel* channel = nullptr;  // owned by state.commPort
    ScriptedPrompter prompter;
    QtProfileStore profile;
    AtomicFileStore files;

    Seams seams() {
        return Seams{state, clock, prompter, profile, files, projectStrings(), {',', ";"}};
    }

private:
    std::size_t messagesTaken_ = 0;
    std::string openedPath_;
};

}  // namespace qv::test
