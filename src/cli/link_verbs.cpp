// Link verbs: identify the instrument on a port.
#include <QCommandLineParser>
#include <QTextStream>

#include "cli/verbs.h"
#include "core/link/identify.h"
#include "platform/app/system_clock.h"
#include "platform/link/posix_serial_channel.h"

namespace qv::cli {

namespace {

constexpr int kExitFailed = 2;

QString typeText(const IdentifyResult& id) {
    switch (id.outcome) {
        case IdentifyOutcome::Type40:
            return QStringLiteral("40");
        case IdentifyOutcome::Type53:
            return QStringLiteral("53");
        case IdentifyOutcome::ThreeField:
            return QStringLiteral("40 (three-field form)");
        case IdentifyOutcome::Failed:
            break;
    }
    return {};
}

// A refused reply is shown only this far: a flood would fill the terminal.
constexpr qsizetype kShownReplyChars = 80;

// Shows control characters of a reply so the failure message stays on one line; text beyond
// `maxChars` shown characters is cut and marked with "...".
QString visible(const std::string& text, qsizetype maxChars = -1) {
    QString out;
    for (unsigned char c : text) {
        QString shown;
        if (c == '\r')
            shown = QStringLiteral("\\r");
        else if (c < 0x20 || c >= 0x7f)
            shown = QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else
            shown = QLatin1Char(static_cast<char>(c));
        if (maxChars >= 0 && out.size() + shown.size() > maxChars)
            return out + QStringLiteral("...");
        out += shown;
    }
    return out;
}

QString failureText(const IdentifyResult& id) {
    return QString::fromStdString(describe(id.error));
}

QString resetFailureText(const SettingsResetResult& reset) {
    return QStringLiteral("the settings reset failed: %1")
        .arg(QString::fromStdString(describe(reset.error)));
}

int runIdentify(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Asks the instrument on PORT to identify itself (IDR) and prints its type and\n"
        "identification text. PORT is a device name under /dev (ttyUSB0) or a path.\n"
        "Exit status: 0 identified, 2 failed (the reason is printed)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port of the instrument."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption resetOption(
        QStringLiteral("reset"),
        QStringLiteral("Also reset the settings of a type 53 instrument (CPR, CPS, USR, USS)."));
    parser.addOption(portOption);
    parser.addOption(resetOption);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(arguments)) {
        err << "identify: " << parser.errorText() << "\n";
        return kExitFailed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // The parser names the program only; the verb and its required option belong there too.
        QString help = parser.helpText();
        help.replace(0, help.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: qvl70s-cli identify --port PORT [--reset]"));
        out << help;
        return 0;
    }
    if (!parser.isSet(portOption)) {
        err << "identify: --port PORT is required\n";
        return kExitFailed;
    }
    const QString portName = parser.value(portOption);
    SystemClock clock;
    PosixSerialChannel port;
    if (!port.open(portName.toStdString())) {
        err << "identify: cannot open port " << portName
            << " (missing, busy or not a serial port)\n";
        return kExitFailed;
    }
    const IdentifyResult id = IdentifyInstrument(port, clock);
    if (!id.ok()) {
        err << "identify: " << failureText(id) << "\n";
        return kExitFailed;
    }
    const std::string idText =
        id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText;
    out << "type " << typeText(id) << "\n";
    out << "identification " << visible(idText) << "\n";
    if (parser.isSet(resetOption) && id.type53()) {
        out.flush();
        const SettingsResetResult reset = runSettingsReset(port, clock);
        if (!reset.ok()) {
            err << "identify: " << resetFailureText(reset) << "\n";
            return kExitFailed;
        }
        out << "settings reset\n";
    }
    return 0;
}

}  // namespace

static const bool registered =
    (registerVerb({"identify", "identify the instrument on a serial port", &runIdentify}), true);

}  // namespace qv::cli
