// qvl70s-cli colour: spectra to L*a*b* and colour differences from text tables.
#include <QCommandLineParser>
#include <QFile>
#include <string>

#include "cli/options.h"
#include "core/checks/colour_rows.h"

namespace qv::cli {

namespace {

const char* const kGroupUsage =
    "Usage: qvl70s-cli colour lab [options] [FILE|-]\n"
    "       qvl70s-cli colour diff [options] [FILE|-]\n"
    "\n"
    "  lab   rows of an identifier and 31 reflectances in percent (400..700 nm) to\n"
    "        'id L* a* b*' (D65, 10-degree observer)\n"
    "  diff  rows 'L1 a1 b1 L2 a2 b2' to the colour difference of the second colour\n"
    "        against the first (--formula de76, de94, de00 or cmc)\n"
    "\n"
    "qvl70s-cli colour VERB --help describes a verb.\n";

const char* const kTableHelp =
    "Fields are separated by tabs, semicolons or commas (the first of these a row holds);\n"
    "diff rows may also use blanks. Numbers take a decimal point, or a decimal comma where\n"
    "the separator is not a comma. A header row and blank lines are skipped. Results are\n"
    "tab-separated with four decimals. A bad row is reported on standard error with its\n"
    "line number, gives no output line, and makes the exit status 1. FILE '-' or no FILE\n"
    "reads standard input.";

// Reads the table line by line, prints results, reports bad rows; returns the exit status.
int convert(Io& io, const QString& path, ColourRowConverter& converter, const QString& who) {
    const bool fromStdin = path.isEmpty() || path == QLatin1String("-");
    const QString shown = fromStdin ? QStringLiteral("<stdin>") : path;
    QFile file(path);
    if (!fromStdin && !file.open(QIODevice::ReadOnly)) {
        io.err << who << ": cannot read " << shown << ": " << file.errorString() << "\n";
        return kExitCheckFailed;
    }
    QIODevice& in = fromStdin ? io.in : file;
    // A line ends in a line feed; only the end of the input gives nothing (on a pipe too,
    // where the end is not known before it is read).
    for (QByteArray line = in.readLine(); !line.isEmpty(); line = in.readLine()) {
        if (line.endsWith('\n')) line.chop(1);
        const RowOutcome row = converter.feed(line.toStdString());
        if (row.kind == RowOutcome::Kind::Result)
            io.out << QString::fromStdString(row.text) << "\n";
        else if (row.kind == RowOutcome::Kind::Error)
            io.err << who << ": " << shown << ": " << QString::fromStdString(row.text) << "\n";
    }
    if (converter.badRows() > 0) return kExitCheckFailed;
    if (converter.resultRows() == 0) {
        io.err << who << ": " << shown << ": no data rows\n";
        return kExitCheckFailed;
    }
    return kExitPassed;
}

// Parses a sub-verb's options and its one FILE; an exit code when it is to end at once.
std::optional<int> parseTable(QCommandLineParser& parser, const QStringList& arguments,
                              const Options& o) {
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("table to read, '-' for standard input"),
                                 QStringLiteral("[FILE|-]"));
    const QString usage = QStringLiteral("Usage: %1 [options] [FILE|-]").arg(o.verb);
    if (auto code = parseVerb(parser, arguments, o, usage)) return code;
    if (parser.positionalArguments().size() > 1) return failed(o, "give at most one FILE");
    return std::nullopt;
}

int runLab(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = QStringLiteral("qvl70s-cli colour lab");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts reflectance spectra to CIELAB (D65, 10-degree observer).\n") +
        QLatin1String(kTableHelp));
    if (auto code = parseTable(parser, arguments, o)) return *code;
    ColourRowConverter converter(ColourTable::Spectra);
    return convert(io, parser.positionalArguments().value(0), converter, o.verb);
}

int runDiff(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = QStringLiteral("qvl70s-cli colour diff");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Colour difference of L2 a2 b2 against the reference L1 a1 b1.\n") +
        QLatin1String(kTableHelp));
    const QCommandLineOption formulaOption(
        {QStringLiteral("f"), QStringLiteral("formula")},
        QStringLiteral("de76 (CIE 1976, default), de94 (CIE 1994), de00 (CIEDE2000) or cmc "
                       "(CMC 1:1)"),
        QStringLiteral("formula"), QStringLiteral("de76"));
    parser.addOption(formulaOption);
    if (auto code = parseTable(parser, arguments, o)) return *code;
    const QString name = parser.value(formulaOption);
    const auto formula = formulaFromText(name.toStdString());
    if (!formula)
        return failed(o, "unknown formula '" + name.toStdString() + "' (de76, de94, de00 or cmc)");
    ColourRowConverter converter(ColourTable::LabPairs, *formula);
    return convert(io, parser.positionalArguments().value(0), converter, o.verb);
}

}  // namespace

int runColour(const QStringList& arguments, Io& io) {
    const QString verb = arguments.value(1);
    if (verb == QLatin1String("lab")) return runLab(arguments.mid(1), io);
    if (verb == QLatin1String("diff")) return runDiff(arguments.mid(1), io);
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) {
        io.out << kGroupUsage;
        return kExitPassed;
    }
    if (!verb.isEmpty()) io.err << "qvl70s-cli colour: unknown verb '" << verb << "'\n";
    io.err << kGroupUsage;
    return kExitFailed;
}

}  // namespace qv::cli
