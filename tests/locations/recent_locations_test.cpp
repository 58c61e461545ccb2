#include "locations/recent_locations.h"

#include <gtest/gtest.h>

#include "model/url_set.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::TempDir;

using Entries = std::vector<std::string>;

class RecentLocationsTest : public ::testing::Test {
protected:
    // What a later run of the program finds in the store.
    Entries Stored(RecentPage page, UrlSetFormat format) {
        SettingsStore reloaded(store.Path());
        EXPECT_TRUE(reloaded.Load());
        MemoryLocationBox box;
        LoadRecentLocations(reloaded, page, format, box);
        return box.Entries();
    }

    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
};

TEST_F(RecentLocationsTest, NoStoredListLeavesTheBoxEmpty) {
    MemoryLocationBox box;
    box.SetEntries({"left over"});
    box.SetText("typed");
    EXPECT_FALSE(LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, box));
    EXPECT_TRUE(box.Entries().empty());
    EXPECT_EQ(box.Text(), "");
    EXPECT_FALSE(LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::None, box));
}

TEST_F(RecentLocationsTest, AnEmptyStoredListStillCountsAsStored) {
    store.CreateKey(RecentLocationsKey(RecentPage::Translate, UrlSetFormat::Shortcuts));
    MemoryLocationBox box;
    EXPECT_TRUE(LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Shortcuts, box));
    EXPECT_TRUE(box.Entries().empty());
}

TEST_F(RecentLocationsTest, UsedAgainMovesToTopAndCaseVariantsReplaceEachOther) {
    MemoryLocationBox box;
    for (const char* location : {"/a", "/b", "/c", "/B"}) {
        RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, box, location);
    }
    EXPECT_EQ(box.Entries(), (Entries{"/B", "/c", "/a"}));
    EXPECT_EQ(Stored(RecentPage::Translate, UrlSetFormat::Netscape), (Entries{"/B", "/c", "/a"}));

    MemoryLocationBox loaded;
    EXPECT_TRUE(LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, loaded));
    EXPECT_EQ(loaded.Text(), "/B");
}

// Regression: a translation's backup copy became a recent location, and so the destination a
// quick button offered.
TEST_F(RecentLocationsTest, BackupCopiesAreNeitherRememberedNorLoaded) {
    MemoryLocationBox box;
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, box, "/a/bookmarks.htm");
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, box, "/a/bookmarks.htm.BAK");
    EXPECT_EQ(box.Entries(), (Entries{"/a/bookmarks.htm"}));
    const std::string key = RecentLocationsKey(RecentPage::Translate, UrlSetFormat::Netscape);
    store.SetString(key, "0", "/old/bookmarks.htm.bak");  // stored by an earlier version
    store.Save();
    EXPECT_EQ(Stored(RecentPage::Translate, UrlSetFormat::Netscape), Entries{});
}

TEST_F(RecentLocationsTest, OnlyTheTenMostRecentAreStoredWhileTheBoxKeepsMore) {
    MemoryLocationBox box;
    for (int i = 0; i < 11; ++i)
        RememberLocation(store, RecentPage::Translate, UrlSetFormat::Mosaic, box, "/set" + std::to_string(i));
    EXPECT_EQ(box.Entries().size(), 11u);
    Entries stored = Stored(RecentPage::Translate, UrlSetFormat::Mosaic);
    ASSERT_EQ(stored.size(), kMaxRecentLocations);
    EXPECT_EQ(stored.front(), "/set10");
    EXPECT_EQ(stored.back(), "/set1");
}

TEST_F(RecentLocationsTest, PagesAndFormatsKeepSeparateLists) {
    MemoryLocationBox translate;
    MemoryLocationBox verify;
    MemoryLocationBox merge;
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, translate, "/t");
    RememberLocation(store, RecentPage::Verify, UrlSetFormat::Netscape, verify, "/v");
    RememberLocation(store, RecentPage::Merge, UrlSetFormat::Netscape, merge, "/m");
    EXPECT_EQ(Stored(RecentPage::Translate, UrlSetFormat::Netscape), (Entries{"/t"}));
    EXPECT_EQ(Stored(RecentPage::Verify, UrlSetFormat::Netscape), (Entries{"/v"}));
    EXPECT_EQ(Stored(RecentPage::Merge, UrlSetFormat::Netscape), (Entries{"/m"}));
    EXPECT_TRUE(Stored(RecentPage::Translate, UrlSetFormat::Mosaic).empty());
    EXPECT_EQ(RecentLocationsKey(RecentPage::Verify, UrlSetFormat::Shortcuts),
              "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Verify\\RecentFavorites");
    EXPECT_EQ(RecentLocationsKey(RecentPage::Merge, UrlSetFormat::LinkPage),
              "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Merge\\RecentLinkPage");
}

TEST_F(RecentLocationsTest, OverlongAndMissingValuesAreSkippedWithoutAGap) {
    const std::string key = RecentLocationsKey(RecentPage::Verify, UrlSetFormat::Mosaic);
    store.SetString(key, "0", "/first");
    store.SetString(key, "1", std::string(kMaxLocationLength + 1, 'x'));
    store.SetString(key, "3", std::string(kMaxLocationLength, 'y'));
    MemoryLocationBox box;
    EXPECT_TRUE(LoadRecentLocations(store, RecentPage::Verify, UrlSetFormat::Mosaic, box));
    EXPECT_EQ(box.Entries(), (Entries{"/first", std::string(kMaxLocationLength, 'y')}));
}

TEST_F(RecentLocationsTest, SameFormatOnBothSidesEndsWithTheDestinationBoxsCopy) {
    // Both boxes were loaded from the same stored list before the run.
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, *std::make_unique<MemoryLocationBox>(),
                     "/old");
    MemoryLocationBox source;
    MemoryLocationBox destination;
    LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, source);
    LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, destination);
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, source, "/new-source");
    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, destination, "/new-destination");
    EXPECT_EQ(Stored(RecentPage::Translate, UrlSetFormat::Netscape), (Entries{"/new-destination", "/old"}));
}

TEST_F(RecentLocationsTest, AListStoredShorterLeavesNoOldTail) {
    // The same source and destination twice: the source's longer list is stored first, then
    // the destination's shorter one over it.
    for (int run = 0; run < 2; ++run) {
        MemoryLocationBox source;
        MemoryLocationBox destination;
        LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, source);
        LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Netscape, destination);
        RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, source, "/s");
        RememberLocation(store, RecentPage::Translate, UrlSetFormat::Netscape, destination, "/d");
    }
    EXPECT_EQ(Stored(RecentPage::Translate, UrlSetFormat::Netscape), (Entries{"/d"}));
}

}  // namespace
}  // namespace tolva
