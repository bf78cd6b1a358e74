// The options every verb shares, parsed in one place.
#include "cli/options.h"

#include "core/coeff/entry_basis.h"

#include <tuple>

#include "core/measure/average_workflow.h"
#include "core/measure/extended_repeatability.h"

namespace qv::cli {

namespace {

std::optional<int> readAverage(const QCommandLineParser& parser, const QString& name, Options& o) {
    if (!parser.isSet(name)) return std::nullopt;
    bool ok = false;
    o.average = parser.value(name).toInt(&ok);
    if (ok && o.average >= 1 && o.average <= kMaxAverageMeasurements) return std::nullopt;
    o.io.err << o.verb << ": --average takes a number from 1 to 30\n";
    return kExitFailed;
}

}  // namespace

void printHelp(QTextStream& out, const QCommandLineParser& parser, const QString& usage) {
    QString help = parser.helpText();
    out << help.replace(0, help.indexOf(QLatin1Char('\n')), usage);
}

std::optional<int> parseVerb(QCommandLineParser& parser, const QStringList& arguments,
                             const Options& o, const QString& usage) {
    parser.addHelpOption();
    if (!parser.parse(arguments)) return failed(o, parser.errorText().toStdString());
    if (!parser.isSet(QStringLiteral("help"))) return std::nullopt;
    printHelp(o.io.out, parser, usage);
    return kExitPassed;
}

namespace {

// The option names the shared parser knows.
const QString kPort = QStringLiteral("port");
const QString kAverage = QStringLiteral("average");
const QString kJson = QStringLiteral("json");
const QString kWhiteOnly = QStringLiteral("white-only");
const QString kReference = QStringLiteral("reference-port");
const QString kReferenceFile = QStringLiteral("reference-file");
const QString kEntry = QStringLiteral("entry");
const QString kBasis = QStringLiteral("basis");
const QString kYes = QStringLiteral("yes");
const QString kComment = QStringLiteral("comment");
const QString kFrom = QStringLiteral("from");
const QString kReadings = QStringLiteral("readings");
const QString kHandling = QStringLiteral("handling");
const QString kSpecimen = QStringLiteral("specimen");
const QString kOverride = QStringLiteral("override");

void addReadingsOptions(QCommandLineParser& parser) {
    parser.addOption({kReadings,
                      QStringLiteral("Instead of three measurements: N readings (10 to 30) of one "
                                     "specimen and their spread about the mean per angle."),
                      QStringLiteral("N")});
    parser.addOption({kHandling, QStringLiteral("With --readings: lift the specimen and place it "
                                                "again before each reading after the first (asked "
                                                "each time; Enter goes on).")});
    parser.addOption({kSpecimen, QStringLiteral("The specimen's name, kept with the record."),
                      QStringLiteral("NAME")});
    parser.addOption({kYes, QStringLiteral("With --handling: go on without waiting.")});
}

// --readings and what goes with it; an exit code when they are wrong.
std::optional<int> readReadings(const QCommandLineParser& parser, Options& o) {
    const bool others = parser.isSet(kHandling) || parser.isSet(kYes) || parser.isSet(kJson);
    o.specimen = parser.value(kSpecimen);
    if (!parser.isSet(kReadings)) {
        if (others) return failed(o, "--handling, --yes and --json go with --readings N");
        return std::nullopt;
    }
    bool ok = false;
    o.readings = parser.value(kReadings).toInt(&ok);
    if (!ok || o.readings < kMinExtendedReadings || o.readings > kMaxExtendedReadings)
        return failed(o, "--readings takes a number from " + std::to_string(kMinExtendedReadings) +
                             " to " + std::to_string(kMaxExtendedReadings));
    if (parser.isSet(kAverage)) return failed(o, "--readings takes direct readings, not --average");
    o.handling = parser.isSet(kHandling);
    o.yes = parser.isSet(kYes);
    return std::nullopt;
}

}  // namespace

void addOverrideOption(QCommandLineParser& parser) {
    parser.addOption({kOverride,
                      QStringLiteral("When the lab's check intervals hold the instrument back "
                                     "(a check is overdue): go ahead this once for REASON, "
                                     "recorded with the operator's account. --yes does not."),
                      QStringLiteral("REASON")});
}

std::optional<int> readOverride(const QCommandLineParser& parser, Options& o) {
    if (!parser.isSet(kOverride)) return std::nullopt;
    o.overrideReason = parser.value(kOverride).simplified();
    if (o.overrideReason.isEmpty() || o.overrideReason.size() > 1000)
        return failed(o, "--override takes a reason of 1 to 1000 characters");
    return std::nullopt;
}

namespace {

void addOptions(QCommandLineParser& parser, const OptionSet& accepted) {
    parser.addHelpOption();
    parser.addOption({kPort,
                      accepted.referencePort
                          ? QStringLiteral("Serial port of the instrument under correction.")
                          : QStringLiteral("Serial port of the instrument."),
                      QStringLiteral("PORT")});
    if (accepted.referencePort) {
        parser.addOption({kReference, QStringLiteral("Serial port of the reference instrument."),
                          QStringLiteral("PORT")});
        parser.addOption({kReferenceFile,
                          QStringLiteral("Instead of a reference port: a registration file of "
                                         "the reference instrument (a target result file is "
                                         "one)."),
                          QStringLiteral("FILE")});
    }
    if (accepted.average)
        parser.addOption({kAverage,
                          QStringLiteral("Take each measurement as the average of N (1 to 30)."),
                          QStringLiteral("N")});
    if (accepted.json) parser.addOption({kJson, QStringLiteral("Print JSON.")});
    if (accepted.whiteOnly)
        parser.addOption({kWhiteOnly, QStringLiteral("Skip the zero calibration.")});
    if (accepted.entry) {
        parser.addOption(
            {kEntry, QStringLiteral("The user-calibration entry, 1 to 30."), QStringLiteral("N")});
        parser.addOption({kYes, QStringLiteral("Go on also when the entry is occupied.")});
        addOverrideOption(parser);
    }
    if (accepted.comment)
        parser.addOption({kComment,
                          QStringLiteral("The entry's comment: A-Z, 0-9, colon, full stop, "
                                         "blank; 16 characters are written."),
                          QStringLiteral("TEXT")});
    if (accepted.readings) addReadingsOptions(parser);
    if (accepted.yes) parser.addOption({kYes, QString::fromUtf8(accepted.yes)});
    if (accepted.basis)
        parser.addOption(
            {kBasis,
             QStringLiteral("What the readings the factors correct passed through: none, or the "
                            "entry N the instrument applied to them. Required when the "
                            "instrument holds entries; --yes does not answer it."),
             QStringLiteral("none|N")});
    if (accepted.from)
        parser.addOption({kFrom, QStringLiteral("The coefficient file with target and sample."),
                          QStringLiteral("FILE")});
}

// The parsed options into `o`; an exit code when one is missing or out of range.
std::optional<int> readOptions(const QCommandLineParser& parser, const OptionSet& accepted,
                               Options& o) {
    const bool referenceMissing =
        accepted.referencePort && parser.isSet(kReference) == parser.isSet(kReferenceFile);
    if (parser.isSet(kPort) && referenceMissing)
        return failed(o, "give either --reference-port PORT or --reference-file FILE");
    if (!parser.isSet(kPort)) return failed(o, "--port PORT is required");
    o.port = parser.value(kPort);
    if (accepted.referencePort) {
        o.referencePort = parser.value(kReference);
        o.referenceFile = parser.value(kReferenceFile);
    }
    if (accepted.average)
        if (auto code = readAverage(parser, kAverage, o)) return code;
    if (accepted.entry) {
        bool ok = false;
        o.entry = parser.value(kEntry).toInt(&ok);
        if (!ok || o.entry < 1 || o.entry > 30)
            return failed(o, "--entry takes a number from 1 to 30");
        o.yes = parser.isSet(kYes);
        if (const auto code = readOverride(parser, o)) return code;
    }
    for (const auto& [wanted, name, value] :
         {std::tuple{accepted.comment, kComment, "TEXT"}, std::tuple{accepted.from, kFrom, "FILE"}})
        if (wanted && !parser.isSet(name))
            return failed(o, "--" + name.toStdString() + " " + value + " is required");
    o.comment = accepted.comment ? parser.value(kComment) : QString();
    o.from = accepted.from ? parser.value(kFrom) : QString();
    if (accepted.basis && parser.isSet(kBasis)) {
        o.basis = parser.value(kBasis);
        if (!parseBasis(o.basis.toStdString()))
            return failed(o, "--basis takes none or an entry number from 1 to 30");
    }
    if (accepted.readings)
        if (auto code = readReadings(parser, o)) return code;
    if (accepted.yes) o.yes = parser.isSet(kYes);
    o.json = accepted.json && parser.isSet(kJson);
    o.whiteOnly = accepted.whiteOnly && parser.isSet(kWhiteOnly);
    return std::nullopt;
}

}  // namespace

std::optional<int> parse(const QStringList& arguments, const QString& description,
                         const OptionSet& accepted, Options& o) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        description + QLatin1Char('\n') + QLatin1String(kSavedLineSettingsHelp) +
        (accepted.referencePort ? QStringLiteral("\nEach instrument")
                                : QStringLiteral("\nThe instrument")) +
        QStringLiteral(" is connected first, as the Connect button does it "
                       "(identification, and the settings reset of a type 53 instrument)."));
    addOptions(parser, accepted);
    o.verb = arguments.value(0);
    if (!parser.parse(arguments)) return failed(o, parser.errorText().toStdString());
    if (parser.isSet(QStringLiteral("help"))) {
        printHelp(o.io.out, parser, QStringLiteral("Usage: qvl70s-cli %1 [options]").arg(o.verb));
        return kExitPassed;
    }
    return readOptions(parser, accepted, o);
}

int failed(const Options& o, const std::string& reason) {
    o.io.err << o.verb << ": " << QString::fromStdString(reason) << "\n";
    o.io.err.flush();
    return kExitFailed;
}

}  // namespace qv::cli
