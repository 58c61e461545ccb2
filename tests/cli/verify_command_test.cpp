// tolva-cli verify driven as a process against a loopback server: exit statuses, the saved
// set, repair answers from standard input and stops by signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/loopback_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tolva {
namespace {

using testing::LoopbackServer;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr auto kChildLimit = std::chrono::seconds(30);

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class VerifyCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    void WriteSet(const std::vector<std::pair<std::string, std::string>>& links) {
        std::string text =
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
            "<DT><H3>Work</H3>\n<DL><p>\n";
        for (const auto& [name, path] : links) text += "<DT><A HREF=\"" + server.Url(path) + "\">" + name + "</A>\n";
        text += "</DL><p>\n</DL><p>\n";
        WriteFile(set, text);
    }

    // Starts tolva-cli (posix_spawn: this process runs server threads, so no fork-and-setenv)
    // with stdin from a file holding input, a settings folder of its own and no proxy.
    // stdinFd, when given, replaces the file as standard input.
    pid_t Start(const std::vector<std::string>& args, const std::string& input = "", int stdinFd = -1) {
        WriteFile(dir.File("stdin"), input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdinFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, dir.File("stdin").c_str(), O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, dir.File("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.File("config"), "no_proxy=*", "NO_PROXY=*"};
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            if (entry.starts_with("XDG_CONFIG_HOME=") || entry.starts_with("no_proxy=") ||
                entry.starts_with("NO_PROXY=")) {
                continue;
            }
            env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> all = {TOLVA_CLI_PATH, "verify", "--format",  "netscape",
                                        "--location",   set,      "--timeout", "5"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t child = -1;
        if (posix_spawn(&child, TOLVA_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) child = -1;
        posix_spawn_file_actions_destroy(&actions);
        return child;
    }

    // Waits (bounded) for the child; one that outlives the limit is killed and fails the test.
    CliResult Finish(pid_t child) {
        CliResult result;
        auto deadline = std::chrono::steady_clock::now() + kChildLimit;
        int status = 0;
        while (child > 0) {
            pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) {
                if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "tolva-cli did not end in time";
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        result.out = ReadFile(dir.File("stdout"));
        result.err = ReadFile(dir.File("stderr"));
        return result;
    }

    CliResult Run(const std::vector<std::string>& args, const std::string& input = "") {
        return Finish(Start(args, input));
    }

    // Waits (bounded) until the child's messages contain text.
    bool WaitForMessage(const std::string& text) {
        for (int turn = 0; turn < 500; ++turn) {
            if (ReadFile(dir.File("stderr")).find(text) != std::string::npos) return true;
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
    CliResult failing = Run({});
    EXPECT_EQ(failing.exitCode, 3) << failing.err;
    EXPECT_NE(failing.out.find("Error: Page not found  Name: dead"), std::string::npos) << failing.out;
    EXPECT_NE(failing.out.find("Verification complete.  2 URLs tested; 1 did not work.\nUpdated URL set saved.\n"),
              std::string::npos)
        << failing.out;
    EXPECT_NE(ReadFile(set).find("<DT><H3>Page not found</H3>"), std::string::npos);
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
    EXPECT_EQ(saved.find("<DT><H3>Error #410</H3>"), std::string::npos) << "an empty line ignores";
    EXPECT_NE(result.out.find("4 URLs tested; 4 did not work."), std::string::npos) << result.out;
}

TEST_F(VerifyCliTest, SignalsStopLikeOkOrCancel) {
    struct Row {
        std::vector<int> signals;
        bool saved;
    };
    const Row rows[] = {{{SIGINT}, true}, {{SIGTERM}, false}, {{SIGHUP}, false}};
    int stalls = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.signals.size());
        WriteSet({{"dead", "/status/404"}, {"stalled", "/stall"}, {"never", "/status/200"}});
        const std::string before = ReadFile(set);
        pid_t child = Start({"--cookies", "run"});
        ASSERT_TRUE(WaitForStall(++stalls));
        for (int number : row.signals) kill(child, number);
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

}  // namespace
}  // namespace tolva
