#include "cli/standardised.h"

#include "core/coeff/file_choice.h"
#include "core/log/result_kinds.h"
#include "platform/app/locale_format.h"
#include "platform/log/stored_profiles.h"

namespace qv::cli {

namespace {

// A CGATS file of spectra may hold many sets, one per line.
constexpr CsvLimits kCgatsLimits{16384, 100000};

// The reason printed, and the file not standardised.
std::nullopt_t refused(const Options& o, const std::string& why) {
    failed(o, why);
    return std::nullopt;
}

}  // namespace

namespace {

// The profile of `serial` the request names, with its label; nothing, the reason printed, when
// there is none to use.
std::optional<std::pair<Profile, std::string>> profileFor(Session& s, const Options& o,
                                                          const std::string& file,
                                                          const std::string& serial,
                                                          const StandardiseRequest& request) {
    std::string why;
    const auto stored =
        storedProfile(*s.logbook, s.files, s.strings(), request.profile, serial, why);
    if (!stored || !stored->file) return refused(o, file + ": " + (stored ? stored->problem : why));
    const std::string label = profileLabel(stored->record.id, *stored->file);
    const bool pastDate = profileDue(*stored->file, localTimeOf(s.clock.calendarSeconds()));
    if (pastDate || !stored->dueByCheck.empty()) {
        o.io.err << o.verb << ": " << QString::fromStdString(label) << " is due: "
                 << QString::fromStdString(pastDate ? "it stood until its date"
                                                    : stored->dueByCheck)
                 << "; make it again\n";
        if (request.refuseDue) return refused(o, "its profile is due: not standardised");
    }
    return std::pair{stored->file->profile, label};
}

std::optional<StandardisedCopy> judgementCopy(Session& s, const Options& o,
                                              EvaluateHueControl& engine, const std::string& in,
                                              const JudgementFile& file,
                                              const StandardiseRequest& request) {
    const auto profile = profileFor(s, o, in, file.sampleSerial, request);
    if (!profile) return std::nullopt;
    const auto result = standardiseJudgement(engine, file, profile->first, profile->second);
    if (!result) return refused(o, in + " holds no 31 reflectances per angle");
    const JudgementFile& f = result->file;
    return StandardisedCopy{
        formatJudgementFile(f.target, f.sample, f.targetSerial, f.sampleSerial, f.time, s.strings(),
                            userNumberFormat(), f.beforeCorrection, f.standardisedBy),
        f.standardisedBy,
        false,
        true,
        result->deltaEBefore,
        result->deltaEAfter};
}

std::optional<StandardisedCopy> seriesCopy(Session& s, const Options& o, EvaluateHueControl& engine,
                                           const std::string& in, const RepeatabilityFile& file,
                                           const StandardiseRequest& request) {
    const auto profile = profileFor(s, o, in, file.serial, request);
    if (!profile) return std::nullopt;
    const auto result = standardiseSeries(engine, file, profile->first, profile->second);
    if (!result) return refused(o, in + " holds no 31 reflectances per angle");
    const RepeatabilityFile& f = result->file;
    return StandardisedCopy{
        formatRepeatabilityFile(f.series, f.serial, f.time, s.strings(), userNumberFormat(),
                                f.formula, f.standardisedBy),
        f.standardisedBy,
        false,
        true,
        result->deltaEBefore,
        result->deltaEAfter};
}

// Whose readings the table holds: the one it names, or the one the operator gave when it names
// none; two that differ refuse the file.
std::optional<std::string> cgatsSerial(const Options& o, const std::string& in,
                                       const CgatsTable& table, const StandardiseRequest& request) {
    const std::string named = cgatsInstruments(table).serial;
    if (named.empty() && request.serial.empty())
        return refused(o, in + " names no instrument: give --serial, whose readings it holds");
    if (!named.empty() && !request.serial.empty() && named != request.serial)
        return refused(o, in + " holds readings of " + named + ", not of " + request.serial);
    return named.empty() ? request.serial : named;
}

std::optional<StandardisedCopy> cgatsCopy(Session& s, const Options& o, EvaluateHueControl& engine,
                                          const std::string& in, const CgatsTable& table,
                                          const StandardiseRequest& request) {
    if (const auto by = cgatsKeyword(table, kCgatsStandardisedKeyword))
        return refused(o, in + " is standardised already (" + *by + ")");
    const auto serial = cgatsSerial(o, in, table, request);
    if (!serial) return std::nullopt;
    const auto profile = profileFor(s, o, in, *serial, request);
    if (!profile) return std::nullopt;
    const auto result = standardiseCgats(engine, table, profile->first, profile->second);
    if (!result.ok()) return refused(o, in + ": " + result.problem);
    const StandardisedCgats& c = *result.contents;
    return StandardisedCopy{formatCgats(c.table), profile->second, true,
                            c.compared,           c.deltaEBefore,  c.deltaEAfter};
}

}  // namespace

std::optional<StandardisedCopy> standardisedFile(Session& s, const Options& o,
                                                 EvaluateHueControl& engine, const QString& path,
                                                 const StandardiseRequest& request) {
    const std::string in = path.toStdString();
    std::string text;
    if (!s.files.readAll(in, kMaxChosenFileBytes, text)) return refused(o, "cannot read " + in);
    const KnownResultFile known = knownResultFile(text, userNumberFormat(), s.strings());
    if (!known.kind) {
        // Not the program's own result file: CGATS, from its export or another tool.
        const FileRead<CgatsTable> cgats = readCgats(text, kCgatsLimits);
        if (cgats.ok()) return cgatsCopy(s, o, engine, in, *cgats.contents, request);
        return refused(o, in + " is neither a result file (" + known.problem + ") nor CGATS (" +
                              cgats.problem + ")");
    }
    const FileRead<ResultContents> read = known.kind->read(text, known.format, s.strings(), {});
    if (!read.ok()) return refused(o, in + " is not a result file: " + read.problem);
    if (const auto* j = std::get_if<JudgementFile>(&*read.contents)) {
        if (!j->standardisedBy.empty())
            return refused(o, in + " is standardised already (" + j->standardisedBy + ")");
        return judgementCopy(s, o, engine, in, *j, request);
    }
    if (const auto* r = std::get_if<RepeatabilityFile>(&*read.contents)) {
        if (!r->standardisedBy.empty())
            return refused(o, in + " is standardised already (" + r->standardisedBy + ")");
        return seriesCopy(s, o, engine, in, *r, request);
    }
    return refused(o, in + " is neither a judgement, a repeatability nor a CGATS file");
}

}  // namespace qv::cli
