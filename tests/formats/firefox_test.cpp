#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "support/outline.h"
#include "support/places_builder.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::Outline;
using testing::PlacesBuilder;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::Tree;

class FirefoxTest : public ::testing::Test {
protected:
    int ReadFrom(UrlSet& set, const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, UrlSetFormat::Firefox, path);
    }

    TempDir dir;
    RecordingPrompter prompter;
};

TEST_F(FirefoxTest, RootsFoldersSeparatorsTagsAndKeywords) {
    testing::MakeSamplePlaces(dir.File("places.sqlite"));
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, dir.File("places.sqlite")), 1);
    EXPECT_EQ(
        Outline(set),
        (std::vector<std::string>{
            "F \\Bookmarks Menu",
            "F \\Bookmarks Menu\\Nachrichten & Wetter",
            "L \\Bookmarks Menu\\Nachrichten & Wetter | Tagesschau – Startseite | https://www.tagesschau.example/ "
            "| ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000000\" TAGS=\"news,deutsch\" |  | ",
            "S \\Bookmarks Menu\\Nachrichten & Wetter",
            "F \\Bookmarks Menu\\Nachrichten & Wetter\\日本語",
            "L \\Bookmarks Menu\\Nachrichten & Wetter\\日本語 | ニュース | https://news.example.jp/ | "
            "ADD_DATE=\"1700000100\" LAST_MODIFIED=\"1700000100\" |  | ",
            "E \\Bookmarks Menu\\Nachrichten & Wetter",
            "E \\Bookmarks Menu",
            "L \\Bookmarks Menu | Mozilla | https://www.mozilla.example/ | |  | ",
            "E ",
            "F \\Bookmarks Toolbar",
            "L \\Bookmarks Toolbar | Wiki | https://wiki.example/?q=%s | SHORTCUTURL=\"w\" |  | ",
            "S \\Bookmarks Toolbar",
            "E ",
            "F \\Other Bookmarks",
            "L \\Other Bookmarks | Ελληνικά | https://el.example/ | |  | ",
            "E ",
            "F \\Mobile Bookmarks",
            "E ",
            "E ",
        }));
    EXPECT_EQ(set.linkCount, 5);
    EXPECT_TRUE(prompter.shown.empty());
}

// A damaged store in which folders are their own ancestors: the walk used to go on for ever.
TEST_F(FirefoxTest, FolderThatIsItsOwnAncestorIsReadOnce) {
    {
        PlacesBuilder places(dir.File("places.sqlite"));
        const std::int64_t inner = places.Folder(PlacesBuilder::kToolbar, "Inner");
        places.Bookmark(inner, "A", "http://a/");
        const std::string loops =
            "UPDATE moz_bookmarks SET parent = id WHERE id = " + std::to_string(PlacesBuilder::kMenu) +
            "; UPDATE moz_bookmarks SET parent = " + std::to_string(inner) +
            " WHERE id = " + std::to_string(PlacesBuilder::kToolbar);
        ASSERT_EQ(sqlite3_exec(places.Db(), loops.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, dir.File("places.sqlite")), 1);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{
                                "F \\Bookmarks Menu", "E ", "F \\Bookmarks Toolbar", "F \\Bookmarks Toolbar\\Inner",
                                "L \\Bookmarks Toolbar\\Inner | A | http://a/ | |  | ", "E \\Bookmarks Toolbar", "E ",
                                "F \\Other Bookmarks", "E ", "F \\Mobile Bookmarks", "E ", "E "}));
}

TEST_F(FirefoxTest, StoreIsNeitherWrittenNorSavedBack) {
    const std::string path = dir.File("places.sqlite");
    testing::MakeSamplePlaces(path);
    const std::string before = ReadFile(path);
    UrlSet set;
    SetStorage storage{set};
    set.SetPrompter(&prompter);
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Firefox, path), 1);
    ASSERT_EQ(storage.Read(nullptr), 1);
    EXPECT_EQ(storage.Write(), 0);
    storage.Close();
    EXPECT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Firefox, dir.File("new.sqlite")), 0);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.sqlite")));
}

TEST_F(FirefoxTest, WhatIsNotAStoreIsReported) {
    testing::WriteFile(dir.File("places.sqlite"), "not a database, just text of some length .........");
    UrlSet set;
    EXPECT_EQ(ReadFrom(set, dir.File("places.sqlite")), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find("could not be read"), std::string::npos);
}

// Waits up to ten seconds for one byte on fd.
bool AwaitByte(int fd) {
    pollfd ready{fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&ready, 1, 10000) == 1 && ::read(fd, &byte, 1) == 1;
}

// Firefox keeps its store open, locked exclusively, with its latest changes in the log.
// Reading it then neither waits nor fails, sees those changes, and leaves the store, its log
// and its folder exactly as they were, holding no lock afterwards.
TEST_F(FirefoxTest, StoreHeldOpenForWritingIsReadWithoutLockOrChange) {
    const std::string path = dir.File("places.sqlite");
    testing::MakeSamplePlaces(path);
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        sqlite3* db = nullptr;
        bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                  sqlite3_exec(db,
                               "PRAGMA locking_mode = EXCLUSIVE; BEGIN IMMEDIATE;"
                               " INSERT INTO moz_places (id, url) VALUES (100, 'http://log.example/');"
                               " INSERT INTO moz_bookmarks (type, fk, parent, position, title, guid)"
                               " VALUES (1, 100, 5, 9, 'In the log', 'logged'); COMMIT; BEGIN IMMEDIATE;"
                               " UPDATE moz_bookmarks SET title = 'uncommitted' WHERE guid = 'logged';",
                               nullptr, nullptr, nullptr) == SQLITE_OK;
        if (ok && ::write(ready[1], "r", 1) == 1) AwaitByte(done[0]);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        ::_exit(ok ? 0 : 1);
    }
    ASSERT_TRUE(AwaitByte(ready[0]));
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    const std::string store = ReadFile(path), log = ReadFile(path + "-wal");
    const std::vector<std::string> files = Tree(dir.Path());

    UrlSet set;
    const int read = ReadFrom(set, path);
    EXPECT_EQ(ReadFile(path), store);
    EXPECT_EQ(ReadFile(path + "-wal"), log);
    EXPECT_EQ(Tree(dir.Path()), files);
    ASSERT_EQ(::write(done[1], "d", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_EQ(read, 1) << (prompter.shown.empty() ? "" : prompter.shown[0].text);
    UrlEntry* other = set.FindFolder("\\Other Bookmarks");
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other->next->next, nullptr);
    EXPECT_EQ(other->next->next->name, "In the log");

    // This process, which read the store, holds no lock on it: another one sees none.
    const pid_t checker = ::fork();
    ASSERT_GE(checker, 0);
    if (checker == 0) {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const bool free = fd >= 0 && ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type == F_UNLCK;
        ::_exit(free ? 0 : 1);
    }
    ASSERT_EQ(::waitpid(checker, &status, 0), checker);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
}

}  // namespace
}  // namespace tolva
