// Ranking a drive of one million folders by each of the nine keys, against
// a baseline that reads both records from their lines at every comparison
// (the record reader's way: parse a line into the scratch record, copy it,
// parse the other), and the memory the ranking takes beside the folder list.
//
//   rank_bench [folders] [rounds] [baseline rounds]   defaults: 1000000 5 1
//
// The folder lines are generated in memory in cache order (sorted without
// regard to case) with the window's default filters on (hidden, read-only,
// system, no own files) and ten exclusion entries, half of them with their
// subfolders.
#include "core/cache/Folders.h"
#include "core/views/Rank.h"
#include "lib/StringList.h"
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace nrvs;

struct Rng {
    std::mt19937_64 engine{20261207};
    uint64_t Below(uint64_t n) { return engine() % n; }
    bool Chance(int percent) { return Below(100) < static_cast<uint64_t>(percent); }
};

// Lower-case names only: folders that differ only in case are a case the
// baseline's contiguous removal gets wrong, and the comparison of results
// would flag it.
const char* const kNames[] = {
    "usr",   "share",   "lib",   "bin",    "include", "src",    "doc",     "locale",
    "icons", "python3", "build", "test",   "data",    "assets", "images",  "fonts",
    "cache", "config",  "old",   "backup", "2024",    "photos", "写真",    "документы",
    "music", "videos",  "work",  "notes",  "vendor",  "mods",   "objects", "résumé"};

// Every name ends in the folder's number: a folder has one line.
std::string Name(Rng& rng, size_t number) {
    static const char kAlnum[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    if (rng.Chance(60))
        s = kNames[rng.Below(sizeof kNames / sizeof *kNames)];
    else
        for (uint64_t n = 3 + rng.Below(12); n > 0; --n)
            s += kAlnum[rng.Below(36)];
    if (rng.Chance(4)) s = "." + s;
    return s + std::to_string(number);
}

StringList MakeLines(int count, Rng& rng) {
    std::vector<std::string> paths{"C:\\"};
    paths.reserve(static_cast<size_t>(count));
    std::vector<int> depth{0};
    std::vector<bool> hidden{false};
    while (static_cast<int>(paths.size()) < count) {
        // Parents drawn from recent folders give deep, bushy trees.
        size_t n = paths.size();
        size_t parent =
            n < 64 || rng.Chance(10) ? rng.Below(n) : n - 1 - rng.Below(std::min<size_t>(n, 5000));
        if (depth[parent] >= 18) parent = 0;
        const std::string name = Name(rng, n);
        paths.push_back(paths[parent] + name + "\\");
        depth.push_back(depth[parent] + 1);
        hidden.push_back(name[0] == '.');
    }
    StringList lines;
    lines.reserve(paths.size() + 1);
    for (size_t i = 0; i < paths.size(); ++i) {
        FolderRecord r;
        r.Path = std::move(paths[i]);
        r.OwnBytes = static_cast<double>(rng.Below(1u << 24));
        r.OwnOccupied = r.OwnBytes + static_cast<double>(rng.Below(1u << 16));
        r.TreeBytes = r.OwnBytes * static_cast<double>(1 + rng.Below(50));
        r.TreeOccupied = r.TreeBytes + static_cast<double>(rng.Below(1u << 20));
        r.OwnFiles = rng.Chance(15) ? 0 : static_cast<int32_t>(rng.Below(300));
        r.TreeFiles = r.OwnFiles + static_cast<int32_t>(rng.Below(100000));
        r.OwnFolders = static_cast<int32_t>(rng.Below(40));
        r.TreeFolders = r.OwnFolders + static_cast<int32_t>(rng.Below(20000));
        r.Hidden = hidden[i];
        r.ReadOnly = rng.Chance(1);
        r.System = rng.Chance(1);
        r.Archive = rng.Chance(30);
        lines.push_back(FormatRecord(r));
    }
    std::stable_sort(lines.begin(), lines.end(), platform::LessIgnoreCase);
    // Copied in order, as reading the cache file allocates them: the sort
    // left each line's text where it was made, scattered over the heap.
    StringList loaded;
    loaded.reserve(lines.size() + 1);
    loaded.push_back("2026/12/07 10:00:00=00:12:34");
    for (const auto& l : lines)
        loaded.push_back(l);
    return loaded;
}

// The literal reading: the working list is a copy of the lines, filtered by
// the removal loop (a folder's subfolders are the lines after it that begin
// with its path), sorted by a comparison that parses both lines.
struct Baseline {
    StringList work;
    uint32_t counter = 0;
    void Run(const StringList& lines, const RankOptions& o) {
        work.assign(lines.begin() + 2, lines.end());
        StringList kept;
        kept.reserve(work.size());
        FolderList reader;
        for (size_t i = 0; i < work.size();) {
            const FolderRecord r = ParseRecord(work[i]);
            int mode = 0;
            const RankExclusion* ex = nullptr;
            for (const auto& e : o.Exclusions)
                if (platform::CompareTextIgnoreCase(e.Path, r.Path) == 0) {
                    ex = &e;
                    break;
                }
            if (ex)
                mode = ex->WithSubfolders ? 2 : 1;
            else if ((o.Filters[0] != '0' && r.Archive) || (o.Filters[1] != '0' && r.Hidden) ||
                     (o.Filters[2] != '0' && r.ReadOnly) || (o.Filters[3] != '0' && r.System))
                mode = 2;
            else if (o.Filters[4] != '0' && r.OwnFiles == 0)
                mode = 1;
            if (mode == 0) {
                kept.push_back(std::move(work[i]));
                ++i;
                continue;
            }
            ++i;
            if (mode == 2) {
                std::string_view q;
                while (i < work.size() && PathOfLine(work[i], q) &&
                       q.substr(0, r.Path.size()) == r.Path)
                    ++i;
            }
        }
        work.swap(kept);
        const int key = o.SortKey;
        std::sort(work.begin(), work.end(), [&](const std::string& a, const std::string& b) {
            reader.Current = ParseRecord(a);
            const FolderRecord ra = reader.Current;
            reader.Current = ParseRecord(b);
            if (counter == 0) std::strlen(ra.Path.c_str()); // stands for the message line
            counter = (counter + 1) % 100;
            return RankKey(ra, key) > RankKey(reader.Current, key);
        });
    }
};

long StatusKb(const char* field) {
    std::ifstream f("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(f, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}
// Makes VmHWM start again from the present VmRSS.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// CPU time of this thread: on a machine shared with builds, wall time
// counts the waits for a core, this does not.
double CpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int PositiveArg(int argc, char** argv, int index, int def, int least = 1) {
    if (argc <= index) return def;
    int v = std::atoi(argv[index]);
    if (v < least) {
        std::fprintf(stderr, "rank_bench: '%s' is no positive number\n", argv[index]);
        std::exit(2);
    }
    return v;
}

struct Quiet : RankHooks {};

} // namespace

int main(int argc, char** argv) {
    const int folders = PositiveArg(argc, argv, 1, 1000000);
    const int rounds = PositiveArg(argc, argv, 2, 5);
    const int baseRounds = PositiveArg(argc, argv, 3, 1, 0); // 0: no baseline

    const long rssBefore = StatusKb("VmRSS:");
    Rng rng;
    StringList lines = MakeLines(folders, rng);
    ::malloc_trim(0); // what the generator freed is no part of the list
    const long rssList = StatusKb("VmRSS:") - rssBefore;
    // What the list's strings hold on the heap: the vector, and every text
    // too long for the string itself with malloc's rounding and header.
    double heapList = static_cast<double>(lines.capacity() * sizeof(std::string));
    for (const auto& l : lines)
        if (l.capacity() > 15)
            heapList += static_cast<double>(((l.capacity() + 1 + 8 + 15) / 16) * 16);

    RankOptions options;
    options.Filters = "01111";
    for (int i = 0; i < 10; ++i) {
        std::string_view p;
        PathOfLine(lines[2 + rng.Below(lines.size() - 2)], p);
        options.Exclusions.push_back({platform::UpperText(p), i % 2 == 1});
    }

    std::printf("%d folders (%zu lines), filters %s, %zu exclusions, %d rounds (baseline %d)\n\n",
                folders, lines.size(), options.Filters.c_str(), options.Exclusions.size(), rounds,
                baseRounds);
    std::printf(
        "key  ranked    median s        min..max s   cpu s   baseline s   baseline/norvessa\n");

    Quiet quiet;
    bool wrong = false;
    long peakRank = 0, peakBase = 0;
    std::vector<double> medians, cpuMedians;
    for (int key = 0; key < kRankKeys; ++key) {
        options.SortKey = key;
        std::vector<double> times, cpu;
        RankList ranking;
        for (int r = 0; r < rounds; ++r) {
            ranking.Clear();
            const long rss = StatusKb("VmRSS:");
            ResetPeak();
            auto t0 = Clock::now();
            const double c0 = CpuSeconds();
            ranking.Compute(lines, options, quiet);
            cpu.push_back(CpuSeconds() - c0);
            times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
            peakRank = std::max(peakRank, StatusKb("VmHWM:") - rss);
        }
        std::vector<double> base;
        Baseline b;
        for (int r = 0; r < baseRounds; ++r) {
            b.work.clear();
            b.work.shrink_to_fit();
            const long rss = StatusKb("VmRSS:");
            ResetPeak();
            auto t0 = Clock::now();
            b.Run(lines, options);
            base.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
            peakBase = std::max(peakBase, StatusKb("VmHWM:") - rss);
        }
        // Same folders, and the same key at every rank (folders with equal
        // keys may come in another order).
        if (baseRounds == 0) {
            base.push_back(0);
        } else if (static_cast<size_t>(ranking.Count()) != b.work.size()) {
            std::fprintf(stderr, "key %d: %d ranked, %zu by the baseline\n", key, ranking.Count(),
                         b.work.size());
            wrong = true;
        } else {
            std::vector<std::string_view> mine, theirs;
            for (size_t k = 0; k < b.work.size(); ++k) {
                if (RankKey(ParseRecord(b.work[k]), key) != ranking.Entries()[k].Key) wrong = true;
                mine.push_back(lines[ranking.Entries()[k].Line]);
                theirs.push_back(b.work[k]);
            }
            std::sort(mine.begin(), mine.end());
            std::sort(theirs.begin(), theirs.end());
            if (mine != theirs) wrong = true;
        }
        const double m = Median(times), bm = Median(base);
        medians.push_back(m);
        cpuMedians.push_back(Median(cpu));
        std::printf("%3d  %7d  %10.3f  %7.3f..%-7.3f  %6.3f  %11.3f  %18.1f\n", key,
                    ranking.Count(), m, *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()), Median(cpu), bm, bm / m);
    }
    std::printf("\nmemory: folder list %.1f MB (%.1f MB by its strings); ranking peak %.1f MB "
                "(%.0f %% of the list); "
                "baseline peak %.1f MB\n",
                rssList / 1024.0, heapList / 1048576.0, peakRank / 1024.0,
                100.0 * peakRank * 1024.0 / heapList, peakBase / 1024.0);
    const double worst = *std::max_element(medians.begin(), medians.end());
    std::printf("slowest key median %.3f s: %s 1 second (CPU: slowest %.3f s)\n", worst,
                worst < 1.0 ? "under" : "NOT under",
                *std::max_element(cpuMedians.begin(), cpuMedians.end()));
    if (wrong) {
        std::printf("WRONG RESULTS: the ranking differs from the baseline's\n");
        return 1;
    }
    return 0;
}
