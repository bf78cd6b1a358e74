#pragma once

#include <memory>
#include <string>

class QLockFile;

namespace qv {

inline constexpr const char* kInstanceLockName = "BRM-Application";

// Keeps a second copy of the desktop program from running: a lock file in the user's runtime
// folder, held for the life of the process. A lock left behind by a crashed instance is
// taken over.
class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock.
    bool tryLock();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace qv
