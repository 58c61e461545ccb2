// Times the Netscape -> Netscape translation of a large bookmark file through tolva-cli next
// to cp of the same file, alternating the two so that both see the same machine state, to a
// new file and onto the file written before, and reports the median wall times, their ratios
// and tolva-cli's peak memory against the file's size.
//
//   translate_bench [LINKS] [RUNS]      (defaults: 100000 links, 9 runs of each)
//
// With "scale", translates a file of SMALL links and one of LARGE links (RUNS runs each, no
// cp) and reports how time grows with the file (target: 10x the links in at most 12x the
// time) and peak memory against each file's size (target 4x). Both files are written to /tmp
// and deleted again; a 1,000,000-link file is about 260 MB.
//
//   translate_bench scale [SMALL] [LARGE] [RUNS]      (defaults: 100000 1000000 3)
//
// Beside cp it times the floor of any program that looks at every byte: this benchmark started
// again as "copy-through-memory", which reads the file whole into memory made ready in huge
// pages and writes it out in blocks (onto the file before: beside it, forced to the disk,
// renamed over it), as a program that holds the whole file must. cp copies inside the system and
// never brings the bytes in; tolva-cli reads a bookmark file into a bookmark file a window at a
// time.
//
// With "hostile", reads files a damaged disk or an odd exporter leaves (8 MiB of zero bytes,
// one 20 MB line, 100,000 entries on one line) as bookmark files and as hotlists, each next
// to an ordinary bookmark file of about the same size (target: within 2x its time).
//
//   translate_bench hostile [RUNS]      (default: 3)
#include <fcntl.h>
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
#include <thread>
#include <vector>

#include "bench_support.h"
#include "bookmark_generator.h"
#include "platform/ready_memory.h"

namespace {

using tolva::bench::Median;
using tolva::bench::RunProcess;
using tolva::bench::Sample;

struct Size {
    int links = 0;
    double fileMiB = 0;
    double seconds = 0;     // median wall time
    double cpuSeconds = 0;  // median CPU time
    long peakKiB = 0;
};

bool TimeTranslation(int links, int runs, Size& size) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return false;
    const fs::path dir = pattern;
    const std::string source = (dir / "bookmarks.html").string();
    const std::string copy = (dir / "copy.html").string();
    const std::string config = (dir / "config").string();
    bool ok = tolva::bench::WriteBookmarkFile(source, links);
    size.links = links;
    if (ok) size.fileMiB = static_cast<double>(fs::file_size(source)) / (1024.0 * 1024.0);
    std::vector<double> times;
    std::vector<double> cpu;
    for (int run = 0; ok && run < runs; ++run) {
        fs::remove(copy);
        Sample cli = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", "netscape", "--source", source,
                                 "--destination-format", "netscape", "--destination", copy},
                                config);
        ok = cli.exitCode == 0;
        times.push_back(cli.seconds);
        cpu.push_back(cli.cpuSeconds);
        size.peakKiB = std::max(size.peakKiB, cli.peakKiB);
    }
    fs::remove_all(dir);
    if (!ok) {
        std::fprintf(stderr, "translation of %d links failed\n", links);
        return false;
    }
    size.seconds = Median(times);
    size.cpuSeconds = Median(cpu);
    return true;
}

int Scale(int small, int large, int runs) {
    Size sizes[2];
    if (!TimeTranslation(small, runs, sizes[0]) || !TimeTranslation(large, runs, sizes[1])) return 1;
    for (const Size& size : sizes) {
        const double peakMiB = static_cast<double>(size.peakKiB) / 1024.0;
        std::printf(
            "%8d links, %7.1f MiB: median %8.1f ms wall, %8.1f ms CPU; peak memory %.1f MiB (%.2fx the "
            "file; target 4x)\n",
            size.links, size.fileMiB, size.seconds * 1000, size.cpuSeconds * 1000, peakMiB, peakMiB / size.fileMiB);
    }
    const double links = static_cast<double>(large) / small;
    std::printf("%.0fx the links (%.2fx the bytes): %.2fx the wall time, %.2fx the CPU time (target at most %.0fx)\n",
                links, sizes[1].fileMiB / sizes[0].fileMiB, sizes[1].seconds / sizes[0].seconds,
                sizes[1].cpuSeconds / sizes[0].cpuSeconds, links * 1.2);
    return 0;
}

// The median wall time of translating source (in format) to a bookmark file, or -1 when a run
// ended otherwise than allowed: 0, or also 1 when refused is true (a source in which nothing
// reads as a set is refused with its message, and its reading is timed all the same).
double TimeFile(const std::string& format, const std::string& source, const std::string& dir, int runs,
                bool refused = false) {
    std::vector<double> times;
    const std::string copy = dir + "/copy.html";
    for (int run = 0; run < runs; ++run) {
        std::filesystem::remove(copy);
        Sample cli = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", format, "--source", source,
                                 "--destination-format", "netscape", "--destination", copy},
                                dir + "/config");
        if (cli.exitCode != 0 && !(refused && cli.exitCode == 1)) return -1;
        times.push_back(cli.seconds);
    }
    return Median(times);
}

bool WriteText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

int Hostile(int runs) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    std::string entries;
    for (int i = 0; i < 100000; ++i)
        entries += "<DT><A HREF=\"https://example.com/" + std::to_string(i) + "\" ADD_DATE=\"1\">Link</A>";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"8 MiB of zero bytes", std::string(8u << 20, '\0')},
        // NOLINTNEXTLINE(bugprone-string-constructor): a line this long is the case measured
        {"one 20 MB line", "<DT><A HREF=\"https://example.com/" + std::string(20000000, 'a') + "\">x</A>\n"},
        {"100,000 entries on one line", "<DL><p>" + entries + "</DL><p>\n"},
    };
    int status = 0;
    for (const Case& c : cases) {
        const std::string source = dir + "/hostile";
        const std::string plain = dir + "/plain.html";
        // An ordinary bookmark file of about the same size: a link of it is about 270 bytes.
        if (!WriteText(source, c.text) ||
            !tolva::bench::WriteBookmarkFile(plain, std::max(1, static_cast<int>(c.text.size() / 270)))) {
            status = 1;
            break;
        }
        const double plainSeconds = TimeFile("netscape", plain, dir, runs);
        for (const char* format : {"netscape", "mosaic"}) {
            const double seconds = TimeFile(format, source, dir, runs, true);
            std::printf("%-28s as %-8s %8.1f ms; ordinary file of %.1f MiB %8.1f ms (%.2fx; target 2x)\n", c.what,
                        format, seconds * 1000, static_cast<double>(fs::file_size(plain)) / (1024.0 * 1024.0),
                        plainSeconds * 1000, seconds / plainSeconds);
            if (seconds < 0 || plainSeconds < 0) status = 1;
        }
    }
    fs::remove_all(dir);
    return status;
}

// Lets the system finish, outside the time taken, what the run before left it to do, as a
// person's translation finds it: the file written just before is on the disk (otherwise the run
// that replaces it waits for that writing, which the system starts when a file cut and
// rewritten as cp does is closed), and a removed file's blocks are freed. Back to back, that
// work was the next run's cost, on the other processor or in its rename.
void Quiet() {
    ::sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    constexpr std::size_t kBlock = 256 * 1024;
    while (size > 0) {
        const ssize_t put = ::write(fd, data, std::min(size, kBlock));
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The floor: from read whole into ready memory and written to to, or, with replace, to a file
// beside it that is forced to the disk and renamed over it.
int CopyThroughMemory(const std::string& from, const std::string& to, bool replace) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || ::fstat(in, &info) != 0) return 1;
    const auto size = static_cast<std::size_t>(info.st_size);
    char* memory = tolva::TakeReadyMemory(size + 1);
    std::size_t got = 0;
    for (ssize_t n = 0; memory != nullptr && (n = ::read(in, memory + got, size + 1 - got)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(in);
    const std::string written = replace ? to + ".new" : to;
    const int out = ::open(written.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = memory != nullptr && out >= 0 && WriteAll(out, memory, got);
    if (replace) ok = ok && ::fsync(out) == 0;
    ok = out >= 0 && ::close(out) == 0 && ok;
    if (replace) ok = ok && ::rename(written.c_str(), to.c_str()) == 0;
    tolva::FreeReadyMemory(memory, size + 1);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "copy-through-memory")
        return CopyThroughMemory(argv[2], argv[3], std::string(argv[4]) == "replace");
    if (argc > 1 && std::string(argv[1]) == "hostile") return Hostile(argc > 2 ? std::atoi(argv[2]) : 3);
    if (argc > 1 && std::string(argv[1]) == "scale") {
        return Scale(argc > 2 ? std::atoi(argv[2]) : 100000, argc > 3 ? std::atoi(argv[3]) : 1000000,
                     argc > 4 ? std::atoi(argv[4]) : 3);
    }
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
    // The same onto the file the translation before wrote: cp writes over it, tolva-cli (no
    // backup) writes a file beside it, forces it to the disk and renames it over the old one.
    std::vector<double> cpOverTimes;
    std::vector<double> cliOverTimes;
    std::vector<double> floorTimes;
    std::vector<double> floorOverTimes;
    long peakKiB = 0;
    const std::vector<std::string> translate = {TOLVA_CLI_PATH, "translate", "--source-format", "netscape", "--source",
                                                source, "--destination-format", "netscape", "--destination", copy};
    std::vector<std::string> translateOver = translate;
    translateOver.insert(translateOver.begin() + 2, "--no");
    for (int run = 0; run < runs; ++run) {
        fs::remove(copy);
        Quiet();
        Sample cp = RunProcess({"cp", source, copy}, config);
        fs::remove(copy);
        Quiet();
        Sample cli = RunProcess(translate, config);
        Quiet();
        Sample cpOver = RunProcess({"cp", source, copy}, config);
        Quiet();
        Sample cliOver = RunProcess(translateOver, config);
        fs::remove(copy);
        Quiet();
        Sample floor = RunProcess({argv[0], "copy-through-memory", source, copy, "new"}, config);
        Quiet();
        Sample floorOver = RunProcess({argv[0], "copy-through-memory", source, copy, "replace"}, config);
        if (floor.exitCode != 0 || floorOver.exitCode != 0) {
            std::fprintf(stderr, "run %d: the copy through memory failed\n", run);
            fs::remove_all(dir);
            return 1;
        }
        floorTimes.push_back(floor.seconds);
        floorOverTimes.push_back(floorOver.seconds);
        if (cp.exitCode != 0 || cli.exitCode != 0 || cpOver.exitCode != 0 || cliOver.exitCode != 0) {
            std::fprintf(stderr, "run %d failed: cp %d/%d, tolva-cli %d/%d\n", run, cp.exitCode, cpOver.exitCode,
                         cli.exitCode, cliOver.exitCode);
            fs::remove_all(dir);
            return 1;
        }
        cpTimes.push_back(cp.seconds);
        cliTimes.push_back(cli.seconds);
        cpCpu.push_back(cp.cpuSeconds);
        cliCpu.push_back(cli.cpuSeconds);
        cpOverTimes.push_back(cpOver.seconds);
        cliOverTimes.push_back(cliOver.seconds);
        peakKiB = std::max(peakKiB, std::max(cli.peakKiB, cliOver.peakKiB));
    }
    fs::remove_all(dir);

    const double cpMedian = Median(cpTimes);
    const double cliMedian = Median(cliTimes);
    const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
    std::printf("file: %d links, %.1f MiB; %d runs of each\n", links, fileMiB, runs);
    std::printf("cp          median %8.1f ms\n", cpMedian * 1000);
    std::printf("tolva-cli   median %8.1f ms  (%.2fx cp, %s; target 2x)\n", cliMedian * 1000, cliMedian / cpMedian,
                tolva::bench::PairSpread(cliTimes, cpTimes).c_str());
    // On a busy machine wall time includes waiting for a processor; CPU time does not.
    std::printf("cpu time    median cp %.1f ms, tolva-cli %.1f ms  (%.2fx)\n", Median(cpCpu) * 1000,
                Median(cliCpu) * 1000, Median(cliCpu) / Median(cpCpu));
    std::printf("onto the file written before: cp median %.1f ms, tolva-cli median %.1f ms  (%.2fx, %s; target 2.5x)\n",
                Median(cpOverTimes) * 1000, Median(cliOverTimes) * 1000, Median(cliOverTimes) / Median(cpOverTimes),
                tolva::bench::PairSpread(cliOverTimes, cpOverTimes).c_str());
    std::printf("tolva-cli   peak memory %.1f MiB  (%.2fx the file; target 4x)\n", peakMiB, peakMiB / fileMiB);
    // What no program that reads each byte can go below, against cp and tolva-cli.
    std::printf("copy through memory (the floor): median %.1f ms (%.2fx cp; tolva-cli %.2fx it); onto the file "
                "before %.1f ms (%.2fx cp; tolva-cli %.2fx it)\n",
                Median(floorTimes) * 1000, Median(floorTimes) / cpMedian, cliMedian / Median(floorTimes),
                Median(floorOverTimes) * 1000, Median(floorOverTimes) / Median(cpOverTimes),
                Median(cliOverTimes) / Median(floorOverTimes));
    return 0;
}
