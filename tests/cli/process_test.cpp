// qvl70s-cli as a process: every verb of the table started once through the real program
// (its application, its standard streams, its exit code); the verbs' roads run in process in
// the other tests of this program.
#include <gtest/gtest.h>

#include "cli/verbs.h"
#include "support/cli_run.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

TEST(CliProcess, EveryVerbStartsAndNamesItselfInItsHelp) {
    const test::TempHome home;
    for (const cli::Verb& verb : cli::verbTable()) {
        SCOPED_TRACE(verb.name);
        const test::CliRun help = test::runCliProcess({verb.name, QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, cli::kExitPassed) << help.err;
        EXPECT_EQ(help.out.rfind("Usage: qvl70s-cli " + std::string(verb.name), 0), 0u) << help.out;
    }
    const test::CliRun usage = test::runCliProcess({});
    EXPECT_EQ(usage.exitCode, cli::kExitFailed);
    for (const cli::Verb& verb : cli::verbTable())
        EXPECT_NE(usage.err.find(std::string("  ") + verb.name), std::string::npos) << verb.name;
    EXPECT_EQ(test::runCliProcess({"no-such-verb"}).exitCode, cli::kExitFailed);
    EXPECT_EQ(test::runCliProcess({"--version"}).out.rfind("qvl70s-cli ", 0), 0u);
}

TEST(CliProcess, StandardStreamsAndExitCodesReachTheCaller) {
    const test::TempHome home;
    // Standard input read to its end through a pipe, results and bad rows on their streams.
    const test::CliRun diff = test::runCliProcess({"colour", "diff"}, "50 0 0 53 4 0\n50 x\n");
    EXPECT_EQ(diff.exitCode, cli::kExitCheckFailed);
    EXPECT_EQ(diff.out, "5.0000\n");
    EXPECT_NE(diff.err.find("line 2"), std::string::npos) << diff.err;
    // An instrument verb on a real pseudo-terminal.
    test::SimInstrument sim("53", "L70S-000042");
    const test::CliRun id =
        test::runCliProcess({"identify", "--port", QString::fromStdString(sim.port())});
    EXPECT_EQ(id.exitCode, cli::kExitPassed) << id.err;
    EXPECT_EQ(id.out, "type 53\nidentification L70S-000042\n");
    // A painting verb gets its application without a display; no logbook here yet.
    qunsetenv("QT_QPA_PLATFORM");
    const test::CliRun certificate =
        test::runCliProcess({"certificate", "--record", "1", "--out", "x.pdf"});
    EXPECT_EQ(certificate.exitCode, cli::kExitFailed);
    EXPECT_NE(certificate.err.find("no logbook"), std::string::npos) << certificate.err;
}

}  // namespace
}  // namespace qv
