#include "locations/default_locations.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "locations/store_locations.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::TempDir;
using testing::WriteFile;

constexpr char kBookmarkKey[] = "HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Bookmark List";
constexpr char kShellFolders[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kHint[] = "No Favorites folder found.  Type a location here.";

class DefaultLocationsTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
    std::string home = dir.File("home");

    void MakeUnixNetscapeFile() {
        std::filesystem::create_directories(std::filesystem::path(home) / ".netscape");
        WriteFile(home + "/.netscape/bookmarks.html", "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n");
    }
};

TEST_F(DefaultLocationsTest, NetscapeFileComesFromTheStoreBeforeTheHomeFolder) {
    MakeUnixNetscapeFile();
    store.SetString(kBookmarkKey, "File Location", "/srv/links/bookmark.htm");
    EXPECT_EQ(FindNetscapeBookmarkFile(store, home), "/srv/links/bookmark.htm");
}

TEST_F(DefaultLocationsTest, NetscapeFileFallsBackToTheUnixLocationOnlyWithoutTheKey) {
    EXPECT_EQ(FindNetscapeBookmarkFile(store, home), "") << "no key, no file";
    MakeUnixNetscapeFile();
    EXPECT_EQ(FindNetscapeBookmarkFile(store, home), home + "/.netscape/bookmarks.html");
    // A key without the value names no file, even though one lies in the home folder.
    store.SetString(kBookmarkKey, "Other", "x");
    EXPECT_EQ(FindNetscapeBookmarkFile(store, home), "");
}

TEST_F(DefaultLocationsTest, ValuesTooLongToReadCountAsMissing) {
    const std::string longPath = "/" + std::string(255, 'a');
    store.SetString(kBookmarkKey, "File Location", longPath);
    store.SetString(kShellFolders, "Favorites", longPath);
    EXPECT_EQ(FindNetscapeBookmarkFile(store, home), "");
    EXPECT_EQ(FindFavoritesFolder(store), kHint);
}

// A file at path below the test's folder, with its folders.
std::string Put(const TempDir& dir, const std::string& path, const std::string& bytes = "x") {
    const std::string full = dir.File(path);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    WriteFile(full, bytes);
    return full;
}

TEST_F(DefaultLocationsTest, FavoritesFolderFromTheStoreElseAMountedWindowsPartitionElseTheHint) {
    const std::string media = dir.File("media/ann");
    const std::string mnt = dir.File("mnt");
    EXPECT_EQ(FindFavoritesFolder(store, {media, mnt}), kHint);
    // A partition inside a mount root, and one mounted as the root itself; Public has none.
    Put(dir, "media/ann/Windows/Users/Public/Desktop/x.url");
    Put(dir, "media/ann/Windows/Users/Ann/Favorites/Links/a.url");
    Put(dir, "mnt/Users/Bo/Favorites/b.url");
    EXPECT_EQ(FindFavoritesFolder(store, {media, mnt}), media + "/Windows/Users/Ann/Favorites");
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::Shortcuts, {home, {media, mnt}}),
              (std::vector<std::string>{media + "/Windows/Users/Ann/Favorites", mnt + "/Users/Bo/Favorites"}));
    store.SetString(kShellFolders, "Favorites", "/home/ann/Favorites");
    EXPECT_EQ(FindFavoritesFolder(store, {media, mnt}), "/home/ann/Favorites");
}

TEST_F(DefaultLocationsTest, BrowserStoresAreFoundWhereLinuxKeepsThem) {
    const std::string elsewhere = Put(dir, "elsewhere/profile/places.sqlite");
    Put(dir, "home/.mozilla/firefox/profiles.ini",
        "[General]\nStartWithLastProfile=1\n\n[Profile1]\nName=other\nIsRelative=0\nPath=" +
            dir.File("elsewhere/profile") +
            "\n\n[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\n\n"
            "[Profile2]\nName=never used\nIsRelative=1\nPath=empty.profile\n");
    Put(dir, "home/.mozilla/firefox/abc.default/places.sqlite");
    std::filesystem::create_directories(dir.File("home/.mozilla/firefox/empty.profile"));
    Put(dir, "home/.var/app/org.mozilla.firefox/.mozilla/firefox/profiles.ini", "[Profile0]\r\nPath=flat\r\n");
    Put(dir, "home/.var/app/org.mozilla.firefox/.mozilla/firefox/flat/places.sqlite");
    Put(dir, "home/snap/firefox/common/.mozilla/firefox/profiles.ini", "[Profile0]\nPath=snapped\n");
    Put(dir, "home/snap/firefox/common/.mozilla/firefox/snapped/places.sqlite");
    const std::string backups = home + "/.mozilla/firefox/abc.default/bookmarkbackups/";
    for (const char* name : {"bookmarks-2026-12-01_9_a.jsonlz4", "bookmarks-2026-12-08_9_b.jsonlz4", "mine.json",
                             "mine.json.tmp"})
        Put(dir, "home/.mozilla/firefox/abc.default/bookmarkbackups/" + std::string(name));
    Put(dir, "elsewhere/profile/bookmarkbackups/bookmarks-2025-01-01_1_c.jsonlz4");
    Put(dir, "home/.config/google-chrome/Profile 1/Bookmarks");
    Put(dir, "home/.config/google-chrome/Default/Bookmarks");
    Put(dir, "home/.config/google-chrome/Default/Bookmarks.bak");
    Put(dir, "home/.config/google-chrome/Default/AccountBookmarks");
    std::filesystem::create_directories(dir.File("home/.config/chromium/System Profile"));
    Put(dir, "home/.config/BraveSoftware/Brave-Browser/Default/Bookmarks");
    Put(dir, "home/.config/vivaldi/Default/Bookmarks");
    Put(dir, "home/.local/share/user-places.xbel");
    Put(dir, "home/.local/share/konqueror/bookmarks.xml");
    const StorePlaces places{home, {}};
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::Firefox, places),
              (std::vector<std::string>{home + "/.mozilla/firefox/abc.default/places.sqlite", elsewhere,
                                        home + "/.var/app/org.mozilla.firefox/.mozilla/firefox/flat/places.sqlite",
                                        home + "/snap/firefox/common/.mozilla/firefox/snapped/places.sqlite"}));
    // Each profile's backups beside its store, the newest first.
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::FirefoxBackup, places),
              (std::vector<std::string>{backups + "mine.json", backups + "bookmarks-2026-12-08_9_b.jsonlz4",
                                        backups + "bookmarks-2026-12-01_9_a.jsonlz4",
                                        dir.File("elsewhere/profile/bookmarkbackups/bookmarks-2025-01-01_1_c.jsonlz4")}));
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::Chromium, places),
              (std::vector<std::string>{home + "/.config/google-chrome/Default/Bookmarks",
                                        home + "/.config/google-chrome/Default/AccountBookmarks",
                                        home + "/.config/google-chrome/Profile 1/Bookmarks",
                                        home + "/.config/BraveSoftware/Brave-Browser/Default/Bookmarks",
                                        home + "/.config/vivaldi/Default/Bookmarks"}));
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::Xbel, places),
              (std::vector<std::string>{home + "/.local/share/user-places.xbel",
                                        home + "/.local/share/konqueror/bookmarks.xml"}));
    EXPECT_TRUE(FindStoreLocations(UrlSetFormat::Mosaic, places).empty());
    EXPECT_TRUE(FindStoreLocations(UrlSetFormat::Netscape, places).empty());
    MakeUnixNetscapeFile();
    EXPECT_EQ(FindStoreLocations(UrlSetFormat::Netscape, places),
              std::vector<std::string>{home + "/.netscape/bookmarks.html"});

    // The person's own places are those of $HOME.
    const char* before = std::getenv("HOME");
    const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;
    ::setenv("HOME", home.c_str(), 1);
    const StorePlaces own = StorePlaces::OfPerson();
    if (saved) {
        ::setenv("HOME", saved->c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
    EXPECT_EQ(own.home, home);
    EXPECT_EQ(own.mountRoots.back(), "/mnt");
}

}  // namespace
}  // namespace tolva
