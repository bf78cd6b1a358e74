#pragma once

#include <QByteArray>
#include <QStringList>
#include <string>

namespace qv::test {

// What a run of qvl70s-cli left: exit code (-1 when it did not start or finish in time, -2
// when it crashed), standard output and standard error.
struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the verb `args` in this process, as qvl70s-cli would, `input` as its standard input.
CliRun runCli(const QStringList& args, const QByteArray& input = {});

// Runs the program qvl70s-cli itself: the process's own streams, application and exit code. A
// run that outlives `timeoutMs` is killed.
CliRun runCliProcess(const QStringList& args, const QByteArray& input = {}, int timeoutMs = 20000);

}  // namespace qv::test
