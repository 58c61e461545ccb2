#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr char kKey[] = "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentMosaic";

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir tempDir;
    std::string path = tempDir.File("tolva/registry.reg");

    // A store saved with the given changes and loaded again from its file.
    SettingsStore RoundTrip(const std::function<void(SettingsStore&)>& change) {
        SettingsStore first(path);
        EXPECT_TRUE(first.Load());
        change(first);
        EXPECT_TRUE(first.Save());
        SettingsStore second(path);
        EXPECT_TRUE(second.Load());
        return second;
    }
};

TEST_F(SettingsStoreTest, MissingFileIsAnEmptyStoreAndSaveCreatesItsFolder) {
    SettingsStore store(path);
    EXPECT_TRUE(store.Load());
    EXPECT_FALSE(store.KeyExists(kKey));
    store.SetString(kKey, "0", "/home/a/bookmarks.html");
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadFile(path),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentMosaic]\n"
              "\"0\"=\"/home/a/bookmarks.html\"\n");
}

TEST_F(SettingsStoreTest, SavingWhatTheFileAlreadyHoldsLeavesTheFileAlone) {
    // A save replaces the file by a rename, so a new inode means the file was written.
    auto inode = [this] {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_ino) : -1L;
    };
    RoundTrip([](SettingsStore& store) { store.SetString(kKey, "0", "/a"); });
    const long written = inode();
    SettingsStore store(path);
    ASSERT_TRUE(store.Load());
    store.SetString(kKey, "0", "/a");
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(inode(), written) << "an unchanged store is not written again";
    store.SetString(kKey, "0", "/b");
    ASSERT_TRUE(store.Save());
    EXPECT_NE(inode(), written);
    std::string value;
    SettingsStore reread(path);
    ASSERT_TRUE(reread.Load());
    ASSERT_TRUE(reread.GetString(kKey, "0", value));
    EXPECT_EQ(value, "/b");
}

TEST_F(SettingsStoreTest, StringsSurviveSavingWhateverTheyHold) {
    const std::string texts[] = {
        "C:\\Program Files\\Netscape\\bookmark.htm",
        "say \"hi\"\\",
        "two\r\nlines\nand a lone\rCR",
        std::string("zero\0byte", 9),
        "",
        "caf\xC3\xA9 \xAD",
    };
    SettingsStore loaded = RoundTrip([&](SettingsStore& store) {
        for (std::size_t i = 0; i < std::size(texts); ++i) store.SetString(kKey, std::to_string(i), texts[i]);
    });
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        std::string value;
        ASSERT_TRUE(loaded.GetString(kKey, std::to_string(i), value)) << i;
        EXPECT_EQ(value, texts[i]) << i;
    }
    // No value may add a line of its own to the file.
    std::string file = ReadFile(path);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 3 + static_cast<long>(std::size(texts)));
}

TEST_F(SettingsStoreTest, BinaryValuesAndTheirTypesAreKeptApartFromStrings) {
    SettingsStore loaded = RoundTrip([](SettingsStore& store) {
        store.SetBinary("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                        "AllowCookies", {1, 0, 0, 0});
        store.SetBinary(kKey, "empty", {});
    });
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(loaded.GetBinary("hkey_current_user\\software\\microsoft\\windows\\currentversion\\internet settings",
                                 "allowcookies", bytes));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{1, 0, 0, 0}));
    ASSERT_TRUE(loaded.GetBinary(kKey, "empty", bytes));
    EXPECT_TRUE(bytes.empty());
    std::string text;
    EXPECT_FALSE(loaded.GetString(kKey, "empty", text));
    EXPECT_NE(ReadFile(path).find("\"AllowCookies\"=hex:01,00,00,00\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, KeysAndNamesMatchWithoutRegardToCase) {
    SettingsStore store(path);
    store.SetString(kKey, "Name", "first");
    store.SetString("hkey_current_user\\SOFTWARE\\hollin\\tolva\\convert\\recentmosaic\\", "NAME", "second");
    std::string value;
    ASSERT_TRUE(store.GetString(kKey, "name", value));
    EXPECT_EQ(value, "second");
    EXPECT_TRUE(store.KeyExists("HKEY_CURRENT_USER\\Software\\Hollin"));
    EXPECT_FALSE(store.KeyExists("HKEY_CURRENT_USER\\Software\\Holl"));
    EXPECT_FALSE(store.GetString(kKey, "missing", value));
    ASSERT_TRUE(store.Save());
    std::string file = ReadFile(path);
    EXPECT_EQ(file.find("recentmosaic"), std::string::npos) << "the first spelling of a key is kept";
}

TEST_F(SettingsStoreTest, ReadsWhatRegeditWrites) {
    std::filesystem::create_directories(tempDir.Path() / "tolva");
    WriteFile(path,
              "\xEF\xBB\xBFREGEDIT4\r\n\r\n; a comment\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\r\n"
              "\"RegisteredOwner\" = \"Ada \\\"A\\\" Lovelace\"\r\n"
              "@=\"default\"\r\n"
              "\"Count\"=dword:0000002a\r\n"
              "\"Long\"=hex:01,02,\\\r\n  03,04\r\n"
              "\"Expand\"=hex(2):41,00\r\n"
              "\"Multi\"=hex(1):6c,69,6e,65,0a,32\r\n");
    SettingsStore store(path);
    ASSERT_TRUE(store.Load());
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
    std::string text;
    ASSERT_TRUE(store.GetString(key, "RegisteredOwner", text));
    EXPECT_EQ(text, "Ada \"A\" Lovelace");
    ASSERT_TRUE(store.GetString(key, "", text));
    EXPECT_EQ(text, "default");
    ASSERT_TRUE(store.GetString(key, "Multi", text));
    EXPECT_EQ(text, "line\n2");
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(store.GetBinary(key, "Count", bytes));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x2a, 0, 0, 0}));
    ASSERT_TRUE(store.GetBinary(key, "Long", bytes));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{1, 2, 3, 4}));

    // Writing back keeps every value and its type.
    ASSERT_TRUE(store.Save());
    SettingsStore again(path);
    ASSERT_TRUE(again.Load());
    ASSERT_TRUE(again.GetBinary(key, "Expand", bytes));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x41, 0}));
    EXPECT_NE(ReadFile(path).find("\"Count\"=dword:0000002a"), std::string::npos);
}

TEST_F(SettingsStoreTest, UnparsableFileIsReportedAndNeverOverwritten) {
    const std::string broken[] = {
        "Windows Registry Editor Version 5.00\n",
        "REGEDIT4\n\"orphan\"=\"value before any key\"\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"unterminated\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:1,zz\n",
        "REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"bad \\n escape\"\n",
        // Found by fuzzing: a key of backslashes only was accepted, then saved as "[]",
        // which made the saved file unreadable from then on.
        "REGEDIT4\n[\\\\\\]\n",
    };
    std::filesystem::create_directories(tempDir.Path() / "tolva");
    for (const std::string& bytes : broken) {
        WriteFile(path, bytes);
        SettingsStore store(path);
        EXPECT_FALSE(store.Load()) << bytes;
        store.SetString(kKey, "0", "x");
        EXPECT_FALSE(store.Save()) << bytes;
        EXPECT_EQ(ReadFile(path), bytes);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tempDir.Path() / "tolva"),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

TEST_F(SettingsStoreTest, SaveFailsCleanlyWhenTheFolderCannotBeMade) {
    WriteFile(tempDir.File("tolva"), "a file where the folder should be");
    SettingsStore store(path);
    ASSERT_TRUE(store.Load());
    store.SetString(kKey, "0", "x");
    EXPECT_FALSE(store.Save());
}

TEST(SettingsStoreDefaultPath, FollowsXdgConfigHomeOnlyWhenAbsolute) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string savedValue = saved ? saved : "";
    const char* savedHome = std::getenv("HOME");
    std::string savedHomeValue = savedHome ? savedHome : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/elsewhere", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/tmp/elsewhere/tolva/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/home/someone/.config/tolva/registry.reg");
    if (saved) {
        ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    if (savedHome) ::setenv("HOME", savedHomeValue.c_str(), 1);
}

}  // namespace
}  // namespace tolva
