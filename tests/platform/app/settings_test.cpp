#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/app/atomic_file_store.h"
#include "platform/app/data_folder.h"
#include "platform/app/qt_profile_store.h"
#include "support/temp_home.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(Settings, AbsentKeysReadAsNotSetAndValuesSurviveAReopen) {
    test::TempHome home;
    {
        QtProfileStore store;
        EXPECT_EQ(store.read(key::kComPort), "---");
        EXPECT_EQ(store.read(kProfileSection, key::kFileRegPath, ""), "");
        store.write(key::kComPort, "ttyUSB0");
        store.write(key::kDefThreshold, "0.25");
    }
    QtProfileStore reopened;
    EXPECT_EQ(reopened.read(key::kComPort), "ttyUSB0");
    EXPECT_EQ(reopened.read(key::kDefThreshold), "0.25");
    // Everything lives in the one section of the one organisation/application file.
    std::ifstream ini(home.config() + "/VARNHOLT/QV-L70s.conf");
    std::string text((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(text.find("[QV-L70s]"), std::string::npos);
    EXPECT_NE(text.find("ComPort=ttyUSB0"), std::string::npos);
}

TEST(DataFolder, CreatesTheFirstTwoLevelsOnlyAndKeepsWhatExists) {
    test::TempHome home;
    const std::string folder = setUpDataFolder();
    EXPECT_EQ(folder, home.documents() + "/VARNHOLT/QV-L70s/Data");
    EXPECT_TRUE(fs::is_directory(home.documents() + "/VARNHOLT/QV-L70s"));
    EXPECT_FALSE(fs::exists(folder));
    ASSERT_TRUE(ensureFolder(folder));
    std::ofstream(folder + "/keep.csv") << "x";
    EXPECT_EQ(setUpDataFolder(), folder);
    EXPECT_TRUE(ensureFolder(folder));
    EXPECT_TRUE(fs::exists(folder + "/keep.csv"));
}

TEST(DataFolder, AnAccountWithoutADocumentsFolderStillGetsOne) {
    test::TempHome home;
    fs::remove_all(home.documents());
    const std::string folder = setUpDataFolder();
    EXPECT_TRUE(fs::is_directory(home.documents() + "/VARNHOLT/QV-L70s"));
    EXPECT_TRUE(ensureFolder(folder));
}

TEST(AtomicFileStore, WritesWholeFilesAndRefusesOversizedReads) {
    test::TempHome home;
    AtomicFileStore files;
    const std::string path = home.path() + "/r.csv";
    ASSERT_TRUE(files.saveAtomically(path, "a;b\r\n"));
    std::string back;
    ASSERT_TRUE(files.readAll(path, 100, back));
    EXPECT_EQ(back, "a;b\r\n");
    EXPECT_FALSE(files.readAll(path, 3, back));
    EXPECT_FALSE(files.saveAtomically(home.path() + "/missing/dir/r.csv", "x"));
    EXPECT_FALSE(fs::exists(home.path() + "/missing"));
}

}  // namespace
}  // namespace qv
