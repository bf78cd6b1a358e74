#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/app/string_table_text.h"
#include "platform/app/instance_lock.h"
#include "platform/app/resource_file.h"
#include "support/temp_home.h"

namespace qv {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(StringTableText, ReadsNumberedLinesAndSkipsTheRest) {
    const auto texts = parseStringTable(
        "# comment\n\n101\tAbout...\r\n118\tLine one\\nline two\\tand a tab \\\\ \n"
        "12x\tbroken\n\tno number\n175\tends with a blank: \n999 no tab\n");
    TextStringTable table(texts);
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(table.text(101), "About...");
    EXPECT_EQ(table.text(118), "Line one\nline two\tand a tab \\ ");
    EXPECT_EQ(table.text(175), "ends with a blank: ");
    EXPECT_EQ(table.text(12), "");
}

// What the operator reads is checked for the slips a proofreader misses: a word twice in a row
// ("at at") and a possessive after a quoted name ("'white''s").
TEST(StringTableText, TheProgramsTextsHaveNoDoubledWordsNorQuotedPossessives) {
    TextStringTable table(parseStringTable(readText(QV_SOURCE_DIR "/resources/strings.tsv")));
    for (int id = 0; id < 1000; ++id) {
        const std::string text = table.text(id);
        EXPECT_EQ(text.find("''s"), std::string::npos) << id;
        std::istringstream words(text);
        std::string word, previous;
        while (words >> word) {
            std::string bare;
            for (char c : word)
                if (std::isalpha(static_cast<unsigned char>(c)))
                    bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_TRUE(bare.empty() || bare != previous) << id << ": " << text;
            previous = bare;
        }
    }
}

TEST(StringTableText, TheProgramsTableHoldsEveryTextTheProgramAsksFor) {
    TextStringTable table(parseStringTable(readText(QV_SOURCE_DIR "/resources/strings.tsv")));
    std::vector<int> ids = {101, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 116, 117,
                            118, 121, 122, 123, 124, 125, 126, 127, 149, 151, 152, 153, 154, 155,
                            157, 158, 160, 163, 165, 166, 167, 168, 169, 172, 173, 174, 175, 176,
                            179, 180, 181, 183, 184, 185, 186, 187, 188, 189, 191, 192, 193, 194,
                            195, 196, 197, 198, 199, 200, 201, 203, 204, 205, 206, 207, 208, 209,
                            210, 214, 215, 216, 217, 220, 221, 222, 223, 224, 225, 226, 227, 228,
                            229, 230, 231, 232, 233, 234, 235, 236, 237, 257, 258, 259, 260, 261};
    for (int id : ids) EXPECT_FALSE(table.text(id).empty()) << id;
    for (int id = 0; id < 1000; ++id) {
        for (char c : table.text(id)) EXPECT_TRUE(c >= 0x20 || c == '\n') << id;  // plain ASCII
    }
    // A coefficient record file can be read back: its serial line is the one the reader takes.
    EXPECT_EQ(table.text(188), table.text(210));
    // A target result file can be registered, a judgement result file cannot.
    EXPECT_EQ(table.text(195), table.text(200));
    EXPECT_EQ(table.text(196), table.text(201));
    // File header texts are used as printf formats.
    for (int id = 186; id <= 217; ++id)
        EXPECT_EQ(table.text(id).find('%'), std::string::npos) << id;
    // Messages followed by a value end in a blank, so the value stands apart.
    for (int id : {127, 175, 176}) EXPECT_EQ(table.text(id).back(), ' ') << id;
}

TEST(ResourceFile, LoadsTheBuiltFileAndRefusesAMissingOne) {
    const auto strings = loadResourceStrings(QV_BIN_DIR "/VNBRMRes.rcc");
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->text(111), "QV-L70s");
    EXPECT_TRUE(QFile::exists(QString::fromLatin1(kApplicationIconResource)));
    EXPECT_FALSE(loadResourceStrings(QV_BIN_DIR "/no-such.rcc"));
    test::TempHome home;
    std::ofstream(home.path() + "/VNBRMRes.rcc") << "not a resource file";
    EXPECT_FALSE(loadResourceStrings(home.path() + "/VNBRMRes.rcc"));
    EXPECT_FALSE(programVersion().empty());
}

// Installed, the programs lie in <prefix>/bin and their data in <prefix>/share/qvl70s.
TEST(ResourceFile, IsLookedForBesideTheProgramThenInTheInstalledDataFolder) {
    test::TempHome home;
    const std::string bin = home.path() + "/usr/bin";
    const std::string data = home.path() + "/usr/share/qvl70s";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    // Found nowhere: the message then names the file beside the program.
    EXPECT_EQ(resourceFolder(bin), bin);
    std::ofstream(data + "/VNBRMRes.rcc") << "installed";
    EXPECT_EQ(resourceFolder(bin), data);
    std::ofstream(bin + "/VNBRMRes.rcc") << "beside";
    EXPECT_EQ(resourceFolder(bin), bin);
    // The build folder holds its own copy, so a built program never reads an installed one.
    EXPECT_EQ(resourceFilePath(), QV_BIN_DIR "/VNBRMRes.rcc");
}

TEST(InstanceLock, OneHolderAtATimeAndAStaleLockIsTakenOver) {
    test::TempHome home;
    {
        InstanceLock first;
        EXPECT_EQ(first.path(), home.path() + "/run/BRM-Application.lock");
        ASSERT_TRUE(first.tryLock());
        InstanceLock second;
        EXPECT_FALSE(second.tryLock());
        EXPECT_TRUE(first.tryLock());  // asking again keeps it
    }
    InstanceLock afterwards;
    EXPECT_TRUE(afterwards.tryLock());
}

TEST(InstanceLock, ALockThatCannotBeMadeIsNoSecondInstance) {
    test::TempHome home;
    InstanceLock lock;
    // The folder vanished (or cannot be written): the program says so and runs unguarded
    // rather than claiming another copy runs and ending.
    std::filesystem::remove_all(home.path() + "/run");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(lock.tryLock());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(lock.guarded());
    EXPECT_NE(said.find(lock.path()), std::string::npos) << said;
    EXPECT_EQ(said.find("already running"), std::string::npos) << said;
    EXPECT_TRUE(lock.tryLock());

    std::filesystem::create_directories(home.path() + "/run");
    InstanceLock held;
    ASSERT_TRUE(held.tryLock());
    EXPECT_TRUE(held.guarded());
    InstanceLock second;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.tryLock());  // another holder is the one case that refuses
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(second.guarded());
}

TEST(InstanceLock, ALockLeftByACrashedProcessIsTakenOver) {
    test::TempHome home;
    const std::string path = home.path() + "/run/BRM-Application.lock";
    // A child takes the lock and dies without releasing it.
    const pid_t child = fork();
    if (child == 0) {
        QLockFile lock(QString::fromStdString(path));
        _exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(std::filesystem::exists(path));
    InstanceLock lock;
    EXPECT_TRUE(lock.tryLock());
}

}  // namespace
}  // namespace qv
