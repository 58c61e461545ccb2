#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/url_set.h"
#include "support/outline.h"
#include "support/places_builder.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"
#include "translate/translation_run.h"

namespace tolva {
namespace {

using testing::Outline;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

const std::string kDates = R"( ADD_DATE="1700000000" LAST_MODIFIED="1700000100")";
const std::string kLinkDates = R"( ADD_DATE="1700000000" LAST_MODIFIED="1700000000")";

// The sample backup as the reader gives it: the menu's contents at the top level, the toolbar
// and mobile roots as marked top-level folders, the empty root and the tags root left out.
const std::vector<std::string> kSampleOutline = {
    "F \\Ordner |" + kDates,
    "F \\Ordner\\Tiefer |" + kDates,
    "L \\Ordner\\Tiefer | Überblick \"A\" | https://a.example/ü |" + kLinkDates +
        R"( TAGS="news,daily" SHORTCUTURL="ub" |  | )",
    "E \\Ordner",
    "S \\Ordner",
    "L \\Ordner | 日本 | https://jp.example/ |" + kLinkDates + " |  | ",
    "E ",
    "L  | Top | https://top.example/ |" + kLinkDates + " |  | ",
    "F \\Bookmarks Toolbar |" + kDates + R"( PERSONAL_TOOLBAR_FOLDER="true")",
    "L \\Bookmarks Toolbar | Bar | https://bar.example/ |" + kLinkDates + R"( TAGS="t1" |  | )",
    "E ",
    "F \\Mobile Bookmarks |" + kDates,
    "L \\Mobile Bookmarks | Handy | https://m.example/ |" + kLinkDates + " |  | ",
    "E ",
    "E ",
};

class FirefoxBackupTest : public ::testing::Test {
protected:
    int Read(UrlSet& set, const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, UrlSetFormat::FirefoxBackup, path);
    }
    TranslationResult Translate(UrlSetFormat from, const std::string& source, UrlSetFormat to,
                                const std::string& destination) {
        TranslatePageControls controls;
        controls.prompter = &prompter;
        return RunTranslation({from, source, to, destination, true}, controls);
    }

    TempDir dir;
    RecordingPrompter prompter;
};

TEST_F(FirefoxBackupTest, BothContainersAreReadAndWrittenWithEveryRootFolderSeparatorTagAndKeyword) {
    WriteFile(dir.File("sample.json"), testing::SampleBackupJson());
    UrlSet set;
    ASSERT_EQ(Read(set, dir.File("sample.json")), 1);
    EXPECT_EQ(Outline(set), kSampleOutline);
    EXPECT_EQ(set.linkCount, 5);
    for (const char* name : {"again.json", "again.jsonlz4"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(testing::WriteSet(set, UrlSetFormat::FirefoxBackup, dir.File(name)), 1);
        const std::string bytes = ReadFile(dir.File(name));
        EXPECT_EQ(bytes.starts_with(std::string("mozLz40\0", 8)), std::string(name).ends_with("lz4"));
        UrlSet back;
        ASSERT_EQ(Read(back, dir.File(name)), 1);
        EXPECT_EQ(Outline(back), kSampleOutline);
    }
    EXPECT_TRUE(prompter.shown.empty());
}

// Firefox's Restore rebuilds the toolbar from toolbar_____: a bookmark file's toolbar folder
// must land there, and the rest of the file in the menu.
TEST_F(FirefoxBackupTest, ABookmarkFilesToolbarFolderFillsTheToolbarRoot) {
    WriteFile(dir.File("bookmarks.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"http://menu/\">In the menu</A>\n"
              "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Lesezeichen-Symbolleiste</H3>\n<DL><p>\n"
              "<DT><A HREF=\"http://bar/\">On the bar</A>\n</DL><p>\n</DL><p>\n");
    for (const char* name : {"restore.json", "restore.jsonlz4"}) {
        SCOPED_TRACE(name);
        const std::string backup = dir.File(name);
        ASSERT_EQ(Translate(UrlSetFormat::Netscape, dir.File("bookmarks.html"), UrlSetFormat::FirefoxBackup, backup),
                  TranslationResult::Converted);
        UrlSet set;
        ASSERT_EQ(Read(set, backup), 1);
        EXPECT_EQ(testing::BriefOutline(set),
                  (std::vector<std::string>{"3 In the menu http://menu/", "1 Bookmarks Toolbar ",
                                            "3 On the bar http://bar/", "2  ", "2  "}));
    }
    const std::string json = ReadFile(dir.File("restore.json"));
    const std::size_t toolbar = json.find(R"("guid":"toolbar_____")");
    const std::size_t unfiled = json.find(R"("guid":"unfiled_____")");
    const std::size_t bar = json.find(R"("uri":"http://bar/")");
    ASSERT_NE(toolbar, std::string::npos);
    EXPECT_TRUE(toolbar < bar && bar < unfiled) << json;
    EXPECT_LT(json.find(R"("uri":"http://menu/")"), toolbar);
}

TEST_F(FirefoxBackupTest, ADamagedContainerIsAClearErrorAndNothingIsWritten) {
    WriteFile(dir.File("sample.json"), testing::SampleBackupJson());
    const std::string good = dir.File("good.jsonlz4");
    ASSERT_EQ(Translate(UrlSetFormat::FirefoxBackup, dir.File("sample.json"), UrlSetFormat::FirefoxBackup, good),
              TranslationResult::Converted);
    const std::string bytes = ReadFile(good);
    std::string flipped = bytes;
    for (std::size_t i = 12; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(~flipped[i]);
    std::string hugeSize = bytes;
    hugeSize[11] = '\x7F';
    for (const std::string& damaged : {flipped, bytes.substr(0, bytes.size() / 2), bytes.substr(0, 10), hugeSize}) {
        WriteFile(dir.File("damaged.jsonlz4"), damaged);
        prompter.shown.clear();
        EXPECT_EQ(Translate(UrlSetFormat::FirefoxBackup, dir.File("damaged.jsonlz4"), UrlSetFormat::Netscape,
                            dir.File("out.html")),
                  TranslationResult::Failed);
        ASSERT_FALSE(prompter.shown.empty());
        EXPECT_NE(prompter.shown.front().text.find("could not be read"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.html")));
    }
}

}  // namespace
}  // namespace tolva
