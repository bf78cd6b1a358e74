#include "platform/app/atomic_file_store.h"

#include <QFile>
#include <QSaveFile>

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
