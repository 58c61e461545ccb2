#include "formats/shortcuts.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "formats/shortcut_file.h"
#include "model/url_set.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::BriefOutline;
using testing::FixturePath;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::TempDir;
using testing::Tree;
using testing::WriteFile;

struct Row {
    UrlEntryKind kind;
    std::string name;
    std::string url = {};
    std::string preservedName = {};
    std::string preservedLocation = {};
    std::int32_t flags = 0;
};

void Fill(UrlSet& set, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        auto* entry = new UrlEntry(static_cast<UrlEntryKind>(row.kind), row.name, row.url);
        entry->preservedName = row.preservedName;
        entry->preservedLocation = row.preservedLocation;
        entry->flags = row.flags;
        set.Append(entry);
    }
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        destination = dir.File("Favorites");
        fs::create_directory(destination);
    }
    int ReadFrom(UrlSet& set, const std::string& location) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, UrlSetFormat::Shortcuts, location, &status);
    }
    int WriteTo(UrlSet& set, const std::string& location) {
        set.SetPrompter(&prompter);
        return testing::WriteSet(set, UrlSetFormat::Shortcuts, location);
    }

    TempDir dir;
    std::string destination;
    RecordingPrompter prompter;
    RecordingText status;
};

TEST_F(ShortcutsTest, ReadsFoldersFirstInWindowsOrderAndCutsErrorTexts) {
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, FixturePath("shortcuts/other_program")), 1);
    const std::string longUrl = "http://tools.example/long?" + std::string(600, 'q');
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{
                                     "1 Tools ",
                                     "3 lower_case_keys_lf " + longUrl,
                                     "2  ",
                                     "3  \xC2\xAD leading separator http://lead.example/",
                                     "3 Ansi http://ansi.example/ name=Ansi page loc=\\Windows",
                                     "3 Home http://home.example/ loc=\\Work\\Old",
                                     "3 UPPER http://upper.example/",
                                     "2  ",
                                 }));
    EXPECT_EQ(set.linkCount, 5);
    EXPECT_EQ(set.folderCount, 1);
    EXPECT_EQ(set.title, RegisteredOwner());
    EXPECT_EQ(status.history.front(), "Loading item 1");
    EXPECT_EQ(status.history[status.history.size() - 2], "Loading item 6");
    EXPECT_EQ(status.Current(), "Shortcut set loaded.");
}

TEST_F(ShortcutsTest, RewriteKeepsAnotherProgramsFileByteForByte) {
    fs::copy(FixturePath("shortcuts/other_program"), destination, fs::copy_options::recursive);
    const std::string file = destination + "/Tools/lower_case_keys_lf.url";
    const std::string before = ReadFile(file);
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, destination), 1);
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(ReadFile(file), before);

    // A changed URL changes its own line and nothing else.
    set.Rewind();
    set.Next();
    UrlEntry* link = set.Next();
    link->url = "http://new.example/";
    ASSERT_EQ(WriteTo(set, destination), 1);
    std::string expected = before;
    const std::string oldLine = "url=http://tools.example/long?" + std::string(600, 'q');
    expected.replace(expected.find(oldLine), oldLine.size(), "url=http://new.example/");
    // And its Unicode twin, which Windows would read instead.
    expected.replace(expected.find("URL=http://tools.example/w"), 26, "URL=http://new.example/");
    EXPECT_EQ(ReadFile(file), expected);
}

TEST_F(ShortcutsTest, WritesTreeThatReadsBackInItsOwnOrderWithSeparators) {
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "Work"},
               {UrlEntryKind::Link, "b", "http://b/"},
               {UrlEntryKind::FolderStart, "Deep"},
               {UrlEntryKind::Link, "a", "http://a/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::Link, "Top", "http://top/", "Old top"},
               {UrlEntryKind::Separator, ""},
               {UrlEntryKind::FolderEnd, ""}});
    // What a killed run left half-written goes; new files are as readable as the folder's others.
    fs::create_directory(destination + "/Work");
    WriteFile(destination + "/.Top.url.tolva-999999999-0", "[Intern");
    WriteFile(destination + "/Work/.b.url.tolva-999999999-1", "[Intern");
    const mode_t mask = ::umask(022);
    ASSERT_EQ(WriteTo(set, destination), 1);
    ::umask(mask);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(Tree(destination),
              (std::vector<std::string>{"Top.url", "Work/", "Work/Deep/", "Work/Deep/a.url", "Work/b.url",
                                        "Work/desktop.ini", "desktop.ini"}));
    // Folders that Windows would list in another order, or that hold a separator, record theirs.
    EXPECT_EQ(ReadFile(destination + "/desktop.ini"), "[Tolva]\r\nOrder=Work/Top.url/.\r\n");
    EXPECT_EQ(fs::status(destination + "/Work/b.url").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(ReadFile(destination + "/Work/b.url"), "[InternetShortcut]\r\nURL=http://b/\r\n");
    EXPECT_EQ(ReadFile(destination + "/Top.url"),
              "[InternetShortcut]\r\nURL=http://top/\r\n[Tolva]\r\nPreVfyName=Old top\r\n");

    UrlSet back;
    ASSERT_EQ(ReadFrom(back, destination), 1);
    EXPECT_EQ(BriefOutline(back), (std::vector<std::string>{"1 Work ", "3 b http://b/", "1 Deep ", "3 a http://a/",
                                                            "2  ", "2  ", "3 Top http://top/", "4  ", "2  "}));
}

TEST_F(ShortcutsTest, RenamedOrMovedLinkLeavesNoOldFile) {
    fs::create_directories(destination + "/A");
    fs::create_directories(destination + "/B");
    WriteFile(destination + "/A/Old.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
    WriteFile(destination + "/B/Moved.url", "[InternetShortcut]\r\nURL=http://m/\r\n");
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "A"},
               {UrlEntryKind::Link, "New", "http://x/", "Old", "", NamePreserved},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderStart, "Unverified"},
               {UrlEntryKind::FolderStart, "Page not found"},
               {UrlEntryKind::Link, "Moved", "http://m/", "", "\\B", LocationPreserved},
               {UrlEntryKind::Link, "Again", "http://again/", "", "\\Unverified\\Other", LocationPreserved},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(Tree(destination),
              (std::vector<std::string>{"A/", "A/New.url", "B/", "Unverified/", "Unverified/Page not found/",
                                        "Unverified/Page not found/Again.url", "Unverified/Page not found/Moved.url",
                                        "Unverified/Page not found/desktop.ini"}));
    EXPECT_EQ(ReadFile(destination + "/Unverified/Page not found/Moved.url"),
              "[InternetShortcut]\r\nURL=http://m/\r\n[Tolva]\r\nPreVfyLocation=\\B\r\n");
    EXPECT_EQ(ReadFile(destination + "/Unverified/Page not found/Again.url"),
              "[InternetShortcut]\r\nURL=http://again/\r\n");
}

TEST_F(ShortcutsTest, CraftedNamesNeverReachOutsideTheLocation) {
    // Sentinels beside and above the destination, where crafted names point.
    WriteFile(dir.File("x.url"), "sentinel");
    WriteFile(dir.File("y.url"), "sentinel");
    fs::create_directory(dir.File("outside"));
    ASSERT_EQ(::symlink(dir.File("outside").c_str(), (destination + "/Linked").c_str()), 0);
    fs::create_directories(destination + "/A");
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "A"},
               {UrlEntryKind::Link, "renamed", "http://r/", "../../x", "", NamePreserved},
               {UrlEntryKind::Link, "moved", "http://m/", "x", "\\..\\..", LocationPreserved},
               {UrlEntryKind::Link, "../y", "http://y/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderStart, ".."},
               {UrlEntryKind::Link, "in dots", "http://d/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderStart, "a/../../evil"},
               {UrlEntryKind::Link, "lost", "http://l/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderStart, "Linked"},
               {UrlEntryKind::Link, "through link", "http://t/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""}});
    EXPECT_EQ(WriteTo(set, destination), 0);
    EXPECT_EQ(ReadFile(dir.File("x.url")), "sentinel");
    EXPECT_EQ(ReadFile(dir.File("y.url")), "sentinel");
    EXPECT_TRUE(fs::is_empty(dir.File("outside")));
    EXPECT_FALSE(fs::exists(dir.File("evil")));
    EXPECT_EQ(Tree(dir.Path()),
              (std::vector<std::string>{"Favorites/", "Favorites/-/", "Favorites/-/desktop.ini",
                                        "Favorites/-/in dots.url", "Favorites/A/", "Favorites/A/desktop.ini",
                                        "Favorites/A/moved.url", "Favorites/A/renamed.url", "Favorites/Linked",
                                        "Favorites/desktop.ini", "outside/", "x.url", "y.url"}));
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{FormatString(IDS_ERR_WRITING_SHORTCUT, {123, destination + "/A/../y.url"}),
                                        FormatString(IDS_ERR_CREATING_FOLDER, {123, destination + "/a/../../evil"}),
                                        FormatString(IDS_ERR_CREATING_FOLDER, {ENOTDIR, destination + "/Linked"})}));
}

// A Favorites folder with a folder and a shortcut kept elsewhere, links back to itself and to
// one of its own folders, and a link that leads nowhere.
class LinkedShortcutsTest : public ShortcutsTest {
protected:
    void SetUp() override {
        ShortcutsTest::SetUp();
        outside = dir.File("Disk");
        fs::create_directories(destination + "/A");
        fs::create_directories(outside);
        WriteFile(destination + "/A/a.url", "[InternetShortcut]\r\nURL=http://a/\r\n");
        WriteFile(outside + "/d.url", "[InternetShortcut]\r\nURL=http://d/\r\n");
        WriteFile(outside + "/target.url", "[InternetShortcut]\r\nURL=http://s/\r\n");
        MakeLink(outside, destination + "/Linked");
        MakeLink(destination, outside + "/Back");                // reached through Linked: an ancestor
        MakeLink(destination, destination + "/A/Up");            // its own parent
        MakeLink(destination + "/A", destination + "/0 Again");  // A reached a second time
        MakeLink(outside + "/target.url", destination + "/s.url");
        MakeLink(dir.File("nowhere"), destination + "/Gone");
    }
    static void MakeLink(const std::string& target, const std::string& link) {
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
    }
    std::string outside;
};

TEST_F(LinkedShortcutsTest, ReadsThroughLinksAndEachFolderOnce) {
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, destination), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"1 A ", "3 a http://a/", "2  ", "1 Linked ", "3 d http://d/",
                                                           "3 target http://s/", "2  ", "3 s http://s/", "2  "}));
    EXPECT_EQ(set.folderCount, 2);
    EXPECT_EQ(set.linkCount, 4);
}

TEST_F(LinkedShortcutsTest, SavingBackNeverWritesThroughALink) {
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, destination), 1);
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
        if (entry->kind == UrlEntryKind::Link) entry->url = "http://changed/";
    }
    EXPECT_EQ(WriteTo(set, destination), 0);
    EXPECT_EQ(ReadFile(outside + "/d.url"), "[InternetShortcut]\r\nURL=http://d/\r\n");
    EXPECT_EQ(ReadFile(outside + "/target.url"), "[InternetShortcut]\r\nURL=http://s/\r\n");
    EXPECT_EQ(Tree(outside), (std::vector<std::string>{"Back", "d.url", "target.url"}));
    EXPECT_TRUE(fs::is_symlink(destination + "/Linked"));
    EXPECT_TRUE(fs::is_symlink(destination + "/s.url"));
    EXPECT_EQ(ReadFile(destination + "/A/a.url"), "[InternetShortcut]\r\nURL=http://changed/\r\n");
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{FormatString(IDS_ERR_CREATING_FOLDER, {ENOTDIR, destination + "/Linked"}),
                                        FormatString(IDS_ERR_WRITING_SHORTCUT, {ELOOP, destination + "/s.url"})}));
}

TEST_F(ShortcutsTest, ManyRefusedNamesAreNotAFloodOfMessages) {
    UrlSet set;
    for (int i = 0; i < 20; ++i) Fill(set, {{UrlEntryKind::Link, "a/" + std::to_string(i), "http://x/"}});
    Fill(set, {{UrlEntryKind::Link, "fine", "http://fine/"}, {UrlEntryKind::FolderEnd, ""}});
    EXPECT_EQ(WriteTo(set, destination), 0);
    EXPECT_EQ(prompter.shown.size(), 5u);
    EXPECT_EQ(Tree(destination), (std::vector<std::string>{"fine.url"}));
}

TEST_F(ShortcutsTest, LinksOfOneNameGetFilesOfTheirOwn) {
    UrlSet set;
    Fill(set, {{UrlEntryKind::Link, "Home", "http://1/"},
               {UrlEntryKind::Link, "home", "http://2/"},
               {UrlEntryKind::Link, "Home", "http://3/"},
               {UrlEntryKind::Link, "Home (2)", "http://4/"},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(Tree(destination),
              (std::vector<std::string>{"Home (2) (2).url", "Home (3).url", "Home.url", "desktop.ini", "home (2).url"}));
    EXPECT_EQ(ReadFile(destination + "/Home (3).url"),
              "[InternetShortcut]\r\nURL=http://3/\r\n[Tolva]\r\nPreVfyName=Home\r\n");
}

TEST_F(ShortcutsTest, FolderAndLinkOfOneFileNameAreBothWritten) {
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "x.url"},
               {UrlEntryKind::Link, "in x", "http://in-x/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::Link, "x", "http://x/"},
               {UrlEntryKind::Link, "y", "http://y/"},
               {UrlEntryKind::FolderStart, "y.url"},
               {UrlEntryKind::Link, "in y", "http://in-y/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_TRUE(prompter.shown.empty());
    UrlSet back;
    ASSERT_EQ(ReadFrom(back, destination), 1);
    EXPECT_EQ(BriefOutline(back),
              (std::vector<std::string>{"1 x.url ", "3 in x http://in-x/", "2  ", "3 x (2) http://x/", "3 y http://y/",
                                        "1 y.url (2) ", "3 in y http://in-y/", "2  ", "2  "}));
}

// What the writer stores under another name than the one it was given keeps that name: a
// folder in its desktop.ini, a link in its file.
TEST_F(ShortcutsTest, AdaptedNamesKeepTheNameTheyWereGiven) {
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "PS-2", "", "PS/2", "", NamePreserved | NameTranslated},
               {UrlEntryKind::Link, "Same", "http://1/"},
               {UrlEntryKind::Link, "Same", "http://2/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderStart, ""},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(ReadFile(destination + "/PS-2/desktop.ini"),
              "[Tolva]\r\nPreVfyName=PS/2\r\nOrder=Same.url/Same (2).url\r\n");
    EXPECT_EQ(ReadFile(destination + "/-/desktop.ini"), "[Tolva]\r\nPreVfyName=\r\n");
    EXPECT_EQ(ReadFile(destination + "/PS-2/Same.url"), "[InternetShortcut]\r\nURL=http://1/\r\n");
    EXPECT_EQ(ReadFile(destination + "/PS-2/Same (2).url"),
              "[InternetShortcut]\r\nURL=http://2/\r\n[Tolva]\r\nPreVfyName=Same\r\n");

    UrlSet back;
    ASSERT_EQ(ReadFrom(back, destination), 1);
    std::vector<std::string> former;
    back.Rewind();
    for (UrlEntry* entry = back.Next(); entry; entry = back.Next()) {
        std::string name = "(none)";
        FormerShortcutName(*entry, name);
        if (entry->kind != UrlEntryKind::FolderEnd) former.push_back(entry->name + " <- " + name);
    }
    EXPECT_EQ(former, (std::vector<std::string>{"PS-2 <- PS/2", "Same <- (none)", "Same (2) <- Same", "- <- "}));

    // A later write of a folder that keeps its name clears what an earlier one kept, and leaves
    // a desktop.ini of Windows' own as it was.
    WriteFile(destination + "/PS-2/desktop.ini", "[.ShellClassInfo]\r\nIconIndex=1\r\n[Tolva]\r\nPreVfyName=PS/2\r\n");
    fs::create_directory(destination + "/Own");
    WriteFile(destination + "/Own/Desktop.ini", "[.ShellClassInfo]\r\nIconIndex=2\r\n");
    UrlSet plain;
    Fill(plain, {{UrlEntryKind::FolderStart, "PS-2"},
                 {UrlEntryKind::FolderEnd, ""},
                 {UrlEntryKind::FolderStart, "Own"},
                 {UrlEntryKind::FolderEnd, ""},
                 {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(plain, destination), 1);
    EXPECT_EQ(ReadFile(destination + "/PS-2/desktop.ini"), "[.ShellClassInfo]\r\nIconIndex=1\r\n[Tolva]\r\n");
    EXPECT_EQ(ReadFile(destination + "/Own/Desktop.ini"), "[.ShellClassInfo]\r\nIconIndex=2\r\n");
}

// Windows keeps a URL its code page cannot hold in a UTF-7 twin; editors put byte-order marks
// before the first section; Windows writes desktop.ini and some shortcuts in UTF-16.
TEST_F(ShortcutsTest, ReadsUnicodeTwinsByteOrderMarksAndUtf16) {
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, FixturePath("shortcuts/encodings")), 1);
    EXPECT_EQ(BriefOutline(set),
              (std::vector<std::string>{
                  "3 cp1251_bytes_with_utf7_twin http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80."
                  "\xD1\x80\xD1\x84/\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C",
                  "3 utf16le_with_mark http://wide.example/\xC3\xA4",
                  "3 utf8_byte_order_mark http://mark.example/",
                  "2  ",
              }));

    // Saved back in place, each file keeps its encoding and gains no second section.
    fs::copy(FixturePath("shortcuts/encodings"), destination, fs::copy_options::recursive);
    UrlSet copy;
    ASSERT_EQ(ReadFrom(copy, destination), 1);
    copy.Rewind();
    for (UrlEntry* entry = copy.Next(); entry; entry = copy.Next()) {
        if (entry->kind == UrlEntryKind::Link) entry->url = entry->url + "?" + entry->name;
    }
    ASSERT_EQ(WriteTo(copy, destination), 1);
    EXPECT_EQ(ReadFile(destination + "/utf8_byte_order_mark.url"),
              "\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://mark.example/?utf8_byte_order_mark\r\n");
    const std::string wide = ReadFile(destination + "/utf16le_with_mark.url");
    EXPECT_EQ(wide.substr(0, 4), std::string("\xFF\xFE[\0", 4));
    EXPECT_NE(wide.find(std::string("?\0u\0t\0f\0", 8)), std::string::npos);
    UrlSet again;
    ASSERT_EQ(ReadFrom(again, destination), 1);
    EXPECT_EQ(BriefOutline(again), BriefOutline(copy));
}

TEST_F(ShortcutsTest, UrlThatIsNotAsciiGetsTheTwinWindowsReads) {
    UrlSet set;
    Fill(set, {{UrlEntryKind::Link, "Shop", "http://\xD1\x80\xD1\x84/a+b"},
               {UrlEntryKind::Link, "Plain", "http://plain/"},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(ReadFile(destination + "/Shop.url"),
              "[InternetShortcut]\r\nURL=http://\xD1\x80\xD1\x84/a+b\r\n[InternetShortcut.W]\r\nURL=http://+BEAERA-/"
              "a+-b\r\n");
    EXPECT_EQ(ReadFile(destination + "/Plain.url"), "[InternetShortcut]\r\nURL=http://plain/\r\n");
}

// A tree deeper than a path can be is written as deep as paths go, and written and read back
// with a handful of descriptors.
TEST_F(ShortcutsTest, DeepTreesKeepDescriptorsAndPathsBounded) {
    // Far fewer descriptors than levels, given back whatever the test's outcome.
    struct FewDescriptors {
        struct rlimit saved {};
        FewDescriptors() {
            ::getrlimit(RLIMIT_NOFILE, &saved);
            struct rlimit few = saved;
            few.rlim_cur = 64;
            ::setrlimit(RLIMIT_NOFILE, &few);
        }
        ~FewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved); }
    } few;
    constexpr int kDepth = 3000;
    UrlSet set;
    for (int i = 0; i < kDepth; ++i) Fill(set, {{UrlEntryKind::FolderStart, "ab"}});
    for (int i = 0; i < kDepth; ++i) Fill(set, {{UrlEntryKind::FolderEnd, ""}});
    Fill(set, {{UrlEntryKind::Link, "after", "http://after/"}, {UrlEntryKind::FolderEnd, ""}});
    const int written = WriteTo(set, destination);
    // Every folder whose path fits: each level adds "/ab".
    const long pathLimit = ::pathconf(destination.c_str(), _PC_PATH_MAX);
    const int fits = static_cast<int>((pathLimit - 1 - static_cast<long>(destination.size())) / 3);
    std::string tooLong = destination;
    for (int i = 0; i <= fits; ++i) tooLong += "/ab";
    UrlSet back;
    EXPECT_EQ(ReadFrom(back, destination), 1);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{FormatString(IDS_ERR_CREATING_FOLDER, {ENAMETOOLONG, tooLong})}));
    EXPECT_EQ(back.folderCount, fits);
    EXPECT_EQ(BriefOutline(back).end()[-2], "3 after http://after/");
}

TEST_F(ShortcutsTest, VerifiedSetSavedBackDoesNotMultiplyFiles) {
    const std::string failed = destination + "/Home \xC2\xAD Page not found.url";
    WriteFile(failed, "[InternetShortcut]\r\nURL=http://home/\r\n[Extra]\r\nKeep=1\r\n");
    for (int save = 0; save < 2; ++save) {
        UrlSet set;
        ASSERT_EQ(ReadFrom(set, destination), 1);
        ASSERT_EQ(WriteTo(set, destination), 1);
        EXPECT_EQ(Tree(destination), (std::vector<std::string>{"Home.url"})) << "save " << save;
    }
    EXPECT_EQ(ReadFile(destination + "/Home.url"), "[InternetShortcut]\r\nURL=http://home/\r\n[Extra]\r\nKeep=1\r\n");

    // A translation elsewhere leaves its source alone.
    WriteFile(failed, "[InternetShortcut]\r\nURL=http://again/\r\n");
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, destination), 1);
    const std::string elsewhere = dir.File("Elsewhere");
    fs::create_directory(elsewhere);
    ASSERT_EQ(WriteTo(set, elsewhere), 1);
    EXPECT_TRUE(fs::exists(failed));
    EXPECT_EQ(Tree(elsewhere), (std::vector<std::string>{"Home (2).url", "Home.url", "desktop.ini"}));
}

TEST_F(ShortcutsTest, OldFileThatIsTheNewFileIsKept) {
    // On a case-insensitive mount "Home.url" and "home.url" are one file; a hard link stands
    // in for that here: two names, one inode (left unchanged, so it is not replaced).
    const std::string bytes = "[InternetShortcut]\r\nURL=http://same/\r\n[Tolva]\r\nPreVfyName=home\r\n";
    WriteFile(destination + "/home.url", bytes);
    ASSERT_EQ(::link((destination + "/home.url").c_str(), (destination + "/Home.url").c_str()), 0);
    UrlSet set;
    Fill(set, {{UrlEntryKind::Link, "Home", "http://same/", "home", "", NamePreserved}, {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    EXPECT_EQ(ReadFile(destination + "/home.url"), bytes);
}

TEST_F(ShortcutsTest, NameTooLongForAFileIsShortenedAndKeptWhole) {
    std::string name;
    for (int i = 0; i < 150; ++i) name += "\xC3\xA9";  // 300 bytes of two-byte characters
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, name},
               {UrlEntryKind::Link, name, "http://long/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""}});
    ASSERT_EQ(WriteTo(set, destination), 1);
    const long limit = ::pathconf(destination.c_str(), _PC_NAME_MAX);
    const std::string folder = name.substr(0, static_cast<std::size_t>(limit) & ~std::size_t{1});
    const std::string file = name.substr(0, static_cast<std::size_t>(limit - 4) & ~std::size_t{1}) + ".url";
    EXPECT_EQ(Tree(destination),
              (std::vector<std::string>{folder + "/", folder + "/desktop.ini", folder + "/" + file}));
    EXPECT_EQ(ReadFile(destination + "/" + folder + "/desktop.ini"), "[Tolva]\r\nPreVfyName=" + name + "\r\n");
    EXPECT_EQ(ReadFile(destination + "/" + folder + "/" + file),
              "[InternetShortcut]\r\nURL=http://long/\r\n[Tolva]\r\nPreVfyName=" + name + "\r\n");
}

TEST_F(ShortcutsTest, FolderThatCannotBeMadeIsShownOnceAndWriteFails) {
    WriteFile(dir.File("file"), "a file where the folder goes");
    ASSERT_EQ(::symlink(dir.File("file").c_str(), (destination + "/Blocked").c_str()), 0);
    UrlSet set;
    Fill(set, {{UrlEntryKind::FolderStart, "Blocked"},
               {UrlEntryKind::Link, "a", "http://a/"},
               {UrlEntryKind::FolderStart, "Inner"},
               {UrlEntryKind::Link, "b", "http://b/"},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::FolderEnd, ""},
               {UrlEntryKind::Link, "after", "http://after/"},
               {UrlEntryKind::FolderEnd, ""}});
    EXPECT_EQ(WriteTo(set, destination), 0);
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{FormatString(IDS_ERR_CREATING_FOLDER, {ENOTDIR, destination + "/Blocked"})}));
    EXPECT_TRUE(fs::exists(destination + "/after.url"));
}

TEST_F(ShortcutsTest, CorpusTreesReadWhole) {
    const std::string corpus = testing::CorpusPath("url");
    if (!fs::exists(corpus)) GTEST_SKIP() << "corpus not present";
    struct Expectation {
        const char* tree;
        int links;
        int folders;
    };
    for (const Expectation& tree :
         {Expectation{"favorites_tree_ie10_win8/Favorites", 45, 2}, Expectation{"favorites_subtree_ru_ie11", 16, 14},
          Expectation{"parser_fixtures_notwillk", 5, 3}}) {
        UrlSet set;
        ASSERT_EQ(ReadFrom(set, corpus + "/" + tree.tree), 1);
        EXPECT_EQ(set.linkCount, tree.links) << tree.tree;
        EXPECT_EQ(set.folderCount, tree.folders) << tree.tree;
        int empty = 0;
        set.Rewind();
        for (UrlEntry* entry = set.Next(); entry; entry = set.Next()) {
            if (entry->kind == UrlEntryKind::Link && entry->url.empty()) ++empty;
        }
        // Only the 0-byte file, the one without a URL key and the one without a section have none.
        EXPECT_LE(empty, 2) << tree.tree;
    }
    UrlSet spaced;
    ASSERT_EQ(ReadFrom(spaced, corpus + "/parser_fixtures_notwillk/tests/fixtures"), 1);
    EXPECT_EQ(BriefOutline(spaced),
              (std::vector<std::string>{"3 comments https://example.com", "3 malformed ", "2  "}));
}

// Windows writes a FILETIME as its bytes, lowest first, and their sum; a value whose check byte
// does not hold, or a zero time, is no date.
TEST(ModifiedValueTest, ReadsAndWritesWindowsSpellingOfATime) {
    EXPECT_EQ(ModifiedSeconds("20F06BA06D07BD014D"), 881979606);
    EXPECT_EQ(ModifiedSeconds("20f06ba06d07bd01"), 881979606);
    for (const char* bad : {"20F06BA06D07BD014E", "0000000000000000", "20F06BA06D07BD01G0", "20F06BA06D07BD0"}) {
        EXPECT_EQ(ModifiedSeconds(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ModifiedValue(1700000000), "00006DC64717DA016C");
    EXPECT_EQ(ModifiedSeconds(*ModifiedValue(-11644473600 + 1)), -11644473600 + 1);
    EXPECT_EQ(ModifiedValue(-11644473600 - 1), std::nullopt);
}

TEST(RegisteredOwnerTest, ChoosesStoreThenFullNameThenLogin) {
    EXPECT_EQ(ChooseRegisteredOwner("Store Owner", "Full Name,,,", "login"), "Store Owner");
    EXPECT_EQ(ChooseRegisteredOwner("", "Full Name,,,", "login"), "Full Name");
    EXPECT_EQ(ChooseRegisteredOwner("", ",,,", "login"), "login");
    std::string longName;
    for (int i = 0; i < 30; ++i) longName += "\xC3\xA9";
    EXPECT_EQ(ChooseRegisteredOwner(longName, "", ""), longName.substr(0, 38));
}

}  // namespace
}  // namespace tolva
