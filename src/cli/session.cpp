// The options, port and connection every instrument verb shares.
#include "cli/session.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>
#include <tuple>

#include "cli/port_options.h"
#include "core/link/connection_workflow.h"
#include "core/link/identify.h"
#include "core/measure/average_workflow.h"
#include "platform/app/data_folder.h"

namespace qv::cli {

namespace {

// --help names the program only; the verb belongs in the usage line too.
void printHelp(const QCommandLineParser& parser, const QString& usage) {
    QString help = parser.helpText();
    QTextStream(stdout) << help.replace(0, help.indexOf(QLatin1Char('\n')), usage);
}

std::optional<int> readAverage(const QCommandLineParser& parser, const QString& name, Options& o) {
    if (!parser.isSet(name)) return std::nullopt;
    bool ok = false;
    o.average = parser.value(name).toInt(&ok);
    if (ok && o.average >= 1 && o.average <= kMaxAverageMeasurements) return std::nullopt;
    QTextStream(stderr) << o.verb << ": --average takes a number from 1 to 30\n";
    return kExitFailed;
}

}  // namespace

Answer PrintingPrompter::ask(const Message& message) {
    QString text = texts_ ? QString::fromStdString(texts_->text(message.stringId)) : QString();
    if (text.isEmpty()) text = QStringLiteral("message %1").arg(message.stringId);
    QTextStream(stderr) << text.replace(QLatin1Char('\n'), QLatin1Char(' '))
                        << QString::fromStdString(message.suffix);
    if (!message.detail.empty())
        QTextStream(stderr) << " (" << QString::fromStdString(message.detail) << ")";
    if (message.buttons != Buttons::YesNo) {
        QTextStream(stderr) << "\n";
        return Answer::Ok;
    }
    QTextStream(stderr) << (agreed ? " -- yes (--yes)\n" : " -- no (give --yes to agree)\n");
    return agreed ? Answer::Yes : Answer::No;
}

Session::Session(const Options& o) {
    prompter.agreed = o.yes;
}

std::optional<int> parseVerb(QCommandLineParser& parser, const QStringList& arguments,
                             const Options& o, const QString& usage) {
    parser.addHelpOption();
    if (!parser.parse(arguments)) return failed(o, parser.errorText().toStdString());
    if (!parser.isSet(QStringLiteral("help"))) return std::nullopt;
    printHelp(parser, usage);
    return kExitPassed;
}

std::optional<int> parse(const QStringList& arguments, const QString& description,
                         const OptionSet& accepted, Options& o) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        description + QLatin1Char('\n') + QLatin1String(kSavedLineSettingsHelp) +
        (accepted.referencePort ? QStringLiteral("\nEach instrument")
                                : QStringLiteral("\nThe instrument")) +
        QStringLiteral(" is connected first, as the Connect button does it "
                       "(identification, and the settings reset of a type 53 instrument)."));
    parser.addHelpOption();
    const QString port = QStringLiteral("port");
    const QString average = QStringLiteral("average");
    const QString json = QStringLiteral("json");
    const QString whiteOnly = QStringLiteral("white-only");
    const QString reference = QStringLiteral("reference-port");
    parser.addOption({port,
                      accepted.referencePort
                          ? QStringLiteral("Serial port of the instrument under correction.")
                          : QStringLiteral("Serial port of the instrument."),
                      QStringLiteral("PORT")});
    const QString referenceFile = QStringLiteral("reference-file");
    if (accepted.referencePort) {
        parser.addOption({reference, QStringLiteral("Serial port of the reference instrument."),
                          QStringLiteral("PORT")});
        parser.addOption({referenceFile,
                          QStringLiteral("Instead of a reference port: a registration file of "
                                         "the reference instrument (a target result file is "
                                         "one)."),
                          QStringLiteral("FILE")});
    }
    if (accepted.average)
        parser.addOption({average,
                          QStringLiteral("Take each measurement as the average of N (1 to 30)."),
                          QStringLiteral("N")});
    if (accepted.json) parser.addOption({json, QStringLiteral("Print JSON.")});
    if (accepted.whiteOnly)
        parser.addOption({whiteOnly, QStringLiteral("Skip the zero calibration.")});
    const QString entry = QStringLiteral("entry");
    const QString yes = QStringLiteral("yes");
    if (accepted.entry) {
        parser.addOption(
            {entry, QStringLiteral("The user-calibration entry, 1 to 30."), QStringLiteral("N")});
        parser.addOption({yes, QStringLiteral("Go on also when the entry is occupied.")});
    }
    const QString comment = QStringLiteral("comment");
    const QString from = QStringLiteral("from");
    if (accepted.comment)
        parser.addOption({comment,
                          QStringLiteral("The entry's comment: A-Z, 0-9, colon, full stop, "
                                         "blank; 16 characters are written."),
                          QStringLiteral("TEXT")});
    if (accepted.from)
        parser.addOption({from, QStringLiteral("The coefficient file with target and sample."),
                          QStringLiteral("FILE")});
    QTextStream err(stderr);
    o.verb = arguments.value(0);
    if (!parser.parse(arguments)) {
        err << o.verb << ": " << parser.errorText() << "\n";
        return kExitFailed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printHelp(parser, QStringLiteral("Usage: qvl70s-cli %1 [options]").arg(o.verb));
        return 0;
    }
    const bool referenceMissing =
        accepted.referencePort && parser.isSet(reference) == parser.isSet(referenceFile);
    if (parser.isSet(port) && referenceMissing) {
        err << o.verb << ": give either --reference-port PORT or --reference-file FILE\n";
        return kExitFailed;
    }
    const QString missing = !parser.isSet(port) ? port : QString();
    if (!missing.isEmpty()) {
        err << o.verb << ": --" << missing << " PORT is required\n";
        return kExitFailed;
    }
    o.port = parser.value(port);
    if (accepted.referencePort) {
        o.referencePort = parser.value(reference);
        o.referenceFile = parser.value(referenceFile);
    }
    if (accepted.average)
        if (auto code = readAverage(parser, average, o)) return code;
    if (accepted.entry) {
        bool ok = false;
        o.entry = parser.value(entry).toInt(&ok);
        if (!ok || o.entry < 1 || o.entry > 30) {
            err << o.verb << ": --entry takes a number from 1 to 30\n";
            return kExitFailed;
        }
        o.yes = parser.isSet(yes);
    }
    for (const auto& [wanted, name, value] :
         {std::tuple{accepted.comment, comment, QStringLiteral("TEXT")},
          std::tuple{accepted.from, from, QStringLiteral("FILE")}})
        if (wanted && !parser.isSet(name)) {
            err << o.verb << ": --" << name << " " << value << " is required\n";
            return kExitFailed;
        }
    o.comment = accepted.comment ? parser.value(comment) : QString();
    o.from = accepted.from ? parser.value(from) : QString();
    o.json = accepted.json && parser.isSet(json);
    o.whiteOnly = accepted.whiteOnly && parser.isSet(whiteOnly);
    return std::nullopt;
}

void Session::useDataFolder() {
    state.strDataFolder = setUpDataFolder();
    ensureFolder(state.strDataFolder);
    logbook = openLogbook(prompter);
}

bool openPort(Session& s, const Options& o, const QString& port) {
    return openPortWithSavedSettings(o.verb, port, s.state, s.profile, s.prompter);
}

int failed(const Options& o, const std::string& reason) {
    QTextStream(stderr) << o.verb << ": " << QString::fromStdString(reason) << "\n";
    return kExitFailed;
}

std::unique_ptr<SqlLogbook> openVerbLogbook(const Options& o, bool mustExist) {
    const std::string path = logbookPath();
    if (path.empty()) {
        failed(o, "there is no documents folder for the logbook");
        return nullptr;
    }
    if (mustExist && !QFile::exists(QString::fromStdString(path))) {
        failed(o, "there is no logbook at " + path);
        return nullptr;
    }
    auto logbook = std::make_unique<SqlLogbook>(path, [&o](const std::string& what) {
        QTextStream(stderr) << o.verb << ": " << QString::fromStdString(what) << "\n";
    });
    if (logbook->isOpen()) return logbook;
    failed(o, "the logbook " + path + " cannot be opened");
    return nullptr;
}

bool connectInstrument(Session& s, const Options& o, const std::string& which) {
    ConnectionWorkflow connection(s.seams());
    if (!connection.connect()) {
        failed(o, which + "identification failed: " + describe(connection.identification().error));
        return false;
    }
    // As in the connection dialog, a failed reset is told but the instrument counts as connected.
    if (!connection.reset().ok())
        QTextStream(stderr) << o.verb << ": " << QString::fromStdString(which)
                            << "the settings reset failed ("
                            << QString::fromStdString(describe(connection.reset().error))
                            << "); going on\n";
    return true;
}

}  // namespace qv::cli
