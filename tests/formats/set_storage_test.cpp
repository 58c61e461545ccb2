#include "formats/set_storage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "formats/storage_errors.h"
#include "resources/strings.h"
#include "support/failing_file.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::FailingFiles;
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
        ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, path), 1);
    }
    TempDir dir;
    std::string path;
    RecordingPrompter prompter;
    UrlSet set;
    SetStorage storage{set};
};

TEST_F(UrlSetFileTest, OpenOfMissingFileShowsNotFoundWithLocation) {
    set.SetPrompter(&prompter);
    std::string missing = dir.File("no/such.html");
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, missing), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, FormatString(IDS_SET_NOT_FOUND, {missing}));
    EXPECT_EQ(prompter.shown[0].caption, LoadString(IDS_CAPTION));
    EXPECT_FALSE(storage.HasFile());
    EXPECT_EQ(set.location, missing);
}

TEST_F(UrlSetFileTest, LocationsThatAreNotRegularFilesAreRefusedAtOnce) {
    set.SetPrompter(&prompter);
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, dir.Path().string()), 0);
    std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Mosaic, fifo), 0);
    EXPECT_EQ(prompter.shown.size(), 2u);
}

// An existing file raises the destination's questions (tests/translate/destination_test.cpp);
// a folder in its place is refused without one.
TEST_F(UrlSetFileTest, CreateNewRefusesAnExistingFolder) {
    set.SetPrompter(&prompter);
    path = dir.File("exists.html");
    ASSERT_EQ(::mkdir(path.c_str(), 0777), 0);
    WriteFile(path + "/keep", "keep");
    EXPECT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, path), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, FormatString(IDS_SET_FOLDER_IN_THE_WAY, {path}));
    EXPECT_EQ(ReadFile(path + "/keep"), "keep");
}

// Each failure names its cause: it once said "already exists" for a folder that could not be
// written in, and "could not be found" for a file that could not be read.
TEST(StorageFailureTextTest, NamesTheCauseOfEachStep) {
    using enum StorageStep;
    const std::string set = "/d/set.html";
    const struct {
        StorageStep step;
        int error;
        std::string text;
    } cases[] = {
        {Open, ENOENT, FormatString(IDS_SET_NOT_FOUND, {set})},
        {Open, EACCES, FormatString(IDS_SET_NOT_PERMITTED, {set})},
        {Open, EISDIR, FormatString(IDS_SET_IS_FOLDER, {set})},
        {Open, ENOTDIR, FormatString(IDS_SET_IS_FILE, {set})},
        {Create, EEXIST, FormatString(IDS_SET_EXISTS, {set})},
        {Create, EISDIR, FormatString(IDS_SET_FOLDER_IN_THE_WAY, {set})},
        {Create, EROFS, FormatString(IDS_SET_FOLDER_READ_ONLY, {set, "/d"})},
        {Create, ENOENT, FormatString(IDS_SET_FOLDER_MISSING, {set, "/d"})},
        {Create, ENOSPC, FormatString(IDS_ERR_CREATING_FILE, {ENOSPC, set})},
        {SaveBack, EACCES, FormatString(IDS_SET_NOT_SAVED_FOLDER, {set, "/d"})},
        {SaveBack, EIO, FormatString(IDS_ERR_SAVING_FILE, {EIO, set})},
        {SaveBackFolder, EROFS, FormatString(IDS_SHORTCUTS_NOT_SAVED_FOLDER, {set})},
        {SaveBackFolder, ENOSPC, FormatString(IDS_ERR_WRITING_SHORTCUT, {ENOSPC, set})},
        {WriteShortcut, EACCES, FormatString(IDS_SHORTCUT_FOLDER_READ_ONLY, {set, "/d"})},
        {WriteShortcut, ELOOP, FormatString(IDS_ERR_WRITING_SHORTCUT, {ELOOP, set})},
    };
    for (const auto& c : cases) EXPECT_EQ(StorageFailureText(c.step, c.error, set), c.text) << c.error;
}

TEST_F(UrlSetFileTest, FolderThatTakesNoFileIsNamedAsSuchOnCreateAndOnSaveBack) {
    set.SetPrompter(&prompter);
    storage.SetFileFactory(FailingFiles({.createErrno = EACCES}));
    path = dir.File("new.html");
    EXPECT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, path), 0);
    WriteFile(dir.File("old.html"), "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DT><A HREF=\"u\">x</A>\n");
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, dir.File("old.html")), 1);
    EXPECT_EQ(storage.CanWriteBack(), 0);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{
                                    FormatString(IDS_SET_FOLDER_READ_ONLY, {path, dir.Path().string()}),
                                    FormatString(IDS_SET_NOT_SAVED_FOLDER, {dir.File("old.html"), dir.Path().string()}),
                                }));
}

// A file in another format was read as the chosen one: as an empty bookmark file, or failing
// with the reader's complaint about its syntax.
TEST_F(UrlSetFileTest, FileOfAnotherFormatOrOfNoneIsNamedForWhatItIs) {
    set.SetPrompter(&prompter);
    const std::string bookmarks = dir.File("bookmarks.html");
    WriteFile(bookmarks, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DT><A HREF=\"u\">x</A>\n");
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Xbel, bookmarks), 0);
    const std::string notes = dir.File("notes.html");
    WriteFile(notes, "Buy milk.\n");
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, notes), 1);
    EXPECT_EQ(storage.Read(nullptr), 0);
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{
                  FormatString(IDS_SET_OTHER_FORMAT, {bookmarks, "Netscape Navigator bookmarks", "XBEL bookmarks"}),
                  FormatString(IDS_SET_NOT_BOOKMARKS, {notes, "Netscape Navigator bookmarks"}),
              }));
}

TEST_F(UrlSetFileTest, UnknownFormatFailsQuietly) {
    set.SetPrompter(&prompter);
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, FormatNumbered(99), dir.File("x")), 0);
    EXPECT_EQ(storage.Read(nullptr), 0);
    EXPECT_EQ(storage.Write(), 0);
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
    SetStorage wholeStorage(whole);
    for (const ScriptedStream::Batch& batch : batches) {
        for (const auto& [kind, name] : batch.entries) whole.Append(new UrlEntry(kind, name, "http://x/" + name));
    }
    whole.Append(new UrlEntry(FolderEnd, ""));
    whole.Append(new UrlEntry(FolderEnd, ""));
    ASSERT_EQ(wholeStorage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("whole.html")), 1);
    ASSERT_EQ(wholeStorage.Write(), 1);
    wholeStorage.Close();

    ScriptedStream stream(batches);
    ASSERT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("streamed.html")), 1);
    storage.Stream(&stream);
    EXPECT_EQ(storage.Write(), 1);
    storage.Close();
    EXPECT_FALSE(storage.StreamFailed());
    EXPECT_EQ(ReadFile(dir.File("streamed.html")), ReadFile(dir.File("whole.html")));

    ScriptedStream failing({batches[0], {{{Link, "a2"}}, -1}});
    ASSERT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, dir.File("failed.html")), 1);
    storage.Stream(&failing);
    EXPECT_EQ(storage.Write(), 0);
    storage.Close();
    EXPECT_TRUE(storage.StreamFailed());
    EXPECT_FALSE(std::filesystem::exists(dir.File("failed.html")));
}

}  // namespace
}  // namespace tolva
