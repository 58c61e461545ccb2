// Every format's round trip: a set read and written reads back the same, and writing what was
// read back gives the same bytes again.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "model/url_set.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::BriefOutline;
using testing::FixturePath;
using testing::Outline;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

struct RoundTripCase {
    std::string name;
    UrlSetFormat format;
    // The source: a file or folder, or else a file holding text.
    std::string source;
    std::string text = {};
    // The bytes of the first write, when not empty.
    std::string written = {};
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class FormatRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {
protected:
    // Where the next write goes: a new file, or a new folder for shortcuts.
    std::string NextTarget() {
        const UrlSetFormat format = GetParam().format;
        std::string target = dir.File("out" + std::to_string(++writes) + testing::Extension(format));
        if (format == UrlSetFormat::Shortcuts) fs::create_directory(target);
        return target;
    }
    int Read(UrlSet& set, const std::string& location) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, GetParam().format, location);
    }
    int Write(UrlSet& set, const std::string& location) {
        set.SetPrompter(&prompter);
        return testing::WriteSet(set, GetParam().format, location);
    }
    // A file's bytes, or for a folder every path under it with the bytes of each file.
    static std::string Contents(const std::string& location) {
        if (!fs::is_directory(location)) return ReadFile(location);
        std::string all;
        for (const std::string& item : testing::Tree(location)) {
            all += item + "\n" + (item.ends_with('/') ? "" : ReadFile(location + "/" + item) + "\n");
        }
        return all;
    }

    TempDir dir;
    int writes = 0;
    RecordingPrompter prompter;
};

TEST_P(FormatRoundTripTest, WrittenSetReadsBackTheSameAndRewritesByteForByte) {
    const RoundTripCase& c = GetParam();
    std::string source = c.source.empty() ? dir.File("source") : c.source;
    if (c.source.empty()) WriteFile(source, c.text);
    UrlSet set;
    ASSERT_EQ(Read(set, source), 1);
    // As read: writing may change the counts.
    const int links = set.linkCount, folders = set.folderCount;
    const std::string title = set.title;
    const std::string heading = set.heading;
    std::string target = NextTarget();
    ASSERT_EQ(Write(set, target), 1);
    const std::string first = Contents(target);
    if (!c.written.empty()) {
        EXPECT_EQ(first, c.written);
    }
    // Several cycles, so that nothing creeps in a little at each one (spacing of kept attributes).
    for (int cycle = 0; cycle < 3; ++cycle) {
        UrlSet again;
        ASSERT_EQ(Read(again, target), 1) << cycle;
        EXPECT_EQ(Outline(again), Outline(set)) << cycle;
        EXPECT_EQ(BriefOutline(again), BriefOutline(set)) << cycle;
        EXPECT_EQ(again.linkCount, links) << cycle;
        EXPECT_EQ(again.folderCount, folders) << cycle;
        EXPECT_EQ(again.title, title) << cycle;
        EXPECT_EQ(again.heading, heading) << cycle;
        target = NextTarget();
        ASSERT_EQ(Write(again, target), 1) << cycle;
        EXPECT_EQ(Contents(target), first) << cycle;
    }
    EXPECT_TRUE(prompter.shown.empty());
}

// A test name from a file name: letters and digits, the rest as '_'.
std::string TestName(const ::testing::TestParamInfo<RoundTripCase>& row) {
    std::string name = row.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, FormatRoundTripTest,
    ::testing::Values(
        RoundTripCase{
            "Mosaic", UrlSetFormat::Mosaic, FixturePath("mosaic/keywords_and_spacing.hot"), "",
            "Hotlist\r\nMy <b>links</b>\r\n{\r\nSublist\r\nWork & Play\r\n{\r\nItem\r\nTools  \r\nhttp://tools.example/"
            "\r\n}\r\nItem\r\nSecond\r\nhttp://second.example/\r\n}\r\n"},
        RoundTripCase{"Netscape", UrlSetFormat::Netscape, "",
                      "<H1>Ann's Bookmarks</H1>\n<DL><p>\n<DT><A HREF=\"U\" ADD_DATE=\"1\" LAST_VISIT=\"2\">Home</A>\n"
                      "</DL><p>\n",
                      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>Ann's Bookmarks</Title>\r\n<H1>Ann's "
                      "Bookmarks</H1>\r\n<DL><p>\r\n<DT><A HREF=\"U\"  ADD_DATE=\"1\" LAST_VISIT=\"2\">Home</A>\r\n"
                      "</DL><p>\r\n"},
        RoundTripCase{"Shortcuts", UrlSetFormat::Shortcuts, FixturePath("shortcuts/other_program")},
        // A file with nothing beyond what every reader keeps is rewritten as it always was.
        RoundTripCase{"NetscapeWithNothingToKeep", UrlSetFormat::Netscape,
                      FixturePath("netscape/plain_export_nothing_to_keep.html"), "",
                      ReadFile(FixturePath("netscape_rewritten/plain_export_nothing_to_keep.html"))},
        RoundTripCase{"Xbel", UrlSetFormat::Xbel, "",
                      "<xbel><title>T</title><folder added=\"2020-01-01T00:00:00Z\"><title>F &amp; G</title>"
                      "<separator/><bookmark href=\"http://u/?a&amp;b\" visited=\"2020-01-02T00:00:00Z\">"
                      "<title>\xC3\x9C</title><desc>d</desc><info><metadata owner=\"urn:tolva\"><tolva:attribute "
                      "name=\"TAGS\" value=\"t\"/><tolva:preserved location=\"\\Old\"/></metadata></info>"
                      "</bookmark></folder></xbel>"},
        RoundTripCase{"Chromium", UrlSetFormat::Chromium, "",
                      "{\"roots\": {\"bookmark_bar\": {\"children\": [{\"type\": \"folder\", \"name\": \"F\", "
                      "\"children\": [{\"type\": \"url\", \"name\": \"\\u00dc\", \"url\": \"http://u/\", "
                      "\"date_added\": \"13350000000000000\"}]}], \"name\": \"Leiste\", \"type\": \"folder\"}}}"},
        RoundTripCase{"ShortcutEncodings", UrlSetFormat::Shortcuts, FixturePath("shortcuts/encodings")}),
    TestName);

// Every non-empty bookmark file in folder (an empty one is no set, so has no round trip).
std::vector<RoundTripCase> NetscapeFiles(const std::string& folder) {
    std::vector<RoundTripCase> cases;
    std::error_code absent;
    for (const auto& item : fs::directory_iterator(folder, absent)) {
        if (testing::StartsAsBookmarkFile(item.path().string()))
            cases.push_back({item.path().filename(), UrlSetFormat::Netscape, item.path().string()});
    }
    return cases;
}

// Browser exports, and real exports of many programs kept outside the repository (none when
// that is absent).
INSTANTIATE_TEST_SUITE_P(NetscapeFixtures, FormatRoundTripTest,
                         ::testing::ValuesIn(NetscapeFiles(FixturePath("netscape"))), TestName);
INSTANTIATE_TEST_SUITE_P(NetscapeCorpus, FormatRoundTripTest,
                         ::testing::ValuesIn(NetscapeFiles(testing::CorpusPath("netscape"))), TestName);

}  // namespace
}  // namespace tolva
