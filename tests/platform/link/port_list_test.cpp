// The port list: adapters under their stable /dev/serial/by-id names, over a fake folder of
// links built in a temporary directory the way udev lays it out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/link/port_names.h"
#include "platform/link/port_list.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// <root>/dev/tty* as plain files standing for the devices, <root>/dev/serial/by-id with
// relative links "../../ttyUSBn" as udev makes them.
class StableFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("qv-by-id-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(byId());
        for (const char* device : {"ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyACM0"})
            std::ofstream(dev() / device) << "";
        link("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
        link("usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0", "../../ttyUSB1");
        // An adapter pulled out before udev removed its link.
        link("usb-FTDI_FT232R_USB_UART_GONE0001-if00-port0", "../../ttyUSB7");
        // Two links to one device (two interfaces named alike): the first by name is taken.
        link("usb-Silicon_Labs_CP2102_0002-if00-port0", "../../ttyUSB2");
        link("usb-Silicon_Labs_CP2102_0001-if00-port0", "../../ttyUSB2");
        // An absolute link works as well as a relative one.
        link("usb-Raspberry_Pi_Pico_E6616407-if00", (dev() / "ttyACM0").string());
        std::ofstream(byId() / "README") << "not a link\n";
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path dev() const { return root / "dev"; }
    fs::path byId() const { return root / "dev" / "serial" / "by-id"; }
    void link(const std::string& name, const std::string& target) {
        fs::create_symlink(target, byId() / name);
    }

    fs::path root;
};

TEST_F(StableFolder, EachDeviceFindsTheLinkThatLeadsToIt) {
    const struct {
        const char* what;
        std::string location;  // QSerialPortInfo::systemLocation()
        std::string stable;    // the link's name, empty: none
    } rows[] = {
        {"first adapter", (dev() / "ttyUSB0").string(),
         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
        {"second adapter", (dev() / "ttyUSB1").string(),
         "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0"},
        {"a built-in port has no link", (dev() / "ttyS0").string(), ""},
        {"the device of a dangling link is not there", (dev() / "ttyUSB7").string(), ""},
        {"two links: the first by name", (dev() / "ttyUSB2").string(),
         "usb-Silicon_Labs_CP2102_0001-if00-port0"},
        {"an absolute link", (dev() / "ttyACM0").string(), "usb-Raspberry_Pi_Pico_E6616407-if00"},
        {"the location spelt with dots", (dev() / "serial" / ".." / "ttyUSB1").string(),
         "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0"},
        {"a Windows port passes through", "\\\\.\\COM3", ""},
        {"an empty location", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string expected = row.stable.empty() ? "" : (byId() / row.stable).string();
        EXPECT_EQ(stablePortName(row.location, byId().string()), expected);
    }
}

TEST_F(StableFolder, NoFolderMeansNoStableNames) {
    const std::string device = (dev() / "ttyUSB0").string();
    EXPECT_EQ(stablePortName(device, (root / "no-such-folder").string()), "");
    EXPECT_EQ(stablePortName(device, ""), "");
    // A folder that is a file.
    EXPECT_EQ(stablePortName(device, (byId() / "README").string()), "");
}

TEST_F(StableFolder, AReportedAdapterIsNamedStablyAndShownByWhatItIs) {
    const PortEntry adapter = reportedPortEntry("ttyUSB0", (dev() / "ttyUSB0").string(),
                                                "FT232R USB UART", "A50285BI", byId().string());
    EXPECT_EQ(adapter.name, (byId() / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(adapter.label, "FT232R USB UART, serial A50285BI (ttyUSB0)");
    EXPECT_EQ(adapter.device, "ttyUSB0");

    const PortEntry builtIn =
        reportedPortEntry("ttyS0", (dev() / "ttyS0").string(), "", "", byId().string());
    EXPECT_EQ(builtIn.name, "ttyS0");  // saved and opened as before: under /dev
    EXPECT_EQ(builtIn.label, "ttyS0");

    const PortEntry windows =
        reportedPortEntry("COM3", "\\\\.\\COM3", "USB Serial Port", "A50285BI", byId().string());
    EXPECT_EQ(windows.name, "COM3");
    EXPECT_EQ(windows.label, "USB Serial Port, serial A50285BI (COM3)");
}

TEST_F(StableFolder, TwoAdaptersKeepTheirNamesWhenTheyComeBackInTheOtherOrder) {
    struct Adapter {
        std::string description, serial;
    };
    const Adapter ftdi{"FT232R USB UART", "A50285BI"};
    const Adapter prolific{"USB-Serial Controller D", ""};
    // What the system reports on ttyUSB0 and ttyUSB1.
    const auto entries = [&](const Adapter& on0, const Adapter& on1) {
        return std::vector<PortEntry>{
            reportedPortEntry("ttyUSB0", (dev() / "ttyUSB0").string(), on0.description, on0.serial,
                              byId().string()),
            reportedPortEntry("ttyUSB1", (dev() / "ttyUSB1").string(), on1.description, on1.serial,
                              byId().string())};
    };
    const std::vector<PortEntry> before = entries(ftdi, prolific);
    // Unplugged and plugged in again the other way round: the kernel numbers them anew and
    // udev moves the links.
    fs::remove(byId() / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    fs::remove(byId() / "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0");
    link("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB1");
    link("usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0", "../../ttyUSB0");
    const std::vector<PortEntry> after = entries(prolific, ftdi);
    EXPECT_EQ(before[0].name, after[1].name);
    EXPECT_EQ(before[1].name, after[0].name);
    EXPECT_EQ(before[0].label, "FT232R USB UART, serial A50285BI (ttyUSB0)");
    EXPECT_EQ(after[1].label, "FT232R USB UART, serial A50285BI (ttyUSB1)");
    // A port saved under the FTDI adapter's stable name finds it on its new device.
    const auto listed = orderPortEntries(after, before[0].name);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].name, before[0].name);
    EXPECT_EQ(listed[1].device, "ttyUSB1");
}

TEST(PortList, OffersTheSavedPortInNaturalOrder) {
    const auto sortedByDevice = [](const std::vector<PortEntry>& ports) {
        return std::is_sorted(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
            return naturalLess(a.device.empty() ? a.name : a.device,
                               b.device.empty() ? b.name : b.device);
        });
    };
    const auto ports = listSerialPorts("/tmp/qv-sim-port");
    EXPECT_NE(std::find_if(ports.begin(), ports.end(),
                           [](const PortEntry& p) {
                               return p.name == "/tmp/qv-sim-port" && p.label == p.name;
                           }),
              ports.end());
    EXPECT_TRUE(sortedByDevice(ports));
    const auto unsaved = listSerialPorts("---");
    EXPECT_EQ(std::find_if(unsaved.begin(), unsaved.end(),
                           [](const PortEntry& p) { return p.name == "---"; }),
              unsaved.end());
    // Without a stable folder every port is listed under the system's name.
    for (const PortEntry& p : listSerialPorts("---", "/nonexistent/by-id"))
        EXPECT_EQ(p.name, p.device);
}

}  // namespace
}  // namespace qv
