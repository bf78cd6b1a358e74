#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class Clock;

// Raw bytes from the instrument: what the line receiver reads from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads what is waiting, at most `maxBytes`, without blocking. Empty when nothing waits
    // or the read failed.
    virtual std::string readAvailable(std::size_t maxBytes) = 0;
    // Blocks at most `ms` real milliseconds until input waits (or the line hung up).
    virtual bool pollInput(std::uint32_t ms) = 0;
    // True once no input can come any more: the line hung up or nothing is open. Readers stop
    // waiting then instead of spinning on a dead line.
    virtual bool hungUp() const { return false; }
};

// Why a port could not be opened: each cause needs another remedy from the operator.
enum class PortOpenFailure { None, Missing, NoPermission, Busy, NotSerial, Refused };

struct PortOpenError {
    PortOpenFailure kind = PortOpenFailure::None;
    std::string holder;  // for Busy: "minicom (process 1234)" when the system says who
    std::string detail;  // the system's own words
};

// The port as the operator is told of it. A channel that sees its line hang up (the adapter
// pulled, the cable gone) closes the port itself and says so until it is closed or opened again.
enum class PortState { NotOpen, Open, ClosedAfterHangUp };

// Parity codes as the settings store them: the leading number of the parity entry.
enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

// The one serial connection to the instrument. It holds no clock of its own: each receive is
// given the clock of the thread it runs on.
class SerialChannel : public ByteSource {
public:
    // Opens with 9600 baud, 8 data bits, no parity, one stop bit, RTS on.
    virtual bool open(const std::string& portName) = 0;
    // Why the last open() failed; kind None after a successful one.
    virtual PortOpenError lastOpenError() const { return {}; }
    virtual bool setParams(std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The port held open, or the one that hung up while it was held, as the operator would
    // recognise it; empty otherwise or when the channel cannot say.
    virtual std::string portName() const { return {}; }
    virtual PortState portState() const { return isOpen() ? PortState::Open : PortState::NotOpen; }
    // Looks at the line without reading from it: a line that hung up since the last exchange
    // (nobody was talking when the adapter was pulled) is closed now, as an exchange would have
    // closed it. Returns the state afterwards.
    virtual PortState checkLine() { return portState(); }
    // Writes the text as it stands; the caller includes the terminator.
    virtual bool send(std::string_view command) = 0;
    // One reply line with a time-out in whole seconds (see core/link/receive_line.h for the
    // rules), waiting with `clock`: the clock of the calling thread, passed per exchange.
    virtual std::string receiveLine(Clock& clock, int timeoutS) = 0;
};

}  // namespace qv
