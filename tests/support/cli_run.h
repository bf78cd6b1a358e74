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

// Runs qvl70s-cli with `args`, `input` on its standard input; a run that outlives `timeoutMs`
// is killed.
CliRun runCli(const QStringList& args, const QByteArray& input = {}, int timeoutMs = 20000);

}  // namespace qv::test
