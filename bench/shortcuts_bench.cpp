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

}  // namespace

int main(int argc, char** argv) {
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
