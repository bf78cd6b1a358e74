#include "core/log/record_spectra.h"

#include "core/files/file_lines.h"
#include "core/files/validation_files.h"
#include "core/tiles/set_files.h"

namespace qv {

namespace {

// Larger than any judgement file the program writes, by far.
constexpr std::size_t kMaxJudgementBytes = 1024 * 1024;

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

RecordSpectra recordSpectra(const CheckRecord& record, FileStore& files, const NumberFormat& user,
                            const StringTable& texts) {
    if (!kindRow(record.kind).hasSpectra) return {};
    if (record.files.empty()) return {{}, "the record names no judgement file"};
    const std::string& path = record.files.front();
    const std::string name = fileName(path);
    std::string text;
    if (!files.readAll(path, kMaxJudgementBytes, text))
        return {{}, name + " cannot be read (moved or deleted?)"};
    const auto format = resultFileFormat(text, user, texts);
    if (!format) return {{}, name + " is not a judgement file"};
    const FileRead<JudgementFile> read = readJudgementFile(text, *format, texts);
    if (!read.ok()) return {{}, name + ", " + read.problem};
    const JudgementFile& f = *read.contents;
    if (f.targetSerial != record.referenceSerial || f.sampleSerial != record.serial)
        return {{},
                name + " holds the instruments " + f.targetSerial + " and " + f.sampleSerial +
                    ", not those of the record"};
    return {judgedTile(f), {}};
}

}  // namespace qv
