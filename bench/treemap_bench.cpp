// How long the treemap of a drive takes: the copy of the folder lines the
// window hands to its worker, the squarified layout and the drawing
// (cushions and labels) at 1600 x 1000, for a generated drive of one
// million folders and for /usr measured as it is. The baseline is the time
// to load the same drive's cache file at start-up, which every look at a
// drive pays anyway.
//
//   treemap_bench [folders] [rounds]      defaults: 1000000 folders, 5 rounds
//
// The cache files are written once into a temporary folder and read back
// every round, so the page cache is warm.
#include "core/Cache.h"
#include "core/Folders.h"
#include "core/Measure.h"
#include "core/Treemap.h"
#include "lib/Slib.h"
#include "platform/Pdrives.h"
#include "ui/treemap/Utmdraw.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Processor time of this thread: on a machine shared with other builds the
// wall clock also counts their turns.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Stats {
    double median, low, high;
};
Stats Summarize(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}

// A drive of count folders under C:\ with depths weighted as on a system
// drive and sizes spread over six orders of magnitude, summed up the tree.
// Seeded raw engine output, so every run builds the same drive.
std::vector<std::string> MakeDrive(int count, std::vector<nrvs::DirEntry>& rootEntries) {
    std::mt19937_64 rng(20261207);
    struct F {
        int parent, depth;
        nrvs::FolderRecord rec;
    };
    std::vector<F> folders;
    folders.reserve(static_cast<size_t>(count));
    folders.push_back({-1, 0, {}});
    folders[0].rec.Path = "C:\\";
    const int weights[] = {0, 1, 8, 30, 60, 90, 110, 120, 115, 100, 85, 70, 55, 40, 30, 20, 12, 8, 5};
    std::vector<std::vector<int>> byDepth(std::size(weights));
    byDepth[0].push_back(0);
    int sum = 0;
    for (int w : weights) sum += w;
    while (static_cast<int>(folders.size()) < count) {
        int r = static_cast<int>(rng() % static_cast<uint64_t>(sum)), depth = 1;
        while (r >= weights[depth]) r -= weights[depth++];
        // A few dozen top folders, as on a real drive.
        if (depth == 1 && byDepth[1].size() >= 40) depth = 2;
        while (byDepth[static_cast<size_t>(depth - 1)].empty()) --depth;
        const auto& parents = byDepth[static_cast<size_t>(depth - 1)];
        const int parent = parents[rng() % parents.size()];
        F f{parent, depth, {}};
        f.rec.Path = folders[static_cast<size_t>(parent)].rec.Path + "f" + std::to_string(folders.size()) + "\\";
        byDepth[static_cast<size_t>(depth)].push_back(static_cast<int>(folders.size()));
        folders.push_back(std::move(f));
    }
    for (F& f : folders) {
        f.rec.OwnFiles = static_cast<int32_t>(rng() % 40);
        f.rec.OwnBytes = static_cast<double>(rng() % (1ull << (4 + rng() % 24)));
        f.rec.OwnOccupied = (static_cast<uint64_t>(f.rec.OwnBytes) + 4095) / 4096 * 4096.0;
        f.rec.TreeBytes = f.rec.OwnBytes;
        f.rec.TreeOccupied = f.rec.OwnOccupied;
        f.rec.TreeFiles = f.rec.OwnFiles;
    }
    for (size_t i = folders.size(); i-- > 1;) {
        nrvs::FolderRecord& p = folders[static_cast<size_t>(folders[i].parent)].rec;
        const nrvs::FolderRecord& c = folders[i].rec;
        p.OwnFolders += 1;
        p.TreeFolders += 1 + c.TreeFolders;
        p.TreeFiles += c.TreeFiles;
        p.TreeBytes += c.TreeBytes;
        p.TreeOccupied += c.TreeOccupied;
    }
    std::vector<std::string> lines;
    lines.reserve(folders.size());
    for (F& f : folders) {
        lines.push_back(nrvs::FormatRecord(f.rec));
        if (f.depth == 1) {
            nrvs::DirEntry e;
            e.Name = f.rec.Path.substr(3);
            e.IsDir = 1;
            rootEntries.push_back(e);
        }
    }
    return lines;
}

struct Result {
    Stats load, copy, layout, draw, total, cpuLoad, cpuLayoutDraw, relayout, cpuRelayout;
    size_t nodes = 0;
};

// Rounds over one drive: load its cache file (the baseline), copy the
// lines below the folder, lay out, draw.
Result Run(const std::string& cacheFile, const std::string& folder, const std::vector<nrvs::DirEntry>& entries,
           int rounds, const char* picture) {
    std::vector<double> load, copy, layout, draw, total, cpuLoad, cpuLayoutDraw, relayout, cpuRelayout;
    Result r;
    for (int round = 0; round < rounds; ++round) {
        nrvs::FolderList list;
        const double c0 = CpuSeconds();
        auto t0 = Clock::now();
        nrvs::LoadLines(list.Lines, cacheFile);
        list.Changed();
        auto t1 = Clock::now();
        const double c1 = CpuSeconds();
        nrvs::TmSource source;
        source.Path = folder;
        source.Lines = nrvs::SubtreeLines(list, folder);
        source.Entries = entries;
        auto shared = std::make_shared<const nrvs::TmSource>(std::move(source));
        auto t2 = Clock::now();
        const double c2 = CpuSeconds();
        nrvs::Treemap map = nrvs::BuildTreemap(shared, 1600, 1000);
        auto t3 = Clock::now();
        QImage image = nrvs::DrawTreemap(map, nrvs::TC_KIND, 0);
        auto t4 = Clock::now();
        const double c4 = CpuSeconds();
        // A new size: the window lays out again with what the first
        // layout found about the lines.
        const double c5 = CpuSeconds();
        auto t5 = Clock::now();
        nrvs::Treemap again = nrvs::BuildTreemap(shared, 1500, 950);
        QImage image2 = nrvs::DrawTreemap(again, nrvs::TC_KIND, 0);
        relayout.push_back(Seconds(t5, Clock::now()));
        cpuRelayout.push_back(CpuSeconds() - c5);
        cpuLoad.push_back(c1 - c0);
        cpuLayoutDraw.push_back(c4 - c2);
        load.push_back(Seconds(t0, t1));
        copy.push_back(Seconds(t1, t2));
        layout.push_back(Seconds(t2, t3));
        draw.push_back(Seconds(t3, t4));
        total.push_back(Seconds(t1, t4));
        r.nodes = map.Nodes.size();
        if (round == 0 && picture) image.save(picture);
    }
    r.load = Summarize(load);
    r.copy = Summarize(copy);
    r.layout = Summarize(layout);
    r.draw = Summarize(draw);
    r.total = Summarize(total);
    r.cpuLoad = Summarize(cpuLoad);
    r.cpuLayoutDraw = Summarize(cpuLayoutDraw);
    r.relayout = Summarize(relayout);
    r.cpuRelayout = Summarize(cpuRelayout);
    return r;
}

void Print(const char* what, const Result& r) {
    auto row = [](const char* name, const Stats& s) {
        std::printf("  %-34s %8.3f s  (%.3f..%.3f)\n", name, s.median, s.low, s.high);
    };
    std::printf("%s: %zu rectangles\n", what, r.nodes);
    row("load cache file (baseline)", r.load);
    row("copy of the folder lines", r.copy);
    row("squarified layout 1600x1000", r.layout);
    row("drawing (cushions, labels)", r.draw);
    row("treemap total (copy+layout+draw)", r.total);
    row("new size 1500x950 (layout+draw)", r.relayout);
    row("processor time: load (baseline)", r.cpuLoad);
    row("processor time: layout+draw", r.cpuLayoutDraw);
    row("processor time: new size", r.cpuRelayout);
    std::printf("  wall: treemap/load = %.2f, layout+draw = %.3f s; processor: (layout+draw)/load = %.2f, "
                "layout+draw = %.3f s (target < 0.5 s)\n",
                r.total.median / r.load.median, r.layout.median + r.draw.median,
                r.cpuLayoutDraw.median / r.cpuLoad.median, r.cpuLayoutDraw.median);
}

int Arg(int argc, char** argv, int index, int def) {
    if (argc <= index) return def;
    char* end = nullptr;
    const long v = std::strtol(argv[index], &end, 10);
    if (*end || v < 1 || v > 50'000'000) {
        std::fprintf(stderr, "treemap_bench: bad number '%s'\n", argv[index]);
        std::exit(2);
    }
    return static_cast<int>(v);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int count = Arg(argc, argv, 1, 1'000'000);
    const int rounds = Arg(argc, argv, 2, 5);
    std::string dir = (std::filesystem::temp_directory_path() / "nrvs-treemap-bench.XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        std::perror("treemap_bench: mkdtemp");
        return 1;
    }
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } cleanup{dir};

    std::vector<nrvs::DirEntry> rootEntries;
    nrvs::StringList lines = MakeDrive(count, rootEntries);
    const std::string generated = dir + "/NRVS_C.txt";
    nrvs::SaveLines(lines, generated);
    lines.clear();
    std::printf("generated drive: %d folders, %zu top folders, %d rounds\n", count, rootEntries.size(), rounds);
    Print("generated drive C:\\", Run(generated, "C:\\", rootEntries, rounds, std::getenv("TREEMAP_PNG")));

    // /usr measured as a drive of its own (its path in program form is
    // that of drive C:, as the program shows it without a drive map).
    nrvs::platform::DetectDriveMap();
    nrvs::FolderList usr;
    nrvs::MeasureHooks hooks;
    auto m0 = Clock::now();
    nrvs::MeasureTree(usr, "C:\\usr\\", 4096, 0, hooks);
    const double measured = Seconds(m0, Clock::now());
    usr.Sort();
    const std::string usrFile = dir + "/NRVS_U.txt";
    nrvs::SaveLines(usr.Lines, usrFile);
    nrvs::TmSource listing;
    listing.Path = "C:\\usr\\";
    nrvs::ListEntries(listing, 4096);
    std::printf("\n/usr: %d folders (measured in %.2f s)\n", usr.Count(), measured);
    Print("/usr", Run(usrFile, "C:\\usr\\", listing.Entries, rounds, nullptr));
    return 0;
}
