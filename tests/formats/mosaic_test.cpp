#include <gtest/gtest.h>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "resources/strings.h"
#include "support/failing_file.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::BriefOutline;
using testing::FailingFiles;
using testing::FixturePath;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::TempDir;
using testing::WriteFile;
using namespace std::string_literals;

class MosaicTest : public ::testing::Test {
protected:
    int ReadFrom(const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(storage, UrlSetFormat::Mosaic, path, &status);
    }
    int WriteTo(SetStorage& target, const std::string& path) {
        target.Set().SetPrompter(&prompter);
        return testing::WriteSet(target, UrlSetFormat::Mosaic, path);
    }

    TempDir dir;
    RecordingPrompter prompter;
    RecordingText status;
    UrlSet set;
    SetStorage storage{set};
};

TEST_F(MosaicTest, ReadsKeywordsByTheirFirstFourCharacters) {
    ASSERT_EQ(ReadFrom(FixturePath("mosaic/keywords_and_spacing.hot")), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"1 Work & Play ", "3 Tools   http://tools.example/", "2  ",
                                                           "3 Second http://second.example/", "2  "}));
    EXPECT_EQ(set.linkCount, 2);
    EXPECT_EQ(set.folderCount, 1);
    EXPECT_EQ(set.title, "");  // "Hotlist" itself is too short to hold a title
    EXPECT_EQ(set.GetCursor(), nullptr);
    EXPECT_EQ(status.history.front(), "Reading line 1");
    EXPECT_EQ(status.Current(), "Mosaic file loaded.");
}

TEST_F(MosaicTest, TitleComesFromTheHotlistLine) {
    WriteFile(dir.File("t.hot"), "Hotlist <TITLE>Fred's hotlist</TL>\n{\n}\n");
    ASSERT_EQ(ReadFrom(dir.File("t.hot")), 1);
    EXPECT_EQ(set.title, "Fred's hotlist");
}

TEST_F(MosaicTest, UnbalancedHotlistGetsItsBlocksClosed) {
    ASSERT_EQ(ReadFrom(FixturePath("mosaic/unbalanced_cut_short.hot")), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"1 Open ", "3 Cut short ", "2  ", "2  "}));
    // Braces that close nothing are dropped; what follows them stays inside the set.
    storage.Close();
    WriteFile(dir.File("extra.hot"), "Hotlist\r\nT\r\n{\r\n}\r\n}\r\nItem\r\nLate\r\nhttp://l/\r\n}\r\n");
    ASSERT_EQ(ReadFrom(dir.File("extra.hot")), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"3 Late http://l/", "2  "}));
}

TEST_F(MosaicTest, TitleLineIsKeptAndNeverTakenForAKeyword) {
    UrlSet built;
    built.heading = "Items to read";
    built.Append(new UrlEntry(UrlEntryKind::Link, "a", "http://a/"));
    built.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    SetStorage builtStorage(built);
    WriteTo(builtStorage, dir.File("title.hot"));
    ASSERT_EQ(ReadFrom(dir.File("title.hot")), 1);
    EXPECT_EQ(set.heading, "Items to read");
    EXPECT_EQ(set.linkCount, 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"3 a http://a/", "2  "}));
}

TEST_F(MosaicTest, EmptyFileIsNotASet) {
    WriteFile(dir.File("empty.hot"), "");
    EXPECT_EQ(ReadFrom(dir.File("empty.hot")), 0);
}

TEST_F(MosaicTest, LongUrlIsReadWhole) {
    const std::string url = "http://example.com/?" + std::string(3000, 'q') + "Item";
    WriteFile(dir.File("long.hot"), "Hotlist\r\n\r\n{\r\nItem\r\nLong\r\n" + url + "\r\n}\r\n");
    ASSERT_EQ(ReadFrom(dir.File("long.hot")), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"3 Long " + url, "2  "}));
}

TEST_F(MosaicTest, RunsOfEmptyLinesAndZeroBytesAreCountedButAValueLineIsAlwaysTaken) {
    // A damaged file's zero bytes are empty lines; an empty name after "Item" is still the name.
    const std::string text = "\0\0Hotlist\r\n\r\n{\r\n\0\0\0Item\r\n\r\nhttp://u/\r\n\n\r\r\n}\r\n\0"s;
    WriteFile(dir.File("damaged.hot"), text);
    ASSERT_EQ(ReadFrom(dir.File("damaged.hot")), 1);
    EXPECT_EQ(BriefOutline(set), (std::vector<std::string>{"3  http://u/", "2  "}));
    // Every line but the two values counts, a CR LF as one line.
    ASSERT_GE(status.history.size(), 2u);
    EXPECT_EQ(status.history[status.history.size() - 2], "Reading line 14");
}

TEST_F(MosaicTest, SeparatorsAndLineBreaksInNamesLeaveNoTrace) {
    UrlSet built;
    built.Append(new UrlEntry(UrlEntryKind::Separator, {}));
    built.Append(new UrlEntry(UrlEntryKind::Link, "two\nItem", "http://x/\r\nSublist"));
    built.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    const std::string path = dir.File("sep.hot");
    SetStorage builtStorage(built);
    ASSERT_EQ(WriteTo(builtStorage, path), 1);
    EXPECT_EQ(ReadFile(path), "Hotlist\r\n\r\n{\r\nItem\r\ntwo Item\r\nhttp://x/  Sublist\r\n}\r\n");
}

TEST_F(MosaicTest, WriteFailureIsShownOnceAndNotReportedAsSuccess) {
    UrlSet big;
    SetStorage bigStorage{big};
    for (int i = 0; i < 20000; ++i) big.Append(new UrlEntry(UrlEntryKind::Link, "link", "http://example.com/page"));
    big.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    for (std::size_t failAfter : {std::size_t{0}, std::size_t{64 * 1024}}) {
        prompter.shown.clear();
        // Fails every write after the first failAfter bytes were accepted.
        bigStorage.SetFileFactory(FailingFiles({.goodBytes = failAfter}));
        EXPECT_EQ(WriteTo(bigStorage, dir.File("fail" + std::to_string(failAfter) + ".hot")), 0);
        ASSERT_EQ(prompter.shown.size(), 1u);
        const int message = failAfter == 0 ? IDS_ERR_MOSAIC_HEADER : IDS_ERR_MOSAIC_LINE;
        EXPECT_EQ(prompter.shown[0].text, FormatString(message, {ENOSPC}));
        EXPECT_EQ(prompter.shown[0].caption, "Tolva");
    }
}

}  // namespace
}  // namespace tolva
