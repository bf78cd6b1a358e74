// The spectra of a result file for other colour tools.
#include <QCommandLineParser>
#include <QTextStream>
#include <optional>

#include "cli/session.h"
#include "cli/standardised.h"
#include "cli/verbs.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/log/cgats_export.h"
#include "core/log/cxf_spectra.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "platform/app/resource_file.h"
#include "platform/log/cxf_file.h"

namespace qv::cli {

namespace {

// The judgement or repeatability file's copy standardised through the newest profile, exported
// from memory (no standardised result file is left behind): as CGATS, or with a layout as a
// CxF3 document whose sample readings are referenced to the profile. A CGATS file's copy stays
// CGATS, since the CxF reading of a file takes only the program's own result files.
int exportStandardised(const Options& o, const QString& file, const QString& out,
                       std::optional<CxfLayout> cxf) {
    Session s(o);
    s.logbook = openVerbLogbook(o, true);
    if (!s.logbook) return kExitFailed;
    const auto engine = makeColourEngine(KEY_VERSION1, formulaFromProfile(s.profile));
    const auto result = standardisedFile(s, o, *engine, file, {0, true, {}});
    if (!result) return kExitFailed;
    const std::string name = file.toStdString();
    std::string text;
    if (!cxf) {
        const CgatsExport cgats =
            result->cgats ? CgatsExport{result->text, {}}
                          : exportSpectra(result->text, userNumberFormat(), s.strings());
        if (!cgats.ok()) return failed(o, name + ": " + cgats.problem);
        text = cgats.text;
    } else if (result->cgats) {
        return failed(o, name +
                             ": a CGATS file's standardised copy is exported as CGATS; give "
                             "--cgats");
    } else {
        const CxfContents contents = cxfContents(result->text, userNumberFormat(), s.strings());
        if (!contents.ok()) return failed(o, name + ": " + contents.problem);
        text = formatCxf(contents, *cxf);
    }
    const std::string problem =
        newFileProblem(out.toStdString(), s.files.saveNew(out.toStdString(), text));
    if (!problem.empty()) return failed(o, problem);
    o.io.out << out << "\n";
    return kExitPassed;
}

std::optional<CxfLayout> layoutNamed(const QString& name) {
    if (name == QStringLiteral("grouped")) return CxfLayout::Grouped;
    if (name == QStringLiteral("per-angle")) return CxfLayout::PerAngle;
    return std::nullopt;
}

int exportCxf(const Options& o, const QCommandLineParser& parser, const StringTable& texts) {
    const QString file = parser.value(QStringLiteral("cxf"));
    const auto layout = layoutNamed(parser.value(QStringLiteral("layout")));
    if (!layout) return failed(o, "--layout is grouped or per-angle");
    const QString out = parser.isSet(QStringLiteral("out"))
                            ? parser.value(QStringLiteral("out"))
                            : QString::fromStdString(cxfPathBeside(file.toStdString()));
    if (parser.isSet(QStringLiteral("standardised")))
        return exportStandardised(o, file, out, *layout);
    AtomicFileStore files;
    const std::string problem = exportCxfFile(files, file.toStdString(), out.toStdString(), *layout,
                                              userNumberFormat(), texts);
    if (!problem.empty()) return failed(o, problem);
    o.io.out << out << "\n";
    return kExitPassed;
}

// What the verb does and takes, for --help.
void describeExport(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Writes the spectra of a result file (target, judgement, repeatability or coefficient "
        "record file) as CGATS text that colour tools read, ArgyllCMS's spec2cie among them: "
        "one sample per angle and spectrum, the 31 reflectances in percent (400 to 700 nm), "
        "the serials and the file's time in the header. With --standardised a judgement or "
        "repeatability file's instrument under correction is read through its newest profile, as "
        "the master would read it "
        "(a profile that is due makes nothing). An existing file is never "
        "overwritten.\nExit status: 0 written, 2 the file is not one of the program's result "
        "files or the export could not be written (the reason is printed).\nWith --cxf instead of "
        "--cgats the spectra are written as a CxF3 document: reflectance factors (1.0 = 100 %), "
        "each angle under its own multi-angle measurement conditions (45as25, 45as45, 45as75) with "
        "the "
        "instrument's serial; --layout per-angle writes one object per angle for readers that take "
        "one spectrum per object. With --standardised the judgement or repeatability file's "
        "copy read through the profile goes into the document, its readings referenced to the "
        "profile (a CGATS file's copy is exported with --cgats)."));
    parser.addOption({QStringLiteral("cgats"), QStringLiteral("The result file to export."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("cxf"),
                      QStringLiteral("The result file to export as a CxF3 document."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("layout"),
                      QStringLiteral("For --cxf: grouped (one object per reading with its three "
                                     "angles, the default) or per-angle (one object per angle)."),
                      QStringLiteral("LAYOUT"), QStringLiteral("grouped")});
    parser.addOption({QStringLiteral("out"),
                      QStringLiteral("The new file (default: FILE with .cgats.txt, or .cxf, for "
                                     ".csv)."),
                      QStringLiteral("OUT")});
    parser.addOption(
        {QStringLiteral("standardised"),
         QStringLiteral("The sample standardised to the master through its profile (a "
                        "judgement or repeatability file; with --cgats also a CGATS file).")});
}

}  // namespace

int runExport(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    describeExport(parser);
    if (const auto code = parseVerb(
            parser, arguments, o,
            QStringLiteral("Usage: qvl70s-cli export --cgats FILE [--standardised] [--out OUT]\n"
                           "       qvl70s-cli export --cxf FILE [--layout grouped|per-angle] "
                           "[--standardised] [--out OUT]")))
        return *code;
    const QString file = parser.value(QStringLiteral("cgats"));
    const bool cxf = parser.isSet(QStringLiteral("cxf"));
    // One of the two formats, never both.
    if (file.isEmpty() != cxf || !parser.positionalArguments().isEmpty())
        return failed(o, "give --cgats FILE or --cxf FILE");
    const QString out = parser.isSet(QStringLiteral("out"))
                            ? parser.value(QStringLiteral("out"))
                            : QString::fromStdString(cgatsPathBeside(file.toStdString()));
    // The header keys and block titles are the string table's.
    const auto texts = loadResourceStrings();
    if (!texts) return failed(o, "the resource file " + resourceFilePath() + " cannot be read");
    if (cxf) return exportCxf(o, parser, *texts);
    if (parser.isSet(QStringLiteral("standardised")))
        return exportStandardised(o, file, out, std::nullopt);
    AtomicFileStore files;
    const std::string problem =
        exportSpectraFile(files, file.toStdString(), out.toStdString(), userNumberFormat(), *texts);
    if (!problem.empty()) return failed(o, problem);
    o.io.out << out << "\n";
    return kExitPassed;
}

}  // namespace qv::cli
