// Identification and the type-53 settings reset against the simulated instrument.
#include <gtest/gtest.h>

#include <chrono>

#include "core/link/identify.h"
#include "core/link/receive_line.h"
#include "platform/app/system_clock.h"
#include "platform/link/posix_serial_channel.h"
#include "sim/text_escape.h"
#include "support/cli_run.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv {
namespace {

using test::CliRun;
using test::SimInstrument;
using Steady = std::chrono::steady_clock;

// The logged commands' mnemonics, in order.
std::vector<std::string> mnemonics(const SimInstrument& sim) {
    std::vector<std::string> out;
    for (const std::string& c : sim.received()) out.push_back(c.substr(0, 3));
    return out;
}

// The reply the simulator sent to the first command starting with `mnemonic`.
std::string replyTo(SimInstrument& sim, const std::string& mnemonic) {
    const auto log = sim.simulator().log();
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i].direction != '>' || log[i].text.rfind(mnemonic, 0) != 0) continue;
        for (std::size_t j = i + 1; j < log.size(); ++j) {
            if (log[j].direction == '<') return sim::unescapeBytes(log[j].text).value_or("");
        }
    }
    return {};
}

// qvl70s-cli identify on the simulator's port, with `extra` arguments before --port.
CliRun runIdentifyVerb(const SimInstrument& sim, const QStringList& extra = {}) {
    const test::TempHome home;  // no saved line settings: the port opens at 9600 baud, 8N1
    return test::runCli(QStringList{QStringLiteral("identify")} + extra +
                        QStringList{QStringLiteral("--port"), QString::fromStdString(sim.port())});
}

struct Form {
    const char* type;
    IdentifyOutcome outcome;
    const char* idText;
    const char* printed;
};

const Form kForms[] = {
    {"53", IdentifyOutcome::Type53, "L70S-000042", "type 53\nidentification L70S-000042\n"},
    {"40", IdentifyOutcome::Type40, "L70S-000042", "type 40\nidentification L70S-000042\n"},
    {"three-field", IdentifyOutcome::ThreeField, "",
     "type 40 (three-field form)\nidentification -----\n"},
};

TEST(IdentifySim, RecognisesTheThreeIdentificationFormsSendingOnlyIdr) {
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.type);
        SimInstrument sim(form.type, "L70S-000042");
        SystemClock clock;
        PosixSerialChannel port;
        ASSERT_TRUE(port.open(sim.port()));
        const IdentifyResult id = IdentifyInstrument(port, clock);
        EXPECT_EQ(id.outcome, form.outcome);
        EXPECT_EQ(id.idText, form.idText);
        EXPECT_EQ(sim.received(), std::vector<std::string>{"IDR\\r\\n"});
        port.close();

        const CliRun cli = runIdentifyVerb(sim);
        EXPECT_EQ(cli.exitCode, 0) << cli.err;
        EXPECT_EQ(cli.out, form.printed);
    }
}

TEST(IdentifySim, Type53ResetSendsCprCpsUsrUssInOrderWithCpsBuiltFromTheCprReply) {
    SimInstrument sim("53");
    SystemClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(sim.port()));
    ASSERT_TRUE(IdentifyInstrument(port, clock).type53());
    ASSERT_TRUE(runSettingsReset(port, clock).ok());
    EXPECT_EQ(mnemonics(sim), (std::vector<std::string>{"IDR", "CPR", "CPS", "USR", "USS"}));
    const std::vector<std::string> sent = sim.received();
    ASSERT_EQ(replyTo(sim, "CPR"), "OK00,01,0500, 3,1\r\n");
    // "OK00" became "CPS", offsets 12-13 " 0", offset 5 "0"; the reply's CR ends it, no LF.
    EXPECT_EQ(sent[2], "CPS,00,0500, 0,1\\r");
    EXPECT_EQ(sent[4], "USS,0\\r\\n");
    // The instrument took every setting.
    for (const char* m : {"CPS", "USR", "USS"})
        EXPECT_EQ(replyTo(sim, m).substr(0, 4), "OK00") << m;

    // The same connection from the command line.
    port.close();
    sim.simulator().clearLog();
    const CliRun cli = runIdentifyVerb(sim, {QStringLiteral("--reset")});
    EXPECT_EQ(cli.exitCode, 0);
    EXPECT_EQ(cli.out, "type 53\nidentification L70S-000001\nsettings reset\n");
    EXPECT_EQ(mnemonics(sim), (std::vector<std::string>{"IDR", "CPR", "CPS", "USR", "USS"}));
}

TEST(IdentifySim, AFailedStepEndsTheResetAndNothingMoreIsSent) {
    struct Case {
        std::string fault;
        std::vector<std::string> sent;
        ResetStep failedStep;
        LinkFailure outcome;
    };
    const std::string tooLong = "OK00," + std::string(50, '1');  // CPS would need 51 bytes
    const Case cases[] = {
        {"fault CPR silence", {"IDR", "CPR"}, ResetStep::Cpr, LinkFailure::NoReply},
        {"fault CPR reply " + tooLong, {"IDR", "CPR"}, ResetStep::Cps, LinkFailure::WriteFailed},
        // Too short to edit at offsets 12 and 13.
        {"fault CPR reply OK00,1", {"IDR", "CPR"}, ResetStep::Cps, LinkFailure::WriteFailed},
        {"fault CPS silence", {"IDR", "CPR", "CPS"}, ResetStep::Cps, LinkFailure::NoReply},
        {"fault USR silence", {"IDR", "CPR", "CPS", "USR"}, ResetStep::Usr, LinkFailure::NoReply},
        {"fault USS silence",
         {"IDR", "CPR", "CPS", "USR", "USS"},
         ResetStep::Uss,
         LinkFailure::NoReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        SimInstrument sim("53");
        ASSERT_EQ(sim.control(c.fault), "ok");
        test::VirtualClock clock;  // the 5 s reply limits cost nothing
        PosixSerialChannel port;
        ASSERT_TRUE(port.open(sim.port()));
        ASSERT_TRUE(IdentifyInstrument(port, clock).type53());
        const SettingsResetResult reset = runSettingsReset(port, clock);
        EXPECT_FALSE(reset.ok());
        EXPECT_EQ(reset.failedStep, c.failedStep);
        EXPECT_EQ(reset.error.kind, c.outcome);
        EXPECT_EQ(mnemonics(sim), c.sent);
    }

    // The command line names the step that failed, and a dead line as such. Both fail at once.
    for (const auto& [fault, said] :
         {std::pair{"fault CPR reply OK00,1", "settings reset failed: could not send CPS"},
          std::pair{"fault USS hangup", "settings reset failed: the line hung up at USS"}}) {
        SCOPED_TRACE(fault);
        SimInstrument sim("53");
        ASSERT_EQ(sim.control(fault), "ok");
        const CliRun run = runIdentifyVerb(sim, {QStringLiteral("--reset")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    }

    // A CPR reply whose edit would overwrite its CR: no CPS goes out, so the next command
    // reaches the instrument on its own instead of glued to an unterminated CPS.
    SimInstrument sim("53");
    ASSERT_EQ(sim.control("fault CPR reply OK00,1,2,3,4,5"), "ok");
    test::VirtualClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(sim.port()));
    ASSERT_TRUE(IdentifyInstrument(port, clock).type53());
    EXPECT_FALSE(runSettingsReset(port, clock).ok());
    EXPECT_TRUE(IdentifyInstrument(port, clock).type53());
    EXPECT_EQ(mnemonics(sim), (std::vector<std::string>{"IDR", "CPR", "IDR"}));
}

TEST(IdentifySim, SilentGarbledOrHungUpInstrumentsFailToIdentify) {
    struct Case {
        const char* fault;
        LinkFailure failure;
    };
    const Case cases[] = {
        {"fault IDR silence", LinkFailure::NoReply},
        {"fault IDR reply OK00,\\x200,\\x200,\\x20\\x201", LinkFailure::Unrecognised},
        {"fault IDR reply OK00,41,L70,X", LinkFailure::Unrecognised},
        {"fault IDR flood=100000", LinkFailure::Unrecognised},
        {"fault IDR hangup", LinkFailure::HungUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        SimInstrument sim("53");
        ASSERT_EQ(sim.control(c.fault), "ok");
        test::VirtualClock clock;
        PosixSerialChannel port;
        ASSERT_TRUE(port.open(sim.port()));
        const auto start = Steady::now();
        const IdentifyResult id = IdentifyInstrument(port, clock);
        EXPECT_FALSE(id.ok());
        EXPECT_EQ(id.error.kind, c.failure);
        EXPECT_LT(std::chrono::duration<double>(Steady::now() - start).count(), 3.0);
    }

    // The command-line front end says why and exits with 2.
    for (const auto& [fault, said] :
         {std::pair{"fault IDR reply garbage", "unrecognised reply to IDR \"garbage\""},
          std::pair{"fault IDR hangup", "identify: the line hung up at IDR\n"},
          // A flood is shown by its first characters only, control bytes escaped.
          std::pair{"fault IDR prefix=\\x1b[2J flood=100000",
                    "reply to IDR \"\\x1b[2JFLOOD-012345\""}}) {
        SCOPED_TRACE(fault);
        SimInstrument sim("53");
        ASSERT_EQ(sim.control(fault), "ok");
        const CliRun run = runIdentifyVerb(sim);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
        EXPECT_LT(run.err.size(), 160u) << run.err;
    }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(IdentifyVerb, APortThatCannotBeOpenedSaysWhy) {
    const test::TempHome home;
    const test::CliRun missing = test::runCli(
        {QStringLiteral("identify"), QStringLiteral("--port"), QStringLiteral("/dev/no-such-qv")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot open port /dev/no-such-qv: no such port"), std::string::npos)
        << missing.err;
    SimInstrument sim("53");
    PosixSerialChannel holder;
    ASSERT_TRUE(holder.open(sim.port()));
    const test::CliRun busy = test::runCli(
        {QStringLiteral("identify"), QStringLiteral("--port"), QString::fromStdString(sim.port())});
    EXPECT_EQ(busy.exitCode, 2);
    EXPECT_NE(busy.err.find("in use by another program: "), std::string::npos) << busy.err;
}

}  // namespace
}  // namespace qv
