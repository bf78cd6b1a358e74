#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>

#include <charconv>
#include <filesystem>

#include "core/app/port_open_message.h"
#include "core/app/shared_state.h"
#include "core/app/startup_workflow.h"
#include "platform/app/qt_profile_store.h"
#include "platform/link/posix_serial_channel.h"
#include "support/scripted_prompter.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv {
namespace {

struct Startup : ::testing::Test {
    test::TempHome home;
    test::VirtualClock clock;
    test::ScriptedPrompter prompter;
    QtProfileStore profile;
    SharedState state{std::make_unique<PosixSerialChannel>()};
    test::SimInstrument sim;

    void save(const std::string& port, const std::string& baud, const std::string& parity) {
        profile.write(key::kComPort, port);
        profile.write(key::kBaudRate, baud);
        profile.write(key::kDataLength, "8 bits");
        profile.write(key::kParity, parity);
        profile.write(key::kStopBits, "1 bit");
    }
    // The line settings as the terminal holds them now. They belong to the device, not to a
    // descriptor, so the channel's own descriptor is asked: a second open of the port is
    // refused to anyone unprivileged while the channel holds it exclusively.
    bool lineSettings(termios& t) {
        struct stat port {};
        if (::stat(sim.port().c_str(), &port) != 0 || !S_ISCHR(port.st_mode)) return false;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
            const std::string name = entry.path().filename().string();
            int fd = -1;
            std::from_chars(name.data(), name.data() + name.size(), fd);
            struct stat held {};
            if (fd >= 0 && ::fstat(fd, &held) == 0 && S_ISCHR(held.st_mode) &&
                held.st_rdev == port.st_rdev && tcgetattr(fd, &t) == 0)
                return true;
        }
        return false;
    }
};

TEST_F(Startup, SavedSettingsReopenThePortWithTheirLeadingNumbers) {
    save(sim.port(), "19200", "2 Even");
    EXPECT_EQ(connectWithSavedSettings(state, profile, prompter), StartupPort::Opened);
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_FALSE(state.bConnected);  // opening does not identify the instrument
    EXPECT_TRUE(prompter.asked.empty());
    termios t{};
    ASSERT_TRUE(lineSettings(t));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));

    // A parity text without a leading number is parity 0, none, which every line takes.
    // (A pseudo-terminal keeps no parity bits, so only the rate can be seen here.)
    save(sim.port(), "4800 baud", "even");
    EXPECT_EQ(connectWithSavedSettings(state, profile, prompter), StartupPort::Opened);
    ASSERT_TRUE(lineSettings(t));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(Startup, IncompleteSettingsCloseThePortAndAskForTheDialog) {
    save(sim.port(), "9600", "0 None");
    ASSERT_EQ(connectWithSavedSettings(state, profile, prompter), StartupPort::Opened);
    test::TempHome fresh;  // a profile without any key
    QtProfileStore empty;
    empty.write(key::kComPort, sim.port());
    EXPECT_EQ(connectWithSavedSettings(state, empty, prompter), StartupPort::NotSaved);
    EXPECT_FALSE(state.commPort->isOpen());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(Startup, AMissingOrRefusingPortIsToldAndStartUpGoesOn) {
    save(home.path() + "/no-such-tty", "9600", "0 None");
    EXPECT_EQ(connectWithSavedSettings(state, profile, prompter), StartupPort::Failed);
    save(sim.port(), "12345", "0 None");  // no standard rate
    EXPECT_EQ(connectWithSavedSettings(state, profile, prompter), StartupPort::Failed);
    // A missing port says so; a port that refuses the settings gets the general message.
    ASSERT_EQ(prompter.ids(), (std::vector<int>{225, 118}));
    EXPECT_EQ(prompter.asked[0].icon, Icon::Stop);
    EXPECT_EQ(prompter.asked[0].captionId, 111);
}

TEST(ProgramStart, TheDataFolderIsSetUpBeforeTheResourcesAndTheLock) {
    const struct {
        bool resources;
        bool lock;
        ProgramStart outcome;
        std::string steps;
    } cases[] = {{true, true, ProgramStart::Run, "folder resources lock"},
                 {false, true, ProgramStart::NoResources, "folder resources"},
                 {true, false, ProgramStart::AlreadyRunning, "folder resources lock"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        std::string steps;
        const ProgramStart outcome = startProgram({[&] { steps += "folder"; },
                                                   [&] {
                                                       steps += " resources";
                                                       return c.resources;
                                                   },
                                                   [&] {
                                                       steps += " lock";
                                                       return c.lock;
                                                   }});
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(steps, c.steps);
    }
}

TEST(MainWindowButtons, FollowTheChecksAndStayOffWithoutTheirDialog) {
    MainWindowState all(true, true, true);
    EXPECT_TRUE(all.enabled(MainTask::Repeatability));
    EXPECT_FALSE(all.enabled(MainTask::InterInstrument));
    EXPECT_FALSE(all.enabled(MainTask::CoeffFile));
    all.repeatabilityClosed(true);
    EXPECT_TRUE(all.enabled(MainTask::InterInstrument));
    all.repeatabilityClosed(false);  // a failed series takes it back
    EXPECT_FALSE(all.enabled(MainTask::InterInstrument));
    all.interInstrumentClosed();
    EXPECT_TRUE(all.enabled(MainTask::CoeffFile));

    MainWindowState none(false, false, false);
    none.repeatabilityClosed(true);
    none.interInstrumentClosed();
    for (MainTask t : {MainTask::Repeatability, MainTask::InterInstrument, MainTask::CoeffFile})
        EXPECT_FALSE(none.enabled(t));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(PortOpenMessage, EachCauseHasItsOwnTextAndTheHolderIsNamed) {
    const struct {
        PortOpenFailure kind;
        int id;
    } rows[] = {{PortOpenFailure::Missing, kStrPortMissing},
                {PortOpenFailure::NoPermission, kStrPortNoPermission},
                {PortOpenFailure::Busy, kStrPortBusy},
                {PortOpenFailure::NotSerial, kStrPortNotOpened},
                {PortOpenFailure::Refused, kStrPortNotOpened}};
    for (const auto& r : rows) {
        const Message m = portNotOpenedMessage({r.kind, {}, "/dev/ttyS0: why"});
        EXPECT_EQ(m.stringId, r.id);
        EXPECT_EQ(m.icon, Icon::Stop);
        EXPECT_EQ(m.detail, "/dev/ttyS0: why");
        EXPECT_TRUE(m.suffix.empty());
    }
    const PortOpenError held{PortOpenFailure::Busy, "minicom (process 42)", {}};
    EXPECT_EQ(portNotOpenedMessage(held).suffix, "\nIn use by: minicom (process 42)");
    EXPECT_EQ(describe(held), "in use by another program: minicom (process 42)");
    EXPECT_NE(describe({PortOpenFailure::NoPermission, {}, {}}).find("dialout"), std::string::npos);
}

}  // namespace
}  // namespace qv
