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
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
    // "jobs": --jobs 10 next to curl -Z and to --jobs 1, the sets they write compared byte for
    // byte, and the peak memory of --jobs 64 next to --jobs 1. Every seventh link is a 404, so
    // that every run moves links and writes its set.
    const bool jobs = argc > 1 && std::string(argv[1]) == "jobs";
    // "stall": every tenth link points at a server that accepts and never answers (ten of them,
    // one host each), --timeout 2, one at a time next to --jobs 16.
    const bool stall = argc > 1 && std::string(argv[1]) == "stall";
    if (memory || jobs || stall) ++argv, --argc;
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
    server.Get(R"(/gone/\d+)", [&requests](const httplib::Request&, httplib::Response& response) {
        ++requests;
        response.status = 404;
    });
    // A thread for each connection that many requests at once keep open.
    server.new_task_queue = [] { return new httplib::ThreadPool(96); };
    // cpp-httplib listens with a backlog of 5: of ten connections opened at once the kernel
    // drops the rest, and their clients try again only a second later, which timed the
    // server's queue instead of the client. A second listen() widens it.
    int listening = -1;
    server.set_socket_options([&listening](int fd) {
        httplib::default_socket_options(fd);
        listening = fd;
    });
    int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0 || listening < 0 || listen(listening, SOMAXCONN) != 0) return 1;
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
    // Listening sockets that are never accepted from: the kernel completes each connection,
    // and the request then waits for a reply that never comes.
    constexpr int kSilentHosts = 10;
    std::vector<int> silentPorts;
    std::vector<int> silentFds;
    for (int i = 0; stall && i < kSilentHosts; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1024) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 1;
        }
        silentFds.push_back(fd);
        silentPorts.push_back(ntohs(address.sin_port));
    }
    {
        std::ofstream html(set, std::ios::binary);
        std::ofstream conf(curlConfig, std::ios::binary);
        html << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
        conf << "silent\n";
        for (int i = 0; i < links; ++i) {
            if (i % 100 == 0) html << (i ? "</DL><p>\n" : "") << "<DT><H3>Folder " << i / 100 << "</H3>\n<DL><p>\n";
            const std::string url =
                stall && i % 10 == 5
                    ? "http://127.0.0.1:" + std::to_string(silentPorts[(i / 10) % kSilentHosts]) + "/silent/" +
                          std::to_string(i)
                : jobs && i % 7 == 0 ? "http://127.0.0.1:" + std::to_string(port) + "/gone/" + std::to_string(i)
                                   : base + std::to_string(i);
            html << "<DT><A HREF=\"" << url << "\">Link " << i << "</A>\n";
            conf << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
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

    if (jobs) {
        const std::string pristine = (dir / "pristine.html").string();
        fs::copy_file(set, pristine);
        auto verify = [&](int count, std::string* written) {
            fs::copy_file(pristine, set, fs::copy_options::overwrite_existing);
            const std::string n = std::to_string(count);
            Sample sample = RunProcess({TOLVA_CLI_PATH, "verify", "--format", "netscape", "--location", set,
                                        "--cookies", "run", "--timeout", "20", "--jobs", n, "--per-host", n},
                                       config);
            if (written) {
                std::ifstream in(set, std::ios::binary);
                *written = std::string(std::istreambuf_iterator<char>(in), {});
            }
            return sample;
        };
        std::vector<double> curlZ, many, one;
        std::string writtenMany, writtenOne;
        bool ok = true;
        for (int run = 0; run < runs && ok; ++run) {
            Sample curl = RunProcess({"curl", "-Z", "--parallel-max", "10", "-K", curlConfig}, config);
            Sample ten = verify(10, &writtenMany);
            Sample single = verify(1, &writtenOne);
            // 3: the run completed and links failed, as every seventh does.
            ok = curl.exitCode == 0 && ten.exitCode == 3 && single.exitCode == 3;
            curlZ.push_back(curl.seconds);
            many.push_back(ten.seconds);
            one.push_back(single.seconds);
        }
        Sample peakOne = verify(1, nullptr);
        Sample peakMany = verify(64, nullptr);
        server.stop();
        listener.join();
        fs::remove_all(dir);
        if (!ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        std::printf("set: %d links (every seventh a 404); %d runs of each against 127.0.0.1\n", links, runs);
        std::printf("curl -Z --parallel-max 10   median %8.1f ms\n", Median(curlZ) * 1000);
        std::printf("tolva-cli --jobs 10         median %8.1f ms  (%.2fx curl -Z, %s; target 1.2x)\n",
                    Median(many) * 1000, Median(many) / Median(curlZ), tolva::bench::PairSpread(many, curlZ).c_str());
        std::printf("tolva-cli --jobs 1          median %8.1f ms\n", Median(one) * 1000);
        std::printf("sets written by --jobs 10 and --jobs 1: %s (%zu bytes)\n",
                    writtenMany == writtenOne ? "identical" : "DIFFERENT", writtenOne.size());
        std::printf("peak memory: --jobs 1 %.1f MiB, --jobs 64 %.1f MiB (%.2fx; target 1.5x)\n",
                    static_cast<double>(peakOne.peakKiB) / 1024.0, static_cast<double>(peakMany.peakKiB) / 1024.0,
                    static_cast<double>(peakMany.peakKiB) / static_cast<double>(peakOne.peakKiB));
        return writtenMany == writtenOne ? 0 : 1;
    }

    if (stall) {
        std::vector<double> times[2];
        bool ok = true;
        for (int run = 0; run < runs && ok; ++run) {
            for (int many : {0, 1}) {
                Sample sample = RunProcess({TOLVA_CLI_PATH, "verify", "--format", "netscape", "--location", set,
                                            "--cookies", "run", "--timeout", "2", "--dry-run", "--jobs",
                                            many ? "16" : "1"},
                                           config);
                ok = ok && sample.exitCode == 3;
                times[many].push_back(sample.seconds);
            }
        }
        server.stop();
        listener.join();
        for (int fd : silentFds) close(fd);
        fs::remove_all(dir);
        if (!ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        std::printf("set: %d links, every tenth at one of %d servers that never answer; --timeout 2, %d runs\n", links,
                    kSilentHosts, runs);
        std::printf("tolva-cli --jobs 1    median %9.1f ms\n", Median(times[0]) * 1000);
        std::printf("tolva-cli --jobs 16   median %9.1f ms  (%.3f of --jobs 1; target below 1/6)\n",
                    Median(times[1]) * 1000, Median(times[1]) / Median(times[0]));
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
    std::printf("tolva-cli   median %8.1f ms  (%.2fx curl, %s; target 1x)\n", cliMedian * 1000, cliMedian / curlMedian,
                tolva::bench::PairSpread(cliTimes, curlTimes).c_str());
    std::printf("tolva-cli   peak memory %.1f MiB\n", static_cast<double>(peakKiB) / 1024.0);
    return 0;
}
