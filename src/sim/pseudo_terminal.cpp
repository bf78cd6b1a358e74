#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qv::sim {
namespace {

std::string reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The raw line is set through a short-lived slave descriptor and kept by the terminal. The
// simulator holds no slave descriptor of its own: a program's exclusive open would otherwise
// stay in force after it closed the port and refuse its next open.
bool makeRaw(const std::string& slavePath, std::string& error) {
    const int fd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return error = reason(slavePath), false;
    termios t{};
    bool ok = ::tcgetattr(fd, &t) == 0;
    if (ok) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ok = ::tcsetattr(fd, TCSANOW, &t) == 0;
    }
    if (!ok) error = reason("raw mode on " + slavePath);
    ::close(fd);
    return ok;
}

}  // namespace

bool openPseudoTerminal(PseudoTerminal& pty, std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return error = reason("posix_openpt"), false;
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        error = reason("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    const int flags = ::fcntl(master, F_GETFL);
    if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0 || !makeRaw(name, error)) {
        if (error.empty()) error = reason("non-blocking master");
        ::close(master);
        return false;
    }
    pty.master = master;
    pty.slavePath = name;
    return true;
}

void closePseudoTerminal(PseudoTerminal& pty) {
    if (pty.master >= 0) ::close(pty.master);
    pty.master = -1;
}

bool pointLink(const std::string& linkPath, const std::string& target, std::string& error) {
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = linkPath + ": exists and is not a symbolic link";
        return false;
    }
    const std::string temp = linkPath + ".new";
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) return error = reason(temp), false;
    if (::rename(temp.c_str(), linkPath.c_str()) != 0) {
        error = reason(linkPath);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void removeLinkTo(const std::string& linkPath, const std::string& target) {
    char buf[4096];
    const ssize_t n = ::readlink(linkPath.c_str(), buf, sizeof buf);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        ::unlink(linkPath.c_str());
}

}  // namespace qv::sim
