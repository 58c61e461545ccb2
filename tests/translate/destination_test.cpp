#include "translate/destination.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "resources/strings.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::ShownMessage;
using testing::TempDir;
using testing::Tree;
using testing::WriteFile;

class DestinationTest : public ::testing::Test {
protected:
    int OpenDestination(UrlSetFormat setFormat, const std::string& location, std::initializer_list<bool> answers) {
        prompter.ScriptAnswers(answers);
        set.SetPrompter(&prompter);
        return tolva::OpenDestination(storage, setFormat, location);
    }
    static ShownMessage Question(const std::string& text) { return {text, LoadString(IDS_CAPTION), true}; }
    static ShownMessage Message(const std::string& text) { return {text, LoadString(IDS_CAPTION), false}; }
    void ExpectShown(const std::vector<ShownMessage>& expected) { EXPECT_EQ(prompter.shown, expected); }

    TempDir dir;
    RecordingPrompter prompter;
    UrlSet set;
    SetStorage storage{set};
};

// The file in the way keeps its old content until the new set is written whole over it.
TEST_F(DestinationTest, ExistingFileIsReplacedOnlyWhenWrittenAndYesKeepsItAsBackup) {
    for (bool keepCopy : {true, false}) {
        TempDir folder;
        const std::string path = folder.File("bookmark.htm");
        WriteFile(path, "previous");
        WriteFile(path + ".bak", "older backup");
        prompter.shown.clear();
        ASSERT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {keepCopy}), 1);
        ExpectShown({Question(LoadString(IDS_ASK_BACKUP))});
        EXPECT_TRUE(storage.HasFile());
        EXPECT_EQ(ReadFile(path), "previous");
        EXPECT_EQ(ReadFile(path + ".bak"), keepCopy ? "previous" : "older backup");
        ASSERT_EQ(storage.Write(), 1);
        storage.Close();
        EXPECT_TRUE(ReadFile(path).starts_with("<!DOCTYPE NETSCAPE-Bookmark-file-1>")) << ReadFile(path);
        EXPECT_EQ(ReadFile(path + ".bak"), keepCopy ? "previous" : "older backup");
        EXPECT_EQ(Tree(folder.Path()), (std::vector<std::string>{"bookmark.htm", "bookmark.htm.bak"}));
    }
}

// Regression: a symbolic link as the destination was replaced by a regular file, and its
// backup was the old link.
TEST_F(DestinationTest, SymbolicLinkIsWrittenThroughAndItsTargetBackedUp) {
    fs::create_directory(dir.Path() / "real");
    const std::string target = dir.File("real/bookmarks.html");
    WriteFile(target, "previous");
    const std::string link = dir.File("link.html");
    fs::create_symlink(target, link);
    ASSERT_EQ(OpenDestination(UrlSetFormat::Netscape, link, {true}), 1);
    ASSERT_EQ(storage.Write(), 1);
    storage.Close();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_TRUE(ReadFile(target).starts_with("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    EXPECT_FALSE(fs::is_symlink(link + ".bak"));
    EXPECT_EQ(ReadFile(link + ".bak"), "previous");
    EXPECT_EQ(Tree(dir.Path()),
              (std::vector<std::string>{"link.html", "link.html.bak", "real/", "real/bookmarks.html"}));
}

// Regression: Escape on the backup question answered No, which deleted the file without a copy;
// then it showed that the file already exists.
TEST_F(DestinationTest, ExistingFileBackupQuestionCancelledChangesAndShowsNothing) {
    const std::string path = dir.File("bookmark.htm");
    WriteFile(path, "previous");
    EXPECT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {}), 0);
    EXPECT_TRUE(storage.OpenCanceled());
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP))});
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

TEST_F(DestinationTest, BackupThatCannotBeMadeLeavesTheFileAndSaysSo) {
    const std::string path = dir.File("bookmark.htm");
    WriteFile(path, "previous");
    fs::create_directory(path + ".bak");
    WriteFile(path + ".bak/inside", "x");
    EXPECT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {true}), 0);
    EXPECT_FALSE(storage.OpenCanceled());
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP)),
                 {FormatString(IDS_ERR_KEEPING_BACKUP, {EISDIR, path + ".bak"}), "Tolva", false}});
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(Tree(dir.Path()),
              (std::vector<std::string>{"bookmark.htm", "bookmark.htm.bak/", "bookmark.htm.bak/inside"}));
}

TEST_F(DestinationTest, ExistingShortcutFolderAsksBeforeUse) {
    const std::string folder = dir.File("Favorites");
    fs::create_directory(folder);
    const ShownMessage ask = Question(FormatString(IDS_ASK_USE_FOLDER, {folder}));
    EXPECT_EQ(OpenDestination(UrlSetFormat::Shortcuts, folder, {false}), 0);
    ExpectShown({ask});
    prompter.shown.clear();
    EXPECT_EQ(OpenDestination(UrlSetFormat::Shortcuts, folder, {true}), 1);
    ExpectShown({ask});
}

TEST_F(DestinationTest, MissingShortcutFolderIsCreatedOneLevelOnYes) {
    struct Case {
        std::string folder;
        bool answer;
        int result;
    };
    for (const Case& c :
         {Case{dir.File("New"), true, 1}, Case{dir.File("Refused"), false, 0}, Case{dir.File("Two/Levels"), true, 0}}) {
        prompter.shown.clear();
        EXPECT_EQ(OpenDestination(UrlSetFormat::Shortcuts, c.folder, {c.answer}), c.result) << c.folder;
        std::vector<ShownMessage> expected{Question(FormatString(IDS_ASK_CREATE_FOLDER, {c.folder}))};
        if (c.result == 0) expected.push_back(Message(FormatString(IDS_SET_NOT_FOUND, {c.folder})));
        ExpectShown(expected);
        EXPECT_EQ(fs::is_directory(c.folder), c.result == 1) << c.folder;
    }
}

}  // namespace
}  // namespace tolva
