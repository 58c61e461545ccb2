// tolva-cli locations: the sets the pages' location lists offer, for a script.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

// A Firefox profile's backups are listed beside its store, each line naming its format; a
// format with nothing found exits 1.
TEST(LocationsCommandTest, ListsFirefoxBackupsBesideTheStore) {
    testing::TempDir dir;
    const std::string profile = dir.File("home/.mozilla/firefox/p.default");
    std::filesystem::create_directories(profile + "/bookmarkbackups");
    testing::WriteFile(dir.File("home/.mozilla/firefox/profiles.ini"), "[Profile0]\nPath=p.default\n");
    testing::WriteFile(profile + "/places.sqlite", "x");
    testing::WriteFile(profile + "/bookmarkbackups/bookmarks-2026-12-08_3_a.jsonlz4", "x");
    const testing::CliProcess cli(dir.Path().string());
    const testing::CliOptions options{.environment = {"HOME=" + dir.File("home")}};

    testing::CliResult result = cli.Run({"locations", "--format", "firefox-backup"}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "firefox-backup\t" + profile + "/bookmarkbackups/bookmarks-2026-12-08_3_a.jsonlz4\n");
    result = cli.Run({"locations", "--format", "firefox"}, options);
    EXPECT_EQ(result.out, "firefox\t" + profile + "/places.sqlite\n");
    EXPECT_EQ(cli.Run({"locations", "--format", "xbel"}, options).exitCode, 1);
}

}  // namespace
}  // namespace tolva
