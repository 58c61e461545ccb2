// Times the Netscape -> Netscape translation of a large bookmark file through tolva-cli next
// to cp of the same file, alternating the two so that both see the same machine state, and
// reports the median wall times, their ratio and tolva-cli's peak memory against the file's
// size.
//
//   translate_bench [LINKS] [RUNS]      (defaults: 100000 links, 9 runs of each)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bookmark_generator.h"

namespace {

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system time of the child
    long peakKiB = 0;
    int exitCode = -1;
};

// Runs argv with stdout and stderr sent to /dev/null; wall time and the child's peak RSS.
Sample RunProcess(const std::vector<std::string>& args, const std::string& configHome) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    Sample sample;
    auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        std::FILE* devNull = std::fopen("/dev/null", "w");
        if (devNull) {
            ::dup2(::fileno(devNull), 1);
            ::dup2(::fileno(devNull), 2);
        }
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child) {
        sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sample.peakKiB = usage.ru_maxrss;
        auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        sample.cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
        sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int links = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const std::string source = (dir / "bookmarks.html").string();
    const std::string copy = (dir / "copy.html").string();
    const std::string config = (dir / "config").string();
    if (!tolva::bench::WriteBookmarkFile(source, links)) return 1;
    const double fileMiB = static_cast<double>(fs::file_size(source)) / (1024.0 * 1024.0);

    std::vector<double> cpTimes;
    std::vector<double> cliTimes;
    std::vector<double> cpCpu;
    std::vector<double> cliCpu;
    long peakKiB = 0;
    for (int run = 0; run < runs; ++run) {
        fs::remove(copy);
        Sample cp = RunProcess({"cp", source, copy}, config);
        fs::remove(copy);
        Sample cli = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", "netscape", "--source", source,
                                 "--destination-format", "netscape", "--destination", copy},
                                config);
        if (cp.exitCode != 0 || cli.exitCode != 0) {
            std::fprintf(stderr, "run %d failed: cp %d, tolva-cli %d\n", run, cp.exitCode, cli.exitCode);
            fs::remove_all(dir);
            return 1;
        }
        cpTimes.push_back(cp.seconds);
        cliTimes.push_back(cli.seconds);
        cpCpu.push_back(cp.cpuSeconds);
        cliCpu.push_back(cli.cpuSeconds);
        peakKiB = std::max(peakKiB, cli.peakKiB);
    }
    fs::remove_all(dir);

    const double cpMedian = Median(cpTimes);
    const double cliMedian = Median(cliTimes);
    const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
    std::printf("file: %d links, %.1f MiB; %d runs of each\n", links, fileMiB, runs);
    std::printf("cp          median %8.1f ms\n", cpMedian * 1000);
    std::printf("tolva-cli   median %8.1f ms  (%.2fx cp; target 4x)\n", cliMedian * 1000, cliMedian / cpMedian);
    // On a busy machine wall time includes waiting for a processor; CPU time does not.
    std::printf("cpu time    median cp %.1f ms, tolva-cli %.1f ms  (%.2fx)\n", Median(cpCpu) * 1000,
                Median(cliCpu) * 1000, Median(cliCpu) / Median(cpCpu));
    std::printf("tolva-cli   peak memory %.1f MiB  (%.2fx the file; target 4x)\n", peakMiB, peakMiB / fileMiB);
    return 0;
}
