#pragma once
// What the benchmarks share: running a program as a child and taking its times and memory,
// the median of repeated runs, and looking at what a run wrote.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tolva::bench {

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system time of the child
    long peakKiB = 0;
    int exitCode = -1;
};

// Runs argv with stdout and stderr sent to /dev/null (stdout to outputPath when given, as a
// shell's "> file" would); wall time and the child's peak RSS.
inline Sample RunProcess(const std::vector<std::string>& args, const std::string& configHome,
                         const std::string& outputPath = {}) {
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
        if (!outputPath.empty()) {
            std::FILE* output = std::fopen(outputPath.c_str(), "w");
            if (output == nullptr) ::_exit(126);
            ::dup2(::fileno(output), 1);
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

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The spread of a / b over the pairs of runs made one right after the other ("pairs 1.80x to
// 3.10x"): on a shared machine whose speed drifts, a pair sees the same conditions.
inline std::string PairSpread(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (b[i] > 0) ratios.push_back(a[i] / b[i]);
    }
    if (ratios.empty()) return "no pairs";
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    char text[64];
    std::snprintf(text, sizeof text, "pairs %.2fx to %.2fx", *low, *high);
    return text;
}

// The wall and CPU times of a command's runs and the largest peak memory among them.
struct Figures {
    std::vector<double> wall, cpu;
    long peakKiB = 0;
    void Add(const Sample& sample) {
        wall.push_back(sample.seconds);
        cpu.push_back(sample.cpuSeconds);
        peakKiB = std::max(peakKiB, sample.peakKiB);
    }
};

inline double MiB(std::uintmax_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// How many times what occurs in the file at path, for checking that a run wrote every link.
inline std::size_t CountOf(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

}  // namespace tolva::bench
