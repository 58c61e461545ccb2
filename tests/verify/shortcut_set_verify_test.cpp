// Verifying a folder of shortcut files, saved back over itself: failing links move into
// "Unverified" and come back to their folder, with no file left behind or copied.
#include <gtest/gtest.h>

#include <filesystem>

#include "locations/recent_locations.h"
#include "platform/profile_file.h"
#include "platform/settings_store.h"
#include "support/loopback_server.h"
#include "support/recording.h"
#include "support/temp_dir.h"
#include "support/verify_fakes.h"
#include "verify/cookie_policy.h"
#include "verify/verify_command.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RecordingProgressView;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::ScriptedCookieWarning;
using testing::ScriptedRepair;
using testing::TempDir;
using testing::WriteFile;

class ShortcutSetVerifyTest : public ::testing::Test, protected testing::RecordingVerifyFrontEnd {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        favorites = dir.File("Favorites");
        fs::create_directories(favorites + "/Work");
        store.CreateKey(CookiePolicy::Key());
        store.SetBinary(CookiePolicy::Key(), CookiePolicy::ValueName(), {1, 0, 0, 0});
    }
    void WriteLink(const std::string& file, const std::string& urlPath) {
        WriteFile(favorites + "/" + file,
                  "[InternetShortcut]\r\nURL=" + server.Url(urlPath) + "\r\nIconFile=icon.ico\r\n");
    }
    VerifyOutcome Verify(bool renameInPlace) {
        UrlSet set;
        SetStorage storage(set);
        VerifySettings settings;
        settings.format = UrlSetFormat::Shortcuts;
        settings.location = favorites;
        settings.renameInPlace = renameInPlace;
        settings.timeoutSeconds = 5;
        VerifyFrontEnd frontEnd = FrontEnd(store);
        return RunVerification(storage, settings, frontEnd);
    }
    // Every shortcut file below the set's folder.
    std::vector<std::string> Files() {
        std::vector<std::string> out;
        for (const auto& item : fs::recursive_directory_iterator(favorites)) {
            if (item.is_regular_file() && item.path().extension() == ".url")
                out.push_back(item.path().lexically_relative(favorites).string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    testing::LoopbackServer server;
    TempDir dir;
    std::string favorites;
    SettingsStore store{dir.File("registry.reg")};
};

TEST_F(ShortcutSetVerifyTest, FailingLinkMovesOutAndComesBackWithoutCopies) {
    WriteLink("Work/dead.url", "/status/404");
    WriteLink("Work/alive.url", "/status/200");
    ASSERT_TRUE(Verify(false).saved) << status.Current();
    std::vector<std::string> files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1], "Work/alive.url");
    const std::string moved = files[0];
    EXPECT_EQ(moved.rfind("Unverified/", 0), 0u) << moved;
    ProfileFile file;
    ASSERT_TRUE(file.Load(favorites + "/" + moved));
    EXPECT_EQ(file.GetString("Tolva", "PreVfyLocation"), "\\Work");
    EXPECT_EQ(file.GetString("InternetShortcut", "IconFile"), "icon.ico");

    // The site works again: the link goes back where it came from, and nothing stays behind.
    file.SetString("InternetShortcut", "URL", server.Url("/status/200"));
    ASSERT_TRUE(file.Save(favorites + "/" + moved));
    ASSERT_TRUE(Verify(false).saved) << status.Current();
    EXPECT_EQ(Files(), (std::vector<std::string>{"Work/alive.url", "Work/dead.url"}));
    EXPECT_NE(ReadFile(favorites + "/Work/dead.url").find("IconFile=icon.ico"), std::string::npos);
}

TEST_F(ShortcutSetVerifyTest, RenamedInPlaceTwiceStaysOneFileAndGetsItsNameBackWhenItWorks) {
    WriteLink("Work/dead.url", "/status/404");
    for (int run = 0; run < 2; ++run) {
        Verify(true);
        std::vector<std::string> files = Files();
        ASSERT_EQ(files.size(), 1u) << "run " << run;
        EXPECT_EQ(files[0], "Work/dead \xC2\xAD Page not found.url");
    }
    ProfileFile file;
    ASSERT_TRUE(file.Load(favorites + "/" + Files()[0]));
    file.SetString("InternetShortcut", "URL", server.Url("/status/200"));
    ASSERT_TRUE(file.Save(favorites + "/" + Files()[0]));
    const VerifyOutcome outcome = Verify(true);
    EXPECT_TRUE(outcome.saved) << status.Current();
    EXPECT_EQ(outcome.counts.restored, 1);
    EXPECT_EQ(Files(), (std::vector<std::string>{"Work/dead.url"}));
}

// A folder of the Favorites that is a symbolic link to one outside: its failing shortcut stays
// where it is (the save follows no link, so a move would copy it and leave it), the rest of the
// set is saved whole, and a second run finds the same.
TEST_F(ShortcutSetVerifyTest, ShortcutBehindSymbolicLinkStaysAndTheRestIsSaved) {
    const std::string outside = dir.File("Elsewhere");
    fs::create_directories(outside);
    WriteFile(outside + "/dead.url", "[InternetShortcut]\r\nURL=" + server.Url("/status/404") + "\r\n");
    fs::create_directory_symlink(outside, favorites + "/Linked");
    WriteLink("Work/dead.url", "/status/404");
    for (int run = 0; run < 2; ++run) {
        const VerifyOutcome outcome = Verify(false);
        EXPECT_TRUE(outcome.saved) << "run " << run << ": " << status.Current();
        std::vector<std::string> files = Files();
        ASSERT_EQ(files.size(), 1u) << "run " << run;
        EXPECT_EQ(files[0].rfind("Unverified/", 0), 0u) << files[0];
        EXPECT_TRUE(fs::is_regular_file(outside + "/dead.url"));
        EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
        ASSERT_FALSE(prompter.shown.empty());
        EXPECT_NE(prompter.Texts().front().find("symbolic link (1)"), std::string::npos) << prompter.Texts().front();
        prompter.shown.clear();
    }
}

}  // namespace
}  // namespace tolva
