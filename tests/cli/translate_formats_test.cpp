// tolva-cli translate between the bookmark file, hotlist and shortcut-folder formats, with the
// destination's questions answered by --yes and --no.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class TranslateFormatsCliTest : public ::testing::Test {
protected:
    // Runs tolva-cli translate with args (stdin from /dev/null, its own settings folder) and
    // returns its exit code.
    int Translate(const std::vector<std::string>& args) {
        pid_t child = ::fork();
        if (child == 0) {
            int in = ::open("/dev/null", O_RDONLY);
            int out = ::open(dir.File("output").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (in < 0 || out < 0) ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(TOLVA_CLI_PATH), const_cast<char*>("translate")};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(TOLVA_CLI_PATH, argv.data());
            ::_exit(127);
        }
        int status = 0;
        if (child <= 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    TempDir dir;
};

TEST_F(TranslateFormatsCliTest, BookmarksToShortcutsToHotlist) {
    const std::string bookmarks = dir.File("bookmarks.html");
    WriteFile(bookmarks,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>Tools</H3>\n<DL><p>\n"
              "<DT><A HREF=\"http://q/\">Q&&A: News</A>\n</DL><p>\n</DL><p>\n");
    const std::string favorites = dir.File("Favorites");
    ASSERT_EQ(Translate({"--source-format", "netscape", "--source", bookmarks, "--destination-format", "shortcuts",
                         "--destination", favorites, "--yes"}),
              0)
        << ReadFile(dir.File("output"));
    EXPECT_EQ(ReadFile(favorites + "/Tools/Q&A- News.url"),
              "[InternetShortcut]\r\nURL=http://q/\r\n[Tolva]\r\nPreVfyName=Q&&A: News\r\n");

    const std::string hotlist = dir.File("links.hot");
    WriteFile(hotlist, "older hotlist");
    ASSERT_EQ(Translate({"--source-format", "shortcuts", "--source", favorites, "--destination-format", "mosaic",
                         "--destination", hotlist, "--yes"}),
              0)
        << ReadFile(dir.File("output"));
    EXPECT_EQ(ReadFile(hotlist + ".bak"), "older hotlist");
    EXPECT_NE(ReadFile(hotlist).find("Sublist\r\nTools\r\n{\r\nItem\r\nQ&&A- News\r\nhttp://q/\r\n}\r\n"),
              std::string::npos);
}

TEST_F(TranslateFormatsCliTest, NoLeavesExistingFolderAndMissingFolderAlone) {
    const std::string hotlist = dir.File("links.hot");
    WriteFile(hotlist, "Hotlist\n\n{\nItem\nA\nhttp://a/\n}\n");
    const std::string existing = dir.File("Existing");
    fs::create_directory(existing);
    EXPECT_EQ(Translate({"--source-format", "mosaic", "--source", hotlist, "--destination-format", "shortcuts",
                         "--destination", existing, "--no"}),
              1);
    EXPECT_TRUE(fs::is_empty(existing));
    const std::string missing = dir.File("Missing");
    EXPECT_EQ(Translate({"--source-format", "mosaic", "--source", hotlist, "--destination-format", "shortcuts",
                         "--destination", missing, "--no"}),
              1);
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace tolva
