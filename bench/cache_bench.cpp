// How long a drive's cache takes to come back at start-up and to answer path
// lookups, and how long sorting the folder lines takes, for a drive of one
// million folders.
//
//   cache_bench [folders] [rounds]      defaults: 1000000 folders, 5 rounds
//   cache_bench --write FILE FOLDERS    only writes such a cache file
//
// The cache file is written once into a temporary folder (in the order the
// program saves it) and read back every round, so the page cache is warm:
// this measures parsing and indexing, not the disk.
#include "core/cache/Cache.h"
#include "core/cache/Folders.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Seeded, and only raw engine output is used (the standard distributions
// differ between libraries), so every run builds the same folders.
struct Rng {
    std::mt19937_64 engine{20261207};
    uint64_t Below(uint64_t n) { return engine() % n; }
    bool Chance(int percent) { return Below(100) < static_cast<uint64_t>(percent); }
    template <class T, size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }
};

const char* const kCommon[] = {
    "usr",
    "share",
    "lib",
    "bin",
    "include",
    "src",
    "doc",
    "man",
    "locale",
    "icons",
    "hicolor",
    "48x48",
    "apps",
    "python3",
    "site-packages",
    "__pycache__",
    "node_modules",
    "dist",
    "build",
    "test",
    "tests",
    "Debug",
    "Release",
    "x64",
    "obj",
    "Documents",
    "Pictures",
    "Music",
    "Videos",
    "Downloads",
    "Desktop",
    "Program Files",
    "Program Files (x86)",
    "Windows",
    "System32",
    "WinSxS",
    "AppData",
    "Local",
    "Roaming",
    "Temp",
    "Microsoft",
    "Cache",
    "cache",
    "config",
    "data",
    "assets",
    "images",
    "fonts",
    "LC_MESSAGES",
    "de",
    "fr",
    "ja",
    "zh_CN",
    "en-US",
    "resources",
    "plugins",
    "modules",
    "vendor",
    "packages",
    "refs",
    "objects",
    "heads",
    "Backup",
    "Archive",
    "2019",
    "2020",
    "2021",
    "2022",
    "2023",
    "2024",
    "2025",
    "old",
    "new",
    "misc",
    "Projects",
    "work",
    "home",
    "Users",
    "Public",
    ".git",
    ".cache",
    ".config",
    ".local",
    "snap",
    "var",
    "log",
    "opt",
    "etc",
    "kernel",
    "drivers",
    "firmware",
};
const char* const kWords[] = {
    "alpha", "beta",   "report", "photos", "holiday", "scan",      "invoice",  "thesis",  "draft",
    "final", "notes",  "client", "server", "common",  "utils",     "core",     "widgets", "mail",
    "sync",  "export", "import", "render", "shader",  "texture",   "audio",    "video",   "player",
    "game",  "saves",  "mods",   "maps",   "sdk",     "toolchain", "compiler", "runtime", "setup",
};
const char* const kWide[] = {"Müller",  "Übersicht", "Größe", "été",   "Café",      "niño",
                             "Ålesund", "Ærø",       "Œuvre", "Ωmega", "πρόγραμμα", "Документы",
                             "Фото",    "日本語",    "写真",  "문서",  "📁 stuff"};

std::string RandomName(Rng& rng) {
    static const char kAlnum[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static const char kHex[] = "0123456789abcdef";
    uint64_t kind = rng.Below(100);
    std::string s;
    if (kind < 45) {
        s = rng.Pick(kCommon);
    } else if (kind < 65) {
        s = rng.Pick(kWords);
        if (rng.Chance(50)) {
            s += rng.Chance(50) ? '_' : ' ';
            s += rng.Pick(kWords);
        }
        if (rng.Chance(40)) s[0] = static_cast<char>(s[0] - 32);
    } else if (kind < 78) {
        for (uint64_t n = 3 + rng.Below(10); n > 0; --n)
            s += kAlnum[rng.Below(36)];
    } else if (kind < 88) {
        // Content-addressed stores: two hex digits, or a long hash.
        for (uint64_t n = rng.Chance(60) ? 2 : 32; n > 0; --n)
            s += kHex[rng.Below(16)];
    } else if (kind < 94) {
        s = std::string(rng.Pick(kWords)) + "-" + std::to_string(rng.Below(10)) + "." +
            std::to_string(rng.Below(30)) + "." + std::to_string(rng.Below(100));
    } else {
        s = rng.Pick(kWide);
        if (rng.Chance(50)) {
            s += ' ';
            s += std::to_string(rng.Below(1000));
        }
    }
    return s;
}

struct Folder {
    int parent;
    int depth;
    nrvs::FolderRecord rec;
};

// A tree of folders under C:\ of mixed depth, with plausible sizes summed up
// the tree the way a measurement sums them.
std::vector<Folder> MakeFolders(int count, Rng& rng) {
    constexpr int kMaxDepth = 18;
    // Folders per depth, roughly as on a developer's system drive.
    const int weights[kMaxDepth + 1] = {0,  1,  8,  30, 60, 90, 110, 120, 115, 100,
                                        85, 70, 55, 40, 30, 20, 12,  8,   5};
    int weightSum = 0;
    for (int w : weights)
        weightSum += w;

    std::vector<Folder> folders;
    folders.reserve(static_cast<size_t>(count));
    std::vector<std::vector<int>> byDepth(kMaxDepth + 1);
    std::unordered_set<std::string> taken;
    taken.reserve(static_cast<size_t>(count) * 2);

    auto add = [&](int parent, std::string path) {
        Folder f;
        f.parent = parent;
        f.depth = parent < 0 ? 0 : folders[static_cast<size_t>(parent)].depth + 1;
        f.rec.Path = std::move(path);
        byDepth[static_cast<size_t>(f.depth)].push_back(static_cast<int>(folders.size()));
        folders.push_back(std::move(f));
    };
    add(-1, "C:\\");
    taken.insert("C:\\");
    while (static_cast<int>(folders.size()) < count) {
        int r = static_cast<int>(rng.Below(static_cast<uint64_t>(weightSum)));
        int depth = 1;
        while (r >= weights[depth])
            r -= weights[depth++];
        while (byDepth[static_cast<size_t>(depth - 1)].empty())
            --depth;
        const std::vector<int>& parents = byDepth[static_cast<size_t>(depth - 1)];
        int parent = parents[rng.Below(parents.size())];
        std::string path = folders[static_cast<size_t>(parent)].rec.Path + RandomName(rng) + "\\";
        if (!taken.insert(path).second) continue;
        add(parent, std::move(path));
    }

    for (Folder& f : folders) {
        nrvs::FolderRecord& r = f.rec;
        r.OwnFiles =
            rng.Chance(30) ? 0 : static_cast<int32_t>(rng.Below(rng.Chance(5) ? 2000 : 40));
        for (int i = 0; i < r.OwnFiles && i < 64; ++i) {
            // Sample some files and scale, so a big folder costs no more than a small one.
            double size = static_cast<double>(rng.Below(1u << (4 + rng.Below(20))));
            double scale = r.OwnFiles > 64 ? r.OwnFiles / 64.0 : 1.0;
            r.OwnBytes += size * scale;
            r.OwnOccupied +=
                (static_cast<double>((static_cast<uint64_t>(size) + 4095) / 4096) * 4096) * scale;
        }
        r.OwnBytes = static_cast<double>(static_cast<uint64_t>(r.OwnBytes));
        r.OwnOccupied = static_cast<double>(static_cast<uint64_t>(r.OwnOccupied) / 4096 * 4096);
        r.Hidden = rng.Chance(3);
        r.ReadOnly = rng.Chance(1);
        r.System = rng.Chance(1);
        r.TreeBytes = r.OwnBytes;
        r.TreeOccupied = r.OwnOccupied;
        r.TreeFiles = r.OwnFiles;
    }
    // Children always come after their parent, so one backward pass sums the tree.
    for (size_t i = folders.size(); i-- > 1;) {
        const nrvs::FolderRecord& c = folders[i].rec;
        nrvs::FolderRecord& p = folders[static_cast<size_t>(folders[i].parent)].rec;
        p.OwnFolders += 1;
        p.TreeFolders += 1 + c.TreeFolders;
        p.TreeFiles += c.TreeFiles;
        p.TreeBytes += c.TreeBytes;
        p.TreeOccupied += c.TreeOccupied;
    }
    return folders;
}

void SortLines(nrvs::StringList& lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return nrvs::platform::LessIgnoreCase(a, b);
    });
}

// Lines that differ only in case compare equal, and a stable sort keeps them
// in the order it found them, so two sorts from different starting orders may
// differ in those places and nowhere else.
bool SameOrder(const nrvs::StringList& a, const nrvs::StringList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (nrvs::platform::CompareTextIgnoreCase(a[i], b[i]) != 0) return false;
        if (i > 0 && nrvs::platform::LessIgnoreCase(a[i], a[i - 1])) return false;
    }
    return true;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Stats {
    double median, low, high;
};

Stats Summarize(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    double m = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {m, v.front(), v.back()};
}

int PositiveArg(int argc, char** argv, int index, int def) {
    if (argc <= index) return def;
    char* end = nullptr;
    long v = std::strtol(argv[index], &end, 10);
    if (*end != '\0' || v < 2 || v > 50'000'000) {
        std::fprintf(stderr, "cache_bench: bad number '%s'\n", argv[index]);
        std::exit(2);
    }
    return static_cast<int>(v);
}

} // namespace

// The cache file of count generated folders, as the program saves it, for
// the scripts that time the command-line tool on a drive of that size.
int WriteCache(const char* file, int count) {
    Rng rng;
    std::vector<Folder> folders = MakeFolders(count, rng);
    nrvs::StringList lines;
    lines.reserve(folders.size() + 1);
    for (Folder& f : folders)
        lines.push_back(nrvs::FormatRecord(f.rec));
    SortLines(lines);
    std::time_t now = std::time(nullptr);
    lines.insert(lines.begin(), nrvs::HeaderLine(now - 183, now));
    if (!nrvs::SaveLines(lines, file)) {
        std::fprintf(stderr, "cache_bench: cannot write %s\n", file);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write")
        return WriteCache(argv[2], PositiveArg(argc, argv, 3, 0));
    const int count = PositiveArg(argc, argv, 1, 1'000'000);
    const int rounds = PositiveArg(argc, argv, 2, 5);
    constexpr int kLookups = 10'000;
    constexpr int kMissing = 1'000; // of the lookups, paths that are not in the cache
    constexpr double kBudget = 2.0;

    std::string dirTemplate =
        (std::filesystem::temp_directory_path() / "nrvs-cache-bench.XXXXXX").string();
    if (!::mkdtemp(dirTemplate.data())) {
        std::perror("cache_bench: mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dirTemplate;
    const std::string file = (dir / "NRVS_C.txt").string();
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } cleanup{dir};

    // --- the cache file, as the program saves it ---
    auto g0 = Clock::now();
    Rng rng;
    std::vector<Folder> folders = MakeFolders(count, rng);
    nrvs::StringList lines;
    lines.reserve(folders.size() + 1);
    size_t pathChars = 0;
    int maxDepth = 0;
    for (Folder& f : folders) {
        lines.push_back(nrvs::FormatRecord(f.rec));
        pathChars += f.rec.Path.size();
        maxDepth = std::max(maxDepth, f.depth);
    }
    nrvs::StringList shuffled =
        lines; // creation order is near-sorted; sorting starts from random order below
    for (size_t i = shuffled.size(); i > 1; --i)
        std::swap(shuffled[i - 1], shuffled[rng.Below(i)]);
    SortLines(lines);
    const nrvs::StringList sortedFolders = lines;
    std::time_t now = std::time(nullptr);
    lines.insert(lines.begin(), nrvs::HeaderLine(now - 183, now));
    if (!nrvs::SaveLines(lines, file)) {
        std::fprintf(stderr, "cache_bench: cannot write %s\n", file.c_str());
        return 1;
    }
    auto fileBytes = std::filesystem::file_size(file);
    lines.clear();
    lines.shrink_to_fit();

    // Lookups: existing folders picked at random, and misses of three kinds a
    // caller really produces: another case, a folder never measured, a file path.
    std::unordered_set<std::string_view> existing;
    existing.reserve(folders.size() * 2);
    for (const Folder& f : folders)
        existing.insert(f.rec.Path);
    std::vector<std::string> wanted;
    std::vector<bool> present;
    for (int i = 0; i < kLookups; ++i) {
        const std::string& p = folders[rng.Below(folders.size())].rec.Path;
        if (i < kLookups - kMissing) {
            wanted.push_back(p);
            present.push_back(true);
            continue;
        }
        std::string miss;
        switch (i % 3) {
        case 0:
            miss = p;
            for (char& c : miss)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (existing.count(miss)) miss += "never measured\\";
            break;
        case 1:
            miss = p + "never measured " + std::to_string(i) + "\\";
            break;
        default:
            miss = p.substr(0, p.size() - 1);
            break;
        }
        wanted.push_back(miss);
        present.push_back(false);
    }
    // A folder measurement's new lines: a folder four levels down and a
    // hundred new folders below it.
    std::string below = "C:\\";
    for (const Folder& f : folders)
        if (f.depth == 4) {
            below = f.rec.Path;
            break;
        }
    nrvs::StringList fresh;
    for (int i = 0; i < 100; ++i) {
        nrvs::FolderRecord r;
        r.Path = i == 0 ? below : below + "new " + std::to_string(i) + "\\";
        r.TreeBytes = r.OwnBytes = i;
        fresh.push_back(nrvs::FormatRecord(r));
    }
    existing.clear();
    folders.clear();
    folders.shrink_to_fit();
    double generate = Seconds(g0, Clock::now());

    std::printf("cache file: %d folders, %.1f MB, mean path %.0f characters, depth up to %d (made "
                "in %.1f s)\n",
                count, static_cast<double>(fileBytes) / 1e6, static_cast<double>(pathChars) / count,
                maxDepth, generate);
    std::fflush(stdout);

    // --- rounds ---
    std::vector<double> loadTimes, lookupTimes, totalTimes, sortTimes, mergeFileTimes, rewriteTimes;
    // The copy a folder measurement merges into: the cache of drive C: of
    // an executable in a folder of its own.
    std::filesystem::create_directory(dir / "exe");
    nrvs::platform::SetExecutablePath((dir / "exe" / "norvessa").string());
    nrvs::DriveRecord drive;
    drive.Index = 2;
    drive.RootPath = "C:\\";
    const std::string merged = nrvs::CacheFileName(drive);
    int wrong = 0;
    for (int round = 0; round < rounds; ++round) {
        nrvs::FolderList list;
        auto t0 = Clock::now();
        if (!list.Load(file)) {
            std::fprintf(stderr, "cache_bench: cannot read %s\n", file.c_str());
            return 1;
        }
        auto t1 = Clock::now();
        int found = 0;
        for (size_t i = 0; i < wanted.size(); ++i) {
            const nrvs::FolderRecord* r = list.FindPath(wanted[i]);
            if (r) ++found;
            if ((r != nullptr) != present[i] || (r && r->Path != wanted[i])) ++wrong;
        }
        auto t2 = Clock::now();
        loadTimes.push_back(Seconds(t0, t1));
        lookupTimes.push_back(Seconds(t1, t2));
        totalTimes.push_back(Seconds(t0, t2));
        if (list.Count() != count + 1) ++wrong;

        // Sorting from a shuffled order; the copy is not timed.
        nrvs::StringList toSort = shuffled;
        auto s0 = Clock::now();
        SortLines(toSort);
        auto s1 = Clock::now();
        sortTimes.push_back(Seconds(s0, s1));
        if (!SameOrder(toSort, sortedFolders)) ++wrong;

        // A folder measurement's cache work as the program does it (read
        // piece by piece, merged, written, replaced) on a copy of the cache,
        // so that every round starts alike, beside the floor of any rewrite:
        // the same bytes written again.
        {
            std::string text;
            nrvs::platform::ReadWholeFile(file, text);
            nrvs::platform::ReplaceFile(merged, text);
            nrvs::StringList lines = fresh;
            auto m0 = Clock::now();
            if (!nrvs::MergeIntoCache(drive, below, "header", lines)) ++wrong;
            auto m1 = Clock::now();
            nrvs::platform::ReplaceFile(merged, text);
            auto m2 = Clock::now();
            mergeFileTimes.push_back(Seconds(m0, m1));
            rewriteTimes.push_back(Seconds(m1, m2));
        }

        std::printf("round %d: load %.3f s, %d lookups %.3f s (%d found), sort %.3f s, folder "
                    "merge %.3f s\n",
                    round + 1, loadTimes.back(), kLookups, lookupTimes.back(), found,
                    sortTimes.back(), mergeFileTimes.back());
        std::fflush(stdout);
    }

    Stats load = Summarize(loadTimes), look = Summarize(lookupTimes), total = Summarize(totalTimes),
          sort = Summarize(sortTimes);
    std::printf("\nmedians of %d rounds (min..max):\n", rounds);
    auto row = [](const std::string& what, const Stats& st) {
        std::printf("  %-44s %7.3f s  (%.3f..%.3f)\n", what.c_str(), st.median, st.low, st.high);
    };
    row("Load of the cache file", load);
    row(std::to_string(kLookups) + " FindPath (the first builds the index)", look);
    row("load + lookups", total);
    row("stable_sort with LessIgnoreCase", sort);
    Stats mergeFile = Summarize(mergeFileTimes), rewrite = Summarize(rewriteTimes);
    row("folder merge of 100 lines into the cache", mergeFile);
    row("floor: the file's bytes written again", rewrite);
    std::printf(
        "folder merge: %.3f us a cache line (goal 0.3), %.2f x the floor of rewriting the file\n",
        mergeFile.median * 1e6 / count, mergeFile.median / rewrite.median);
    std::printf("load + lookups %s %.1f s: %.2f of the budget\n",
                total.median < kBudget ? "stay under" : "EXCEED", kBudget, total.median / kBudget);
    if (wrong) {
        std::printf("WRONG RESULTS in %d places: lookups, line counts or sort order differ from "
                    "what was written\n",
                    wrong);
        return 1;
    }
    return 0;
}
