// Times Firefox's bookmark backup through tolva-cli next to the floor of the same work done by
// the usual tools, alternating the two of each pair so that both see the same machine state:
//
// - writing: a bookmark file of LINKS links translated into a .jsonlz4, against lz4 compressing
//   the backup's JSON (the same bytes, in lz4's own frame; tolva-cli also reads the bookmark file
//   and makes the JSON, so this is a floor, not a like-for-like);
// - reading: the .jsonlz4 translated into a bookmark file, against lz4 decompressing the JSON
//   piped into jq, which reads every node and prints one line per node.
//
// It reports median wall and CPU times, the ratio of the medians with the spread of the pairs,
// and peak memory, and checks that every link was written and read.
//
//   backup_bench [LINKS] [RUNS]      (defaults: 100000 links, 5 runs of each)
//   backup_bench make DIR [LINKS]    writes the inputs into DIR and stops, for timing by hand:
//                                    bookmarks.html, backup.jsonlz4, backup.json, backup.json.lz4
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bookmark_generator.h"

namespace {

namespace fs = std::filesystem;
using tolva::bench::CountOf;
using tolva::bench::Figures;
using tolva::bench::Median;
using tolva::bench::MiB;
using tolva::bench::PairSpread;
using tolva::bench::RunProcess;
using tolva::bench::Sample;

// Every node of the backup on a line of its own: its type, title, URL and date.
constexpr char kJqNodes[] = R"(recurse(.children[]?) | [.type, .title, .uri // "", .dateAdded] | @tsv)";

std::vector<std::string> Translate(const std::string& from, const std::string& source, const std::string& to,
                                   const std::string& destination) {
    return {TOLVA_CLI_PATH, "translate", "--source-format",      from,          "--source",
            source,         "--destination-format", to, "--destination", destination};
}

struct Inputs {
    std::string html, jsonlz4, json, lz4;
};

Inputs InputsIn(const fs::path& dir) {
    return {(dir / "bookmarks.html").string(), (dir / "backup.jsonlz4").string(), (dir / "backup.json").string(),
            (dir / "backup.json.lz4").string()};
}

// The bookmark file, the backup tolva-cli makes of it in both containers, and lz4's frame of
// the same JSON.
bool MakeInputs(const fs::path& dir, int links) {
    const Inputs in = InputsIn(dir);
    const std::string config = (dir / "config").string();
    for (const std::string& file : {in.jsonlz4, in.json, in.lz4}) fs::remove(file);
    return tolva::bench::WriteBookmarkFile(in.html, links) &&
           RunProcess(Translate("netscape", in.html, "firefox-backup", in.jsonlz4), config).exitCode == 0 &&
           RunProcess(Translate("netscape", in.html, "firefox-backup", in.json), config).exitCode == 0 &&
           RunProcess({"lz4", "-q", "-f", in.json, in.lz4}, config).exitCode == 0;
}

// One side of a pair: its command and the file it makes, which the command writes itself or,
// when it prints, is its standard output.
struct Side {
    const char* name;
    std::vector<std::string> command;
    std::string output;
    bool prints = false;
};

// Alternates tolva-cli's side with the tool's, runs times. False when a run fails.
bool Compare(const char* what, const Side& cli, const Side& tool, const fs::path& dir, int runs) {
    const std::string config = (dir / "config").string();
    Figures figures[2];
    for (int run = 0; run < runs; ++run) {
        for (const Side* side : {&cli, &tool}) {
            fs::remove(side->output);
            const Sample sample = RunProcess(side->command, config, side->prints ? side->output : std::string());
            if (sample.exitCode != 0) {
                std::fprintf(stderr, "%s run %d failed: %s exited %d\n", what, run, side->name, sample.exitCode);
                return false;
            }
            figures[side == &tool].Add(sample);
        }
    }
    std::printf("%s, %d runs of each:\n", what, runs);
    for (const Side* side : {&tool, &cli}) {
        const Figures& f = figures[side == &tool];
        std::printf("  %-12s median %8.1f ms wall, %8.1f ms CPU, peak memory %6.1f MiB (output %.1f MiB)\n",
                    side->name, Median(f.wall) * 1000, Median(f.cpu) * 1000, static_cast<double>(f.peakKiB) / 1024,
                    MiB(fs::file_size(side->output)));
    }
    const Figures& mine = figures[0];
    const Figures& theirs = figures[1];
    std::printf("  tolva-cli / %s: %.2fx the median wall time (%s), %.2fx the CPU time, %.2fx the peak memory\n",
                tool.name, Median(mine.wall) / Median(theirs.wall), PairSpread(mine.wall, theirs.wall).c_str(),
                Median(mine.cpu) / Median(theirs.cpu),
                static_cast<double>(mine.peakKiB) / static_cast<double>(theirs.peakKiB));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "make") {
        std::error_code ignored;
        fs::create_directories(argv[2], ignored);
        return MakeInputs(argv[2], argc > 3 ? std::atoi(argv[3]) : 100000) ? 0 : 1;
    }
    const int links = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (links <= 0 || runs <= 0 || ::mkdtemp(pattern) == nullptr) return 2;
    const fs::path dir = pattern;
    const Inputs in = InputsIn(dir);
    bool ok = MakeInputs(dir, links);
    if (ok) {
        std::printf("%d links: bookmark file %.1f MiB, backup JSON %.1f MiB, .jsonlz4 %.1f MiB, lz4 frame %.1f MiB\n",
                    links, MiB(fs::file_size(in.html)), MiB(fs::file_size(in.json)), MiB(fs::file_size(in.jsonlz4)),
                    MiB(fs::file_size(in.lz4)));
    }
    const std::string written = (dir / "written.jsonlz4").string();
    const std::string compressed = (dir / "compressed.lz4").string();
    ok = ok && Compare("writing: bookmark file to .jsonlz4",
                       {"tolva-cli", Translate("netscape", in.html, "firefox-backup", written), written},
                       {"lz4", {"lz4", "-q", "-f", in.json, compressed}, compressed}, dir, runs);
    const std::string read = (dir / "read.html").string();
    const std::string nodes = (dir / "nodes.tsv").string();
    const std::string pipe = "lz4 -dc '" + in.lz4 + "' | jq -r '" + kJqNodes + "'";
    ok = ok && Compare("reading: .jsonlz4 to a bookmark file",
                       {"tolva-cli", Translate("firefox-backup", in.jsonlz4, "netscape", read), read},
                       {"lz4 -d | jq", {"sh", "-c", pipe}, nodes, true}, dir, runs);
    // Both read every link: the figures are of the whole backup.
    if (ok && (CountOf(read, "<DT><A ") != static_cast<std::size_t>(links) ||
               CountOf(nodes, "text/x-moz-place\t") != static_cast<std::size_t>(links))) {
        std::fprintf(stderr, "not every link was read: tolva-cli %zu, jq %zu of %d\n", CountOf(read, "<DT><A "),
                     CountOf(nodes, "text/x-moz-place\t"), links);
        ok = false;
    }
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
