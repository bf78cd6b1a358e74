// Link verbs: identify the instrument on a port.
#include <QCommandLineParser>
#include <QTextStream>
#include <optional>
#include <string>

#include "cli/port_options.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "core/app/prompter.h"
#include "core/app/shared_state.h"
#include "core/link/identify.h"
#include "platform/app/qt_profile_store.h"

namespace qv::cli {

namespace {

// The port's failure is told in one line of its own; no message box text is added to it.
class SilentPrompter : public Prompter {
public:
    Answer ask(const Message& message) override {
        // Opening a port asks no consent; a question would be answered No.
        return message.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    std::optional<std::string> askOpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

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

// Identifies the instrument on `portName` and prints what it said; resets its settings when
// asked to.
int identifyOn(const Options& o, const QString& portName, bool reset) {
    QTextStream& out = o.io.out;
    QTextStream& err = o.io.err;
    Clock& clock = o.io.clock;
    SharedState state;
    QtProfileStore profile;
    SilentPrompter prompter;
    if (!openPortWithSavedSettings(o, portName, state, profile, prompter)) return kExitFailed;
    SerialChannel& port = *state.commPort;
    const IdentifyResult id = IdentifyInstrument(port, clock);
    if (!id.ok()) {
        err << "identify: " << failureText(id) << "\n";
        return kExitFailed;
    }
    const std::string idText =
        id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText;
    out << "type " << typeText(id) << "\n";
    out << "identification " << visible(idText) << "\n";
    if (reset && id.type53()) {
        out.flush();
        const SettingsResetResult done = runSettingsReset(port, clock);
        if (!done.ok()) {
            err << "identify: " << resetFailureText(done) << "\n";
            return kExitFailed;
        }
        out << "settings reset\n";
    }
    return 0;
}

}  // namespace

int runIdentify(const QStringList& arguments, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Asks the instrument on PORT to identify itself (IDR) and prints its type and\n"
            "identification text. PORT is a device name under /dev (ttyUSB0) or a path.\n"
            "Exit status: 0 identified, 2 failed (the reason is printed).\n") +
        QLatin1String(kSavedLineSettingsHelp));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port of the instrument."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption resetOption(
        QStringLiteral("reset"),
        QStringLiteral("Also reset the settings of a type 53 instrument (CPR, CPS, USR, USS)."));
    parser.addOption(portOption);
    parser.addOption(resetOption);
    Options o{io};
    o.verb = QStringLiteral("identify");
    if (const auto code =
            parseVerb(parser, arguments, o, QStringLiteral("Usage: qvl70s-cli identify [options]")))
        return *code;
    if (!parser.isSet(portOption)) return failed(o, "--port PORT is required");
    return identifyOn(o, parser.value(portOption), parser.isSet(resetOption));
}

}  // namespace qv::cli
