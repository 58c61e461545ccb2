// Translations between every pair of formats, run as the Translate command runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "formats/format_guess.h"
#include "formats/html_text.h"
#include "formats/store_fields.h"
#include "model/url_set.h"
#include "platform/charset.h"
#include "platform/profile_file.h"
#include "support/places_builder.h"
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
// (a bookmark file's HTML decoded, ampersand runs counted once), sorted: the shortcut reader
// lists folders before links.
std::vector<std::string> LinksByFolder(UrlSetFormat format, const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
    std::vector<std::string> out;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind != UrlEntryKind::Link) continue;
        std::string path = set.GetCurrentPath();
        if (format == UrlSetFormat::Netscape) path = DecodeCharacterReferences(path);
        path.erase(std::unique(path.begin(), path.end(), [](char a, char b) { return a == '&' && b == '&'; }),
                   path.end());
        out.push_back(path + " " + entry->url);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class RoundTripTest : public ::testing::Test {
protected:
    std::string Translate(UrlSetFormat fromFormat, const std::string& from, UrlSetFormat toFormat,
                          bool restoreNames = true) {
        std::string to = dir.File("leg" + std::to_string(++leg) + testing::Extension(toFormat));
        RecordingPrompter prompter;
        prompter.ScriptAnswers({true});  // create the missing shortcut folder
        TranslatePageControls controls;
        controls.prompter = &prompter;
        TranslateValues values{fromFormat, from, toFormat, to, true};
        values.restoreNames = restoreNames;
        EXPECT_EQ(RunTranslation(values, controls), TranslationResult::Converted) << from << " -> " << to;
        return to;
    }

    TempDir dir;
    int leg = 0;
};

TEST_F(RoundTripTest, EveryPairKeepsEveryFolderAndUrl) {
    const std::string source = dir.File("bookmarks.html");
    WriteFile(source, kBookmarks);
    // Folder names adapted to file names in a shortcut tree, and given back on the way out.
    const std::vector<std::string> inShortcuts = {
        " http://home/1",
        " http://home/2",
        " http://untitled/",
        "\\Work & Play http://q/",
        "\\Work & Play\\-NET http://a/b",
        "\\Work & Play\\-NET\\Misc http://misc/",
    };
    const std::vector<std::string> asText = {
        " http://home/1",
        " http://home/2",
        " http://untitled/",
        "\\Work & Play http://q/",
        "\\Work & Play\\.NET http://a/b",
        "\\Work & Play\\.NET\\Misc... http://misc/",
    };
    // Netscape -> Shortcuts -> Mosaic -> Netscape -> Mosaic -> Shortcuts -> Netscape: every
    // ordered pair once.
    UrlSetFormat format = UrlSetFormat::Netscape;
    std::string location = source;
    for (UrlSetFormat next : {UrlSetFormat::Shortcuts, UrlSetFormat::Mosaic, UrlSetFormat::Netscape,
                              UrlSetFormat::Mosaic, UrlSetFormat::Shortcuts, UrlSetFormat::Netscape}) {
        location = Translate(format, location, next);
        format = next;
        EXPECT_EQ(LinksByFolder(format, location), format == UrlSetFormat::Shortcuts ? inShortcuts : asText)
            << location;
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

    // Back to Netscape: the links get their former names back and keep the names of the
    // shortcut files in the bookmark file (folders have no place for one).
    const std::string back = Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape);
    UrlSet set;
    ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, back), 1);
    std::vector<std::string> renamed;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (!entry->preservedName.empty())
            renamed.push_back(DecodeCharacterReferences(entry->preservedName + " -> " + entry->name));
    }
    std::sort(renamed.begin(), renamed.end());
    EXPECT_EQ(renamed, (std::vector<std::string>{"Home (2) -> Home", "Q&A- News -> Q&&A: News", "a-b-c -> a/b\\c"}));
}

// Folders and links as kind and name (a bookmark file's as plain text), in walking order.
std::vector<std::string> Names(UrlSetFormat format, const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
    std::vector<std::string> names;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        const std::string name =
            format == UrlSetFormat::Netscape ? PlainFromHtml(entry->name, set.charset) : entry->name.str();
        if (entry->kind == UrlEntryKind::FolderStart) names.push_back("F " + name);
        if (entry->kind == UrlEntryKind::Link) names.push_back("L " + name);
    }
    return names;
}

TEST_F(RoundTripTest, NamesComeBackUnlessRenamedSince) {
    const std::string source = dir.File("bookmarks.html");
    WriteFile(source, kBookmarks);
    const std::string favorites = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    fs::rename(favorites + "/Work & Play/Q&A- News.url", favorites + "/Work & Play/Questions.url");
    fs::rename(favorites + "/Work & Play/-NET", favorites + "/Work & Play/Dot NET");

    EXPECT_EQ(Names(UrlSetFormat::Netscape, Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape)),
              (std::vector<std::string>{"F Work && Play", "F Dot NET", "L a/b\\c", "F Misc...", "L Misc...",
                                        "L Questions", "L Home", "L Home", "L "}));
    EXPECT_EQ(Names(UrlSetFormat::Mosaic, Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Mosaic)),
              (std::vector<std::string>{"F Work && Play", "F Dot NET", "L a/b\\c", "F Misc...", "L Misc...",
                                        "L Questions", "L Home", "L Home", "L "}));
    EXPECT_EQ(Names(UrlSetFormat::Mosaic, Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Mosaic, false)),
              (std::vector<std::string>{"F Work && Play", "F Dot NET", "L a-b-c", "F Misc", "L Misc...", "L Questions",
                                        "L Home", "L Home (2)", "L "}));
}

TEST_F(RoundTripTest, FolderNamesComeBackFromTheFoldersDesktopIni) {
    const std::string hotlist = dir.File("ps2.hot");
    WriteFile(hotlist, "Hotlist\r\nMine\r\n{\r\nSublist\r\nPS/2\r\n{\r\nItem\r\nMice\r\nhttp://m/\r\n}\r\n}\r\n");
    const std::string favorites = Translate(UrlSetFormat::Mosaic, hotlist, UrlSetFormat::Shortcuts);
    ProfileFile settings;
    ASSERT_TRUE(settings.Load(favorites + "/PS-2/desktop.ini"));
    EXPECT_EQ(settings.GetString("Tolva", "PreVfyName"), "PS/2");
    EXPECT_EQ(Names(UrlSetFormat::Mosaic, Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Mosaic)),
              (std::vector<std::string>{"F PS/2", "L Mice"}));
    EXPECT_EQ(Names(UrlSetFormat::Netscape, Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape)),
              (std::vector<std::string>{"F PS/2", "L Mice"}));
    // desktop.ini is no link of the folder.
    EXPECT_EQ(LinksByFolder(UrlSetFormat::Shortcuts, favorites), (std::vector<std::string>{"\\PS-2 http://m/"}));
}

// Every link of a set as its folder path, name and URL, as plain text, in order.
std::vector<std::string> PlainLinks(UrlSetFormat format, const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
    const bool html = format == UrlSetFormat::Netscape;
    std::vector<std::string> links;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind != UrlEntryKind::Link) continue;
        const std::string line = set.GetCurrentPath() + " | " + entry->name + " | " + entry->url;
        std::string plain = html ? PlainFromHtml(line, set.charset) : line;
        // A hotlist's value lines lose their leading white space: a name cannot begin with any.
        const std::size_t name = plain.find(" | ") + 3;
        plain.erase(name, TrimLeadingWhite(std::string_view(plain).substr(name)).data() - (plain.data() + name));
        links.push_back(plain);
    }
    return links;
}

// Every entry of a bookmark file in order as plain text: its kind, folder path, name, URL,
// kept attributes, mark and description (as written); the file's heading first.
std::vector<std::string> BookmarkEntries(const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, location), 1) << location;
    std::vector<std::string> entries{"heading " + PlainFromHtml(set.heading, set.charset)};
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        std::string description = entry->description.str();
        std::erase(description, '\r');
        const std::string line = std::to_string(static_cast<int>(entry->kind)) + " " + set.GetCurrentPath() + " | " +
                                 entry->name + " | " + entry->url + " |" +
                                 std::string(TrimLeadingWhite(entry->extraAttributes)) + " | " +
                                 std::to_string(static_cast<int>(entry->mark));
        // A description comes back as it was written, markup and references included.
        entries.push_back(PlainFromHtml(line, set.charset) + " | " + ToUtf8(description, set.charset));
    }
    return entries;
}

// Real exports, kept outside the repository, through a Favorites folder and back: every entry
// comes back in its place, with its name, URL, attributes, mark and description, and so do the
// separators and the file's heading.
TEST_F(RoundTripTest, CorpusComesBackFromShortcutFoldersWhole) {
    const std::string corpus = testing::CorpusPath("netscape");
    if (!fs::exists(corpus)) GTEST_SKIP() << "corpus not present";
    for (const auto& item : fs::directory_iterator(corpus)) {
        const std::string file = item.path().string();
        if (!testing::StartsAsBookmarkFile(file)) continue;  // no set at all
        SCOPED_TRACE(item.path().filename().string());
        const std::string favorites = Translate(UrlSetFormat::Netscape, file, UrlSetFormat::Shortcuts);
        const std::string back = Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape);
        const std::vector<std::string> before = BookmarkEntries(file);
        const std::vector<std::string> after = BookmarkEntries(back);
        EXPECT_EQ(after.size(), before.size());
        // The first entry that differs, rather than two whole files.
        const auto [was, is] = std::mismatch(before.begin(), before.end(), after.begin(), after.end());
        if (was != before.end() && is != after.end()) {
            EXPECT_EQ(*is, *was) << "entry " << (was - before.begin());
        }
    }
}

// What the person does to a Favorites folder between the two halves shows: the entries the
// folder's record names keep their order and separators, the others follow by name.
TEST_F(RoundTripTest, TreeChangedByHandKeepsTheRecordedOrderOfWhatIsLeft) {
    const std::string source = dir.File("ordered.html");
    WriteFile(source,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n"
              "<DT><A HREF=\"http://c/\" TAGS=\"t\">C</A>\r\n<HR>\r\n<DT><A HREF=\"http://b/\">B</A>\r\n"
              "<DT><A HREF=\"http://a/\">A</A>\r\n<DT><H3>Z</H3>\r\n<DL><p>\r\n</DL><p>\r\n</DL><p>\r\n");
    const std::string favorites = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    WriteFile(favorites + "/New.url", "[InternetShortcut]\r\nURL=http://new/\r\n");
    fs::rename(favorites + "/B.url", favorites + "/Bee.url");
    fs::remove(favorites + "/A.url");
    UrlSet set;
    ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, Translate(UrlSetFormat::Shortcuts, favorites,
                                                                      UrlSetFormat::Netscape)),
              1);
    std::vector<std::string> entries;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind == UrlEntryKind::FolderEnd) continue;
        entries.push_back(std::to_string(static_cast<int>(entry->kind)) + " " + entry->name +
                          std::string(entry->extraAttributes));
    }
    EXPECT_EQ(entries, (std::vector<std::string>{"3 C TAGS=\"t\"", "4 ", "1 Z", "3 Bee", "3 New"}));
}

// The toolbar goes to the Favorites Bar, joining what Windows keeps there, and comes back as
// the one marked top-level folder of the file, under its own name; the unfiled folder keeps its
// mark. A mark inside another folder, which Firefox refuses, is not written back.
TEST_F(RoundTripTest, ToolbarIsTheFavoritesBarAndComesBackMarkedOnce) {
    const std::string source = dir.File("toolbar.html");
    WriteFile(source,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n<DT><H3>Menu</H3>\r\n<DL><p>\r\n"
              "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Old bar</H3>\r\n<DL><p>\r\n</DL><p>\r\n</DL><p>\r\n"
              "<DT><H3 ADD_DATE=\"1\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\r\n<DL><p>\r\n"
              "<DT><A HREF=\"http://bar/\">Bar</A>\r\n</DL><p>\r\n"
              "<DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookmarks</H3>\r\n<DL><p>\r\n</DL><p>\r\n"
              "</DL><p>\r\n");
    const std::string favorites = dir.File("Favorites");
    const std::string windowsOwn = "[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-21770\r\n";
    fs::create_directories(favorites + "/Links");
    WriteFile(favorites + "/Links/desktop.ini", windowsOwn);
    WriteFile(favorites + "/Links/Windows.url", "[InternetShortcut]\r\nURL=http://windows/\r\n");
    RecordingPrompter prompter;
    prompter.ScriptAnswers({true});  // use the Favorites folder that is there
    TranslatePageControls controls;
    controls.prompter = &prompter;
    ASSERT_EQ(RunTranslation({UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts, favorites, true}, controls),
              TranslationResult::Converted);
    EXPECT_TRUE(fs::exists(favorites + "/Links/Bar.url"));
    EXPECT_EQ(testing::ReadFile(favorites + "/Links/desktop.ini").rfind(windowsOwn, 0), 0u);

    const std::string back = testing::ReadFile(Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape));
    const std::size_t mark = back.find("PERSONAL_TOOLBAR_FOLDER");
    EXPECT_EQ(back.rfind("PERSONAL_TOOLBAR_FOLDER"), mark);
    EXPECT_NE(back.find("<DT><H3 ADD_DATE=\"1\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>"),
              std::string::npos);
    EXPECT_NE(back.find("<DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookmarks</H3>"), std::string::npos);
    EXPECT_NE(back.find("<DT><H3>Old bar</H3>"), std::string::npos);
    EXPECT_NE(back.find("Windows</A>"), std::string::npos);
}

// XBEL marks the toolbar as KDE does, toolbar="yes" on the folder: a KDE file's toolbar becomes
// a bookmark file's toolbar, the Favorites Bar and a backup's toolbar root; a bookmark file's
// toolbar and other bookmarks go through XBEL and come back marked.
TEST_F(RoundTripTest, XbelToolbarIsEveryOtherFormatsToolbar) {
    const std::string kde = dir.File("bookmarks.xbel");
    WriteFile(kde,
              "<?xml version=\"1.0\"?>\n<xbel>\n<folder><title>Menu</title></folder>\n"
              "<folder folded=\"no\" toolbar=\"yes\"><title>Bar</title>"
              "<bookmark href=\"http://bar/\"><title>B</title></bookmark></folder>\n</xbel>\n");
    const std::string html = testing::ReadFile(Translate(UrlSetFormat::Xbel, kde, UrlSetFormat::Netscape));
    EXPECT_NE(html.find("<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bar</H3>"), std::string::npos) << html;
    EXPECT_TRUE(fs::exists(Translate(UrlSetFormat::Xbel, kde, UrlSetFormat::Shortcuts) + "/Links/B.url"));
    const std::string backup = Translate(UrlSetFormat::Xbel, kde, UrlSetFormat::FirefoxBackup);
    const std::string fromBackup = testing::ReadFile(Translate(UrlSetFormat::FirefoxBackup, backup, UrlSetFormat::Netscape));
    EXPECT_NE(fromBackup.find("PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\r\n<DL><p>\r\n<DT><A "
                              "HREF=\"http://bar/\""),
              std::string::npos)
        << fromBackup;

    const std::string source = dir.File("marked.html");
    WriteFile(source,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n"
              "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Toolbar</H3>\r\n<DL><p>\r\n"
              "<DT><A HREF=\"http://t/\">T</A>\r\n</DL><p>\r\n"
              "<DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other</H3>\r\n<DL><p>\r\n"
              "<DT><A HREF=\"http://o/\">O</A>\r\n</DL><p>\r\n</DL><p>\r\n");
    const std::string xbel = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Xbel);
    const std::string xml = testing::ReadFile(xbel);
    EXPECT_NE(xml.find("<folder toolbar=\"yes\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<tolva:mark name=\"unfiled\"/>"), std::string::npos) << xml;
    // Marked by XBEL's own spellings alone, without the bookmark file's attributes kept beside them.
    const std::string kdeOnly = dir.File("kde_only.xbel");
    std::string unmarked = xml;
    for (std::string_view attribute : {"PERSONAL_TOOLBAR_FOLDER", "UNFILED_BOOKMARKS_FOLDER"}) {
        const std::size_t at = unmarked.find(std::string("<tolva:attribute name=\"") + std::string(attribute));
        ASSERT_NE(at, std::string::npos) << xml;
        unmarked.erase(at, unmarked.find("/>", at) + 2 - at);
    }
    WriteFile(kdeOnly, unmarked);
    for (const std::string& from : {xbel, kdeOnly}) {
        const std::string back = testing::ReadFile(Translate(UrlSetFormat::Xbel, from, UrlSetFormat::Netscape));
        EXPECT_NE(back.find("<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Toolbar</H3>"), std::string::npos) << back;
        EXPECT_NE(back.find("<DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other</H3>"), std::string::npos) << back;
    }
}

// A description is a bookmark file's "<DD>" and an XBEL file's "<desc>": it goes there and
// back, as plain text in between. So does the file's heading, as the XBEL file's title.
TEST_F(RoundTripTest, DescriptionsAndHeadingGoThroughXbelAndBack) {
    const std::string source = dir.File("described.html");
    WriteFile(source,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<H1>Bookmarks</H1>\r\n<DL><p>\r\n"
              "<DT><H3>Food</H3>\r\n<DD>Fish &amp; chips\r\n<DL><p>\r\n"
              "<DT><A HREF=\"http://f/\">F</A>\r\n<DD>first line\r\nsecond &lt;line&gt;\r\n"
              "</DL><p>\r\n</DL><p>\r\n");
    auto descriptions = [](UrlSetFormat format, const std::string& location) {
        UrlSet set;
        EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
        std::vector<std::string> out;
        set.Rewind();
        for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
            std::string text = entry->description.str();
            std::erase(text, '\r');
            if (!text.empty()) out.push_back(text);
        }
        return out;
    };
    const std::string xbel = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Xbel);
    EXPECT_EQ(descriptions(UrlSetFormat::Xbel, xbel),
              (std::vector<std::string>{"Fish & chips", "first line\nsecond <line>"}));
    const std::string back = Translate(UrlSetFormat::Xbel, xbel, UrlSetFormat::Netscape);
    EXPECT_EQ(descriptions(UrlSetFormat::Netscape, back), descriptions(UrlSetFormat::Netscape, source));
    EXPECT_EQ(descriptions(UrlSetFormat::Netscape, back),
              (std::vector<std::string>{"Fish &amp; chips", "first line\nsecond &lt;line&gt;"}));
    EXPECT_NE(testing::ReadFile(xbel).find("<title>Bookmarks</title>"), std::string::npos);
    EXPECT_NE(testing::ReadFile(back).find("<H1>Bookmarks</H1>"), std::string::npos);
}

// A description holding markup (a link, bold text, references, several lines) comes back as it
// was through a Favorites folder and in its own format; one changed in the folder meanwhile
// comes back as it now reads, escaped.
TEST_F(RoundTripTest, HtmlDescriptionsComeBackAsTheyWereUnlessChanged) {
    const std::string described = "<DT><A HREF=\"http://a/\">A</A>\r\n<DD>See <A HREF=\"http://b/\">b</A>, <B>bold</B> "
                                  "&amp; &#8230; &quot;q&quot;\r\nsecond line\r\n\r\n  third\r\n"
                                  "<DT><H3>F</H3>\r\n<DD>folder <i>own</i>\r\n";
    const std::string source = dir.File("raw.html");
    WriteFile(source, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n" + described +
                          "<DL><p>\r\n<DT><A HREF=\"http://c/\">C</A>\r\n<DD>x<a href=\"http://d/\"><img src=\"y\"/></a>\r\n"
                          "</DL><p>\r\n</DL><p>\r\n");
    const std::string favorites = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    for (const std::string& back :
         {Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape),
          Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Netscape)}) {
        const std::string text = testing::ReadFile(back);
        EXPECT_NE(text.find(described), std::string::npos) << text;
        EXPECT_NE(text.find("<DD>x<a href=\"http://d/\"><img src=\"y\"/></a>\r\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("DESCRIPTION_HTML"), std::string::npos);
    }
    ProfileFile changed;
    ASSERT_TRUE(changed.Load(favorites + "/A.url"));
    changed.SetString("Tolva", "Description", "now <plain>");
    ASSERT_TRUE(changed.Save(favorites + "/A.url"));
    const std::string text = testing::ReadFile(Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape));
    EXPECT_NE(text.find("<DD>now &lt;plain&gt;\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("DESCRIPTION_HTML"), std::string::npos);
}

// Windows' own keys of a shortcut, as a profile file reads them, "-" for one the file lacks.
std::vector<std::string> WindowsKeys(const std::string& file) {
    ProfileFile profile;
    EXPECT_TRUE(profile.Load(file)) << file;
    std::vector<std::string> values;
    for (const auto& [section, key] : {std::pair{"InternetShortcut", "Modified"}, {"InternetShortcut", "IconFile"},
                                       {"InternetShortcut", "IconIndex"}, {"DEFAULT", "BASEURL"}}) {
        values.push_back(profile.HasKey(section, key) ? profile.GetString(section, key, {}, 0) : "-");
    }
    return values;
}

// Modified, IconFile, IconIndex and BASEURL come back as they were through a bookmark file, and
// Modified is the link's LAST_MODIFIED there; a LAST_MODIFIED goes to a Favorites folder as
// Modified and back as it was, and a Modified Windows changed meanwhile gives the new date.
TEST_F(RoundTripTest, WindowsKeysOfShortcutsComeBackAndModifiedIsTheLinkDate) {
    const std::string favorites = dir.File("Favorites");
    fs::create_directories(favorites + "/Sub");
    WriteFile(favorites + "/Bing.url",
              "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n[InternetShortcut]\r\nIDList=\r\n"
              "URL=http://bing/\r\nIconIndex=0\r\nIconFile=%ProgramFiles%\\IE\\bing.ico\r\n"
              "Modified=20F06BA06D07BD014D\r\n");
    WriteFile(favorites + "/Sub/Hour.url",
              "[DEFAULT]\nBASEURL=http://base/post/\n[InternetShortcut]\nURL=http://team/x%20y.xlsx\n"
              "IconFile=http://base/favicon.ico\nIconIndex=1\n");
    const std::string html = Translate(UrlSetFormat::Shortcuts, favorites, UrlSetFormat::Netscape);
    EXPECT_NE(testing::ReadFile(html).find("LAST_MODIFIED=\"881979606\""), std::string::npos);
    const std::string again = Translate(UrlSetFormat::Netscape, html, UrlSetFormat::Shortcuts);
    for (const char* file : {"/Bing.url", "/Sub/Hour.url"}) {
        EXPECT_EQ(WindowsKeys(again + file), WindowsKeys(favorites + file)) << file;
        EXPECT_EQ(testing::ReadFile(again + file).find("SHORTCUT_"), std::string::npos) << file;
    }

    const std::string source = dir.File("dated.html");
    const std::string link = "<DT><A HREF=\"http://d/\" ADD_DATE=\"1\" LAST_MODIFIED=\"1700000000\" ICON_URI=\"http://d/i\">D</A>";
    WriteFile(source, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n" + link + "\r\n</DL><p>\r\n");
    const std::string dated = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    EXPECT_EQ(WindowsKeys(dated + "/D.url")[0], "00006DC64717DA016C");
    EXPECT_EQ(BookmarkEntries(Translate(UrlSetFormat::Shortcuts, dated, UrlSetFormat::Netscape)),
              BookmarkEntries(source));
    ProfileFile changed;
    ASSERT_TRUE(changed.Load(dated + "/D.url"));
    changed.SetString("InternetShortcut", "Modified", "00CA07024817DA010D");
    ASSERT_TRUE(changed.Save(dated + "/D.url"));
    const std::string text = testing::ReadFile(Translate(UrlSetFormat::Shortcuts, dated, UrlSetFormat::Netscape));
    EXPECT_NE(text.find(" ADD_DATE=\"1\" LAST_MODIFIED=\"1700000100\" ICON_URI="), std::string::npos) << text;
    EXPECT_EQ(text.find("SHORTCUT_MODIFIED"), std::string::npos) << text;
}

// The real Favorites trees through a bookmark file and back: every shortcut written where it was
// holds Windows' keys as the original does.
TEST_F(RoundTripTest, CorpusFavoritesKeepWindowsKeysThroughABookmarkFile) {
    const std::string corpus = testing::CorpusPath("url");
    if (!fs::exists(corpus)) GTEST_SKIP() << "corpus not present";
    for (const char* tree : {"favorites_tree_ie10_win8/Favorites", "favorites_subtree_ru_ie11", "single_roamed"}) {
        const std::string original = corpus + "/" + tree;
        const std::string again = Translate(UrlSetFormat::Netscape,
                                            Translate(UrlSetFormat::Shortcuts, original, UrlSetFormat::Netscape),
                                            UrlSetFormat::Shortcuts);
        int compared = 0;
        for (const auto& item : fs::recursive_directory_iterator(original)) {
            const std::string written = (fs::path(again) / fs::relative(item.path(), original)).string();
            if (item.path().extension() != ".url" || !fs::exists(written)) continue;
            EXPECT_EQ(WindowsKeys(written), WindowsKeys(item.path().string())) << written;
            ++compared;
        }
        EXPECT_GT(compared, 0) << tree;
    }
}

// Every folder and link as its path, name and URL, sorted; with the tags of each tagged link.
std::vector<std::string> Contents(UrlSetFormat format, const std::string& location) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, format, location), 1) << location;
    std::vector<std::string> out;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind == UrlEntryKind::FolderStart) out.push_back("F " + set.GetCurrentPath());
        if (entry->kind != UrlEntryKind::Link) continue;
        std::string line = "L " + set.GetCurrentPath() + " | " + entry->name + " | " + entry->url;
        if (auto tags = store::FindKeptAttribute(entry->extraAttributes, store::kTags)) line += " | " + *tags;
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Without the tags, for a format that has no place for them.
std::vector<std::string> WithoutTags(std::vector<std::string> lines) {
    for (std::string& line : lines) {
        const std::size_t url = line.find(" | ", line.find(" | ") + 3);
        if (url != std::string::npos && line.find(" | ", url + 3) != std::string::npos)
            line.erase(line.find(" | ", url + 3));
    }
    return lines;
}

// The lines of a folder moved: from becomes to (the top level when empty, where a moved folder
// itself is no longer listed).
std::vector<std::string> Moved(const std::vector<std::string>& lines, const std::string& from, const std::string& to) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        const std::string path =
            line.substr(2, line.find(" | ") == std::string::npos ? std::string::npos : line.find(" | ") - 2);
        if (path == from && line[0] == 'F' && to.empty()) continue;
        if (path == from || path.starts_with(from + "\\")) {
            out.push_back(line.substr(0, 2) + to + line.substr(2 + from.size()));
        } else {
            out.push_back(line);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(RoundTripTest, BrowserStoresGoToEveryWritableFormatAndBackWithEveryNameUrlFolderAndTag) {
    const std::string places = dir.File("places.sqlite");
    testing::MakeSamplePlaces(places);
    const std::string chromium = dir.File("Bookmarks");
    WriteFile(chromium,
              "{\"roots\": {\"bookmark_bar\": {\"name\": \"Bookmarks bar\", \"type\": \"folder\", \"children\": ["
              "{\"type\": \"folder\", \"name\": \"Ünter\", \"children\": [{\"type\": \"folder\", \"name\": \"Tiefer\","
              " \"children\": [{\"type\": \"url\", \"name\": \"日本\", \"url\": \"https://jp.example/\"}]}]},"
              "{\"type\": \"url\", \"name\": \"Top\", \"url\": \"https://top.example/\"}]},"
              " \"other\": {\"name\": \"Other bookmarks\", \"type\": \"folder\", \"children\": []}}}");
    const UrlSetFormat writable[] = {UrlSetFormat::Netscape, UrlSetFormat::Mosaic,   UrlSetFormat::Shortcuts,
                                     UrlSetFormat::Xbel,     UrlSetFormat::Chromium, UrlSetFormat::FirefoxBackup};
    for (auto [format, source] :
         {std::pair{UrlSetFormat::Firefox, places}, std::pair{UrlSetFormat::Chromium, chromium}}) {
        for (UrlSetFormat to : writable) {
            SCOPED_TRACE(std::to_string(static_cast<int>(format)) + " -> " + std::to_string(static_cast<int>(to)));
            const std::string there = Translate(format, source, to);
            const std::string back = Translate(to, there, UrlSetFormat::Xbel);
            // Firefox's toolbar and unfiled roots are Chromium's bar and other root; its menu
            // arrives inside the other root, and its empty mobile root is left out, as Chromium
            // leaves out an empty root.
            const bool nested = format == UrlSetFormat::Firefox && to == UrlSetFormat::Chromium;
            std::vector<std::string> expected = Contents(format, source);
            if (nested) {
                std::erase(expected, "F \\Mobile Bookmarks");
                for (std::string& line : expected) {
                    if (line.compare(1, 16, " \\Bookmarks Menu") == 0) line.insert(2, "\\Other Bookmarks");
                }
                std::sort(expected.begin(), expected.end());
            }
            // A hotlist has no place for tags.
            if (to == UrlSetFormat::Mosaic) expected = WithoutTags(expected);
            // A backup holds the menu's contents at the top level, and Chromium's bar as the toolbar.
            // An empty root is left out.
            if (to == UrlSetFormat::FirefoxBackup && format == UrlSetFormat::Firefox) {
                expected = Moved(expected, "\\Bookmarks Menu", "");
                std::erase(expected, "F \\Mobile Bookmarks");
            }
            if (to == UrlSetFormat::FirefoxBackup && format == UrlSetFormat::Chromium)
                expected = Moved(expected, "\\Bookmarks bar", "\\Bookmarks Toolbar");
            std::vector<std::string> got = Contents(UrlSetFormat::Xbel, back);
            if (nested) {
                // The empty roots Chromium always has come along.
                std::erase(got, "F \\Bookmarks bar");
                std::erase(got, "F \\Mobile bookmarks");
            }
            EXPECT_EQ(got, expected);
        }
    }
}

// The links of a hotlist as name and URL, in order.
std::vector<std::string> HotlistLinks(const std::string& path) {
    UrlSet set;
    EXPECT_EQ(testing::ReadSet(set, UrlSetFormat::Mosaic, path), 1) << path;
    std::vector<std::string> links;
    for (UrlEntry* entry = set.root.next; entry; entry = entry->next) {
        if (entry->kind == UrlEntryKind::Link) links.push_back(entry->name + " " + entry->url);
    }
    return links;
}

TEST_F(RoundTripTest, BookmarkTextIsDecodedOnTheWayOutAndEscapedOnTheWayIn) {
    const std::string source = dir.File("html.html");
    WriteFile(source,
              "<DL><p>\n<DT><H3>R&amp;D</H3>\n<DL><p>\n"
              "<DT><A HREF=\"http://x/?a=1&amp;b=2\">AT&amp;T What&#39;s On &lt;now&gt; &#x263A; &eacute;</A>\n"
              "</DL><p>\n</DL><p>\n");
    const std::string hotlist = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Mosaic);
    EXPECT_EQ(HotlistLinks(hotlist),
              (std::vector<std::string>{"AT&T What's On <now> \xE2\x98\xBA \xC3\xA9 http://x/?a=1&b=2"}));
    EXPECT_NE(testing::ReadFile(hotlist).find("Sublist\r\nR&D\r\n"), std::string::npos);
    // Shortcut files get the decoded text too, in their names and in URL=.
    const std::string favorites = Translate(UrlSetFormat::Netscape, source, UrlSetFormat::Shortcuts);
    ProfileFile shortcut;
    ASSERT_TRUE(shortcut.Load(favorites + "/R&D/AT&T What's On -now- \xE2\x98\xBA \xC3\xA9.url"));
    EXPECT_EQ(shortcut.GetString("InternetShortcut", "URL"), "http://x/?a=1&b=2");

    // Text that could end an attribute or begin a tag comes in as text, whatever it holds.
    const std::string hostile = dir.File("hostile.hot");
    WriteFile(hostile,
              "Hotlist\r\nMine & yours\r\n{\r\nItem\r\na<b>c <DT><A HREF=\"http://evil/\">x\r\n"
              "http://q/?\"><DT><A HREF=\"y\r\nItem\r\nAT&amp;T\r\nhttp://z/\r\n}\r\n");
    const std::string bookmarks = Translate(UrlSetFormat::Mosaic, hostile, UrlSetFormat::Netscape);
    const std::string bytes = testing::ReadFile(bookmarks);
    EXPECT_NE(bytes.find("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("<H1>Mine &amp; yours</H1>"), std::string::npos);
    UrlSet set;
    ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, bookmarks), 1);
    EXPECT_EQ(set.linkCount, 2);
    // Back out, each text is what the hotlist held: escaped once, decoded once.
    EXPECT_EQ(HotlistLinks(Translate(UrlSetFormat::Netscape, bookmarks, UrlSetFormat::Mosaic)),
              (std::vector<std::string>{"a<b>c <DT><A HREF=\"http://evil/\">x http://q/?\"><DT><A HREF=\"y",
                                        "AT&amp;T http://z/"}));
}

TEST_F(RoundTripTest, DeclaredEncodingStaysInItsFormatAndBecomesUtf8Elsewhere) {
    const std::string cyrillic = testing::FixturePath("netscape/windows1251_declared.html");
    // Rewritten as a bookmark file, the text keeps its bytes and the file its declaration.
    const std::string copy = Translate(UrlSetFormat::Netscape, cyrillic, UrlSetFormat::Netscape);
    const std::string original = testing::ReadFile(cyrillic);
    const std::string copied = testing::ReadFile(copy);
    const std::string name = original.substr(original.find("\">\xCC") + 2, 20);
    EXPECT_NE(copied.find(name), std::string::npos);
    EXPECT_NE(copied.find("charset=windows-1251\">\r\n"), std::string::npos);
    EXPECT_EQ(HotlistLinks(Translate(UrlSetFormat::Netscape, cyrillic, UrlSetFormat::Mosaic)),
              (std::vector<std::string>{"\xD0\x9C\xD0\xBE\xD1\x82\xD0\xBE\xD1\x80\xD0\xB5\xD0\xB7\xD0\xB8"
                                        "\xD0\xBD\xD0\xB0 & \xD1\x88\xD0\xB8\xD0\xBD\xD1\x8B "
                                        "http://xn--80aeaemjc5afjc.xn--p1ai/"}));
    EXPECT_TRUE(fs::is_directory(Translate(UrlSetFormat::Netscape, cyrillic, UrlSetFormat::Shortcuts) +
                                 "/\xD0\x9C\xD0\xBE\xD1\x82\xD0\xBE"));
    // A Netscape 4 file declares nothing and is not UTF-8: its code page is windows-1252.
    EXPECT_EQ(HotlistLinks(Translate(UrlSetFormat::Netscape,
                                     testing::FixturePath("netscape/latin1_undeclared_netscape4.html"),
                                     UrlSetFormat::Mosaic)),
              (std::vector<std::string>{"Caf\xC3\xA9 \xC2\xAE \xC2\xA9 \xE2\x82\xAC http://cafe.example/"}));
}

// Real exports of many programs, kept outside the repository: through a hotlist and back,
// every link keeps its name, URL and folder.
TEST_F(RoundTripTest, CorpusBookmarkFilesComeBackFromAHotlistWhole) {
    const fs::path folder = testing::CorpusPath("netscape");
    if (!fs::is_directory(folder)) GTEST_SKIP() << "no corpus at " << folder;
    int files = 0;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (!testing::StartsAsBookmarkFile(item.path().string())) continue;
        ++files;
        SCOPED_TRACE(item.path().filename().string());
        const std::string hotlist = Translate(UrlSetFormat::Netscape, item.path().string(), UrlSetFormat::Mosaic);
        const std::string back = Translate(UrlSetFormat::Mosaic, hotlist, UrlSetFormat::Netscape);
        EXPECT_EQ(PlainLinks(UrlSetFormat::Netscape, back), PlainLinks(UrlSetFormat::Netscape, item.path().string()));
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tolva
