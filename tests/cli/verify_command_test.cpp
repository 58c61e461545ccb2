// tolva-cli verify driven as a process against a loopback server: exit statuses, the saved
// set, repair answers from standard input and stops by signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/cli_process.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::CliResult;
using testing::LoopbackServer;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class VerifyCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    void WriteSet(const std::vector<std::pair<std::string, std::string>>& links) {
        WriteFile(set, testing::WorkBookmarks(server, links));
    }

    // Starts tolva-cli verify on the set with stdin from a file holding input (or from stdinFd),
    // a settings folder of its own and no proxy.
    pid_t Start(const std::vector<std::string>& args, const std::string& input = "", int stdinFd = -1) {
        std::vector<std::string> all = {"verify", "--format", "netscape", "--location", set, "--timeout", "5"};
        all.insert(all.end(), args.begin(), args.end());
        return cli.Start(all, {.input = input,
                               .stdinFd = stdinFd,
                               .environment = {"XDG_CONFIG_HOME=" + dir.File("config"), "no_proxy=*", "NO_PROXY=*"}});
    }
    CliResult Finish(pid_t child) { return cli.Finish(child); }
    CliResult Run(const std::vector<std::string>& args, const std::string& input = "") {
        return Finish(Start(args, input));
    }

    // Waits (bounded) until the child's messages contain text.
    bool WaitForMessage(const std::string& text) {
        for (int turn = 0; turn < 500; ++turn) {
            if (ReadFile(cli.ErrPath()).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Waits (bounded) until the child's request to /stall has reached the server.
    bool WaitForStall(int count) {
        for (int turn = 0; turn < 500; ++turn) {
            if (server.StallsStarted() >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    LoopbackServer server;
    TempDir dir;
    testing::CliProcess cli{dir.Path().string()};
    std::string set = dir.File("bookmarks.html");
};

TEST_F(VerifyCliTest, ExitStatusTellsHowTheRunEnded) {
    WriteSet({{"alive", "/status/200"}});
    CliResult clean = Run({"--cookies", "run"});
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_NE(clean.out.find("Verification complete.  1 URLs tested; 0 did not work.\nCurrent URL set unchanged.\n"),
              std::string::npos)
        << clean.out;

    WriteSet({{"dead", "/status/404"}, {"alive", "/status/200"}});
    const std::string unverified = ReadFile(set);
    CliResult failing = Run({});
    EXPECT_EQ(failing.exitCode, 3) << failing.err;
    EXPECT_NE(failing.out.find("Error: Page not found  Name: dead"), std::string::npos) << failing.out;
    EXPECT_NE(failing.out.find("Verification complete.  2 URLs tested; 1 did not work.\nUpdated URL set saved.\n"),
              std::string::npos)
        << failing.out;
    EXPECT_NE(ReadFile(set).find("<DT><H3>Page not found</H3>"), std::string::npos);
    EXPECT_EQ(ReadFile(set + ".bak"), unverified);
    // Saved in place, the file keeps its own title over a heading worded otherwise.
    EXPECT_NE(ReadFile(set).find("<Title>Bookmarks</Title>\r\n<H1>Bookmarks Menu</H1>"), std::string::npos);
    // Without a terminal the warning took its preselected answer, undone after the run.
    EXPECT_NE(ReadFile(dir.File("config/tolva/registry.reg")).find("\"AllowCookies\"=hex:00,00,00,00"),
              std::string::npos);

    std::filesystem::remove(set);
    CliResult missing = Run({});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Tolva: Verify was unable to open the URL set."), std::string::npos) << missing.err;

    EXPECT_EQ(Run({"--timeout", "121"}).exitCode, 2);
    EXPECT_EQ(Run({"--cookies", "sometimes"}).exitCode, 2);
}

TEST_F(VerifyCliTest, MostLinksFailingAreMovedOnlyWithAYes) {
    std::vector<std::pair<std::string, std::string>> links;
    for (int i = 0; i < 20; ++i) links.emplace_back("link" + std::to_string(i), i < 15 ? "/status/404" : "/status/200");
    WriteSet(links);
    const std::string before = ReadFile(set);
    CliResult unanswered = Run({"--cookies", "run"});
    EXPECT_EQ(unanswered.exitCode, 4) << unanswered.err;
    EXPECT_NE(unanswered.err.find("15 of 20 links did not work. Move them anyway?"), std::string::npos) << unanswered.err;
    EXPECT_NE(unanswered.err.find("Run again with --yes"), std::string::npos) << unanswered.err;
    EXPECT_EQ(ReadFile(set), before);
    EXPECT_EQ(Run({"--cookies", "run", "--no"}).exitCode, 4);
    EXPECT_EQ(ReadFile(set), before);
    CliResult yes = Run({"--cookies", "run", "--yes", "--no-backup"});
    EXPECT_EQ(yes.exitCode, 3) << yes.err;
    EXPECT_NE(ReadFile(set).find("<DT><H3>Page not found</H3>"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(set + ".bak"));
}

TEST_F(VerifyCliTest, RepairLinesRepairIgnoreOrReject) {
    WriteSet({{"repaired", "/status/404"},
              {"ignored", "/status/410"},
              {"rejected", "/status/500"},
              {"unanswered", "/status/403"}});
    CliResult result = Run({"--repair", "--cookies", "always"}, server.Url("/status/200") + "\n\n-\n");
    EXPECT_EQ(result.exitCode, 3) << result.err;
    const std::string saved = ReadFile(set);
    EXPECT_NE(saved.find("HREF=\"" + server.Url("/status/200") + "\">repaired"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<DT><H3>Internal server error</H3>"), std::string::npos);
    EXPECT_NE(saved.find("<DT><H3>Forbidden</H3>"), std::string::npos) << "end of input rejects";
    EXPECT_EQ(saved.find("<DT><H3>Gone</H3>"), std::string::npos) << "an empty line ignores";
    EXPECT_NE(result.out.find("4 URLs tested; 3 did not work, 1 repaired."), std::string::npos) << result.out;
}

TEST_F(VerifyCliTest, EnterTakesTheArchivedCopyProposedForADeadLink) {
    WriteSet({{"dead", "/status/404"}});
    EXPECT_EQ(Run({"--archive-url", server.Url("/")}).exitCode, 2) << "the archive is asked only with --suggest-archive";
    CliResult result =
        Run({"--repair", "--cookies", "run", "--suggest-archive", "--archive-url", server.Url("/")}, "\n");
    const std::string copy = server.Url("/web/20200101000000id_/" + server.Url("/status/404"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Archived copy: " + copy), std::string::npos) << result.err;
    EXPECT_NE(ReadFile(set).find("HREF=\"" + copy + "\">dead"), std::string::npos) << ReadFile(set);
}

TEST_F(VerifyCliTest, SignalsStopLikeOkOrCancel) {
    struct Row {
        std::vector<int> signals;
        bool saved;
    };
    // The second Ctrl+C of the last row comes while the run is stopping, before the save.
    const Row rows[] = {{{SIGINT}, true}, {{SIGTERM}, false}, {{SIGHUP}, false}, {{SIGINT, SIGINT}, false}};
    int stalls = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.signals.size());
        WriteSet({{"dead", "/status/404"}, {"stalled", "/stall"}, {"never", "/status/200"}});
        const std::string before = ReadFile(set);
        pid_t child = Start({"--cookies", "run"});
        ASSERT_TRUE(WaitForStall(++stalls));
        for (int number : row.signals) {
            kill(child, number);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        CliResult result = Finish(child);
        EXPECT_EQ(result.exitCode, 4) << result.err;
        EXPECT_EQ(ReadFile(set) != before, row.saved);
        EXPECT_NE(result.out.find(row.saved ? "Verification imcomplete.  1 URLs tested; 1 did not work.\nUpdated"
                                            : "Verification canceled.  1 URLs tested; 1 did not work.\nCurrent"),
                  std::string::npos)
            << result.out;
    }
    EXPECT_EQ(server.Hits("/status/200"), 0);
}

TEST_F(VerifyCliTest, SkipOptionsRepeatAFolderPathNeedsItsBackslashAndAFolderNotInTheSetIsNamed) {
    WriteSet({{"dead", "/status/404"}, {"gone", "/status/410"}, {"alive", "/status/200"}});
    CliResult noBackslash = Run({"--skip-folder", "Work"});
    EXPECT_EQ(noBackslash.exitCode, 2) << noBackslash.err;
    CliResult patterns = Run({"--skip", "*/status/404", "--skip", "*410"});
    EXPECT_EQ(patterns.exitCode, 0) << patterns.err;
    EXPECT_NE(patterns.out.find("1 URLs tested; 0 did not work.  2 skipped as asked."), std::string::npos)
        << patterns.out;
    CliResult folder = Run({"--skip-folder", "\\Work\\", "--skip-folder", "\\Nowhere"});
    EXPECT_NE(folder.out.find("0 URLs tested; 0 did not work.  3 skipped as asked."), std::string::npos) << folder.out;
    EXPECT_NE(folder.err.find("no folder \\Nowhere in " + set), std::string::npos) << folder.err;
    EXPECT_EQ(folder.err.find("no folder \\Work"), std::string::npos) << folder.err;
    EXPECT_EQ(server.Hits("/status/404") + server.Hits("/status/410"), 0);
    EXPECT_EQ(server.Hits("/status/200"), 1);
}

TEST_F(VerifyCliTest, HelpShowsTheLimitOfARequest) {
    CliResult help = cli.Run({"verify", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("three times the time-out in all (300 s at 0)"), std::string::npos) << help.out;
}

TEST_F(VerifyCliTest, SecondCtrlCCancelsWhileTheRepairQuestionWaits) {
    WriteSet({{"dead", "/status/404"}, {"never", "/status/200"}});
    const std::string before = ReadFile(set);
    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    pid_t child = Start({"--repair", "--cookies", "run"}, "", input[0]);
    close(input[0]);
    ASSERT_TRUE(WaitForMessage("New URL"));
    kill(child, SIGINT);
    // The first Ctrl+C leaves the question open; the second cancels.
    ASSERT_TRUE(WaitForMessage("Press Ctrl+C again"));
    kill(child, SIGINT);
    CliResult result = Finish(child);
    close(input[1]);
    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_EQ(ReadFile(set), before);
    EXPECT_NE(result.out.find("Verification canceled."), std::string::npos) << result.out;
    EXPECT_EQ(server.Hits("/status/200"), 0);
}

TEST_F(VerifyCliTest, VerboseGivesEveryStatusTextALineOfItsOwn) {
    WriteSet({{"dead", "/status/404"}, {"alive", "/status/200"}});
    CliResult quiet = Run({"--cookies", "run", "--dry-run"});
    EXPECT_EQ(quiet.out.find("Testing link"), std::string::npos) << quiet.out;
    CliResult verbose = Run({"--cookies", "run", "--dry-run", "--verbose"});
    EXPECT_EQ(verbose.exitCode, 3) << verbose.err;
    EXPECT_NE(verbose.out.find("Testing link 1 of 2.\nStarting\nResolving host name to get IP #\n"), std::string::npos)
        << verbose.out;
    EXPECT_NE(verbose.out.find("\nTesting link 2 of 2.\nStarting\n"), std::string::npos) << verbose.out;
    EXPECT_NE(verbose.out.find("Dry run: the URL set was not saved."), std::string::npos) << verbose.out;
}

// "verify --location s.html --report s.html" wrote its CSV report over the set: every link lost.
// A report over the set, under any of its names or inside a set kept as a folder, or one that
// cannot be written, ends the command before the first request.
TEST_F(VerifyCliTest, ReportOverTheSetOrUnwritableIsRefusedBeforeAnyRequest) {
    WriteSet({{"dead", "/status/404"}});
    const std::string before = ReadFile(set);
    std::filesystem::create_symlink(set, dir.File("link.html"));
    std::filesystem::create_hard_link(set, dir.File("same.json"));
    std::filesystem::create_directory(dir.File("favorites"));
    const std::string favorites = dir.File("favorites");
    struct Row {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string overSet = "it would replace the URL set being verified";
    const Row rows[] = {
        {{"--report", set}, overSet},
        {{"--report", dir.File("./bookmarks.html"), "--dry-run"}, overSet},
        {{"--report", dir.File("link.html")}, overSet},
        {{"--report", dir.File("same.json")}, overSet},
        {{"--report", dir.File("missing/report.csv")}, "unable to write the report"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[1]);
        CliResult result = Run(row.args);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
    }
    CliResult inFolder =
        cli.Run({"verify", "--format", "shortcuts", "--location", favorites, "--report", favorites + "/report.csv"},
                {.environment = {"XDG_CONFIG_HOME=" + dir.File("config")}});
    EXPECT_EQ(inFolder.exitCode, 2) << inFolder.err;
    EXPECT_EQ(ReadFile(set), before);
    EXPECT_EQ(server.Hits("/status/404"), 0);
}

}  // namespace
}  // namespace tolva
