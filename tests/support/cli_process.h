#pragma once
// tolva-cli run as a process, as a script would run it. It is started with posix_spawn: the
// tests that run it also run server threads, and a forked child of a threaded process may
// only call async-signal-safe functions before exec.

#include <sys/types.h>

#include <string>
#include <vector>

namespace tolva::testing {

struct CliOptions {
    // Standard input: the text of a file, or a descriptor when stdinFd is not -1.
    std::string input = {};
    int stdinFd = -1;
    // NAME=value entries that replace or add to the inherited environment.
    std::vector<std::string> environment = {};
};

struct CliResult {
    int exitCode = -1;  // -1 when the process did not exit by itself
    std::string out;
    std::string err;
};

class CliProcess {
public:
    // folder keeps the files "stdin", "stdout" and "stderr" of every run.
    explicit CliProcess(std::string folder) : folder_(std::move(folder)) {}

    // Starts tolva-cli with args; returns its process id, or -1.
    pid_t Start(const std::vector<std::string>& args, const CliOptions& options = {}) const;
    // Waits for the child, at most a bounded time: one that outlives it is killed and fails the test.
    CliResult Finish(pid_t child) const;
    CliResult Run(const std::vector<std::string>& args, const CliOptions& options = {}) const {
        return Finish(Start(args, options));
    }

    std::string OutPath() const { return folder_ + "/stdout"; }
    std::string ErrPath() const { return folder_ + "/stderr"; }

private:
    std::string folder_;
};

}  // namespace tolva::testing
