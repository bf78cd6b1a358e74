#include "platform/link/line_settings.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <iterator>

namespace qv {

namespace {

struct Rate {
    std::uint32_t baud;
    speed_t speed;
};

constexpr Rate kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
};

bool setSpeed(termios& t, std::uint32_t baudRate) {
    for (const Rate& r : kRates) {
        if (r.baud == baudRate)
            return cfsetispeed(&t, r.speed) == 0 && cfsetospeed(&t, r.speed) == 0;
    }
    return false;
}

bool setDataBits(termios& t, std::uint8_t dataBits) {
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    if (dataBits < 5 || dataBits > 8) return false;
    t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[dataBits - 5];
    return true;
}

// Indexed by the parity code: none, odd, even, mark, space.
constexpr tcflag_t kParityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                     PARENB | CMSPAR};

bool setParity(termios& t, std::uint8_t parity) {
    if (parity >= std::size(kParityFlags)) return false;
    t.c_cflag = (t.c_cflag & ~(PARENB | PARODD | CMSPAR)) | kParityFlags[parity];
    t.c_iflag &= ~INPCK;
    return true;
}

// Unix 98 pseudo-terminal slaves.
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned int m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

}  // namespace

bool setLineSettings(termios& t, std::uint32_t baudRate, std::uint8_t dataBits,
                     std::uint8_t parity) {
    if (!setSpeed(t, baudRate) || !setDataBits(t, dataBits) || !setParity(t, parity)) {
        return false;
    }
    t.c_cflag &= ~CSTOPB;
    return true;
}

bool applyLineSettings(int fd, const termios& wanted) {
    if (tcsetattr(fd, TCSANOW, &wanted) != 0) return false;
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    tcflag_t checked = CSTOPB;
    if (!isPseudoTerminal(fd)) checked |= CSIZE | PARENB | PARODD | CMSPAR;
    return (now.c_cflag & checked) == (wanted.c_cflag & checked) &&
           cfgetospeed(&now) == cfgetospeed(&wanted);
}

}  // namespace qv
