#include "support/cli_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace tolva::testing {

namespace {

constexpr auto kChildLimit = std::chrono::seconds(30);

bool SameName(const std::string& entry, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    return entry.compare(0, equals + 1, assignment, 0, equals + 1) == 0;
}

}  // namespace

pid_t CliProcess::Start(const std::vector<std::string>& args, const CliOptions& options) const {
    const std::string inPath = folder_ + "/stdin";
    const std::string outPath = OutPath();
    const std::string errPath = ErrPath();
    WriteFile(inPath, options.input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.stdinFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.stdinFd, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> env = options.environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& added : options.environment) replaced = replaced || SameName(entry, added);
        if (!replaced) env.push_back(entry);
    }
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::vector<std::string> all = {TOLVA_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t child = -1;
    if (posix_spawn(&child, TOLVA_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

CliResult CliProcess::Finish(pid_t child) const {
    CliResult result;
    const auto deadline = std::chrono::steady_clock::now() + kChildLimit;
    int status = 0;
    while (child > 0) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
            break;
        }
        if (done < 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "tolva-cli did not end in time";
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.out = ReadFile(OutPath());
    result.err = ReadFile(ErrPath());
    return result;
}

}  // namespace tolva::testing
