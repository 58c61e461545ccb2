// Times `tolva-cli verify` of a set of LINKS links against a local keep-alive HTTP server next
// to one curl process fetching the same URLs one after the other over a reused connection
// (`curl -K` with every URL in one config), alternating the two, and reports the medians,
// their ratio and tolva-cli's peak memory. Everything stays on 127.0.0.1.
//
//   verify_bench [LINKS] [RUNS]      (defaults: 2000 links, 5 runs of each)
#include <fcntl.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Sample {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
};

Sample RunProcess(const std::vector<std::string>& args, const std::string& configHome) {
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
    Sample sample;
    auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) == child) {
            sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            sample.peakKiB = usage.ru_maxrss;
            sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int links = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    namespace fs = std::filesystem;

    httplib::Server server;
    server.set_keep_alive_max_count(static_cast<std::size_t>(links) * 4 + 100);
    // Without it every reply waits for the client's delayed acknowledgement (about 40 ms).
    server.set_tcp_nodelay(true);
    // Without it every reply waits for the client's delayed acknowledgement (about 40 ms).
    server.set_tcp_nodelay(true);
    const std::string body(512, 'x');
    server.Get(R"(/page/\d+)", [&body](const httplib::Request&, httplib::Response& response) {
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
