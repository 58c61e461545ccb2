// tolva-cli translate between the bookmark file, hotlist and shortcut-folder formats, with the
// destination's questions answered by --yes and --no.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_process.h"
#include "support/places_builder.h"
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
    // The name comes back as it was before it was made a file name, unless asked not to.
    EXPECT_NE(ReadFile(hotlist).find("Sublist\r\nTools\r\n{\r\nItem\r\nQ&&A: News\r\nhttp://q/\r\n}\r\n"),
              std::string::npos);
    const std::string asFiles = dir.File("as-files.hot");
    ASSERT_EQ(Translate({"--source-format", "shortcuts", "--source", favorites, "--destination-format", "mosaic",
                         "--destination", asFiles, "--no-restore-names"}),
              0)
        << output;
    EXPECT_NE(ReadFile(asFiles).find("Item\r\nQ&&A- News\r\nhttp://q/\r\n"), std::string::npos);
}

// Without --source-format or --destination-format the format is guessed from the location's
// name, else its first bytes, and the command says which it took; a location it cannot place
// is a usage error that names the formats.
TEST_F(TranslateFormatsCliTest, FormatsLeftOutAreGuessedFromTheLocation) {
    const std::string chromium = dir.File("Bookmarks");
    WriteFile(chromium,
              "{\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"Bookmarks bar\", \"children\": "
              "[{\"type\": \"url\", \"name\": \"C\", \"url\": \"http://c/\"}]}}}");
    testing::MakeSamplePlaces(dir.File("places.sqlite"));
    fs::copy_file(dir.File("places.sqlite"), dir.File("store"));  // no telling name: its first bytes
    WriteFile(dir.File("any.txt"), "<?xml version=\"1.0\"?>\n<xbel><bookmark href=\"http://x/\"/></xbel>\n");
    WriteFile(dir.File("list.txt"), "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"http://l/\">L</A>\n</DL><p>\n");
    WriteFile(dir.File("page.html"), "<!DOCTYPE html>\n<ul><li><a href=\"http://p/\" time_added=\"7\">P</a></li></ul>\n");
    fs::create_directory(dir.File("Favorites"));
    struct Row {
        std::string source;
        std::string destination;
        std::string said;
    };
    const Row rows[] = {
        {chromium, dir.File("out1.html"), "Bookmarks is taken as chromium (from its name)"},
        {dir.File("places.sqlite"), dir.File("out2.xbel"), "places.sqlite is taken as firefox (from its name)"},
        {dir.File("store"), dir.File("out3.hot"), "store is taken as firefox (from its first bytes)"},
        {dir.File("any.txt"), dir.File("out4.htm"), "any.txt is taken as xbel (from its first bytes)"},
        {dir.File("list.txt"), dir.File("Favorites"), "list.txt is taken as netscape (from its first bytes)"},
        {dir.File("out2.xbel"), dir.File("sub") + "/Bookmarks", "out2.xbel is taken as xbel (from its name)"},
        {dir.File("Favorites"), dir.File("out5.html"), "Favorites is taken as shortcuts (it is a folder)"},
        {dir.File("page.html"), dir.File("out6.html"), "page.html is taken as link-page (from its first bytes)"},
    };
    fs::create_directory(dir.File("sub"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source + " -> " + row.destination);
        output.clear();
        EXPECT_EQ(Translate({"--source", row.source, "--destination", row.destination, "--yes"}), 0) << output;
        EXPECT_NE(output.find(row.said), std::string::npos) << output;
    }
    EXPECT_NE(ReadFile(dir.File("out1.html")).find("HREF=\"http://c/\""), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("sub") + "/Bookmarks").find("\"roots\""), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("out6.html")).find("<DT><A HREF=\"http://p/\" ADD_DATE=\"7\">P</A>"), std::string::npos);

    output.clear();
    WriteFile(dir.File("notes.txt"), "plain words");
    EXPECT_EQ(Translate({"--source", dir.File("notes.txt"), "--destination", dir.File("o.html")}), 2);
    EXPECT_NE(output.find("give --source-format (mosaic, netscape, shortcuts, xbel, chromium"), std::string::npos)
        << output;
    output.clear();
    EXPECT_EQ(Translate({"--source", chromium, "--destination", dir.File("o.unknown")}), 2);
    EXPECT_NE(output.find("give --destination-format"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(dir.File("o.unknown")));
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
