// qvl70s-cli colour: spectra to L*a*b* and colour differences from text tables.
#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/verbs.h"
#include "core/checks/colour_rows.h"

namespace qv::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadData = 1;
constexpr int kExitUsage = 2;

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

void writeErr(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

// The parser's own help, with our verb in the usage line.
void printHelp(const QCommandLineParser& parser, const QString& usage) {
    QString help = parser.helpText();
    const qsizetype firstBreak = help.indexOf(QLatin1Char('\n'));
    help = usage + QLatin1Char('\n') + (firstBreak < 0 ? QString() : help.mid(firstBreak));
    std::fputs(help.toLocal8Bit().constData(), stdout);
}

// Reads the table line by line, prints results, reports bad rows; returns the exit status.
int convert(const QString& path, ColourRowConverter& converter, const std::string& who) {
    const bool fromStdin = path.isEmpty() || path == QLatin1String("-");
    const std::string shown = fromStdin ? "<stdin>" : path.toStdString();
    std::ifstream file;
    if (!fromStdin) {
        file.open(QFile::encodeName(path).toStdString(), std::ios::binary);
        if (!file) {
            writeErr(who + ": cannot read " + shown + ": " + std::strerror(errno) + "\n");
            return kExitBadData;
        }
    }
    std::istream& in = fromStdin ? std::cin : file;
    std::string line;
    while (std::getline(in, line)) {
        const RowOutcome row = converter.feed(line);
        if (row.kind == RowOutcome::Kind::Result) {
            std::fputs((row.text + "\n").c_str(), stdout);
        } else if (row.kind == RowOutcome::Kind::Error) {
            writeErr(who + ": " + shown + ": " + row.text + "\n");
        }
    }
    if (in.bad()) {
        writeErr(who + ": " + shown + ": read error\n");
        return kExitBadData;
    }
    if (converter.badRows() > 0) return kExitBadData;
    if (converter.resultRows() == 0) {
        writeErr(who + ": " + shown + ": no data rows\n");
        return kExitBadData;
    }
    return kExitOk;
}

// Parses a verb's options; returns the exit status to end with, or -1 to go on.
int parseVerb(QCommandLineParser& parser, const QStringList& arguments, const QString& usage,
              const std::string& who) {
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("table to read, '-' for "
                                                "standard input"),
                                 QStringLiteral("[FILE|-]"));
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments)) {
        writeErr(who + ": " + parser.errorText().toStdString() + "\n");
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        printHelp(parser, usage);
        return kExitOk;
    }
    if (parser.positionalArguments().size() > 1) {
        writeErr(who + ": give at most one FILE\n");
        return kExitUsage;
    }
    return -1;
}

int runLab(const QStringList& arguments) {
    const std::string who = "qvl70s-cli colour lab";
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts reflectance spectra to CIELAB (D65, 10-degree observer).\n") +
        QLatin1String(kTableHelp));
    const int done = parseVerb(
        parser, arguments, QStringLiteral("Usage: qvl70s-cli colour lab [options] [FILE|-]"), who);
    if (done >= 0) return done;
    ColourRowConverter converter(ColourTable::Spectra);
    return convert(parser.positionalArguments().value(0), converter, who);
}

int runDiff(const QStringList& arguments) {
    const std::string who = "qvl70s-cli colour diff";
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
    const int done = parseVerb(
        parser, arguments, QStringLiteral("Usage: qvl70s-cli colour diff [options] [FILE|-]"), who);
    if (done >= 0) return done;
    const QString name = parser.value(formulaOption);
    const auto formula = formulaFromText(name.toStdString());
    if (!formula) {
        writeErr(who + ": unknown formula '" + name.toStdString() +
                 "' (de76, de94, de00 or cmc)\n");
        return kExitUsage;
    }
    ColourRowConverter converter(ColourTable::LabPairs, *formula);
    return convert(parser.positionalArguments().value(0), converter, who);
}

int runColour(const QStringList& arguments) {
    const QString verb = arguments.value(1);
    if (verb == QLatin1String("lab")) return runLab(arguments.mid(1));
    if (verb == QLatin1String("diff")) return runDiff(arguments.mid(1));
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) {
        std::fputs(kGroupUsage, stdout);
        return kExitOk;
    }
    if (!verb.isEmpty()) writeErr("qvl70s-cli colour: unknown verb '" + verb.toStdString() + "'\n");
    writeErr(kGroupUsage);
    return kExitUsage;
}

}  // namespace

[[maybe_unused]] static const bool registered =
    (qv::cli::registerVerb({"colour", "spectra to L*a*b* and colour differences", &runColour}),
     true);

}  // namespace qv::cli
