#include "platform/app/resource_file.h"

#include <QFile>
#include <QResource>

#include "platform/app/data_folder.h"

#ifndef QV_VERSION
#define QV_VERSION ""
#endif

namespace qv {

namespace {
constexpr qint64 kMaxStringTableBytes = 1 << 20;
}

std::string resourceFilePath() {
    return programFolder() + "/" + kResourceFileName;
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
