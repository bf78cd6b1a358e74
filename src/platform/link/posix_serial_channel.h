#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/serial_channel.h"

namespace qv {

// The serial channel over a termios device. The port is held exclusively (TIOCEXCL and an
// flock, so neither another program nor a second channel of this one shares it), runs raw
// with the line defaults 9600 8N1 and RTS on, and always with one stop bit.
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
    std::string portName() const override { return path_; }
    // Writes every byte within 3 s plus 100 ms per byte; false otherwise.
    bool send(std::string_view command) override;
    std::string receiveLine(Clock& clock, int timeoutS) override;

    std::string readAvailable(std::size_t maxBytes) override;
    bool pollInput(std::uint32_t ms) override;
    bool hungUp() const override { return fd_ < 0 || hungUp_; }

    // The device path of the open port (empty when closed).
    const std::string& devicePath() const { return path_; }

private:
    bool applyLineDefaults();
    bool refuseOpen(int fd, int err, const std::string& path);

    int fd_ = -1;
    bool hungUp_ = false;
    std::string path_;
    PortOpenError openError_;
};

}  // namespace qv
