#include "platform/log/stored_profiles.h"

#include "core/coeff/file_choice.h"
#include "core/files/file_lines.h"
#include "core/log/result_file_import.h"

namespace qv {

namespace {

constexpr int kPage = 200;

// The record's file, read whole and as recorded.
StoredProfile withFile(LogbookStore& logbook, FileStore& files, const StringTable& texts,
                       CheckRecord record) {
    StoredProfile out{std::move(record), std::nullopt, {}};
    if (out.record.files.empty()) {
        out.problem = "the record names no profile file";
        return out;
    }
    const std::string& path = out.record.files.front();
    std::string text;
    if (!files.readAll(path, kMaxChosenFileBytes, text)) {
        out.problem = "the profile file " + path + " cannot be read";
        return out;
    }
    if (!logbook.knowsDigest(contentDigest(text))) {
        out.problem = "the profile file " + path + " was changed after it was recorded";
        return out;
    }
    const auto format = resultFileFormat(text, {}, texts);
    FileRead<ProfileFile> read = format ? readProfileFile(text, *format, texts)
                                        : FileRead<ProfileFile>{{}, "line 1: no date line"};
    if (!read.ok())
        out.problem = "the profile file " + path + " is not whole: " + read.problem;
    else
        out.file = std::move(read.contents);
    return out;
}

std::vector<CheckRecord> profilesOf(LogbookStore& logbook, const std::string& serial) {
    std::vector<CheckRecord> out;
    auto pages = logbook.history(serial, {});
    for (auto page = pages->next(kPage); !page.empty(); page = pages->next(kPage))
        for (CheckRecord& r : page)
            if (r.kind == RecordKind::Profile) out.push_back(std::move(r));
    return out;
}

}  // namespace

std::optional<StoredProfile> storedProfile(LogbookStore& logbook, FileStore& files,
                                           const StringTable& texts, std::int64_t id,
                                           const std::string& serial, std::string& why) {
    std::optional<CheckRecord> record;
    if (id > 0) {
        record = logbook.recordById(id);
    } else {
        std::vector<CheckRecord> all = profilesOf(logbook, serial);
        if (!all.empty()) record = std::move(all.front());
    }
    if (!record || record->kind != RecordKind::Profile) {
        why = id > 0 ? "no profile " + std::to_string(id) + " in the logbook"
                     : "the logbook holds no profile of " + serial + ": make one with profile";
        return std::nullopt;
    }
    if (record->serial != serial) {
        why = "profile " + std::to_string(record->id) + " is of " + record->serial + ", not " +
              serial;
        return std::nullopt;
    }
    return withFile(logbook, files, texts, std::move(*record));
}

std::vector<StoredProfile> storedProfiles(LogbookStore& logbook, FileStore& files,
                                          const StringTable& texts) {
    std::vector<StoredProfile> out;
    for (const LogbookStore::Instrument& i : logbook.instruments())
        for (CheckRecord& r : profilesOf(logbook, i.serial))
            out.push_back(withFile(logbook, files, texts, std::move(r)));
    return out;
}

}  // namespace qv
