// Judgement files standardised to the master through the profile of the instrument under
// correction: a copy of each, never the file itself, saying which profile made it.
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "cli/session.h"
#include "cli/standardised.h"
#include "cli/verbs.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

namespace {

struct Job {
    QString in;
    QString out;
    StandardisedCopy result;
};

QJsonObject jobJson(const Job& job) {
    QJsonArray angles;
    for (int a = 0; a < kAngleCount && job.result.compared; ++a)
        angles.append(QJsonObject{{"angle", kAngleDegrees[a]},
                                  {"deltaEBefore", job.result.deltaEBefore[a]},
                                  {"deltaEAfter", job.result.deltaEAfter[a]}});
    return {{"in", job.in},
            {"out", job.out},
            {"profile", QString::fromStdString(job.result.label)},
            {"angles", angles}};
}

}  // namespace

int runStandardise(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a standardised copy of each judgement, repeatability or CGATS file: the readings "
        "of the instrument under correction (a judgement's sample, a CGATS pair's \"sample\" "
        "sets) as the master would read them, through the instrument's profile (the newest, or "
        "--profile "
        "ID), with their coordinates and colour difference computed afresh. The file itself is "
        "never changed; the copy names its profile and is never standardised again. A profile "
        "past its date is due: a warning, or with --strict no copy.\n"
        "Exit status: 0 every file was standardised, 2 a file or its profile could not be used "
        "(the reason is printed)."));
    parser.addOption({QStringLiteral("profile"), QStringLiteral("The profile's record number."),
                      QStringLiteral("ID")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("The folder for the copies."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("serial"),
                      QStringLiteral("The instrument whose readings a CGATS file holds, when the "
                                     "file names none."),
                      QStringLiteral("SERIAL")});
    parser.addOption({QStringLiteral("strict"), QStringLiteral("Refuse a profile that is due.")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    parser.addPositionalArgument(QStringLiteral("FILES"),
                                 QStringLiteral("The judgement, repeatability or CGATS files."));
    if (const auto code =
            parseVerb(parser, arguments, o,
                      QStringLiteral("Usage: qvl70s-cli standardise [options] FILES...")))
        return *code;
    if (parser.positionalArguments().isEmpty()) return failed(o, "give the files to standardise");
    Session s(o);
    s.logbook = openVerbLogbook(o, true);
    if (!s.logbook) return kExitFailed;
    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const StandardiseRequest request{
        parser.value(QStringLiteral("profile")).toLongLong(),
        parser.isSet(QStringLiteral("strict")),
        parser.value(QStringLiteral("serial")).trimmed().toStdString()};
    std::vector<Job> jobs;
    for (const QString& in : parser.positionalArguments()) {
        auto result = standardisedFile(s, o, *engine, in, request);
        if (!result) return kExitFailed;
        const QFileInfo info(in);
        const QString dir = parser.isSet(QStringLiteral("out"))
                                ? parser.value(QStringLiteral("out"))
                                : info.absolutePath();
        jobs.push_back({in,
                        QDir(dir).filePath(info.baseName() + QStringLiteral("_standardised.") +
                                           info.completeSuffix()),
                        std::move(*result)});
    }
    QJsonArray done;
    for (const Job& job : jobs) {
        const NewFileResult saved = s.files.saveNew(job.out.toStdString(), job.result.text);
        if (saved.kind != NewFileResult::Kind::Saved)
            return failed(o,
                          job.out.toStdString() + (saved.kind == NewFileResult::Kind::Exists
                                                       ? " exists already; it is left alone"
                                                       : " could not be written: " + saved.error));
        done.append(jobJson(job));
        if (!parser.isSet(QStringLiteral("json")))
            o.io.out << job.out << " (" << QString::fromStdString(job.result.label) << ")\n";
    }
    if (parser.isSet(QStringLiteral("json")))
        o.io.out << QJsonDocument(QJsonObject{{"files", done}}).toJson(QJsonDocument::Indented);
    return kExitPassed;
}

}  // namespace qv::cli
