#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "model/url_set.h"
#include "resources/strings.h"
#include "support/recording.h"
#include "support/temp_dir.h"
#include "translate/destination.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::ShownMessage;
using testing::TempDir;
using testing::WriteFile;

class DestinationTest : public ::testing::Test {
protected:
    int OpenDestination(UrlSetFormat setFormat, const std::string& location, std::initializer_list<bool> answers) {
        prompter.ScriptAnswers(answers);
        set.SetPrompter(&prompter);
        return tolva::OpenDestination(set, setFormat, location);
    }
    static ShownMessage Question(const std::string& text) { return {text, "Tolva 2.0.1", true}; }
    static ShownMessage Message(const std::string& text) { return {text, "Tolva 2.0.1", false}; }
    void ExpectShown(const std::vector<ShownMessage>& expected) { EXPECT_EQ(prompter.shown, expected); }

    TempDir dir;
    RecordingPrompter prompter;
    UrlSet set;
};

TEST_F(DestinationTest, ExistingFileYesKeepsItAsBackup) {
    const std::string path = dir.File("bookmark.htm");
    WriteFile(path, "previous");
    WriteFile(path + ".bak", "older backup");
    ASSERT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {true}), 1);
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP))});
    EXPECT_EQ(ReadFile(path + ".bak"), "previous");
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_TRUE(set.HasFile());
}

TEST_F(DestinationTest, ExistingFileNoReplacesItWithoutCopy) {
    const std::string path = dir.File("links.hot");
    WriteFile(path, "previous");
    ASSERT_EQ(OpenDestination(UrlSetFormat::Mosaic, path, {false}), 1);
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP))});
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

// Regression: Escape on the backup question answered No, which deleted the file without a copy.
TEST_F(DestinationTest, ExistingFileBackupQuestionCancelledChangesNothing) {
    const std::string path = dir.File("bookmark.htm");
    WriteFile(path, "previous");
    EXPECT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {}), 0);
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP)), Message(FormatString(IDS_SET_EXISTS, {path}))});
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

TEST_F(DestinationTest, BackupThatCannotBeMadeLeavesTheFile) {
    const std::string path = dir.File("bookmark.htm");
    WriteFile(path, "previous");
    fs::create_directory(path + ".bak");
    WriteFile(path + ".bak/inside", "x");
    EXPECT_EQ(OpenDestination(UrlSetFormat::Netscape, path, {true}), 0);
    ExpectShown({Question(LoadString(IDS_ASK_BACKUP)), Message(FormatString(IDS_SET_EXISTS, {path}))});
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(ReadFile(path + ".bak/inside"), "x");
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
