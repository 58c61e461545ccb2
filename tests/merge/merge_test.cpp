// The merge of sets: the match rule, what two duplicates become, and whole runs over sets
// of several formats written by the tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "merge/duplicate_merge.h"
#include "merge/flat_table.h"
#include "merge/merge_run.h"
#include "merge/url_match.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::TempDir;
using testing::WriteFile;

// Keys shaped as the merge makes them (a folder and a URL number), 0 among them, through
// several growths: each keeps the value it came with.
TEST(FlatTableTest, EveryKeyKeepsItsFirstValueThroughGrowth) {
    FlatTable<std::uint32_t> table;
    const auto key = [](std::uint32_t i) { return (std::uint64_t{i % 7} << 32) | (i / 7); };
    table.Reserve(100);
    for (std::uint32_t i = 0; i < 5000; ++i) ASSERT_TRUE(table.TryEmplace(key(i), i).second) << i;
    EXPECT_EQ(table.Size(), 5000u);
    for (std::uint32_t i = 0; i < 5000; ++i) {
        const auto [value, added] = table.TryEmplace(key(i), 99999);
        EXPECT_FALSE(added);
        EXPECT_EQ(*value, i);
        EXPECT_EQ(table.Find(key(i)), value);
    }
    EXPECT_EQ(table.Find(key(5000)), nullptr);
}

TEST(UrlMatchTest, ExactAndLooseRules) {
    struct Row {
        const char* a;
        const char* b;
        bool exact;
        bool loose;
    };
    const Row rows[] = {
        {"HTTP://Example.COM", "http://example.com/", true, true},
        {"http://example.com:80/a", "http://example.com/a", true, true},
        {"http://[::1]:80/", "http://[::1]/", true, true},
        {"http://example.com/a%2fb", "http://example.com/a%2Fb", true, true},
        {"JAVASCRIPT:go()", "javascript:go()", true, true},
        {"https://example.com:8443/a", "https://example.com/a", false, false},
        {"http://example.com/A", "http://example.com/a", false, false},
        {"https://User@example.com/", "https://user@example.com/", false, false},
        {"mailto:Me@Example.com", "mailto:me@example.com", false, false},
        {"http://example.com/a/", "http://example.com/a", false, true},
        {"http://www.example.com/a", "http://example.com/a", false, true},
        {"http://example.com/a#top", "http://example.com/a", false, true},
        {"http://example.com/a", "https://example.com/a", false, true},
        {"https://example.com/a?utm_source=x&id=3&fbclid=y&gclid=z", "https://example.com/a?id=3", false, true},
        {"https://example.com/a?utm_source=x", "https://example.com/a", false, true},
        {"https://example.com/a?id=3", "https://example.com/a?id=4", false, false},
    };
    std::string a;
    std::string b;
    for (const Row& row : rows) {
        for (const MatchRule rule : {MatchRule::Exact, MatchRule::Loose}) {
            MatchKey(row.a, rule, a);
            MatchKey(row.b, rule, b);
            EXPECT_EQ(a == b, rule == MatchRule::Exact ? row.exact : row.loose)
                << row.a << " / " << row.b << (rule == MatchRule::Exact ? " exact: " : " loose: ") << a << " / " << b;
        }
    }
}

TEST(DuplicateMergeTest, DatesTagsDescriptionsAndOtherAttributesAreKept) {
    UrlEntry kept(UrlEntryKind::Link, "Kept", "https://example.com/");
    kept.extraAttributes = R"( ADD_DATE="5" LAST_MODIFIED="7" TAGS="a,b")";
    kept.description = "one";
    UrlEntry other(UrlEntryKind::Link, "Other", "https://EXAMPLE.com/");
    other.extraAttributes = R"( add_date="3" LAST_MODIFIED="6" LAST_VISIT="9" TAGS="b,c" ICON="data:x")";
    other.description = "two";
    MergeDuplicateInto(kept, other);
    MergeDuplicateInto(kept, other);  // met a third time, nothing is added twice
    EXPECT_EQ(kept.extraAttributes, R"( ADD_DATE="3" LAST_MODIFIED="7" TAGS="a,b,c" LAST_VISIT="9" ICON="data:x")");
    EXPECT_EQ(kept.description, "one\ntwo");
    EXPECT_EQ(kept.name, "Kept");
    EXPECT_EQ(kept.url, "https://example.com/");

    // A folder keeps its own mark: another browser's root mark is not taken.
    UrlEntry folder(UrlEntryKind::FolderStart, "Bar");
    UrlEntry chromiumBar(UrlEntryKind::FolderStart, "Bookmarks bar");
    chromiumBar.extraAttributes = R"( CHROMIUM_ROOT="bookmark_bar" ADD_DATE="4")";
    MergeDuplicateInto(folder, chromiumBar);
    EXPECT_EQ(folder.extraAttributes, R"( ADD_DATE="4")");
}

const std::string kFirefoxExport =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
    "<DT><H3 ADD_DATE=\"10\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\n<DL><p>\n"
    "<DT><A HREF=\"HTTPS://Docs.Example.com:443\" ADD_DATE=\"500\" LAST_MODIFIED=\"600\">Docs</A>\n"
    "<DT><A HREF=\"https://news.example.org/a%2fb\" ADD_DATE=\"100\">News</A>\n"
    "</DL><p>\n"
    "<DT><A HREF=\"https://menu.example.com/\">Menu link</A>\n"
    "</DL><p>\n";

// Chromium counts microseconds since 1601; 11644473600 seconds lie between that and 1970.
const std::string kChromiumFile = R"json({"roots":{"bookmark_bar":{"type":"folder","name":"Bookmarks bar","children":[
 {"type":"url","name":"Docs (Chromium)","url":"https://docs.example.com/","date_added":"11644473900000000"},
 {"type":"url","name":"News","url":"https://news.example.org/a%2Fb"},
 {"type":"url","name":"Chromium only","url":"https://chromium.example.net/"}]},
 "other":{"type":"folder","name":"Other bookmarks","children":[]},
 "synced":{"type":"folder","name":"Mobile bookmarks","children":[]}},"version":1})json";

class MergeRunTest : public ::testing::Test {
protected:
    MergeRunTest() {
        controls.statusLine = &status;
        controls.prompter = &prompter;
    }

    MergeOutcome Merge(std::vector<MergeSource> sources, UrlSetFormat format, const std::string& destination,
                       DuplicatePlaces places = DuplicatePlaces::Keep) {
        MergeValues values;
        values.sources = std::move(sources);
        values.destinationFormat = format;
        values.destinationLocation = destination;
        values.duplicates = places;
        return RunMerge(values, controls);
    }

    // The outline of the set at location, read back.
    std::vector<std::string> ReadBack(UrlSetFormat format, const std::string& location) {
        UrlSet set;
        EXPECT_GT(testing::ReadSet(set, format, location), 0) << location;
        std::vector<std::string> lines;
        set.Rewind();
        while (UrlEntry* entry = set.Next()) {
            std::string line = "?FELS"[static_cast<int>(entry->kind)] + (" " + set.GetCurrentPath());
            if (entry->kind == UrlEntryKind::Link) line += " | " + entry->name + " | " + entry->url;
            if (entry->mark == FolderMark::Toolbar) line += " [toolbar]";
            lines.push_back(line);
        }
        return lines;
    }

    TempDir dir;
    RecordingText status;
    RecordingPrompter prompter;
    MergeControls controls;
};

TEST_F(MergeRunTest, BrowsersToolbarsBecomeOneToolbarMarkedAsTheDestinationMarksIt) {
    WriteFile(dir.File("firefox.html"), kFirefoxExport);
    WriteFile(dir.File("Bookmarks"), kChromiumFile);
    const std::vector<MergeSource> sources = {{UrlSetFormat::Netscape, dir.File("firefox.html")},
                                              {UrlSetFormat::Chromium, dir.File("Bookmarks")}};
    for (const UrlSetFormat format : {UrlSetFormat::Netscape, UrlSetFormat::Chromium, UrlSetFormat::FirefoxBackup}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string destination = dir.File("merged" + std::to_string(static_cast<int>(format)));
        const MergeOutcome outcome = Merge(sources, format, destination);
        ASSERT_EQ(outcome.result, MergeResult::Merged) << status.Current();
        EXPECT_EQ(outcome.counts.links, 4);
        EXPECT_EQ(outcome.counts.duplicatesMerged, 2);
        ASSERT_EQ(outcome.groups.size(), 2U);
        EXPECT_EQ(outcome.groups[0].members[1].url, "https://docs.example.com/");
        EXPECT_EQ(outcome.groups[0].members[1].fate, MemberFate::Merged);

        std::vector<std::string> toolbar;
        for (const std::string& line : ReadBack(format, destination)) {
            if (line.ends_with("[toolbar]") || line.starts_with("L \\Bookmarks Toolbar |")) toolbar.push_back(line);
        }
        // The first set's names and spellings, one folder, and the earliest date of the two.
        EXPECT_EQ(toolbar.size(), 4U) << ::testing::PrintToString(ReadBack(format, destination));
        EXPECT_EQ(std::count_if(toolbar.begin(), toolbar.end(), [](auto& l) { return l.ends_with("[toolbar]"); }), 1);
        EXPECT_NE(std::find(toolbar.begin(), toolbar.end(), "L \\Bookmarks Toolbar | Docs | HTTPS://Docs.Example.com:443"),
                  toolbar.end());
    }
    const std::string html = ReadFile(dir.File("merged1"));
    EXPECT_NE(html.find(R"(ADD_DATE="300" LAST_MODIFIED="600">Docs)"), std::string::npos) << html;
    EXPECT_EQ(ReadFile(dir.File("firefox.html")), kFirefoxExport);
    EXPECT_EQ(ReadFile(dir.File("Bookmarks")), kChromiumFile);
}

TEST_F(MergeRunTest, FavoritesFolderAndXbelMeetByPathAndKeepTheOnlyDescription) {
    const std::string favorites = dir.File("Favorites");
    std::filesystem::create_directories(favorites + "/Work");
    WriteFile(favorites + "/Work/Report.url", "[InternetShortcut]\r\nURL=https://example.com/report\r\n");
    WriteFile(favorites + "/Home.url", "[InternetShortcut]\r\nURL=https://example.com/\r\n");
    WriteFile(dir.File("set.xbel"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n<folder><title>Work</title>\n"
              "<bookmark href=\"https://example.com/report\"><title>Report (XBEL)</title><desc>Monthly</desc>"
              "</bookmark>\n<bookmark href=\"https://example.com/plan\"><title>Plan</title></bookmark>\n"
              "</folder>\n</xbel>\n");
    const MergeOutcome outcome = Merge({{UrlSetFormat::Shortcuts, favorites}, {UrlSetFormat::Xbel, dir.File("set.xbel")}},
                                       UrlSetFormat::Netscape, dir.File("merged.html"));
    ASSERT_EQ(outcome.result, MergeResult::Merged) << status.Current();
    EXPECT_EQ(ReadBack(UrlSetFormat::Netscape, dir.File("merged.html")),
              (std::vector<std::string>{"F \\Work", "L \\Work | Report | https://example.com/report",
                                        "L \\Work | Plan | https://example.com/plan", "E ",
                                        "L  | Home | https://example.com/", "E "}));
    EXPECT_NE(ReadFile(dir.File("merged.html")).find("<DD>Monthly"), std::string::npos);
    EXPECT_EQ(status.Current(), "2 sets merged: 3 links in 1 folders; 1 duplicates merged, 0 kept in other folders");
}

TEST_F(MergeRunTest, SameLinkInTwoFoldersIsKeptInEachOrOnlyAtItsFirstPlace) {
    WriteFile(dir.File("a.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"https://example.com/x\">X</A>\n"
              "<DT><H3>Work</H3>\n<DL><p>\n<DT><A HREF=\"https://example.com/x\" ADD_DATE=\"7\">X at work</A>\n"
              "<DT><A HREF=\"https://example.com/y\">Y</A>\n</DL><p>\n</DL><p>\n");
    struct Row {
        DuplicatePlaces places;
        int links;
        MemberFate second;
    };
    for (const Row& row : {Row{DuplicatePlaces::Keep, 3, MemberFate::Kept}, Row{DuplicatePlaces::First, 2, MemberFate::Dropped}}) {
        std::filesystem::remove(dir.File("out.html"));
        const MergeOutcome outcome =
            Merge({{UrlSetFormat::Netscape, dir.File("a.html")}}, UrlSetFormat::Netscape, dir.File("out.html"), row.places);
        ASSERT_EQ(outcome.result, MergeResult::Merged);
        EXPECT_EQ(outcome.counts.links, row.links);
        EXPECT_EQ(outcome.counts.inOtherFolders, 1);
        ASSERT_EQ(outcome.groups.size(), 1U);
        const DuplicateMember& second = outcome.groups[0].members.at(1);
        EXPECT_EQ(second.folder, "\\Work");
        EXPECT_EQ(second.fate, row.second);
        EXPECT_EQ(second.keptIn, row.places == DuplicatePlaces::Keep ? "\\Work" : "");
    }
    // Left out of its folder, the link's date still reaches the one kept.
    EXPECT_NE(ReadFile(dir.File("out.html")).find(">X</A>"), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("out.html")).find("ADD_DATE=\"7\">X</A>"), std::string::npos);
}

TEST_F(MergeRunTest, SetMergedIntoItselfLosesOnlyItsDuplicatesAfterTheBackupQuestion) {
    const std::string set = dir.File("a.html");
    const std::string original =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>Work</H3>\n<DL><p>\n"
        "<DT><A HREF=\"http://Example.com\">One</A>\n<HR>\n<DT><A HREF=\"http://example.com/\">Two</A>\n"
        "</DL><p>\n<DT><H3>Work</H3>\n<DL><p>\n<DT><A HREF=\"http://example.com:80/\">Three</A>\n</DL><p>\n</DL><p>\n";
    WriteFile(set, original);
    prompter.ScriptAnswers({true});
    const MergeOutcome outcome = Merge({{UrlSetFormat::Netscape, set}}, UrlSetFormat::Netscape, set);
    ASSERT_EQ(outcome.result, MergeResult::Merged);
    EXPECT_EQ(ReadFile(set + ".bak"), original);
    EXPECT_EQ(ReadBack(UrlSetFormat::Netscape, set),
              (std::vector<std::string>{"F \\Work", "L \\Work | One | http://Example.com", "S \\Work", "E ", "E "}));
    EXPECT_EQ(outcome.counts.duplicatesMerged, 2);
}

TEST_F(MergeRunTest, SourceThatCannotBeReadIsNamedAndNothingIsWritten) {
    WriteFile(dir.File("a.html"), kFirefoxExport);
    WriteFile(dir.File("out.html"), "old");
    const MergeOutcome outcome = Merge({{UrlSetFormat::Netscape, dir.File("a.html")},
                                        {UrlSetFormat::Netscape, dir.File("missing.html")}},
                                       UrlSetFormat::Netscape, dir.File("out.html"));
    EXPECT_EQ(outcome.result, MergeResult::Failed);
    EXPECT_EQ(ReadFile(dir.File("out.html")), "old");
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_NE(prompter.shown.back().text.find(dir.File("missing.html")), std::string::npos);
}

TEST_F(MergeRunTest, SourcesInDifferentCharsetsMeetInUtf8) {
    // The same folder and one name each, spelled in windows-1252 and in UTF-8.
    WriteFile(dir.File("latin.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
              "charset=windows-1252\">\n<DL><p>\n<DT><H3>Caf\xe9</H3>\n<DL><p>\n"
              "<DT><A HREF=\"https://example.com/a\">Men\xfc \x80</A>\n</DL><p>\n</DL><p>\n");
    WriteFile(dir.File("utf8.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
              "charset=UTF-8\">\n<DL><p>\n<DT><H3>Caf\xc3\xa9</H3>\n<DL><p>\n"
              "<DT><A HREF=\"https://example.com/b\">Pr\xc3\xa9 \xe2\x82\xac</A>\n</DL><p>\n</DL><p>\n");
    const MergeOutcome outcome = Merge({{UrlSetFormat::Netscape, dir.File("latin.html")},
                                        {UrlSetFormat::Netscape, dir.File("utf8.html")}},
                                       UrlSetFormat::Netscape, dir.File("out.html"));
    ASSERT_EQ(outcome.result, MergeResult::Merged) << status.Current();
    const std::string merged = ReadFile(dir.File("out.html"));
    EXPECT_NE(merged.find("charset=UTF-8"), std::string::npos) << merged;
    EXPECT_EQ(ReadBack(UrlSetFormat::Netscape, dir.File("out.html")),
              (std::vector<std::string>{"F \\Caf\xc3\xa9", "L \\Caf\xc3\xa9 | Men\xc3\xbc \xe2\x82\xac | https://example.com/a",
                                        "L \\Caf\xc3\xa9 | Pr\xc3\xa9 \xe2\x82\xac | https://example.com/b", "E ", "E "}));
}

}  // namespace
}  // namespace tolva
