#include "platform/app/resource_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

#include "platform/app/data_folder.h"

#ifndef QV_VERSION
#define QV_VERSION ""
#endif
#ifndef QV_DATA_FROM_BIN
#define QV_DATA_FROM_BIN "../share/qvl70s"
#endif

namespace qv {

namespace {
constexpr qint64 kMaxStringTableBytes = 1 << 20;
}

std::string resourceFolder(const std::string& programFolder) {
    // Relative to the program, so an installation under any prefix finds its data.
    const std::string installed =
        QDir::cleanPath(QString::fromStdString(programFolder + "/" + QV_DATA_FROM_BIN))
            .toStdString();
    for (const std::string& folder : {programFolder, installed}) {
        if (QFileInfo::exists(QString::fromStdString(folder + "/" + kResourceFileName)))
            return folder;
    }
    return programFolder;
}

std::string resourceFolder() {
    return resourceFolder(programFolder());
}

std::string resourceFilePath() {
    return resourceFolder() + "/" + kResourceFileName;
}

ResourceStringTable::~ResourceStringTable() {
    QResource::unregisterResource(QString::fromStdString(path_));
}

std::unique_ptr<ResourceStringTable> loadResourceStrings(const std::string& path) {
    // Registering the same file twice is harmless; each registration is undone on its own.
    if (!QResource::registerResource(QString::fromStdString(path))) return nullptr;
    QFile file(QStringLiteral(":/qv/strings.tsv"));
    std::map<int, std::string> texts;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxStringTableBytes) {
        const QByteArray text = file.readAll();
        texts = parseStringTable(std::string_view(text.constData(), std::size_t(text.size())));
    }
    auto table = std::make_unique<ResourceStringTable>(std::move(texts), path);
    if (table->size() == 0) return nullptr;  // unregisters again
    return table;
}

std::string programVersion() {
    return QV_VERSION;
}

}  // namespace qv
