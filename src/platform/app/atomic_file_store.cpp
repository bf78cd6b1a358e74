#include "platform/app/atomic_file_store.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

namespace qv {

bool AtomicFileStore::saveAtomically(const std::string& path, const std::string& contents) {
    if (path.empty()) return false;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto size = static_cast<qint64>(contents.size());
    if (file.write(contents.data(), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

NewFileResult AtomicFileStore::saveNew(const std::string& path, const std::string& contents) {
    using Kind = NewFileResult::Kind;
    const QString target = QString::fromStdString(path);
    if (path.empty()) return {Kind::Failed, "no file name"};
    if (QFileInfo::exists(target)) return {Kind::Exists, {}};
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    if (!file.open()) return {Kind::Failed, file.errorString().toStdString()};
    // A result file is for everyone who may read the data folder, as any new file would be.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    const auto size = static_cast<qint64>(contents.size());
    if (file.write(contents.data(), size) != size || !file.flush())
        return {Kind::Failed, file.errorString().toStdString()};
    file.close();
    // QFile::rename refuses to replace an existing file; the temporary file then goes.
    QFile written(file.fileName());
    if (written.rename(target)) {
        file.setAutoRemove(false);
        return {Kind::Saved, {}};
    }
    if (QFileInfo::exists(target)) return {Kind::Exists, {}};
    return {Kind::Failed, written.errorString().toStdString()};
}

bool AtomicFileStore::readAll(const std::string& path, std::size_t maxBytes,
                              std::string& contents) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (file.size() > static_cast<qint64>(maxBytes)) return false;
    const QByteArray data = file.read(static_cast<qint64>(maxBytes) + 1);
    if (data.size() > static_cast<qsizetype>(maxBytes)) return false;
    contents.assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}

}  // namespace qv
