#include "platform/link/port_holder.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qv {

namespace {
namespace fs = std::filesystem;

bool isNumber(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool holds(const fs::path& process, const fs::path& device) {
    std::error_code ec;
    for (fs::directory_iterator fd(process / "fd", ec), end; !ec && fd != end; fd.increment(ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(fd->path(), linkError);
        if (!linkError && target == device) return true;
    }
    return false;
}
}  // namespace

PortOpenFailure portOpenFailureFor(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return PortOpenFailure::Missing;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortOpenFailure::NoPermission;
        case EBUSY:
        case EWOULDBLOCK:
            return PortOpenFailure::Busy;
        case ENOTTY:
        case EINVAL:
            return PortOpenFailure::NotSerial;
        default:
            return PortOpenFailure::Refused;
    }
}

std::string portHolder(const std::string& devicePath) {
    std::error_code ec;
    const fs::path device = fs::canonical(devicePath, ec);
    if (ec) return {};
    for (fs::directory_iterator p("/proc", ec), end; !ec && p != end; p.increment(ec)) {
        const std::string pid = p->path().filename().string();
        if (!isNumber(pid) || !holds(p->path(), device)) continue;
        std::string name;
        std::getline(std::ifstream(p->path() / "comm"), name);
        return (name.empty() ? std::string("a program") : name) + " (process " + pid + ")";
    }
    return {};
}

}  // namespace qv
