// tolva-cli merge driven as a process, as a script would run it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::CliResult;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(MergeCommandTest, MergesPrefixedAndGuessedSourcesReportsGroupsAndNamesAnUnreadableSource) {
    TempDir dir;
    const testing::CliProcess cli(dir.Path().string());
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + dir.File("config")};
    // A bookmark file under a name that says nothing of its format, and one that does.
    WriteFile(dir.File("old.txt"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"https://example.com/a\">A</A>\n"
              "<DT><H3>Work</H3>\n<DL><p>\n<DT><A HREF=\"https://example.com/a\">A at work</A>\n</DL><p>\n</DL><p>\n");
    WriteFile(dir.File("new.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"HTTPS://EXAMPLE.COM/a\">A, again</A>\n"
              "<DT><A HREF=\"https://example.com/b\">B</A>\n</DL><p>\n");
    const std::string out = dir.File("out.html");
    CliResult merged = cli.Run({"merge", "netscape:" + dir.File("old.txt"), dir.File("new.html"), "--destination", out,
                                "--duplicates", "first", "--report", dir.File("groups.csv")},
                               {.environment = environment});
    EXPECT_EQ(merged.exitCode, 0) << merged.err;
    EXPECT_NE(merged.out.find("2 sets merged: 2 links in 1 folders; 1 duplicates merged, 1 left out of other folders"),
              std::string::npos)
        << merged.out;
    EXPECT_EQ(ReadFile(dir.File("groups.csv")),
              "group,set,folder,name,url,outcome,kept_in\r\n"
              "1," + dir.File("old.txt") + ",,A,https://example.com/a,kept,\r\n"
              "1," + dir.File("old.txt") + ",\\Work,A at work,https://example.com/a,left out,\r\n"
              "1," + dir.File("new.html") + ",,\"A, again\",HTTPS://EXAMPLE.COM/a,merged,\r\n");

    std::filesystem::remove(out);
    CliResult failed =
        cli.Run({"merge", dir.File("new.html"), dir.File("missing.html"), "--destination", out, "--destination-format",
                 "netscape"},
                {.environment = environment});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find(dir.File("missing.html")), std::string::npos) << failed.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace tolva
