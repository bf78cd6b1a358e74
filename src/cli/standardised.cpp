#include "cli/standardised.h"

#include "core/coeff/file_choice.h"
#include "core/log/result_kinds.h"
#include "platform/app/locale_format.h"
#include "platform/log/stored_profiles.h"

namespace qv::cli {

namespace {

// The reason printed, and the file not standardised.
std::nullopt_t refused(const Options& o, const std::string& why) {
    failed(o, why);
    return std::nullopt;
}

}  // namespace

std::optional<StandardisedJudgement> standardisedFile(Session& s, const Options& o,
                                                      EvaluateHueControl& engine, const QString& in,
                                                      const StandardiseRequest& request) {
    std::string text;
    if (!s.files.readAll(in.toStdString(), kMaxChosenFileBytes, text))
        return refused(o, "cannot read " + in.toStdString());
    const KnownResultFile known = knownResultFile(text, userNumberFormat(), s.strings());
    if (!known.kind || known.kind->descriptor != "Judgement file")
        return refused(o, in.toStdString() + " is not a judgement file");
    const FileRead<JudgementFile> read = readJudgementFile(text, known.format, s.strings());
    if (!read.ok()) return refused(o, in.toStdString() + ": " + read.problem);
    if (!read.contents->standardisedBy.empty())
        return refused(o, in.toStdString() + " is standardised already (" +
                              read.contents->standardisedBy + ")");
    std::string why;
    const auto stored = storedProfile(*s.logbook, s.files, s.strings(), request.profile,
                                      read.contents->sampleSerial, why);
    if (!stored || !stored->file)
        return refused(o, in.toStdString() + ": " + (stored ? stored->problem : why));
    const std::string label = profileLabel(stored->record.id, *stored->file);
    if (profileDue(*stored->file, localTimeOf(s.clock.calendarSeconds()))) {
        o.io.err << o.verb << ": " << QString::fromStdString(label)
                 << " is due: it stood until its date and should be made again\n";
        if (request.refuseDue) return refused(o, "its profile is due: not standardised");
    }
    auto result = standardiseJudgement(engine, *read.contents, stored->file->profile, label);
    if (!result) return refused(o, in.toStdString() + " holds no 31 reflectances per angle");
    return result;
}

std::string standardisedText(Session& s, const StandardisedJudgement& result) {
    const JudgementFile& f = result.file;
    return formatJudgementFile(f.target, f.sample, f.targetSerial, f.sampleSerial, f.time,
                               s.strings(), userNumberFormat(), f.beforeCorrection,
                               f.standardisedBy);
}

}  // namespace qv::cli
