#include <gtest/gtest.h>

#include "core/app/shared_state.h"
#include "core/link/comm_settings_workflow.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/link/posix_serial_channel.h"
#include "support/project_strings.h"
#include "support/scripted_prompter.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv {
namespace {

// The real settings store, with the order of writes noted down.
class WriteOrder : public ProfileStore {
public:
    using ProfileStore::read;
    using ProfileStore::write;
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback) override {
        return store.read(section, key, fallback);
    }
    void write(std::string_view section, std::string_view key, std::string_view value) override {
        keys.emplace_back(key);
        store.write(section, key, value);
    }
    QtProfileStore store;
    std::vector<std::string> keys;
};

struct CommSettings : ::testing::Test {
    test::TempHome home;
    test::VirtualClock clock;
    test::ScriptedPrompter prompter;
    WriteOrder profile;
    SharedState state{std::make_unique<PosixSerialChannel>()};
    AtomicFileStore files;
    CommSettingsWorkflow workflow{
        Seams{state, clock, prompter, profile, files, test::projectStrings(), {}}};
};

TEST_F(CommSettings, NothingSavedListsPortsInNaturalOrderWithTheLineDefaults) {
    const auto& view = workflow.open({"ttyS10", "ttyUSB0", "ttyS2", "ttyS1"});
    EXPECT_EQ(view.ports, (std::vector<std::string>{"ttyS1", "ttyS2", "ttyS10", "ttyUSB0"}));
    EXPECT_EQ(view.portIndex, 0);
    EXPECT_EQ(lineEntries(LineList::BaudRate)[std::size_t(view.lineIndex[0])], "9600");
    EXPECT_EQ(lineEntries(LineList::DataLength)[std::size_t(view.lineIndex[1])], "8 bits");
    EXPECT_EQ(lineEntries(LineList::Parity)[std::size_t(view.lineIndex[2])], "0 None");
    EXPECT_EQ(lineEntries(LineList::StopBits)[std::size_t(view.lineIndex[3])], "1 bit");
    EXPECT_TRUE(view.editable);
    EXPECT_TRUE(workflow.open({}).ports.empty());
    EXPECT_EQ(workflow.view().portIndex, -1);
}

TEST_F(CommSettings, OkOpensThePortAndSavesTheFiveKeysInOrder) {
    test::SimInstrument sim;
    workflow.open({"ttyS0"});
    const CommSettingsChoice choice{sim.port(), {4, 1, 2, 1}};
    EXPECT_EQ(workflow.ok(choice), CommSettingsResult::Saved);
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_EQ(profile.keys, (std::vector<std::string>{"ComPort", "BaudRate", "DataLength", "Parity",
                                                      "StopBits"}));
    EXPECT_EQ(profile.read(key::kBaudRate), "19200");
    EXPECT_EQ(profile.read(key::kParity), "2 Even");
    EXPECT_EQ(profile.read(key::kStopBits), "2 bits");
    EXPECT_TRUE(prompter.asked.empty());

    // The next opening selects the saved entries again, the pseudo-terminal included although
    // the system does not report it.
    const auto& view = workflow.open({"ttyS0"});
    ASSERT_EQ(view.ports.size(), 2u);
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)], sim.port());
    EXPECT_EQ(view.lineIndex, (std::array<int, 4>{4, 1, 2, 1}));
}

TEST_F(CommSettings, ASavedDevicePathSelectsTheListedPortItStandsFor) {
    // The list shows the reported name once; the selection must still land on it, not on
    // the first port (OK would then open and save the wrong one).
    profile.write(key::kComPort, "/dev/ttyUSB0");
    auto view = workflow.open({"ttyS0", "ttyUSB0", "ttyS1"});
    EXPECT_EQ(view.ports, (std::vector<std::string>{"ttyS0", "ttyS1", "ttyUSB0"}));
    EXPECT_EQ(view.portIndex, 2);
    profile.write(key::kComPort, "ttyS1");
    view = workflow.open({"/dev/ttyS0", "/dev/ttyS1"});
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)], "/dev/ttyS1");
}

TEST_F(CommSettings, AFailedOpenIsToldAndKeepsTheSavedSettings) {
    profile.write(key::kComPort, "ttyS3");
    profile.write(key::kBaudRate, "300");  // no such entry: the default is chosen instead
    profile.keys.clear();
    const auto& view = workflow.open({});
    EXPECT_EQ(view.lineIndex[0], defaultLineIndex(LineList::BaudRate));
    EXPECT_EQ(workflow.ok({home.path() + "/gone", {3, 1, 0, 0}}), CommSettingsResult::OpenFailed);
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrPortMissing});
    EXPECT_EQ(prompter.asked[0].icon, Icon::Stop);
    EXPECT_FALSE(state.commPort->isOpen());
    EXPECT_TRUE(profile.keys.empty());
    EXPECT_EQ(profile.read(key::kComPort), "ttyS3");
}

TEST_F(CommSettings, WhileConnectedTheSettingsAreShownButNotChanged) {
    test::SimInstrument sim;
    ASSERT_TRUE(state.commPort->open(sim.port()));
    state.bConnected = true;
    EXPECT_FALSE(workflow.open({}).editable);
    EXPECT_EQ(workflow.ok({home.path() + "/other", {0, 0, 0, 0}}), CommSettingsResult::Unchanged);
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_TRUE(profile.keys.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST(StopBits, TextIsBuiltFromTheIndex) {
    EXPECT_EQ(stopBitsText(0), "1 bit");
    EXPECT_EQ(stopBitsText(1), "2 bits");
    EXPECT_EQ(lineEntries(LineList::StopBits), (std::vector<std::string>{"1 bit", "2 bits"}));
}

}  // namespace
}  // namespace qv
