#include "model/url_set.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "resources/strings.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

class UrlSetFileTest : public ::testing::Test {
protected:
    // Opens a Netscape-format set on a file holding bytes.
    void OpenWith(const std::string& bytes) {
        path = dir.File("set.html");
        WriteFile(path, bytes);
        set.SetPrompter(&prompter);
        ASSERT_EQ(set.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, path), 1);
    }
    std::vector<std::string> AllLines() {
        std::vector<std::string> lines;
        std::string line;
        while (set.ReadLine(line)) lines.push_back(line);
        return lines;
    }

    TempDir dir;
    std::string path;
    RecordingPrompter prompter;
    UrlSet set;
};

TEST_F(UrlSetFileTest, DetectsTerminatorByFirstMatchingRule) {
    OpenWith("a\r\nb\nc\r\n");
    EXPECT_EQ(set.lineTerminator, "\r\n");
    set.CloseFile();
    OpenWith("\nline\n");
    EXPECT_EQ(set.lineTerminator, "\n");
    set.CloseFile();
    OpenWith("a\rb\r");
    EXPECT_EQ(set.lineTerminator, "\r");
    set.CloseFile();
    OpenWith("");
    EXPECT_EQ(set.lineTerminator, "");
}

TEST_F(UrlSetFileTest, FirstLineLongerThanOneBlockStillFindsItsTerminator) {
    OpenWith(std::string(3000, 'x') + "\r\nnext\r\n");
    EXPECT_EQ(set.lineTerminator, "\r\n");
}

TEST_F(UrlSetFileTest, ReadLineSplitsLongLinesAndTellsWhereTheyEnd) {
    OpenWith(std::string(2000, 'a') + "\n" + std::string(1024, 'b') + "\r\nlast");
    std::string line;
    bool complete = true;
    ASSERT_EQ(set.ReadLine(line, &complete), 1);
    EXPECT_EQ(line.size(), 1024u);
    EXPECT_FALSE(complete);
    ASSERT_EQ(set.ReadLine(line, &complete), 1);
    EXPECT_EQ(line, std::string(976, 'a'));
    EXPECT_TRUE(complete);
    // Exactly the limit followed by its terminator is one complete piece, not two.
    ASSERT_EQ(set.ReadLine(line, &complete), 1);
    EXPECT_EQ(line, std::string(1024, 'b'));
    EXPECT_TRUE(complete);
    ASSERT_EQ(set.ReadLine(line, &complete), 1);
    EXPECT_EQ(line, "last");
    EXPECT_TRUE(complete);
    EXPECT_EQ(set.ReadLine(line), 0);
    EXPECT_EQ(line, "");
}

TEST_F(UrlSetFileTest, MixedLineEndsNeverCostABytePartOfTheNextLine) {
    OpenWith("<DL><p>\r\n<HR>\n</DL><p>\r\n}\r\r\nend\n");
    EXPECT_EQ(AllLines(), (std::vector<std::string>{"<DL><p>", "<HR>", "</DL><p>", "}", "", "end"}));
    set.CloseFile();
    OpenWith("a\nb\r\nc\n");
    EXPECT_EQ(AllLines(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(UrlSetFileTest, ZeroBytesEndLinesWithoutStallingTheReader) {
    OpenWith(std::string("ab\0cd\0\0", 7));
    EXPECT_EQ(AllLines(), (std::vector<std::string>{"ab", "cd", ""}));
}

TEST_F(UrlSetFileTest, OpenOfMissingFileShowsNotFoundWithLocation) {
    set.SetPrompter(&prompter);
    std::string missing = dir.File("no/such.html");
    EXPECT_EQ(set.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, missing), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, FormatString(IDS_SET_NOT_FOUND, {missing}));
    EXPECT_EQ(prompter.shown[0].caption, "Tolva 2.0.1");
    EXPECT_FALSE(set.HasFile());
    EXPECT_EQ(set.location, missing);
}

TEST_F(UrlSetFileTest, LocationsThatAreNotRegularFilesAreRefusedAtOnce) {
    set.SetPrompter(&prompter);
    EXPECT_EQ(set.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, dir.Path().string()), 0);
    std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(set.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Mosaic, fifo), 0);
    EXPECT_EQ(prompter.shown.size(), 2u);
}

// An existing file raises the destination's questions (tests/translate/destination_test.cpp);
// a folder in its place is refused without one.
TEST_F(UrlSetFileTest, CreateNewRefusesAnExistingFolder) {
    set.SetPrompter(&prompter);
    path = dir.File("exists.html");
    ASSERT_EQ(::mkdir(path.c_str(), 0777), 0);
    WriteFile(path + "/keep", "keep");
    EXPECT_EQ(set.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, path), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, FormatString(IDS_SET_EXISTS, {path}));
    EXPECT_EQ(ReadFile(path + "/keep"), "keep");
}

TEST_F(UrlSetFileTest, UnknownFormatFailsQuietly) {
    set.SetPrompter(&prompter);
    EXPECT_EQ(set.Open(UrlSetOpenMode::OpenExisting, FormatOfRow(7), dir.File("x")), 0);
    EXPECT_EQ(set.Read(nullptr), 0);
    EXPECT_EQ(set.Write(), 0);
    EXPECT_TRUE(prompter.shown.empty());
}

// A reader scripted batch by batch: each batch its entries, then what More returns.
class ScriptedStream final : public SetStream {
public:
    struct Batch {
        std::vector<std::pair<UrlEntryKind, std::string>> entries;
        int result;
    };
    explicit ScriptedStream(std::vector<Batch> batches) : batches_(std::move(batches)) {}
    int More(UrlSet& set) override {
        const Batch& batch = batches_.at(next_++);
        for (const auto& [kind, name] : batch.entries) set.Append(new UrlEntry(kind, name, "http://x/" + name));
        return batch.result;
    }

private:
    std::vector<Batch> batches_;
    std::size_t next_ = 0;
};

TEST_F(UrlSetFileTest, StreamedSetIsWrittenAsTheWholeSetAndNeverWhenTheStreamFails) {
    using enum UrlEntryKind;
    const std::vector<ScriptedStream::Batch> batches = {
        {{{FolderStart, "A"}, {Link, "a1"}}, 1},
        {{}, 1},  // a batch may bring nothing
        {{{Link, "a2"}, {FolderEnd, ""}, {FolderStart, "B"}}, 1},
        {{{Link, "b1"}}, 0},  // B is left open, as a truncated file leaves a folder
    };
    UrlSet whole;
    for (const ScriptedStream::Batch& batch : batches) {
        for (const auto& [kind, name] : batch.entries) whole.Append(new UrlEntry(kind, name, "http://x/" + name));
    }
    whole.Append(new UrlEntry(FolderEnd, ""));
    whole.Append(new UrlEntry(FolderEnd, ""));
    ASSERT_EQ(whole.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("whole.html")), 1);
    ASSERT_EQ(whole.Write(), 1);
    whole.Close();

    ScriptedStream stream(batches);
    ASSERT_EQ(set.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("streamed.html")), 1);
    set.Stream(&stream);
    EXPECT_EQ(set.Write(), 1);
    set.Close();
    EXPECT_FALSE(set.StreamFailed());
    EXPECT_EQ(ReadFile(dir.File("streamed.html")), ReadFile(dir.File("whole.html")));

    ScriptedStream failing({batches[0], {{{Link, "a2"}}, -1}});
    ASSERT_EQ(set.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("failed.html")), 1);
    set.Stream(&failing);
    EXPECT_EQ(set.Write(), 0);
    set.Close();
    EXPECT_TRUE(set.StreamFailed());
    EXPECT_FALSE(std::filesystem::exists(dir.File("failed.html")));
}

// Builds FolderStart A, Link a1, FolderEnd, FolderStart B, Link b1, Link b2, Link b3, FolderEnd, FolderEnd.
class UrlSetListTest : public ::testing::Test {
protected:
    void SetUp() override {
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "A"));
        a1 = new UrlEntry(UrlEntryKind::Link, "a1", "http://a1/");
        set.Append(a1);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "B"));
        b1 = new UrlEntry(UrlEntryKind::Link, "b1");
        b2 = new UrlEntry(UrlEntryKind::Link, "b2");
        b3 = new UrlEntry(UrlEntryKind::Link, "b3");
        set.Append(b1);
        set.Append(b2);
        set.Append(b3);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Rewind();
    }
    std::vector<std::string> Walk() {
        std::vector<std::string> seen;
        set.Rewind();
        while (UrlEntry* entry = set.Next()) seen.push_back(entry->name + "@" + set.GetCurrentPath());
        return seen;
    }

    UrlSet set;
    UrlEntry *a1, *b1, *b2, *b3;
};

TEST_F(UrlSetListTest, NextTracksTheFolderPath) {
    EXPECT_EQ(Walk(),
              (std::vector<std::string>{"A@\\A", "a1@\\A", "@", "B@\\B", "b1@\\B", "b2@\\B", "b3@\\B", "@", "@"}));
    EXPECT_EQ(set.Next(), nullptr);
}

TEST_F(UrlSetListTest, FindFolderFollowsPathsAndTreatsBackslashAsTop) {
    EXPECT_EQ(set.FindFolder("\\"), &set.root);
    EXPECT_EQ(set.FindFolder(""), &set.root);
    ASSERT_NE(set.FindFolder("\\B"), nullptr);
    EXPECT_EQ(set.FindFolder("\\B")->name, "B");
    EXPECT_EQ(set.FindFolder("\\b"), nullptr);
    EXPECT_EQ(set.FindFolder("\\C"), nullptr);
}

TEST_F(UrlSetListTest, MoveAfterRelinksBothDirections) {
    EXPECT_EQ(b2->MoveAfter(b3), b1);
    EXPECT_EQ(b1->next, b3);
    EXPECT_EQ(b3->prev, b1);
    EXPECT_EQ(b3->next, b2);
    EXPECT_EQ(b2->prev, b3);
    EXPECT_EQ(b2->next->kind, UrlEntryKind::FolderEnd);
    EXPECT_EQ(b2->next->prev, b2);
    // Only links move, and only to a real target.
    UrlEntry* folderB = set.FindFolder("\\B");
    EXPECT_EQ(folderB->MoveAfter(a1), nullptr);
    EXPECT_EQ(b1->MoveAfter(nullptr), nullptr);
    EXPECT_EQ(a1->next->kind, UrlEntryKind::FolderEnd);
}

TEST_F(UrlSetListTest, RenameAndPreservedLocationKeepHistory) {
    b1->Rename("new", NameTranslated);
    EXPECT_EQ(b1->name, "new");
    EXPECT_EQ(b1->preservedName, "b1");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated);
    b1->SetPreservedLocation("\\B", ChangedByVerification);
    EXPECT_EQ(b1->preservedLocation, "\\B");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated | LocationPreserved | ChangedByVerification);
}

TEST_F(UrlSetListTest, ClearRewindsAndEmpties) {
    set.Next();
    set.Clear();
    EXPECT_EQ(set.root.next, nullptr);
    EXPECT_EQ(set.GetCursor(), &set.root);
    EXPECT_EQ(set.GetCurrentPath(), "");
}

}  // namespace
}  // namespace tolva
