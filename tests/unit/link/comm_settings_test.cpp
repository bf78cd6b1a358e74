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

std::vector<std::string> names(const std::vector<PortEntry>& ports) {
    std::vector<std::string> out;
    for (const PortEntry& p : ports) out.push_back(p.name);
    return out;
}

// An adapter as the platform lists it: under its stable name, shown by what it is.
PortEntry adapter(const std::string& stable, const std::string& device) {
    PortEntry e;
    e.name = "/dev/serial/by-id/" + stable;
    e.device = device;
    e.label = portLabel(device, "FT232R USB UART", stable.substr(0, 4));
    return e;
}

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
    EXPECT_EQ(names(view.ports), (std::vector<std::string>{"ttyS1", "ttyS2", "ttyS10", "ttyUSB0"}));
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
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].name, sim.port());
    EXPECT_EQ(view.lineIndex, (std::array<int, 4>{4, 1, 2, 1}));
}

TEST_F(CommSettings, ASavedDevicePathSelectsTheListedPortItStandsFor) {
    // The list shows the reported name once; the selection must still land on it, not on
    // the first port (OK would then open and save the wrong one).
    profile.write(key::kComPort, "/dev/ttyUSB0");
    auto view = workflow.open({"ttyS0", "ttyUSB0", "ttyS1"});
    EXPECT_EQ(names(view.ports), (std::vector<std::string>{"ttyS0", "ttyS1", "ttyUSB0"}));
    EXPECT_EQ(view.portIndex, 2);
    profile.write(key::kComPort, "ttyS1");
    view = workflow.open({"/dev/ttyS0", "/dev/ttyS1"});
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].name, "/dev/ttyS1");
}

TEST_F(CommSettings, AdaptersAreListedByTheirDevicesAndFoundByTheirStableOrOldNames) {
    // Two adapters that came back in the other order: the list follows the system's names,
    // the saved stable name still finds its adapter.
    const std::vector<PortEntry> reported = {adapter("usb-FTDI_B-if00-port0", "ttyUSB0"), "ttyS0",
                                             adapter("usb-FTDI_A-if00-port0", "ttyUSB1")};
    profile.write(key::kComPort, "/dev/serial/by-id/usb-FTDI_A-if00-port0");
    auto view = workflow.open(reported);
    ASSERT_EQ(view.ports.size(), 3u);
    EXPECT_EQ(view.ports[0].name, "ttyS0");
    EXPECT_EQ(view.ports[0].label, "ttyS0");
    EXPECT_EQ(view.ports[1].label, "FT232R USB UART, serial usb- (ttyUSB0)");
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].name,
              "/dev/serial/by-id/usb-FTDI_A-if00-port0");
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].device, "ttyUSB1");

    // Saved before stable names were offered: the adapter on that device now is chosen, listed
    // once, and OK would save its stable name.
    profile.write(key::kComPort, "/dev/ttyUSB0");
    view = workflow.open(reported);
    EXPECT_EQ(view.ports.size(), 3u);
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].name,
              "/dev/serial/by-id/usb-FTDI_B-if00-port0");

    // The adapter saved is unplugged: its stable name stays offered as it is.
    profile.write(key::kComPort, "/dev/serial/by-id/usb-FTDI_C-if00-port0");
    view = workflow.open(reported);
    ASSERT_EQ(view.ports.size(), 4u);
    EXPECT_EQ(view.ports[std::size_t(view.portIndex)].label,
              "/dev/serial/by-id/usb-FTDI_C-if00-port0");
}

TEST(PortLabel, DescriptionAndSerialNumberComeFirstTheDeviceLast) {
    EXPECT_EQ(portLabel("ttyUSB0", "FT232R USB UART", "A50285BI"),
              "FT232R USB UART, serial A50285BI (ttyUSB0)");
    EXPECT_EQ(portLabel("ttyACM0", "Pico", ""), "Pico (ttyACM0)");
    EXPECT_EQ(portLabel("ttyUSB3", "", "0001"), "serial 0001 (ttyUSB3)");
    EXPECT_EQ(portLabel("ttyS0", "", ""), "ttyS0");
    EXPECT_EQ(portLabel("COM3", "USB Serial Port", ""), "USB Serial Port (COM3)");
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
