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

std::unique_ptr<TextStringTable> loadResourceStrings(const std::string& path) {
    // Registering the same file twice is harmless; Qt counts the registrations.
    if (!QResource::registerResource(QString::fromStdString(path))) return nullptr;
    QFile file(QStringLiteral(":/qv/strings.tsv"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxStringTableBytes) return nullptr;
    const QByteArray text = file.readAll();
    auto table = std::make_unique<TextStringTable>(
        parseStringTable(std::string_view(text.constData(), std::size_t(text.size()))));
    if (table->size() == 0) return nullptr;
    return table;
}

std::string programVersion() {
    return QV_VERSION;
}

}  // namespace qv
