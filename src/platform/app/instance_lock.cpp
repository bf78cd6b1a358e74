#include "platform/app/instance_lock.h"

#include <unistd.h>

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdio>

namespace qv {

namespace {
// The user's runtime folder; without one a folder of the user's own, never one that every
// account shares (another user's lock there would keep this one from starting).
QString lockFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!dir.isEmpty()) return dir;
    dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dir.isEmpty()) return dir + QStringLiteral("/VARNHOLT/QV-L70s");
    return QDir::tempPath() + QStringLiteral("/qvl70s-") + QString::number(getuid());
}

std::string lockPath() {
    const QString dir = lockFolder();
    QDir().mkpath(dir);
    return (dir + QLatin1Char('/') + QLatin1String(kInstanceLockName) + QStringLiteral(".lock"))
        .toStdString();
}

const char* lockErrorText(QLockFile::LockError error) {
    return error == QLockFile::PermissionError ? "permission denied" : "the file cannot be made";
}
}  // namespace

InstanceLock::InstanceLock()
    : path_(lockPath()), lock_(std::make_unique<QLockFile>(QString::fromStdString(path_))) {
    // Only a lock whose owner process is gone is stale; a long-running instance keeps it
    // however old the file grows.
    lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryLock() {
    if (unguarded_ || lock_->isLocked() || lock_->tryLock(0)) return true;
    // Only a lock held by another process means another instance; a lock that cannot be
    // made at all must not keep the program from starting.
    if (lock_->error() == QLockFile::LockFailedError) return false;
    std::fprintf(stderr,
                 "qvl70s: cannot create the lock %s (%s); running without the check for "
                 "a second instance\n",
                 path_.c_str(), lockErrorText(lock_->error()));
    unguarded_ = true;
    return true;
}

bool InstanceLock::guarded() const {
    return lock_->isLocked();
}

}  // namespace qv
