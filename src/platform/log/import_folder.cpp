#include "platform/log/import_folder.h"

#include <QDir>
#include <QFileInfo>

#include "core/log/result_file_import.h"
#include "platform/app/atomic_file_store.h"

namespace qv {

namespace {

ImportedFile importFile(const std::string& path, LogbookStore& logbook, const NumberFormat& format,
                        const StringTable& texts) {
    using Outcome = ImportedFile::Outcome;
    std::string text;
    if (!AtomicFileStore().readAll(path, kMaxImportBytes, text))
        return {path, Outcome::Skipped, "cannot be read or is larger than 4 MiB"};
    const std::string digest = contentDigest(text);
    // A check recorded as it wrote the file carries its path but no digest.
    if (logbook.knowsDigest(digest) || logbook.knowsFile(path))
        return {path, Outcome::AlreadyRecorded, {}};
    ResultFileRead read = recordFromResultFile(text, format, texts);
    if (!read.record) return {path, Outcome::Skipped, read.reason};
    read.record->files = {path};
    const std::string kind(kindName(read.record->kind));
    if (logbook.recordImported(*read.record, digest)) return {path, Outcome::Imported, kind};
    return {path, Outcome::NotRecorded, "the logbook could not record it"};
}

}  // namespace

std::vector<ImportedFile> importFolder(const std::string& folder, LogbookStore& logbook,
                                       const NumberFormat& format, const StringTable& texts) {
    const QDir dir(QString::fromStdString(folder));
    std::vector<ImportedFile> out;
    for (const QString& name :
         dir.entryList({QStringLiteral("*.csv")}, QDir::Files | QDir::Hidden, QDir::Name))
        out.push_back(importFile(QDir::cleanPath(dir.absoluteFilePath(name)).toStdString(), logbook,
                                 format, texts));
    return out;
}

std::string importCounts(const std::vector<ImportedFile>& files) {
    std::size_t counts[4] = {};
    for (const ImportedFile& f : files) ++counts[static_cast<std::size_t>(f.outcome)];
    std::string text = std::to_string(counts[0]) + " imported, " + std::to_string(counts[1]) +
                       " already recorded, " + std::to_string(counts[2]) + " skipped";
    if (counts[3] > 0) text += ", " + std::to_string(counts[3]) + " not recorded";
    return text;
}

std::string importSummary(const std::vector<ImportedFile>& files, std::size_t maxNamed) {
    std::string named;
    std::size_t count = 0;
    for (const ImportedFile& f : files) {
        if (f.outcome != ImportedFile::Outcome::Skipped &&
            f.outcome != ImportedFile::Outcome::NotRecorded)
            continue;
        if (count++ < maxNamed)
            named += "\n" + QFileInfo(QString::fromStdString(f.path)).fileName().toStdString() +
                     ": " + f.detail;
    }
    if (count > maxNamed) named += "\n...";
    return importCounts(files) + named;
}

}  // namespace qv
