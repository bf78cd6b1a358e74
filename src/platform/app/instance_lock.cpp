#include "platform/app/instance_lock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace qv {

namespace {
std::string lockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return (dir + QLatin1Char('/') + QLatin1String(kInstanceLockName) + QStringLiteral(".lock"))
        .toStdString();
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
    return lock_->isLocked() || lock_->tryLock(0);
}

}  // namespace qv
