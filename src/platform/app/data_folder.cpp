#include "platform/app/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace qv {

bool ensureFolder(const std::string& path) {
    if (path.empty()) return false;
    const QString p = QString::fromStdString(path);
    // mkpath: a Linux account need not have a documents folder yet.
    return QFileInfo(p).isDir() || QDir().mkpath(p);
}

std::string setUpDataFolder() {
    // XDG_DOCUMENTS_DIR in the environment wins, so a temporary home is honoured in full.
    QString docs = qEnvironmentVariable("XDG_DOCUMENTS_DIR");
    if (docs.isEmpty()) docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) return {};
    std::string folder = QDir::cleanPath(docs).toStdString() + "/VARNHOLT";
    ensureFolder(folder);
    folder += "/QV-L70s";
    ensureFolder(folder);
    return folder + "/Data";
}

std::string programFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath().toStdString();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath().toStdString();
}

}  // namespace qv
