#include "locations/default_locations.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST_F(DefaultLocationsTest, FavoritesFolderOrTheHint) {
    EXPECT_EQ(FindFavoritesFolder(store), kHint);
    store.SetString(kShellFolders, "Favorites", "/home/ann/Favorites");
    EXPECT_EQ(FindFavoritesFolder(store), "/home/ann/Favorites");
}

}  // namespace
}  // namespace tolva
