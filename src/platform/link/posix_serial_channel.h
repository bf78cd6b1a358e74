#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/serial_channel.h"

namespace qv {

// Whether the instrument's end of the cable is gone while the adapter stays: every modem line
// the instrument was seen to raise since the port opened (`raisedSinceOpen`, TIOCM_DSR,
// TIOCM_CTS and TIOCM_CAR bits) is down in `linesNow`. A device that never raised one (a
// three-wire cable, a pseudo-terminal, which has no modem lines) is never judged gone this way.
bool farSideDropped(int raisedSinceOpen, int linesNow);

// The serial channel over a termios device. The port is held exclusively (TIOCEXCL and an
// flock, so neither another program nor a second channel of this one shares it), runs raw
// with the line defaults 9600 8N1 and RTS on, and always with one stop bit. A line that hangs
// up is closed at once, whoever was reading or writing: the descriptor of a pulled USB adapter
// would otherwise keep its device number taken, so that the adapter came back under another.
class PosixSerialChannel : public SerialChannel {
public:
    PosixSerialChannel() = default;
    ~PosixSerialChannel() override;
    PosixSerialChannel(const PosixSerialChannel&) = delete;
    PosixSerialChannel& operator=(const PosixSerialChannel&) = delete;

    // "ttyUSB0" opens /dev/ttyUSB0; a name with a slash is opened as given. A port held
    // open before is closed first.
    bool open(const std::string& portName) override;
    PortOpenError lastOpenError() const override { return openError_; }
    // Baud rate (a standard rate), data bits 5 to 8, parity code 0 to 4. Settings the port does
    // not take as a whole leave it at the line defaults 9600 8N1, never half changed.
    bool setParams(std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    std::string portName() const override { return fd_ >= 0 ? path_ : hungUpPath_; }
    PortState portState() const override;
    PortState checkLine() override;
    // Writes every byte within 3 s plus 100 ms per byte; false otherwise.
    bool send(std::string_view command) override;
    std::string receiveLine(Clock& clock, int timeoutS) override;

    std::string readAvailable(std::size_t maxBytes) override;
    bool pollInput(std::uint32_t ms) override;
    // Also true when nothing is open: no input can come.
    bool hungUp() const override { return fd_ < 0; }

    // The device path of the open port (empty when closed).
    const std::string& devicePath() const { return path_; }

private:
    bool applyLineDefaults();
    bool refuseOpen(int fd, int err, const std::string& path);
    // The one reaction to a hang-up, wherever it was seen: close, and remember the port.
    void closeAfterHangUp();
    // The modem lines of an idle line: a vanished adapter refuses the request, a pulled cable
    // drops the lines the instrument raised. Closes the port as after a hang-up in both cases.
    void checkModemLines();

    int fd_ = -1;
    std::string path_;
    std::string hungUpPath_;  // the port that hung up; empty once closed or opened again
    PortOpenError openError_;
    int linesRaised_ = 0;  // modem lines the instrument was seen to raise since the port opened
    // When the raised lines were first seen down; a drop counts once it outlasts a flicker.
    std::optional<std::chrono::steady_clock::time_point> linesDownSince_;
};

}  // namespace qv
