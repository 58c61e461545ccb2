// Times merging two bookmark files of the same links through tolva-cli next to translating
// the two, one after the other, alternating the two so that both see the same machine state,
// and reports the median wall times, their ratio (target: at most 2.5x) and the peak memory of
// the merge against the larger of the two translations' (target: at most 2x). Every link of
// the second file is a duplicate of one of the first, so the merge finds and merges them all.
//
//   merge_bench [LINKS] [RUNS]      (defaults: 50000 links, 7 runs of each)
//
// With "report" after the counts, the merge also lists every duplicate group in a CSV report,
// which costs memory for each group.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bookmark_generator.h"

namespace {

using tolva::bench::Median;
using tolva::bench::PairSpread;
using tolva::bench::RunProcess;
using tolva::bench::Sample;

}  // namespace

int main(int argc, char** argv) {
    const int links = argc > 1 ? std::atoi(argv[1]) : 50000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const bool report = argc > 3 && std::string(argv[3]) == "report";
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tolva-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const std::string first = (dir / "first.html").string();
    const std::string second = (dir / "second.html").string();
    const std::string config = (dir / "config").string();
    const std::string out = (dir / "out.html").string();
    if (!tolva::bench::WriteBookmarkFile(first, links) || !tolva::bench::WriteBookmarkFile(second, links)) return 1;
    const double fileMiB = static_cast<double>(fs::file_size(first)) / (1024.0 * 1024.0);

    const auto translate = [&](const std::string& source) {
        return std::vector<std::string>{TOLVA_CLI_PATH, "translate", "--source-format", "netscape", "--source",
                                        source, "--destination-format", "netscape", "--destination", out};
    };
    std::vector<std::string> merge = {TOLVA_CLI_PATH, "merge", "netscape:" + first, "netscape:" + second,
                                      "--destination-format", "netscape", "--destination", out};
    if (report) merge.insert(merge.end(), {"--report", (dir / "groups.csv").string()});

    std::vector<double> translateTimes;
    std::vector<double> mergeTimes;
    long translatePeakKiB = 0;
    long mergePeakKiB = 0;
    bool ok = true;
    for (int run = 0; ok && run < runs; ++run) {
        fs::remove(out);
        const Sample a = RunProcess(translate(first), config);
        fs::remove(out);
        const Sample b = RunProcess(translate(second), config);
        fs::remove(out);
        const Sample merged = RunProcess(merge, config);
        ok = a.exitCode == 0 && b.exitCode == 0 && merged.exitCode == 0;
        translateTimes.push_back(a.seconds + b.seconds);
        mergeTimes.push_back(merged.seconds);
        translatePeakKiB = std::max({translatePeakKiB, a.peakKiB, b.peakKiB});
        mergePeakKiB = std::max(mergePeakKiB, merged.peakKiB);
    }
    fs::remove_all(dir);
    if (!ok) {
        std::fprintf(stderr, "a translation or the merge failed\n");
        return 1;
    }
    const double translateMs = Median(translateTimes) * 1000;
    const double mergeMs = Median(mergeTimes) * 1000;
    std::printf("two files of the same %d links, %.1f MiB each, %d runs%s\n", links, fileMiB, runs,
                report ? ", the merge writing a report" : "");
    std::printf("translating both: median %.1f ms; merging them: median %.1f ms: %.2fx (%s; target at most 2.5x)\n",
                translateMs, mergeMs, mergeMs / translateMs, PairSpread(mergeTimes, translateTimes).c_str());
    std::printf("peak memory: translation %.1f MiB, merge %.1f MiB: %.2fx (target at most 2x)\n",
                static_cast<double>(translatePeakKiB) / 1024.0, static_cast<double>(mergePeakKiB) / 1024.0,
                static_cast<double>(mergePeakKiB) / static_cast<double>(translatePeakKiB));
    return 0;
}
