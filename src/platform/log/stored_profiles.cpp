#include "platform/log/stored_profiles.h"

#include <algorithm>

#include "core/coeff/file_choice.h"
#include "core/colour/colour_requests.h"
#include "core/files/file_lines.h"
#include "core/log/result_file_import.h"
#include "core/tiles/standardise.h"

namespace qv {

namespace {

constexpr int kPage = 200;

// The record's file, read whole and as recorded.
StoredProfile withFile(LogbookStore& logbook, FileStore& files, const StringTable& texts,
                       CheckRecord record) {
    StoredProfile out{std::move(record), std::nullopt, {}, {}};
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

// An instrument's profiles and its checks against a reference, newest first.
struct Records {
    std::vector<CheckRecord> profiles;
    std::vector<CheckRecord> checks;
};
Records recordsOf(LogbookStore& logbook, const std::string& serial) {
    Records out;
    auto pages = logbook.history(serial, {});
    for (auto page = pages->next(kPage); !page.empty(); page = pages->next(kPage))
        for (CheckRecord& r : page) {
            if (r.kind == RecordKind::Profile) out.profiles.push_back(std::move(r));
            if (r.kind == RecordKind::InterInstrument || r.kind == RecordKind::Verification)
                out.checks.push_back(std::move(r));
        }
    return out;
}

// The newest check against the profile's master since it was made, read through the profile.
void checkAfter(StoredProfile& p, const std::vector<CheckRecord>& checks, FileStore& files,
                const StringTable& texts) {
    if (!p.file) return;
    const std::string made = resultTimestamp(p.file->time);
    const auto newest = std::find_if(checks.begin(), checks.end(), [&](const CheckRecord& c) {
        return c.referenceSerial == p.file->master && resultTimestamp(c.time) > made &&
               !c.files.empty();
    });
    std::string text;
    if (newest == checks.end() || !files.readAll(newest->files.front(), kMaxChosenFileBytes, text))
        return;
    const auto format = resultFileFormat(text, {}, texts);
    const FileRead<JudgementFile> read =
        format ? readJudgementFile(text, *format, texts) : FileRead<JudgementFile>{};
    if (!read.ok() || read.contents->sampleSerial != p.record.serial) return;
    // The residual is stated in dE*ab, whatever formula the checks are judged in.
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    p.dueByCheck = dueByCheck(*engine, *p.file, *read.contents);
}

}  // namespace

std::optional<StoredProfile> storedProfile(LogbookStore& logbook, FileStore& files,
                                           const StringTable& texts, std::int64_t id,
                                           const std::string& serial, std::string& why) {
    // The instrument's history is read once: its newest profile and the checks after it.
    Records all = recordsOf(logbook, serial);
    std::optional<CheckRecord> record;
    if (id > 0)
        record = logbook.recordById(id);
    else if (!all.profiles.empty())
        record = std::move(all.profiles.front());
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
    StoredProfile out = withFile(logbook, files, texts, std::move(*record));
    checkAfter(out, all.checks, files, texts);
    return out;
}

std::vector<StoredProfile> storedProfiles(LogbookStore& logbook, FileStore& files,
                                          const StringTable& texts) {
    std::vector<StoredProfile> out;
    for (const LogbookStore::Instrument& i : logbook.instruments()) {
        Records all = recordsOf(logbook, i.serial);
        for (CheckRecord& r : all.profiles) {
            out.push_back(withFile(logbook, files, texts, std::move(r)));
            checkAfter(out.back(), all.checks, files, texts);
        }
    }
    return out;
}

ProfileStatus profileStatus(const StoredProfile& p, const LocalTime& now) {
    if (!p.file) return ProfileStatus::Unusable;
    return profileDue(*p.file, now) || !p.dueByCheck.empty() ? ProfileStatus::Due
                                                             : ProfileStatus::Current;
}

std::vector<FleetDrift> storedDrifts(const std::vector<StoredProfile>& profiles) {
    std::vector<ProfileFile> files;
    for (const StoredProfile& p : profiles)
        if (p.file) files.push_back(*p.file);
    return fleetDrifts(files);
}

}  // namespace qv
