// The changes of a drive of a million folders between two measurements:
// both caches mapped, compared in one merge pass and ranked, against GNU
// diff of the same two files (a line-by-line comparison that knows nothing
// of folders). Medians of several rounds, min..max beside them.
//
//   changes_bench [folders] [rounds]      defaults: 1000000 5
#include "core/history/Changes.h"
#include "core/cache/Folders.h"
#include "platform/FileAccess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace nrvs;

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.3f s (%.3f..%.3f)", v[v.size() / 2], v.front(), v.back());
    return buf;
}

// A tree of folders of 1 to 12 levels with names like a home folder's.
std::vector<std::string> Tree(size_t n, std::mt19937& rng) {
    static const char* words[] = {"src",    "Documents", "写真",   "build",        "node_modules",
                                  "cache",  "lib",       "2024",   "プロジェクト", "tmp",
                                  "assets", "test data", "vendor", "Música",       "x"};
    std::vector<std::string> paths = {"C:\\"};
    paths.reserve(n);
    while (paths.size() < n) {
        const std::string& parent = paths[rng() % paths.size()];
        if (std::count(parent.begin(), parent.end(), '\\') > 12) continue;
        paths.push_back(parent + words[rng() % 15] + "_" + std::to_string(paths.size()) + "\\");
    }
    return paths;
}

std::string Figures(std::mt19937& rng, int grow) {
    const long long size = static_cast<long long>(rng() % 100000000) + grow;
    return std::to_string(size) + ":" + std::to_string(size + 4096) + ":" +
           std::to_string(rng() % 10000) + ":" + std::to_string(rng() % 10000 + 4096) + ":" +
           std::to_string(rng() % 50) + ":" + std::to_string(rng() % 5000) + ":" +
           std::to_string(rng() % 10) + ":" + std::to_string(rng() % 300) + ":0:0:0:0";
}

} // namespace

int main(int argc, char** argv) {
    const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    char dirTemplate[] = "/tmp/nrvs_changes_XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate) ? std::string(dirTemplate) + "/" : "/tmp/";
    std::mt19937 rng(42);
    const std::vector<std::string> paths = Tree(n, rng);
    // The second measurement: 1 % of the folders grew or shrank, 0.5 % are
    // new and 0.5 % gone (the first leaves out some, the second others).
    FolderList before, after;
    for (const std::string& p : paths) {
        const unsigned r = rng() % 1000;
        std::string line = p + " > " + Figures(rng, 0);
        if (r >= 5) before.Append(line);
        if (r < 5)
            after.Append(p + " > " + Figures(rng, 0));
        else if (r < 10)
            continue;
        else if (r < 20)
            after.Append(p + " > " + Figures(rng, 12345));
        else
            after.Append(line);
    }
    before.Sort();
    after.Sort();
    before.InsertFirst("2026/12/01 10:00:00=00:01:10");
    after.InsertFirst("2026/12/07 10:00:00=00:01:12");
    const std::string a = dir + "NRVS_C.prev.txt", b = dir + "NRVS_C.txt";
    before.Save(a);
    after.Save(b);
    before.Clear();
    after.Clear();
    std::printf("changes of %zu folders, %d rounds (medians, min..max)\n", paths.size(), rounds);

    std::vector<double> ours, diff;
    size_t changed = 0;
    const std::string diffCommand = "diff '" + a + "' '" + b + "' > /dev/null";
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        Measurement x, y;
        x.Map(a);
        y.Map(b);
        std::vector<FolderChange> changes = CompareMeasurements(x, y);
        changed = changes.size();
        RankChanges(changes, CHANGE_KEY_SIZE, CHANGE_ALL, 100);
        ours.push_back(Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        if (std::system(diffCommand.c_str()) == -1) return 1;
        diff.push_back(Seconds(t0));
    }
    std::printf("  folders changed: %zu\n", changed);
    std::printf("  norvessa (map both, merge, top 100): %s\n", Median(ours).c_str());
    std::printf("  GNU diff of the two caches:          %s\n", Median(diff).c_str());
    std::sort(ours.begin(), ours.end());
    std::sort(diff.begin(), diff.end());
    std::printf("  ratio norvessa / diff: %.2f (goal: norvessa under 1 s)\n",
                ours[ours.size() / 2] / diff[diff.size() / 2]);
    ::unlink(a.c_str());
    ::unlink(b.c_str());
    ::rmdir(dir.c_str());
    return 0;
}
