// tolva-cli translate between the bookmark file, hotlist and shortcut-folder formats, with the
// destination's questions answered by --yes and --no.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class TranslateFormatsCliTest : public ::testing::Test {
protected:
    // Runs tolva-cli translate with args (empty stdin, its own settings folder) and returns its
    // exit code; what it printed is kept in output.
    int Translate(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"translate"};
        all.insert(all.end(), args.begin(), args.end());
        testing::CliResult result = cli.Run(all, {.environment = {"XDG_CONFIG_HOME=" + dir.File("config")}});
        output += result.out + result.err;
        return result.exitCode;
    }

    TempDir dir;
    testing::CliProcess cli{dir.Path().string()};
    std::string output;
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
        << output;
    EXPECT_EQ(ReadFile(favorites + "/Tools/Q&A- News.url"),
              "[InternetShortcut]\r\nURL=http://q/\r\n[Tolva]\r\nPreVfyName=Q&&A: News\r\n");

    const std::string hotlist = dir.File("links.hot");
    WriteFile(hotlist, "older hotlist");
    ASSERT_EQ(Translate({"--source-format", "shortcuts", "--source", favorites, "--destination-format", "mosaic",
                         "--destination", hotlist, "--yes"}),
              0)
        << output;
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
