// Translations between every pair of formats, run as the Translate command runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "model/url_set.h"
#include "platform/profile_file.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"
#include "translate/translation_run.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

// Nested folders, names no file can carry, ampersands, separators, and two links of one name.
const std::string kBookmarks =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n<DL><p>\r\n"
    "<DT><H3>Work && Play</H3>\r\n<DL><p>\r\n"
    "<DT><A HREF=\"http://q/\">Q&&A: News</A>\r\n"
    "<HR>\r\n"
    "<DT><H3>.NET</H3>\r\n<DL><p>\r\n"
    "<DT><A HREF=\"http://a/b\">a/b\\c</A>\r\n"
    "<DT><H3>Misc...</H3>\r\n<DL><p>\r\n"
    "<DT><A HREF=\"http://misc/\">Misc...</A>\r\n"
    "</DL><p>\r\n"
    "</DL><p>\r\n"
    "</DL><p>\r\n"
    "<DT><A HREF=\"http://home/1\">Home</A>\r\n"
    "<DT><A HREF=\"http://home/2\">Home</A>\r\n"
    "<DT><A HREF=\"http://untitled/\"></A>\r\n"
    "<HR>\r\n"
    "</DL><p>\r\n";

// Every link as its folder path and URL, with folder names made comparable across formats
// (ampersand runs counted once), sorted: the shortcut reader lists folders before links.
std::vector<std::string> LinksByFolder(UrlSetFormat format, const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
    std::vector<std::string> out;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind != UrlEntryKind::Link) continue;
        std::string path = set.GetCurrentPath();
        path.erase(std::unique(path.begin(), path.end(), [](char a, char b) { return a == '&' && b == '&'; }),
                   path.end());
        out.push_back(path + " " + entry->url);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class RoundTripTest : public ::testing::Test {
protected:
    std::string Translate(UrlSetFormat fromFormat, const std::string& from, UrlSetFormat toFormat) {
        std::string to = dir.File("leg" + std::to_string(++leg) + testing::Extension(toFormat));
        RecordingPrompter prompter;
        prompter.ScriptAnswers({true});  // create the missing shortcut folder
        TranslatePageControls controls;
        controls.prompter = &prompter;
        TranslateValues values{fromFormat, from, toFormat, to, true};
        EXPECT_EQ(RunTranslation(values, controls), TranslationResult::Converted) << from << " -> " << to;
        return to;
    }

    TempDir dir;
    int leg = 0;
};

TEST_F(RoundTripTest, EveryPairKeepsEveryFolderAndUrl) {
    const std::string source = dir.File("bookmarks.html");
    WriteFile(source, kBookmarks);
    const std::vector<std::string> expected = {
        " http://home/1",
        " http://home/2",
        " http://untitled/",
        "\\Work & Play http://q/",
        "\\Work & Play\\-NET http://a/b",
        "\\Work & Play\\-NET\\Misc http://misc/",
    };
    // Netscape -> Shortcuts -> Mosaic -> Netscape -> Mosaic -> Shortcuts -> Netscape: every
    // ordered pair once.
    UrlSetFormat format = UrlSetFormat::Netscape;
    std::string location = source;
    for (UrlSetFormat next : {UrlSetFormat::Shortcuts, UrlSetFormat::Mosaic, UrlSetFormat::Netscape,
                              UrlSetFormat::Mosaic, UrlSetFormat::Shortcuts, UrlSetFormat::Netscape}) {
        location = Translate(format, location, next);
        format = next;
        EXPECT_EQ(LinksByFolder(format, location), expected) << location;
    }
}

TEST_F(RoundTripTest, ShortcutFilesKeepEveryFormerName) {
    const std::string source = dir.File("bookmarks.html");
    WriteFile(source, kBookmarks);
    const std::string favorites = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    struct Former {
        const char* file;
        const char* name;
    };
    for (const Former& former :
         {Former{"Work & Play/Q&A- News.url", "Q&&A: News"}, Former{"Work & Play/-NET/a-b-c.url", "a/b\\c"}}) {
        ProfileFile file;
        ASSERT_TRUE(file.Load(favorites + "/" + former.file)) << former.file;
        EXPECT_EQ(file.GetString("Tolva", "PreVfyName"), former.name) << former.file;
    }
    EXPECT_TRUE(fs::exists(favorites + "/Home (2).url"));
    EXPECT_TRUE(fs::exists(favorites + "/.url"));

    // Back to Netscape: the former names of the first leg stay in the shortcut files; the
    // links the way back renames keep theirs in the bookmark file (folders have no place for one).
    const std::string back = Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape);
    UrlSet set;
    ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, back), 1);
    std::vector<std::string> renamed;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (!entry->preservedName.empty()) renamed.push_back(entry->preservedName + " -> " + entry->name);
    }
    std::sort(renamed.begin(), renamed.end());
    EXPECT_EQ(renamed, (std::vector<std::string>{"Q&A- News -> Q&&A- News"}));
}

}  // namespace
}  // namespace tolva
