// The spectra of a result file for other colour tools.
#include <QCommandLineParser>
#include <QTextStream>

#include "cli/session.h"
#include "cli/verbs.h"
#include "core/coeff/file_choice.h"
#include "core/log/cgats_export.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "platform/app/resource_file.h"

namespace qv::cli {

namespace {

// Beside the result file, under its own name: "Judgement_20261207_150405.cgats.txt".
QString defaultOutput(const QString& file) {
    QString stem = file;
    if (stem.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) stem.chop(4);
    return stem + QStringLiteral(".cgats.txt");
}

int runExport(const QStringList& arguments) {
    Options o;
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the spectra of a result file (target, judgement, repeatability or coefficient "
        "record file) as CGATS text that colour tools read, ArgyllCMS's spec2cie among them: "
        "one sample per angle and spectrum, the 31 reflectances in percent (400 to 700 nm), "
        "the serials and the file's time in the header. An existing file is never "
        "overwritten.\nExit status: 0 written, 2 the file is not one of the program's result "
        "files or the export could not be written (the reason is printed)."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("cgats"), QStringLiteral("The result file to export."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("out"),
                      QStringLiteral("The new file (default: FILE with .cgats.txt for .csv)."),
                      QStringLiteral("OUT")});
    if (!parser.parse(arguments)) return failed(o, parser.errorText().toStdString());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText().replace(
            0, parser.helpText().indexOf(QLatin1Char('\n')),
            QStringLiteral("Usage: qvl70s-cli export --cgats FILE [--out OUT]"));
        return kExitPassed;
    }
    const QString file = parser.value(QStringLiteral("cgats"));
    if (file.isEmpty() || !parser.positionalArguments().isEmpty())
        return failed(o, "give --cgats FILE");
    const QString out = parser.isSet(QStringLiteral("out")) ? parser.value(QStringLiteral("out"))
                                                            : defaultOutput(file);
    // The header keys and block titles are the string table's.
    const auto texts = loadResourceStrings();
    if (!texts) return failed(o, "the resource file " + resourceFilePath() + " cannot be read");
    AtomicFileStore files;
    std::string text;
    if (!files.readAll(file.toStdString(), kMaxChosenFileBytes, text))
        return failed(o, "cannot read " + file.toStdString());
    const CgatsExport cgats = exportSpectra(text, userNumberFormat(), *texts);
    if (!cgats.ok())
        return failed(
            o, file.toStdString() + " is not a result file the export reads: " + cgats.problem);
    const NewFileResult saved = files.saveNew(out.toStdString(), cgats.text);
    if (saved.kind != NewFileResult::Kind::Saved)
        return failed(o, out.toStdString() + (saved.kind == NewFileResult::Kind::Exists
                                                  ? " exists already; it is left alone"
                                                  : " could not be written: " + saved.error));
    QTextStream(stdout) << out << "\n";
    return kExitPassed;
}

}  // namespace

static const bool exportRegistered =
    (registerVerb({"export", "A result file's spectra as CGATS text for colour tools", &runExport}),
     true);

}  // namespace qv::cli
