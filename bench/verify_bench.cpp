// Times `tolva-cli verify` of a set of LINKS links against a local keep-alive HTTP server next
// to one curl process fetching the same URLs one after the other over a reused connection
// (`curl -K` with every URL in one config), alternating the two, and reports the medians,
// their ratio and tolva-cli's peak memory. Everything stays on 127.0.0.1.
//
//   verify_bench [LINKS] [RUNS]      (defaults: 2000 links, 5 runs of each)
//
// With "memory", runs tolva-cli verify once (no curl) and samples its resident memory every
// 10 ms, reporting it when the server sees the first request (the set has been read) and as
// the requests go on: it should stay flat once the set is in memory.
//
//   verify_bench memory [LINKS]      (default: 10000 links)
#include <fcntl.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

#include "bench_support.h"

namespace {

struct Sample {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
};

// Starts args with no input or output and the benchmark's own settings folder; -1 on failure.
pid_t Spawn(const std::vector<std::string>& args, const std::string& configHome) {
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + configHome, "no_proxy=*", "NO_PROXY=*"};
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.starts_with("XDG_CONFIG_HOME=") || entry.starts_with("no_proxy=") || entry.starts_with("NO_PROXY=")) {
            continue;
        }
        env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = args;
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

Sample RunProcess(const std::vector<std::string>& args, const std::string& configHome) {
    Sample sample;
    auto start = std::chrono::steady_clock::now();
    pid_t child = Spawn(args, configHome);
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sample.peakKiB = usage.ru_maxrss;
        sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return sample;
}

// The process's resident memory in KiB, or 0 once it is gone.
long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
    }
    return 0;
}

using tolva::bench::Median;

}  // namespace

int main(int argc, char** argv) {
    const bool memory = argc > 1 && std::string(argv[1]) == "memory";
    if (memory) ++argv, --argc;
    const int links = argc > 1 ? std::atoi(argv[1]) : memory ? 10000 : 2000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    namespace fs = std::filesystem;
    std::atomic<int> requests{0};

    httplib::Server server;
    server.set_keep_alive_max_count(static_cast<std::size_t>(links) * 4 + 100);
    // Without it every reply waits for the client's delayed acknowledgement (about 40 ms).
    server.set_tcp_nodelay(true);
    const std::string body(512, 'x');
    server.Get(R"(/page/\d+)", [&body, &requests](const httplib::Request&, httplib::Response& response) {
        ++requests;
        response.set_content(body, "text/html");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) return 1;
    std::thread listener([&server] { server.listen_after_bind(); });
    for (int turn = 0; turn < 500 && !server.is_running(); ++turn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    char pattern[] = "/tmp/tolva-verify-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const std::string set = (dir / "bookmarks.html").string();
    const std::string curlConfig = (dir / "curl.conf").string();
    const std::string config = (dir / "config").string();
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/page/";
    {
        std::ofstream html(set, std::ios::binary);
        std::ofstream conf(curlConfig, std::ios::binary);
        html << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
        conf << "silent\n";
        for (int i = 0; i < links; ++i) {
            if (i % 100 == 0) html << (i ? "</DL><p>\n" : "") << "<DT><H3>Folder " << i / 100 << "</H3>\n<DL><p>\n";
            html << "<DT><A HREF=\"" << base << i << "\">Link " << i << "</A>\n";
            conf << "url = \"" << base << i << "\"\noutput = \"/dev/null\"\n";
        }
        html << "</DL><p>\n</DL><p>\n";
    }

    if (memory) {
        const std::vector<std::string> args = {TOLVA_CLI_PATH, "verify", "--format",  "netscape", "--location", set,
                                               "--cookies",    "run",    "--timeout", "20"};
        pid_t child = Spawn(args, config);
        // Resident memory when the first request came (the set is read) and after each tenth.
        std::vector<long> marks;
        long peakAfterRead = 0;
        int status = -1;
        rusage usage{};
        for (int turn = 0; child > 0 && turn < 60000; ++turn) {  // at most ten minutes
            if (wait4(child, &status, WNOHANG, &usage) == child) break;
            const long rss = ResidentKiB(child);
            const int done = requests.load();
            if (done > 0) peakAfterRead = std::max(peakAfterRead, rss);
            while (done > 0 && static_cast<int>(marks.size()) <= 10 &&
                   done >= static_cast<int>(marks.size()) * links / 10) {
                marks.push_back(rss);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.stop();
        listener.join();
        fs::remove_all(dir);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || marks.empty()) {
            std::fprintf(stderr, "tolva-cli verify failed\n");
            return 1;
        }
        std::printf("set: %d links; %d requests served on 127.0.0.1\n", links, requests.load());
        std::printf("resident memory at the first request, then after each tenth of them (MiB):");
        for (long kib : marks) std::printf(" %.1f", static_cast<double>(kib) / 1024.0);
        std::printf("\nafter the set was read: first %.1f MiB, highest %.1f MiB (+%.1f MiB); whole run peak %.1f MiB\n",
                    static_cast<double>(marks.front()) / 1024.0, static_cast<double>(peakAfterRead) / 1024.0,
                    static_cast<double>(peakAfterRead - marks.front()) / 1024.0,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        return 0;
    }

    std::vector<double> curlTimes;
    std::vector<double> cliTimes;
    long peakKiB = 0;
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        Sample curl = RunProcess({"curl", "-K", curlConfig}, config);
        Sample cli = RunProcess({TOLVA_CLI_PATH, "verify", "--format", "netscape", "--location", set, "--cookies",
                                 "run", "--timeout", "20"},
                                config);
        if (curl.exitCode != 0 || cli.exitCode != 0) {
            std::fprintf(stderr, "run %d failed: curl %d, tolva-cli %d\n", run, curl.exitCode, cli.exitCode);
            ++failures;
            break;
        }
        curlTimes.push_back(curl.seconds);
        cliTimes.push_back(cli.seconds);
        peakKiB = std::max(peakKiB, cli.peakKiB);
    }
    server.stop();
    listener.join();
    const double setKiB = static_cast<double>(fs::file_size(set)) / 1024.0;
    fs::remove_all(dir);
    if (failures) return 1;

    const double curlMedian = Median(curlTimes);
    const double cliMedian = Median(cliTimes);
    std::printf("set: %d links, %.0f KiB; %d runs of each against 127.0.0.1\n", links, setKiB, runs);
    std::printf("curl -K     median %8.1f ms\n", curlMedian * 1000);
    std::printf("tolva-cli   median %8.1f ms  (%.2fx curl; target 1.5x)\n", cliMedian * 1000, cliMedian / curlMedian);
    std::printf("tolva-cli   peak memory %.1f MiB\n", static_cast<double>(peakKiB) / 1024.0);
    return 0;
}
