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
#include "platform/log/fleet_logbook.h"

namespace qv::cli {

namespace {

// The operator's answer to an OK/Cancel question on the command line.
Answer waitForLine(QIODevice& in, QTextStream& err) {
    err << " -- Enter goes on, any other text then Enter stops: ";
    err.flush();
    // The end of the input (no line at all) stops too: nobody is there to place the specimen.
    const QByteArray line = in.readLine();
    return !line.isEmpty() && line.trimmed().isEmpty() ? Answer::Ok : Answer::Cancel;
}

}  // namespace

void PrintingPrompter::print(const Message& message) {
    QString text = texts_ ? QString::fromStdString(texts_->text(message.stringId)) : QString();
    if (text.isEmpty()) text = QStringLiteral("message %1").arg(message.stringId);
    QTextStream& err = *err_;
    err << text.replace(QLatin1Char('\n'), QLatin1Char(' '))
        << QString::fromStdString(message.suffix);
    if (!message.detail.empty()) err << " (" << QString::fromStdString(message.detail) << ")";
}

Answer PrintingPrompter::ask(const Message& message) {
    print(message);
    QTextStream& err = *err_;
    Answer answer = Answer::Ok;
    if (message.buttons == Buttons::YesNo) {
        err << (agreed ? " -- yes (--yes)" : " -- no (give --yes to agree)");
        answer = agreed ? Answer::Yes : Answer::No;
    } else if (message.buttons == Buttons::OkCancel && okCancelFrom) {
        answer = agreed ? Answer::Ok : waitForLine(*okCancelFrom, err);
        if (agreed) err << " -- ok (--yes)";
    }
    err << "\n";
    err.flush();
    return answer;
}

std::optional<std::string> PrintingPrompter::askOpenFile(const std::string&, const std::string&) {
    if (givenFile.empty()) return std::nullopt;
    return givenFile;
}

std::optional<std::string> PrintingPrompter::askReason(const Message& question) {
    print(question);
    QTextStream& err = *err_;
    if (overrideReason.empty())
        err << " -- held back (a supervisor may go ahead with --override \"REASON\")\n";
    else
        err << " -- going ahead (--override: " << QString::fromStdString(overrideReason) << ")\n";
    err.flush();
    if (overrideReason.empty()) return std::nullopt;
    return overrideReason;
}

Clearance verbClearance(const Options& o, LogbookStore& logbook, const std::string& serial) {
    const auto texts = loadResourceStrings();
    PrintingPrompter prompter(texts.get(), o.io.err);
    prompter.overrideReason = o.overrideReason.toStdString();
    return clearance(&logbook, prompter, serial, localTimeOf(o.io.clock.calendarSeconds()));
}

Session::Session(const Options& o)
    : clock(o.io.clock), prompter(texts.get(), o.io.err), logbookChoice(o.io.logbook), io_(&o.io) {
    prompter.agreed = o.yes;
    prompter.overrideReason = o.overrideReason.toStdString();
}

Session::~Session() {
    if (logbook) io_->notRecorded += logbook->notRecorded();
}

void Session::useDataFolder() {
    state.strDataFolder = setUpDataFolder();
    ensureFolder(state.strDataFolder);
    logbook = openLogbook(prompter, profile, logbookChoice);
}

bool openPort(Session& s, const Options& o, const QString& port) {
    return openPortWithSavedSettings(o, port, s.state, s.profile, s.prompter);
}

std::unique_ptr<LogbookStore> openVerbLogbook(const Options& o, bool mustExist) {
    std::string why;
    QtProfileStore profile;
    const auto location = chosenLogbookLocation(profile, o.io.logbook, &why);
    if (!location) {
        failed(o, why);
        return nullptr;
    }
    const std::string path = logbookPath();
    if (path.empty()) {
        failed(o, "there is no documents folder for the logbook");
        return nullptr;
    }
    // A server's problem is told by the logbook itself, and its records wait here meanwhile.
    if (!location->isServer() && mustExist && !QFile::exists(QString::fromStdString(path))) {
        failed(o, "there is no logbook at " + path);
        return nullptr;
    }
    auto logbook =
        openLogbookAt(*location, path, [&o](const std::string& what) { failed(o, what); });
    if (location->isServer() || logbook->isOpen()) return logbook;
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
        o.io.err << o.verb << ": " << QString::fromStdString(which) << "the settings reset failed ("
                 << QString::fromStdString(describe(connection.reset().error)) << "); going on\n";
    return true;
}

}  // namespace qv::cli
