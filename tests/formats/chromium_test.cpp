#include <gtest/gtest.h>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::Outline;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

// As Chromium writes it, less the checksum and GUIDs: a root without a name, nested folders,
// dates in microseconds since 1601, meta_info of our own and of others, an empty root (left out).
const std::string kBookmarks = R"({
   "checksum": "0123",
   "roots": {
      "bookmark_bar": {
         "children": [ {
            "date_added": "13350000000000000", "date_last_used": "0", "guid": "g1", "id": "4",
            "meta_info": { "power_bookmark_meta": "", "tolva.preserved_name": "Old & gone" },
            "name": "Überblick \"A\"", "type": "url", "url": "https://a.example/ü"
         }, {
            "children": [ { "children": [ ], "date_added": "0", "date_modified": "0", "id": "6",
                            "name": "Leer", "type": "folder" } ],
            "date_added": "13350000000000000", "date_modified": "13350000001000000", "id": "5",
            "name": "Ordner", "type": "folder"
         } ],
         "date_added": "0", "date_modified": "0", "id": "1", "name": "Lesezeichenleiste", "type": "folder"
      },
      "other": { "children": [ ], "id": "2", "type": "folder" },
      "synced": { "children": [ { "id": "7", "name": "m", "type": "url", "url": "http://m/" } ],
                  "id": "3", "name": "Mobile bookmarks", "type": "folder" }
   },
   "version": 1
}
)";

class ChromiumTest : public ::testing::Test {
protected:
    int ReadFrom(UrlSet& set, const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, UrlSetFormat::Chromium, path);
    }

    TempDir dir;
    RecordingPrompter prompter;
};

TEST_F(ChromiumTest, RootsBecomeTopLevelFoldersWithTheirNamesDatesAndMetaInfo) {
    WriteFile(dir.File("Bookmarks"), kBookmarks);
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, dir.File("Bookmarks")), 1);
    EXPECT_EQ(Outline(set),
              (std::vector<std::string>{
                  "F \\Lesezeichenleiste | CHROMIUM_ROOT=\"bookmark_bar\"",
                  "L \\Lesezeichenleiste | Überblick \"A\" | https://a.example/ü | ADD_DATE=\"1705526400\" "
                  "| Old & gone | ",
                  "F \\Lesezeichenleiste\\Ordner | ADD_DATE=\"1705526400\" LAST_MODIFIED=\"1705526401\"",
                  "F \\Lesezeichenleiste\\Ordner\\Leer",
                  "E \\Lesezeichenleiste\\Ordner",
                  "E \\Lesezeichenleiste",
                  "E ",
                  "F \\Mobile bookmarks | CHROMIUM_ROOT=\"synced\"",
                  "L \\Mobile bookmarks | m | http://m/ | |  | ",
                  "E ",
                  "E ",
              }));
    EXPECT_EQ(set.FindFolder("\\Lesezeichenleiste\\Ordner")->extraAttributes,
              " ADD_DATE=\"1705526400\" LAST_MODIFIED=\"1705526401\"");
    EXPECT_EQ(set.linkCount, 2);
    EXPECT_EQ(set.folderCount, 4);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ChromiumTest, WrittenFileGoesBackIntoItsRootsAndLooseItemsIntoOther) {
    WriteFile(dir.File("Bookmarks"), kBookmarks);
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, dir.File("Bookmarks")), 1);
    // A link and a separator at the top level, as a bookmark file has them.
    set.root.InsertAfter(new UrlEntry(UrlEntryKind::Separator, {}));
    set.root.InsertAfter(new UrlEntry(UrlEntryKind::Link, "loose", "http://loose/"));
    const std::string written = dir.File("Bookmarks.new");
    ASSERT_EQ(testing::WriteSet(set, UrlSetFormat::Chromium, written), 1);
    UrlSet back;
    ASSERT_EQ(ReadFrom(back, written), 1) << ReadFile(written);
    std::vector<std::string> expected = Outline(set);
    expected.erase(expected.begin(), expected.begin() + 2);  // the loose link and the separator
    expected.insert(expected.begin() + 7, {"F \\Other bookmarks | CHROMIUM_ROOT=\"other\"",
                                           "L \\Other bookmarks | loose | http://loose/ | |  | ", "E "});
    EXPECT_EQ(Outline(back), expected);
}

TEST_F(ChromiumTest, AnExistingFileIsNeverReplaced) {
    const std::string path = dir.File("Bookmarks");
    WriteFile(path, kBookmarks);
    UrlSet set;
    SetStorage storage{set};
    set.SetPrompter(&prompter);
    prompter.ScriptAnswers({true, true});
    EXPECT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Chromium, path), 0);
    // Refused with the message of a set that exists, without the question of replacing it.
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find("already exists"), std::string::npos);
    EXPECT_EQ(ReadFile(path), kBookmarks);

    // Nor is a set read from it saved back over it.
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Chromium, path), 1);
    ASSERT_EQ(storage.Read(nullptr), 1);
    EXPECT_EQ(storage.Write(), 0);
    storage.Close();
    EXPECT_EQ(ReadFile(path), kBookmarks);
}

// A signed-in account's file is read like the profile's own; a profile whose bookmarks are only
// encrypted is said to be so, not merely missing.
TEST_F(ChromiumTest, AccountBookmarksAreReadAndAnEncryptedOnlyProfileIsSaidToBeSo) {
    WriteFile(dir.File("AccountBookmarks"), kBookmarks);
    UrlSet set;
    EXPECT_EQ(ReadFrom(set, dir.File("AccountBookmarks")), 1);
    EXPECT_EQ(set.linkCount, 2);
    UrlSet missing;
    EXPECT_EQ(ReadFrom(missing, dir.File("Bookmarks")), -1);
    WriteFile(dir.File("EncryptedBookmarks2"), "sealed");
    EXPECT_EQ(ReadFrom(missing, dir.File("Bookmarks")), -1);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text.find("encrypted"), std::string::npos);
    EXPECT_NE(prompter.shown[1].text.find("only in an encrypted file"), std::string::npos);
}

TEST_F(ChromiumTest, WhatIsNotChromiumJsonIsReported) {
    for (const char* text : {"{\"roots\": {", "[1, 2]", ""}) {
        SCOPED_TRACE(text);
        prompter.shown.clear();
        WriteFile(dir.File("Bookmarks"), text);
        UrlSet set;
        EXPECT_EQ(ReadFrom(set, dir.File("Bookmarks")), 0);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_NE(prompter.shown[0].text.find("could not be read"), std::string::npos);
    }
}

}  // namespace
}  // namespace tolva
