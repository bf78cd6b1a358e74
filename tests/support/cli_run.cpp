#include "support/cli_run.h"

#include <QBuffer>
#include <QProcess>
#include <QTextStream>

#include "cli/verbs.h"

namespace qv::test {

CliRun runCli(const QStringList& args, const QByteArray& input) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QByteArray inBytes = input;
    QBuffer in(&inBytes);
    in.open(QIODevice::ReadOnly);
    cli::Io io{outStream, errStream, in};
    CliRun r;
    r.exitCode = cli::run(QStringList{QStringLiteral("qvl70s-cli")} + args, io);
    outStream.flush();
    errStream.flush();
    r.out = out.toStdString();
    r.err = err.toStdString();
    return r;
}

CliRun runCliProcess(const QStringList& args, const QByteArray& input, int timeoutMs) {
    QProcess p;
    p.start(QStringLiteral(QV_BIN_DIR "/qvl70s-cli"), args);
    CliRun r;
    if (!p.waitForStarted(5000)) return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

}  // namespace qv::test
