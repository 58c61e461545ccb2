// Times Netscape -> Shortcuts and Shortcuts -> Netscape translations of a bookmark file
// through tolva-cli, side by side with trivial Python scripts that write (and read) the same
// small INI files, alternating the two so that both see the same machine state. File-system
// calls dominate both; the target is tolva-cli within 2x of the scripts.
//
//   shortcuts_bench [LINKS] [RUNS]      (defaults: 10000 links, 5 runs of each)
//
// With "read", writes the tree once and only times reading it (Shortcuts -> Netscape), as it
// is and again with a symbolic link at its top to one of its own folders (which makes the
// reader gather the tree's folders first), with tolva-cli's peak memory.
//
//   shortcuts_bench read [LINKS] [RUNS]      (defaults: 50000 links, 5 runs of each)
//
// With "same", times Netscape -> Shortcuts of a file whose links all have one name, at LINKS
// and at half as many, with the CPU time per link of each: choosing a free file name for each
// link must not grow with the number of namesakes before it.
//
//   shortcuts_bench same [LINKS] [RUNS]      (defaults: 10000 links, 5 runs of each)
//
// With "deep", times Netscape -> Shortcuts of LEVELS folders nested in one another next to a
// plain file of the same size (links in one folder), then Shortcuts -> Netscape of a tree that
// deep made one level at a time next to a tree of as many folders side by side, with peak
// memory: the writer stops where paths end, and neither side holds a descriptor or a path per
// level.
//
//   shortcuts_bench deep [LEVELS] [RUNS]     (defaults: 100000 levels, 5 runs of each)
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
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "bookmark_generator.h"

namespace {

namespace fs = std::filesystem;

// Writes every shortcut listed in the manifest (relative path TAB URL per line).
constexpr char kPythonWriter[] = R"(
import os, sys
top, manifest = sys.argv[1], sys.argv[2]
for line in open(manifest, encoding='utf-8', errors='surrogateescape'):
    rel, url = line.rstrip('\n').split('\t', 1)
    path = os.path.join(top, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding='utf-8', errors='surrogateescape', newline='') as f:
        f.write('[InternetShortcut]\r\nURL=' + url + '\r\n')
)";

// Reads every shortcut of a tree and writes their URLs to one file.
constexpr char kPythonReader[] = R"(
import os, sys
top, out = sys.argv[1], sys.argv[2]
urls = []
for folder, dirs, files in os.walk(top):
    for name in files:
        if name.lower().endswith('.url'):
            for line in open(os.path.join(folder, name), encoding='utf-8', errors='surrogateescape'):
                if line.lower().startswith('url='):
                    urls.append(line[4:].rstrip('\r\n'))
                    break
with open(out, 'w', encoding='utf-8', errors='surrogateescape') as f:
    f.write('\n'.join(urls))
)";

// Wall seconds of a successful run (-1 when it fails), raising *peakKiB to its peak memory.
double RunProcess(const std::vector<std::string>& args, const std::string& configHome, long* peakKiB = nullptr) {
    tolva::bench::Sample sample = tolva::bench::RunProcess(args, configHome);
    if (sample.exitCode != 0) {
        std::fprintf(stderr, "failed: %s\n", args[0].c_str());
        return -1;
    }
    if (peakKiB) *peakKiB = std::max(*peakKiB, sample.peakKiB);
    return sample.seconds;
}

// The tree tolva-cli wrote, as the Python writer's manifest.
bool WriteManifest(const fs::path& top, const std::string& manifest) {
    std::ofstream out(manifest, std::ios::binary);
    int count = 0;
    for (const auto& item : fs::recursive_directory_iterator(top)) {
        if (!item.is_regular_file()) continue;
        std::ifstream in(item.path(), std::ios::binary);
        std::string line;
        std::string url;
        while (std::getline(in, line)) {
            if (line.rfind("URL=", 0) == 0) url = line.substr(4, line.find_last_not_of('\r') - 3);
        }
        out << item.path().lexically_relative(top).string() << '\t' << url << '\n';
        ++count;
    }
    std::printf("tree: %d shortcut files\n", count);
    return static_cast<bool>(out);
}

using tolva::bench::Median;

// Median CPU and wall seconds, and peak memory, of runs of args.
struct Timing {
    double cpu = 0;
    double wall = 0;
    long peakKiB = 0;
};

// expectedExit: the exit status a run must end with (1 where part of the set cannot be written).
Timing TimeRuns(const std::vector<std::string>& args, const std::string& config, int runs,
                const std::function<void()>& before, int expectedExit = 0) {
    std::vector<double> cpu, wall;
    Timing timing;
    for (int run = 0; run < runs; ++run) {
        before();
        tolva::bench::Sample sample = tolva::bench::RunProcess(args, config);
        if (sample.exitCode != expectedExit) {
            std::fprintf(stderr, "failed: %s (exit status %d)\n", args[1].c_str(), sample.exitCode);
            return {-1, -1, 0};
        }
        cpu.push_back(sample.cpuSeconds);
        wall.push_back(sample.seconds);
        timing.peakKiB = std::max(timing.peakKiB, sample.peakKiB);
    }
    timing.cpu = Median(cpu);
    timing.wall = Median(wall);
    return timing;
}

std::vector<std::string> TranslateArgs(const char* from, const std::string& source, const char* to,
                                       const std::string& destination) {
    return {TOLVA_CLI_PATH,         "translate", "--source-format", from,        "--source", source,
            "--destination-format", to,          "--destination",   destination, "--yes"};
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

int SameNames(const fs::path& dir, int links, int runs) {
    const std::string config = (dir / "config").string();
    const std::string favorites = (dir / "Favorites").string();
    for (int count : {links / 2, links}) {
        std::string file = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
        for (int i = 0; i < count; ++i)
            file += "<DT><A HREF=\"http://same.example/" + std::to_string(i) + "\">Same</A>\n";
        file += "</DL><p>\n";
        const std::string source = (dir / "same.html").string();
        if (!WriteText(source, file)) return 1;
        Timing t = TimeRuns(TranslateArgs("netscape", source, "shortcuts", favorites), config, runs,
                            [&] { fs::remove_all(favorites); });
        if (t.cpu < 0) return 1;
        std::printf("%6d links named \"Same\": CPU %7.1f ms (%.1f us a link), wall %7.1f ms\n", count, t.cpu * 1000,
                    t.cpu * 1e6 / count, t.wall * 1000);
    }
    return 0;
}

// A folder tree levels deep made one level at a time, as any program can, deeper than a path.
bool MakeDeepTree(const std::string& top, int levels) {
    fs::create_directory(top);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        if (::mkdirat(fd, "F", 0777) != 0) break;
        int below = ::openat(fd, "F", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = below;
    }
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Removes a tree made by MakeDeepTree, bottom first, without paths.
void RemoveDeepTree(const std::string& top) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (int below; fd >= 0 && (below = ::openat(fd, "F", O_RDONLY | O_DIRECTORY)) >= 0; ++depth) {
        ::close(fd);
        fd = below;
    }
    for (; fd >= 0 && depth > 0; --depth) {
        int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = parent;
        if (fd >= 0) ::unlinkat(fd, "F", AT_REMOVEDIR);
    }
    if (fd >= 0) ::close(fd);
    fs::remove_all(top);
}

int DeepNesting(const fs::path& dir, int levels, int runs) {
    const std::string config = (dir / "config").string();
    const std::string favorites = (dir / "Favorites").string();
    std::string deep = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int i = 0; i < levels; ++i) deep += "<DT><H3>F</H3>\n<DL><p>\n";
    for (int i = 0; i < levels; ++i) deep += "</DL><p>\n";
    deep += "</DL><p>\n";
    // The plain file: links of one folder, as many bytes.
    std::string plain = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int i = 0; plain.size() + 10 < deep.size(); ++i) {
        plain += "<DT><A HREF=\"http://p/" + std::to_string(i) + "\">L" + std::to_string(i) + "</A>\n";
    }
    plain += "</DL><p>\n";
    const std::string deepFile = (dir / "deep.html").string();
    const std::string plainFile = (dir / "plain.html").string();
    if (!WriteText(deepFile, deep) || !WriteText(plainFile, plain)) return 1;
    std::printf("Netscape -> Shortcuts, %.1f MB each:\n", static_cast<double>(deep.size()) / 1e6);
    for (const auto& [what, file] : {std::pair{"nested", deepFile}, std::pair{"plain", plainFile}}) {
        // Folders below the file system's path limit cannot be made: the nested run says so and
        // fails, having written what it could.
        const bool nested = file == deepFile;
        Timing t = TimeRuns(TranslateArgs("netscape", file, "shortcuts", favorites), config, runs,
                            [&] { fs::remove_all(favorites); }, nested ? 1 : 0);
        if (t.cpu < 0) return 1;
        if (nested) {
            int made = 0;
            std::error_code error;  // a path past the limit is not a folder of the tree
            for (fs::path level = favorites; fs::is_directory(level / "F", error); level /= "F") ++made;
            std::printf("  nested: %d of %d levels made (the path limit)\n", made, levels);
        }
        std::printf("  %-7s wall %8.1f ms, CPU %8.1f ms, peak memory %6.1f MiB\n", what, t.wall * 1000, t.cpu * 1000,
                    static_cast<double>(t.peakKiB) / 1024.0);
    }
    fs::remove_all(favorites);

    const std::string deepTree = (dir / "DeepTree").string();
    const std::string wideTree = (dir / "WideTree").string();
    if (!MakeDeepTree(deepTree, levels)) return 1;
    fs::create_directory(wideTree);
    for (int i = 0; i < levels; ++i) fs::create_directory(wideTree + "/F" + std::to_string(i));
    std::printf("Shortcuts -> Netscape, %d folders each:\n", levels);
    const std::string back = (dir / "back.html").string();
    for (const auto& [what, tree] : {std::pair{"nested", deepTree}, std::pair{"side by side", wideTree}}) {
        Timing t =
            TimeRuns(TranslateArgs("shortcuts", tree, "netscape", back), config, runs, [&] { fs::remove(back); });
        if (t.cpu < 0) return 1;
        std::printf("  %-12s wall %8.1f ms, CPU %8.1f ms, peak memory %6.1f MiB\n", what, t.wall * 1000, t.cpu * 1000,
                    static_cast<double>(t.peakKiB) / 1024.0);
    }
    RemoveDeepTree(deepTree);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "same" || mode == "deep") {
        const int count = argc > 2 ? std::atoi(argv[2]) : mode == "same" ? 10000 : 100000;
        const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
        char pattern[] = "/tmp/tolva-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return 1;
        const int result = mode == "same" ? SameNames(pattern, count, runs) : DeepNesting(pattern, count, runs);
        fs::remove_all(pattern);
        std::printf("%d runs of each\n", runs);
        return result;
    }
    const bool readOnly = argc > 1 && std::string(argv[1]) == "read";
    if (readOnly) ++argv, --argc;
    const int links = argc > 1 ? std::atoi(argv[1]) : readOnly ? 50000 : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const std::string source = (dir / "bookmarks.html").string();
    const std::string config = (dir / "config").string();
    const std::string manifest = (dir / "manifest.txt").string();
    const std::string favorites = (dir / "Favorites").string();
    const std::string scriptTree = (dir / "ScriptTree").string();
    if (!tolva::bench::WriteBookmarkFile(source, links)) return 1;

    auto toShortcuts = [&] {
        fs::remove_all(favorites);
        return RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", "netscape", "--source", source,
                           "--destination-format", "shortcuts", "--destination", favorites, "--yes"},
                          config);
    };
    if (toShortcuts() < 0 || !WriteManifest(favorites, manifest)) return 1;

    if (readOnly) {
        const std::string back = (dir / "back.html").string();
        auto timeReads = [&](const char* what) {
            std::vector<double> times;
            long peakKiB = 0;
            for (int run = 0; run < runs; ++run) {
                fs::remove(back);
                double seconds = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", "shortcuts", "--source",
                                             favorites, "--destination-format", "netscape", "--destination", back},
                                            config, &peakKiB);
                if (seconds < 0) return false;
                times.push_back(seconds);
            }
            std::printf("read %s: median %7.1f ms, peak memory %.1f MiB\n", what, Median(times) * 1000,
                        static_cast<double>(peakKiB) / 1024.0);
            return true;
        };
        fs::path inner;
        for (const auto& item : fs::directory_iterator(favorites)) {
            if (item.is_directory()) inner = item.path();
        }
        bool ok = timeReads("as written");
        std::error_code error;
        fs::create_directory_symlink(inner, favorites + "/Linked", error);
        ok = ok && !error && timeReads("with a link to one of its folders");
        fs::remove_all(dir);
        std::printf("%d links; %d runs of each\n", links, runs);
        return ok ? 0 : 1;
    }

    std::vector<double> cliWrite, pyWrite, cliRead, pyRead;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
        fs::remove_all(scriptTree);
        double py = RunProcess({"python3", "-c", kPythonWriter, scriptTree, manifest}, config);
        double cli = toShortcuts();
        const std::string back = (dir / "back.html").string();
        fs::remove(back);
        double cliBack = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", "shortcuts", "--source", favorites,
                                     "--destination-format", "netscape", "--destination", back},
                                    config);
        double pyBack = RunProcess({"python3", "-c", kPythonReader, favorites, (dir / "urls.txt").string()}, config);
        ok = py >= 0 && cli >= 0 && cliBack >= 0 && pyBack >= 0;
        pyWrite.push_back(py);
        cliWrite.push_back(cli);
        cliRead.push_back(cliBack);
        pyRead.push_back(pyBack);
    }
    fs::remove_all(dir);
    if (!ok) return 1;

    std::printf("%d links; %d runs of each\n", links, runs);
    std::printf("Netscape -> Shortcuts: tolva-cli %7.1f ms, Python writer %7.1f ms  (%.2fx; target 2x)\n",
                Median(cliWrite) * 1000, Median(pyWrite) * 1000, Median(cliWrite) / Median(pyWrite));
    std::printf("Shortcuts -> Netscape: tolva-cli %7.1f ms, Python reader %7.1f ms  (%.2fx; target 2x)\n",
                Median(cliRead) * 1000, Median(pyRead) * 1000, Median(cliRead) / Median(pyRead));
    return 0;
}
