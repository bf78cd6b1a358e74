#pragma once

// The control channel: a named pipe the simulator creates, into which anyone may write
// control lines ("plug B", "fault MES silence", ...), for instance with `echo ... > PATH`.

#include <string>
#include <vector>

namespace qv::sim {

class ControlFifo {
public:
    ControlFifo() = default;
    ~ControlFifo();
    ControlFifo(const ControlFifo&) = delete;
    ControlFifo& operator=(const ControlFifo&) = delete;

    // Creates the pipe at `path` (replacing an older pipe, never another kind of file).
    bool open(const std::string& path, std::string& error);
    void close();
    int fd() const { return readFd_; }

    // Reads what is waiting and returns the complete lines.
    std::vector<std::string> readLines();

private:
    static constexpr std::size_t kMaxLine = 4096;

    std::string path_;
    int readFd_ = -1;
    int writeFd_ = -1;  // held so that the pipe never reads as ended between writers
    std::string pending_;
    bool overlong_ = false;
};

}  // namespace qv::sim
