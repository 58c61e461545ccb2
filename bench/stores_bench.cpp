// Times reading the browsers' own stores into a Netscape bookmark file through tolva-cli, next
// to the usual tools doing the same reading: a Firefox places.sqlite against sqlite3 dumping every
// item with its URL and keywords to a file, a Chromium Bookmarks file against jq flattening
// the tree to one line per node. The two of each pair alternate, so that both see the same
// machine state; it reports median wall and CPU times, the ratio of the medians (target 2x)
// and peak memory. The stores are written to /tmp and deleted again.
//
//   stores_bench [LINKS] [RUNS]      (defaults: 100000 links, 5 runs of each)
//
// With "make", writes the two stores into DIR and stops, for timing the commands by hand.
//
//   stores_bench make DIR [LINKS]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "store_generator.h"

namespace {

namespace fs = std::filesystem;
using tolva::bench::CountOf;
using tolva::bench::Figures;
using tolva::bench::Median;
using tolva::bench::MiB;
using tolva::bench::RunProcess;
using tolva::bench::Sample;

// The query the Firefox reader runs: every item with its place's URL and keywords.
constexpr char kPlacesQuery[] =
    "SELECT b.id, b.parent, b.type, b.title, b.dateAdded, b.lastModified, b.guid, b.fk, p.url,"
    " (SELECT group_concat(k.keyword, ',') FROM moz_keywords k WHERE k.place_id = b.fk)"
    " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position, b.id";

// Every node of the tree on a line of its own: its type, name, URL and date.
constexpr char kJqFlatten[] = R"(.roots[] | recurse(.children[]?) | [.type, .name, .url // "", .date_added] | @tsv)";

// Alternates tolva-cli reading source (in format) with the other tool; false when a run fails.
bool Compare(const char* what, const std::string& format, const std::string& source, const char* toolName,
             const std::vector<std::string>& tool, const fs::path& dir, int links, int runs) {
    const std::string copy = (dir / "copy.html").string();
    const std::string toolOutput = (dir / "tool.txt").string();
    const std::string config = (dir / "config").string();
    Figures tolva, other;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        fs::remove(copy);
        const Sample cli = RunProcess({TOLVA_CLI_PATH, "translate", "--source-format", format, "--source", source,
                                       "--destination-format", "netscape", "--destination", copy},
                                      config);
        const Sample theirs = RunProcess(tool, config, toolOutput);
        if (cli.exitCode != 0 || theirs.exitCode != 0) {
            std::fprintf(stderr, "%s run %d failed: tolva-cli %d, %s %d\n", what, run, cli.exitCode, toolName,
                         theirs.exitCode);
            return false;
        }
        tolva.Add(cli);
        other.Add(theirs);
        ratios.push_back(cli.seconds / theirs.seconds);
    }
    // What both wrote, so that the figures are known to be of the whole store.
    const std::size_t written = CountOf(copy, "<DT><A ");
    if (written != static_cast<std::size_t>(links)) {
        std::fprintf(stderr, "%s: tolva-cli wrote %zu links of %d\n", what, written, links);
        return false;
    }
    const double tolvaWall = Median(tolva.wall), otherWall = Median(other.wall);
    std::printf("%s (%.1f MiB), %d runs of each:\n", what, MiB(fs::file_size(source)), runs);
    std::printf("  %-10s median %8.1f ms wall, %8.1f ms CPU, peak memory %6.1f MiB (output %.1f MiB)\n", toolName,
                otherWall * 1000, Median(other.cpu) * 1000, static_cast<double>(other.peakKiB) / 1024,
                MiB(fs::file_size(toolOutput)));
    std::printf("  %-10s median %8.1f ms wall, %8.1f ms CPU, peak memory %6.1f MiB (output %.1f MiB)\n", "tolva-cli",
                tolvaWall * 1000, Median(tolva.cpu) * 1000, static_cast<double>(tolva.peakKiB) / 1024,
                MiB(fs::file_size(copy)));
    std::printf(
        "  tolva-cli / %s: %.2fx the median wall time (median of the pairs %.2fx), %.2fx the CPU time, "
        "%.2fx the peak memory (target 2x)\n",
        toolName, tolvaWall / otherWall, Median(ratios), Median(tolva.cpu) / Median(other.cpu),
        static_cast<double>(tolva.peakKiB) / static_cast<double>(other.peakKiB));
    return true;
}

bool MakeStores(const fs::path& dir, int links) {
    const std::string places = (dir / "places.sqlite").string();
    fs::remove(places);
    if (!tolva::bench::WritePlaces(places, links)) {
        std::fprintf(stderr, "cannot write %s\n", places.c_str());
        return false;
    }
    const std::string chromium = (dir / "Bookmarks").string();
    if (!tolva::bench::WriteChromiumBookmarks(chromium, links)) {
        std::fprintf(stderr, "cannot write %s\n", chromium.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "make") {
        std::error_code ignored;
        fs::create_directories(argv[2], ignored);
        return MakeStores(argv[2], argc > 3 ? std::atoi(argv[3]) : 100000) ? 0 : 1;
    }
    const int links = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (links <= 0 || runs <= 0 || ::mkdtemp(pattern) == nullptr) return 2;
    const fs::path dir = pattern;
    bool ok = MakeStores(dir, links);
    const std::string places = (dir / "places.sqlite").string();
    const std::string chromium = (dir / "Bookmarks").string();
    ok = ok && Compare("Firefox places.sqlite", "firefox", places, "sqlite3", {"sqlite3", places, kPlacesQuery}, dir,
                       links, runs);
    ok = ok && Compare("Chromium Bookmarks", "chromium", chromium, "jq", {"jq", "-r", kJqFlatten, chromium}, dir, links,
                       runs);
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
