// How long the treemap of a drive takes: the copy of the folder lines the
// window hands to its worker, the squarified layout and the drawing
// (cushions and labels) at 1600 x 1000, for a generated drive of one
// million folders and for /usr measured as it is. The baseline is the time
// to load the same drive's cache file at start-up, which every look at a
// drive pays anyway. Then a drive of a million files with its file index:
// every file a tile of its own, a new size, and a type lit.
//
//   treemap_bench [folders] [rounds]      defaults: 1000000 folders, 5 rounds
//
// The cache files are written once into a temporary folder and read back
// every round, so the page cache is warm.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/cache/Folders.h"
#include "core/measure/Measure.h"
#include "core/treemap/Treemap.h"
#include "platform/Drives.h"
#include "ui/treemap/TreemapPainter.h"

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
double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

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
    const int weights[] = {0,  1,  8,  30, 60, 90, 110, 120, 115, 100,
                           85, 70, 55, 40, 30, 20, 12,  8,   5};
    std::vector<std::vector<int>> byDepth(std::size(weights));
    byDepth[0].push_back(0);
    int sum = 0;
    for (int w : weights)
        sum += w;
    while (static_cast<int>(folders.size()) < count) {
        int r = static_cast<int>(rng() % static_cast<uint64_t>(sum)), depth = 1;
        while (r >= weights[depth])
            r -= weights[depth++];
        // A few dozen top folders, as on a real drive.
        if (depth == 1 && byDepth[1].size() >= 40) depth = 2;
        while (byDepth[static_cast<size_t>(depth - 1)].empty())
            --depth;
        const auto& parents = byDepth[static_cast<size_t>(depth - 1)];
        const int parent = parents[rng() % parents.size()];
        F f{parent, depth, {}};
        f.rec.Path = folders[static_cast<size_t>(parent)].rec.Path + "f" +
                     std::to_string(folders.size()) + "\\";
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
Result Run(const std::string& cacheFile, const std::string& folder,
           const std::vector<nrvs::DirEntry>& entries, int rounds, const char* picture) {
    std::vector<double> load, copy, layout, draw, total, cpuLoad, cpuLayoutDraw, relayout,
        cpuRelayout;
    Result r;
    for (int round = 0; round < rounds; ++round) {
        nrvs::FolderList list;
        const double c0 = CpuSeconds();
        auto t0 = Clock::now();
        list.Load(cacheFile);
        auto t1 = Clock::now();
        const double c1 = CpuSeconds();
        nrvs::TreemapSource source;
        source.Path = folder;
        source.Lines = nrvs::SubtreeLines(list, folder);
        source.Entries = entries;
        auto shared = std::make_shared<const nrvs::TreemapSource>(std::move(source));
        auto t2 = Clock::now();
        const double c2 = CpuSeconds();
        nrvs::Treemap map = nrvs::BuildTreemap(shared, 1600, 1000);
        auto t3 = Clock::now();
        QImage image = nrvs::DrawTreemap(map, nrvs::COLOUR_BY_KIND, 0);
        auto t4 = Clock::now();
        const double c4 = CpuSeconds();
        // A new size: the window lays out again with what the first
        // layout found about the lines.
        const double c5 = CpuSeconds();
        auto t5 = Clock::now();
        nrvs::Treemap again = nrvs::BuildTreemap(shared, 1500, 950);
        QImage image2 = nrvs::DrawTreemap(again, nrvs::COLOUR_BY_KIND, 0);
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
    std::printf(
        "  wall: treemap/load = %.2f, layout+draw = %.3f s; processor: (layout+draw)/load = %.2f, "
        "layout+draw = %.3f s (target < 0.5 s)\n",
        r.total.median / r.load.median, r.layout.median + r.draw.median,
        r.cpuLayoutDraw.median / r.cpuLoad.median, r.cpuLayoutDraw.median);
}

// A drive of files: folders in a random tree (a few levels deep), each with
// perFolder files of sizes over seven orders of magnitude and the usual
// kinds, its cache lines and its file index in dir. The root's entries are
// its top folders.
struct IndexedDrive {
    std::string cacheFile, indexFile, header;
    std::vector<nrvs::DirEntry> rootEntries;
    size_t files = 0;
};
IndexedDrive MakeIndexedDrive(const std::string& dir, int folders, int perFolder) {
    std::mt19937_64 rng(7);
    std::vector<int> parent(static_cast<size_t>(folders), -1);
    std::vector<std::vector<int>> children(static_cast<size_t>(folders));
    for (int i = 1; i < folders; ++i) {
        // Mostly below recent folders: depth grows slowly, as on a disk.
        const int lo = i > 64 ? i - 64 : 0;
        parent[static_cast<size_t>(i)] =
            i < 30 ? 0 : lo + static_cast<int>(rng() % static_cast<uint64_t>(i - lo));
        children[static_cast<size_t>(parent[static_cast<size_t>(i)])].push_back(i);
    }
    static const char* const ext[] = {".jpg", ".mp4", ".so",  ".txt", ".c",
                                      ".zip", "",     ".png", ".pdf", ".log"};
    nrvs::FileIndexData data;
    data.Files.resize(1);
    std::vector<nrvs::FolderRecord> recs(static_cast<size_t>(folders));
    std::vector<uint32_t> slot(static_cast<size_t>(folders));
    // Pre-order, the index's order: a folder's subtree is one range.
    std::vector<int> todo{0};
    while (!todo.empty()) {
        const int f = todo.back();
        todo.pop_back();
        slot[static_cast<size_t>(f)] = static_cast<uint32_t>(data.Folders.size());
        nrvs::FileIndexData::Folder out;
        out.Parent =
            f == 0 ? UINT32_MAX : slot[static_cast<size_t>(parent[static_cast<size_t>(f)])];
        const std::string folderName = f ? "f" + std::to_string(f) : std::string();
        data.SetFolderName(out, folderName);
        out.Begin = data.Files[0].Position();
        const uint64_t nameBytes = data.Files[0].NameBytes();
        out.Count = f == 0 ? 0 : static_cast<uint32_t>(perFolder);
        nrvs::FolderRecord& r = recs[static_cast<size_t>(f)];
        r.Path = f == 0 ? "C:\\"
                        : recs[static_cast<size_t>(parent[static_cast<size_t>(f)])].Path +
                              folderName + "\\";
        for (uint32_t k = 0; k < out.Count; ++k) {
            nrvs::IndexedFile x;
            x.Size = rng() % (uint64_t{1} << (3 + rng() % 25));
            x.Occupied = (x.Size + 4095) / 4096 * 4096;
            x.ModifiedTime = 1700000000 + static_cast<int64_t>(rng() % 30000000);
            const std::string name = "file" + std::to_string(k) + ext[rng() % std::size(ext)];
            data.Files[0].Add(x, name);
            r.OwnBytes += static_cast<double>(x.Size);
            r.OwnOccupied += static_cast<double>(x.Occupied);
        }
        r.OwnFiles = static_cast<int32_t>(out.Count);
        out.NameBytes = static_cast<uint32_t>(data.Files[0].NameBytes() - nameBytes);
        data.Folders.push_back(std::move(out));
        const auto& kids = children[static_cast<size_t>(f)];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            todo.push_back(*it);
    }
    for (int f = folders - 1; f >= 0; --f) {
        const uint32_t s = slot[static_cast<size_t>(f)];
        uint32_t end = s + 1;
        for (int c : children[static_cast<size_t>(f)])
            end = std::max(end, data.Folders[slot[static_cast<size_t>(c)]].SubtreeEnd);
        data.Folders[s].SubtreeEnd = end;
    }
    for (auto& r : recs) {
        r.TreeBytes = r.OwnBytes;
        r.TreeOccupied = r.OwnOccupied;
        r.TreeFiles = r.OwnFiles;
    }
    for (int i = folders - 1; i >= 1; --i) {
        nrvs::FolderRecord& p = recs[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        const nrvs::FolderRecord& c = recs[static_cast<size_t>(i)];
        p.OwnFolders += 1;
        p.TreeFolders += 1 + c.TreeFolders;
        p.TreeFiles += c.TreeFiles;
        p.TreeBytes += c.TreeBytes;
        p.TreeOccupied += c.TreeOccupied;
    }
    IndexedDrive d;
    nrvs::FolderList list;
    for (auto& r : recs)
        list.Append(nrvs::FormatRecord(r));
    list.Sort();
    d.header = nrvs::HeaderLine(1700000000, 1700000100);
    list.InsertFirst(d.header);
    d.cacheFile = dir + "/NRVS_F.txt";
    d.indexFile = dir + "/NRVS_F.idx";
    list.Save(d.cacheFile);
    std::string why;
    if (!nrvs::WriteFileIndex(d.indexFile, 'C', d.header, data, nullptr, {}, &why)) {
        std::fprintf(stderr, "treemap_bench: %s\n", why.c_str());
        std::exit(1);
    }
    for (int c : children[0]) {
        nrvs::DirEntry e;
        e.Name = "f" + std::to_string(c) + "\\";
        e.IsDir = 1;
        d.rootEntries.push_back(e);
    }
    for (const auto& f : data.Folders)
        d.files += f.Count;
    return d;
}

// Rounds over the drive of files: its map at 1600 x 1000 with every file a
// tile, a new size, and one extension lit (drawing only, as the window
// does when a row of the types window is chosen).
void RunIndexed(const IndexedDrive& d, int rounds) {
    nrvs::FolderList list;
    list.Load(d.cacheFile);
    auto index = std::make_shared<nrvs::FileIndex>();
    std::string why;
    if (!index->Open(d.indexFile, 'C', d.header, &why)) {
        std::fprintf(stderr, "treemap_bench: %s\n", why.c_str());
        std::exit(1);
    }
    std::vector<double> first, resized, lit;
    size_t nodes = 0, fileTiles = 0;
    for (int round = 0; round < rounds; ++round) {
        nrvs::TreemapSource source;
        source.Path = "C:\\";
        source.Lines = nrvs::SubtreeLines(list, source.Path);
        source.Entries = d.rootEntries;
        source.Files = index;
        auto shared = std::make_shared<const nrvs::TreemapSource>(std::move(source));
        auto t0 = Clock::now();
        nrvs::Treemap map = nrvs::BuildTreemap(shared, 1600, 1000);
        QImage image = nrvs::DrawTreemap(map, nrvs::COLOUR_BY_KIND, 0);
        auto t1 = Clock::now();
        nrvs::Treemap again = nrvs::BuildTreemap(shared, 1500, 950);
        QImage image2 = nrvs::DrawTreemap(again, nrvs::COLOUR_BY_KIND, 0);
        auto t2 = Clock::now();
        nrvs::TreemapHighlight jpg;
        jpg.On = true;
        jpg.Extension = "jpg";
        QImage image3 = nrvs::DrawTreemap(map, nrvs::COLOUR_BY_KIND, 0, nullptr, jpg);
        auto t3 = Clock::now();
        first.push_back(Seconds(t0, t1));
        resized.push_back(Seconds(t1, t2));
        lit.push_back(Seconds(t2, t3));
        nodes = map.Nodes.size();
        fileTiles = 0;
        for (const auto& n : map.Nodes)
            fileTiles += n.Kind == nrvs::TILE_INDEXED_FILE;
    }
    auto row = [](const char* name, const Stats& s, double goal) {
        std::printf("  %-40s %8.3f s  (%.3f..%.3f)   goal < %.1f s  %s\n", name, s.median, s.low,
                    s.high, goal, s.median < goal ? "PASS" : "MISS");
    };
    std::printf("\ndrive of %zu files with its index: %zu rectangles, %zu of them single files\n",
                d.files, nodes, fileTiles);
    row("layout + drawing 1600x1000", Summarize(first), 0.5);
    row("new size 1500x950 (layout + drawing)", Summarize(resized), 0.2);
    row("one type lit (drawing)", Summarize(lit), 0.1);
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
    std::string dir =
        (std::filesystem::temp_directory_path() / "nrvs-treemap-bench.XXXXXX").string();
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
    std::printf("generated drive: %d folders, %zu top folders, %d rounds\n", count,
                rootEntries.size(), rounds);
    Print("generated drive C:\\",
          Run(generated, "C:\\", rootEntries, rounds, std::getenv("TREEMAP_PNG")));

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
    usr.Save(usrFile);
    nrvs::TreemapSource listing;
    listing.Path = "C:\\usr\\";
    nrvs::ListEntries(listing, 4096);
    std::printf("\n/usr: %d folders (measured in %.2f s)\n", usr.Count(), measured);
    Print("/usr", Run(usrFile, "C:\\usr\\", listing.Entries, rounds, nullptr));

    const int files = Arg(argc, argv, 3, 1'000'000);
    RunIndexed(MakeIndexedDrive(dir, std::max(2, files / 20 + 1), 20), rounds);
    return 0;
}
