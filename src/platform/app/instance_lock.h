#pragma once

#include <memory>
#include <string>

class QLockFile;

namespace qv {

inline constexpr const char* kInstanceLockName = "BRM-Application";

// Keeps a second copy of the desktop program from running: a lock file in the user's runtime
// folder (or, without one, in the user's own data folder), held for the life of the process.
// A lock left behind by a crashed instance is taken over.
class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process may run: it now holds the lock, or the lock cannot be made at
    // all (said on standard error; the program then runs without the guard). False only when
    // another process holds it.
    bool tryLock();
    // True while this process holds the lock.
    bool guarded() const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::unique_ptr<QLockFile> lock_;
    bool unguarded_ = false;
};

}  // namespace qv
