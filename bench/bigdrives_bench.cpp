// One step of the window on a drive of millions of folders, in a process of
// its own so that its memory is its own: bench/bigdrives.sh runs it on
// generated caches of 1, 3 and 10 million folders and prints the medians.
//
//   bigdrives_bench open CACHE          read the cache as the window does and
//                                       answer its first lookups
//   bigdrives_bench open-strings CACHE  the same with one string a line and a
//                                       path index sorted in full (as before)
//   bigdrives_bench folder CACHE        then a folder measurement of about a
//                                       hundred folders: its lines replaced,
//                                       the cache written
//   bigdrives_bench folder-strings CACHE  the same as before: every line
//                                       filtered, merged, the index rebuilt
//   bigdrives_bench ncdu CACHE OUT      writes the same folders as an ncdu
//                                       JSON export, for ncdu -f
//   bigdrives_bench rank CACHE          the ranking window's computation on
//                                       the open list (its default options,
//                                       Top 100)
//   bigdrives_bench make-index CACHE IDX  writes a file index that belongs
//                                       to the cache: its folders, a few files
//                                       in each that has files of its own
//                                       (about 3 a folder, made from the
//                                       folder's path and own bytes), with the
//                                       project's own writer; for a previous
//                                       measurement, its index
//   bigdrives_bench make-previous CACHE OUT  writes a previous measurement of
//                                       the same drive: an earlier header, 1 %
//                                       of the folders with other figures,
//                                       some without subfolders not there yet,
//                                       and as many more that are gone now
//   bigdrives_bench files CACHE         the largest-files window's first
//                                       answer (Top 100 of the drive by size)
//                                       from the index beside the cache
//   bigdrives_bench types CACHE         the file types window's rows (by
//                                       extension, the whole drive)
//   bigdrives_bench changes CACHE       the changes window's folder rows
//                                       (Top 100 by size) against the previous
//                                       measurement beside the cache
//   bigdrives_bench changes-files CACHE the changes window's file rows for
//                                       the drive's root (the 1000 largest
//                                       changes) from the two file indexes
//   bigdrives_bench treemap CACHE [PNG] the window's first treemap of the
//                                       drive once it is open: the folder's
//                                       lines and entries taken, laid out and
//                                       drawn at 1600 x 1000 (the picture
//                                       saved to PNG when given); held is the
//                                       open list's, peak the treemap's above
//                                       it
//
// Prints one line of tab-separated figures:
//   seconds  folders  held-bytes  peak-bytes  anon-bytes  file-bytes
// held and peak are the process's resident bytes after the step and at its
// highest, less what it held before reading the cache; anon and file split
// held into the process's own memory (RssAnon) and pages of mapped files
// (RssFile: a cache read in place, shared with the page cache).
#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/history/Changes.h"
#include "core/index/FileIndex.h"
#include "core/index/FileKinds.h"
#include "core/cache/Folders.h"
#include "core/views/Rank.h"
#include "core/offline/Snapshot.h"
#include "core/treemap/Treemap.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "ui/treemap/TreemapPainter.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

size_t Grown(size_t now, size_t was) {
    return now > was ? now - was : 0;
}

// VmRSS, VmHWM, RssAnon or RssFile of this process in bytes.
size_t StatusBytes(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::strtoull(line.c_str() + n + 1, nullptr, 10) * 1024;
    return 0;
}

// The lines of the string-list cache and its index as they were: one string
// a line, the path index sorted by hash in full.
struct StringCache {
    nrvs::StringList lines;
    std::vector<std::pair<uint64_t, int>> index;
    static uint64_t Hash(std::string_view s) {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : s)
            h = (h ^ c) * 1099511628211ull;
        return h;
    }
    void Build() {
        index.clear();
        index.reserve(lines.size());
        std::string_view p;
        for (size_t i = 0; i < lines.size(); ++i) {
            nrvs::PathOfLine(lines[i], p);
            index.emplace_back(Hash(p), static_cast<int>(i));
        }
        std::sort(index.begin(), index.end());
    }
    int Find(std::string_view path) const {
        auto it = std::lower_bound(index.begin(), index.end(), std::make_pair(Hash(path), -1));
        std::string_view p;
        for (; it != index.end() && it->first == Hash(path); ++it) {
            nrvs::PathOfLine(lines[static_cast<size_t>(it->second)], p);
            if (p == path) return it->second;
        }
        return -1;
    }
};

// A folder four levels down with about a hundred lines at and below it, and
// its lines measured again (new figures).
std::string PickFolder(const nrvs::FolderList& list) {
    std::string_view p;
    for (size_t i = 1; i + 120 < list.Size(); i += 97) {
        nrvs::PathOfLine(list.LineAt(i), p);
        if (std::count(p.begin(), p.end(), '\\') != 5) continue;
        size_t below = 0;
        std::string_view q;
        for (size_t k = i; k < list.Size() && k < i + 200; ++k) {
            nrvs::PathOfLine(list.LineAt(k), q);
            if (q.substr(0, p.size()) != p) break;
            ++below;
        }
        if (below >= 80 && below <= 150) return std::string(p);
    }
    return "C:\\";
}

nrvs::StringList Remeasured(const nrvs::FolderList& list, const std::string& folder) {
    nrvs::StringList fresh;
    std::string_view p;
    for (size_t i = 1; i < list.Size(); ++i) {
        nrvs::PathOfLine(list.LineAt(i), p);
        if (p.substr(0, folder.size()) != folder) continue;
        nrvs::FolderRecord r = nrvs::ParseRecord(list.LineAt(i));
        r.TreeBytes += 1;
        fresh.push_back(nrvs::FormatRecord(r));
    }
    // The walk gives them deepest first.
    std::reverse(fresh.begin(), fresh.end());
    return fresh;
}

// A JSON string of a name: quotes, backslashes and control bytes escaped.
void PutName(std::FILE* out, std::string_view name) {
    std::fputc('"', out);
    for (unsigned char c : name) {
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", c);
        else if (c < 0x20)
            std::fprintf(out, "\\u%04x", c);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

// The folder lines' paths with their line numbers in byte order of the
// paths: every folder's subtree is then one run after the folder.
std::vector<std::pair<std::string_view, uint32_t>> InByteOrder(const nrvs::FolderList& list) {
    std::vector<std::pair<std::string_view, uint32_t>> order;
    order.reserve(list.Size());
    for (size_t i = 1; i < list.Size(); ++i) {
        std::string_view p;
        if (nrvs::PathOfLine(list.LineAt(i), p)) order.emplace_back(p, static_cast<uint32_t>(i));
    }
    std::sort(order.begin(), order.end());
    return order;
}

// The folders of the cache as ncdu's export: each folder an array of its
// information and its subfolders, its own files' bytes as its own (one
// item a folder, as in the list).
// The paths are put in byte order first: the cache's order puts folders
// whose names differ only in case among each other's subfolders. Lines that
// still fit no tree (a folder without its parent's line) are left out and
// counted.
int WriteNcdu(const std::string& cache, const std::string& outName) {
    nrvs::FolderList list;
    if (!list.Load(cache)) return 1;
    const auto order = InByteOrder(list);
    std::FILE* out = std::fopen(outName.c_str(), "w");
    if (!out) return 1;
    std::fprintf(out, "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000}");
    std::vector<std::string> stack;
    size_t written = 0, skipped = 0;
    nrvs::RecordNumbers n;
    std::string_view path;
    for (const auto& [sortedPath, line] : order) {
        if (!nrvs::ParseNumbers(list.LineAt(size_t{line}), path, n)) continue;
        while (!stack.empty() && path.substr(0, stack.back().size()) != stack.back()) {
            std::fputc(']', out);
            stack.pop_back();
        }
        std::string_view name;
        if (stack.empty()) {
            if (written) {
                ++skipped;
                continue;
            }
            name = "/bigdrive";
        } else {
            name = path.substr(stack.back().size());
            if (name.empty() || name.back() != '\\' ||
                name.substr(0, name.size() - 1).find('\\') != std::string_view::npos) {
                ++skipped;
                continue;
            }
            name.remove_suffix(1);
        }
        std::fputs(",\n[{\"name\":", out);
        PutName(out, name);
        std::fprintf(out, ",\"asize\":%.0f,\"dsize\":%.0f}", n.Floats[2], n.Floats[3]);
        stack.emplace_back(path);
        ++written;
    }
    for (; !stack.empty(); stack.pop_back())
        std::fputc(']', out);
    std::fputs("]\n", out);
    std::fclose(out);
    std::printf("%zu\t%zu\n", written, skipped);
    return 0;
}

int Fail(const char* what) {
    std::fprintf(stderr, "bigdrives_bench: %s\n", what);
    return 1;
}

// The file index a measurement of the cache's drive could have written: the
// cache's folders in pre-order (byte order of the paths puts every folder's
// subtree in one run) and, in each folder with files of its own, one to
// seven of them (never more than the line counts), sharing its own bytes.
// Lines that fit no tree (a folder without its parent's line) are left out
// and counted. The same cache gives the same index every time.
int MakeIndex(const std::string& cache, const std::string& out) {
    nrvs::FolderList list;
    if (!list.Load(cache) || list.Size() < 2) return Fail("cannot read the cache");
    const std::string header(list.LineAt(0));
    const auto order = InByteOrder(list);
    static const char* kExtensions[] = {"jpg", "png", "mp4", "txt",    "pdf",  "zip",  "cpp",
                                        "h",   "dll", "so",  "mp3",    "docx", "json", "js",
                                        "py",  "log", "",    "tar.gz", "xlsx", "iso"};
    nrvs::FileIndexData data;
    data.Files.resize(1);
    nrvs::FileRecords& files = data.Files[0];
    const size_t slash = out.find_last_of('/');
    files.SpillTo(slash == std::string::npos ? "./" : out.substr(0, slash + 1));
    std::vector<std::pair<std::string_view, uint32_t>> stack; // path, folder
    size_t skipped = 0;
    nrvs::RecordNumbers n;
    std::string_view path;
    for (const auto& [sortedPath, line] : order) {
        if (!nrvs::ParseNumbers(list.LineAt(size_t{line}), path, n)) continue;
        while (!stack.empty() && path.substr(0, stack.back().first.size()) != stack.back().first) {
            data.Folders[stack.back().second].SubtreeEnd =
                static_cast<uint32_t>(data.Folders.size());
            stack.pop_back();
        }
        nrvs::FileIndexData::Folder f;
        if (stack.empty()) {
            if (!data.Folders.empty() || path != "C:\\") {
                ++skipped;
                continue;
            }
        } else {
            std::string_view name = path.substr(stack.back().first.size());
            if (name.size() < 2 || name.back() != '\\' ||
                name.substr(0, name.size() - 1).find('\\') != std::string_view::npos) {
                ++skipped;
                continue;
            }
            name.remove_suffix(1);
            f.Parent = stack.back().second;
            data.SetFolderName(f, nrvs::platform::NativeName(name));
        }
        f.Begin = files.Position();
        const uint64_t nameBytes = files.NameBytes();
        // Each folder's files follow from its path and figures alone: a
        // folder the previous measurement saw alike has the same files.
        std::mt19937_64 rng(std::hash<std::string_view>{}(path) ^
                            static_cast<uint64_t>(n.Floats[2]));
        const int own = n.Ints[0];
        const uint32_t count =
            own <= 0 ? 0 : static_cast<uint32_t>(std::min<uint64_t>(own, 1 + rng() % 7));
        uint64_t left = n.Floats[2] > 0 ? static_cast<uint64_t>(n.Floats[2]) : 0;
        for (uint32_t k = 0; k < count; ++k) {
            nrvs::IndexedFile file;
            file.Size = k + 1 == count ? left : left / 4 + (left ? rng() % (left / 2 + 1) : 0);
            left -= file.Size;
            file.Occupied = (file.Size + 4095) / 4096 * 4096;
            file.ModifiedTime = 1500000000 + static_cast<int64_t>(rng() % 250000000);
            const char* ext = kExtensions[rng() % (sizeof kExtensions / sizeof *kExtensions)];
            std::string name = "file" + std::to_string(k) + "_" + std::to_string(rng() % 100000);
            if (*ext) name += std::string(".") + ext;
            if (rng() % 50 == 0) file.Flags |= nrvs::INDEX_FLAG_EXECUTABLE;
            files.Add(file, name);
        }
        f.Count = count;
        f.NameBytes = static_cast<uint32_t>(files.NameBytes() - nameBytes);
        stack.emplace_back(path, static_cast<uint32_t>(data.Folders.size()));
        data.Folders.push_back(f);
    }
    for (; !stack.empty(); stack.pop_back())
        data.Folders[stack.back().second].SubtreeEnd = static_cast<uint32_t>(data.Folders.size());
    if (data.Folders.empty()) return Fail("the cache has no root line");
    files.Seal();
    std::string why;
    if (!nrvs::WriteFileIndex(out, 'C', header, data, nullptr, {}, &why)) return Fail(why.c_str());
    std::printf("%zu\t%llu\t%zu\n", data.Folders.size(),
                static_cast<unsigned long long>(files.Position()), skipped);
    return 0;
}

// The cache as an earlier measurement of the drive saw it, in the cache's
// own order: some folders had other figures, some were not there yet, and
// some that were (a subfolder put right after a folder that has none in the
// cache, where it sorts) are gone now.
int MakePrevious(const std::string& cache, const std::string& out) {
    nrvs::FolderList list;
    if (!list.Load(cache) || list.Size() < 2) return Fail("cannot read the cache");
    std::time_t start = 0;
    if (!nrvs::HeaderStart(std::string(list.LineAt(0)), start))
        return Fail("the cache has no header date");
    nrvs::FolderList previous;
    previous.Append(nrvs::HeaderLine(start - 7 * 86400, start - 7 * 86400 + 150));
    std::mt19937_64 rng(20261207);
    std::string_view path, next;
    size_t changed = 0, fresh = 0, gone = 0;
    for (size_t i = 1; i < list.Size(); ++i) {
        const std::string_view line = list.LineAt(i);
        const unsigned r = static_cast<unsigned>(rng() % 1000);
        // A folder without subfolders in the cache (none follows it that
        // lies below it).
        const bool hasPath = nrvs::PathOfLine(line, path);
        const bool leaf =
            hasPath && (i + 1 == list.Size() || !nrvs::PathOfLine(list.LineAt(i + 1), next) ||
                        !nrvs::platform::StartsWithIgnoreCase(next, path));
        if (i > 1 && r < 5 && leaf) { // new since
            ++fresh;
            continue;
        }
        if (i > 1 && r < 15 && hasPath) {
            nrvs::FolderRecord f = nrvs::ParseRecord(line);
            f.TreeBytes = std::max(0.0, f.TreeBytes - static_cast<double>(rng() % 50000000));
            f.TreeOccupied =
                std::max(f.TreeBytes, f.TreeOccupied - static_cast<double>(rng() % 50000000));
            f.TreeFiles = std::max(0, f.TreeFiles - static_cast<int32_t>(rng() % 20));
            // Its own files were others too.
            f.OwnBytes = std::max(0.0, f.OwnBytes - static_cast<double>(rng() % 1000000));
            previous.Append(nrvs::FormatRecord(f));
            ++changed;
        } else {
            previous.Append(line);
        }
        if (r >= 15 && r < 20 && leaf && !path.empty() && path.back() == '\\') {
            nrvs::FolderRecord g;
            g.Path = std::string(path) + "~gone" + std::to_string(i) + "\\";
            g.TreeBytes = g.OwnBytes = static_cast<double>(rng() % 100000000);
            g.TreeOccupied = g.OwnOccupied =
                (g.TreeBytes + 4095) - std::fmod(g.TreeBytes + 4095, 4096);
            g.OwnFiles = g.TreeFiles = static_cast<int32_t>(rng() % 30);
            previous.Append(nrvs::FormatRecord(g));
            ++gone;
        }
    }
    if (!previous.Save(out)) return Fail("cannot write the previous measurement");
    std::printf("%zu\t%zu\t%zu\n", changed, fresh, gone);
    return 0;
}

// The program's files (index, previous measurement) are those beside the
// cache, as for the command line's copy.
void FilesBeside(const std::string& cache) {
    const size_t slash = cache.find_last_of('/');
    nrvs::platform::SetExecutablePath(
        (slash == std::string::npos ? std::string("./") : cache.substr(0, slash + 1)) +
        "bigdrives-window");
}

} // namespace

// The window's treemap of the drive's root: what TreemapWindow does from the
// open list to the picture on screen, with the root's entries taken from
// the lines as for a drive that is not here (the same few top folders a
// listing would give, without a disk to list).
int TreemapStep(const std::string& cache, const char* png) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bigdrives_bench";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const size_t before = StatusBytes("VmRSS:");
    nrvs::FolderList list;
    if (!list.Load(cache) || !list.FindPath("C:\\")) return Fail("cannot read the cache");
    const size_t listHeld = StatusBytes("VmRSS:") - before;
    const size_t listPeak = StatusBytes("VmHWM:");
    // The root's entries, which the window has from a listing of the disk
    // (a few hundred folders, no time to speak of), are not timed.
    nrvs::TreemapSource s;
    s.Path = "C:\\";
    {
        nrvs::DirListing listing;
        nrvs::ListSnapshot(listing, list, nullptr, s.Path + "*.*", nrvs::LIST_ALL);
        for (const std::string& line : listing.Entries)
            s.Entries.push_back(nrvs::ParseEntry(line));
    }
    auto t0 = Clock::now();
    s.Lines = nrvs::SubtreeLines(list, s.Path);
    auto tSource = Clock::now();
    auto source = std::make_shared<const nrvs::TreemapSource>(std::move(s));
    nrvs::Treemap map = nrvs::BuildTreemap(source, 1600, 1000, 4);
    auto tLaid = Clock::now();
    if (std::getenv("TMDBG")) {
        size_t kinds[8] = {}, tiny[8] = {}, leaves = 0;
        for (const auto& nd : map.Nodes) {
            ++kinds[nd.Kind];
            if (nd.Rect.W * nd.Rect.H < 1) ++tiny[nd.Kind];
            if (nd.Count == 0) ++leaves;
        }
        for (int k = 0; k < 6; ++k)
            std::fprintf(stderr, "kind %d: %zu (%zu under a pixel)\n", k, kinds[k], tiny[k]);
        std::fprintf(stderr, "leaves %zu\n", leaves);
    }
    QImage image = nrvs::DrawTreemap(map, nrvs::COLOUR_BY_KIND, 0);
    const double seconds = Seconds(t0, Clock::now());
    std::fprintf(stderr, "source %.3f s, layout %.3f s (%zu nodes), drawing %.3f s\n",
                 Seconds(t0, tSource), Seconds(tSource, tLaid), map.Nodes.size(),
                 Seconds(tLaid, Clock::now()));
    // The treemap's own peak: above the open list, or nothing when opening
    // the list went higher.
    const size_t peak = StatusBytes("VmHWM:");
    const size_t above = peak > listPeak ? peak - before - listHeld : 0;
    if (png && !image.save(png, "PNG")) return Fail("cannot write the picture");
    std::printf("%.4f\t%zu\t%zu\t%zu\n", seconds, list.Size() - 1, listHeld, above);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "ncdu") return WriteNcdu(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "make-index") return MakeIndex(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "make-previous") return MakePrevious(argv[2], argv[3]);
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "treemap")
        return TreemapStep(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc != 3)
        return Fail(
            "usage: bigdrives_bench "
            "open|open-strings|folder|folder-strings|rank|files|types|changes|treemap CACHE");
    const std::string step = argv[1];
    const std::string cache = argv[2];
    const std::string header = nrvs::HeaderLine(1700000000, 1700000100);
    const size_t before = StatusBytes("VmRSS:");
    const size_t anonBefore = StatusBytes("RssAnon:");
    const size_t fileBefore = StatusBytes("RssFile:");
    double seconds = 0;
    size_t folders = 0;
    size_t held = 0, anon = 0, file = 0;

    if (step == "open" || step == "folder") {
        nrvs::FolderList list;
        auto t0 = Clock::now();
        if (!list.Load(cache)) return Fail("cannot read the cache");
        auto tLoaded = Clock::now();
        if (!list.FindPath("C:\\")) return Fail("no root line");
        seconds = Seconds(t0, Clock::now());
        std::fprintf(stderr, "read %.3f s (%s), first lookup %.3f s\n", Seconds(t0, tLoaded),
                     list.InPlace() ? "in place" : "into memory", Seconds(tLoaded, Clock::now()));
        folders = list.Size() - 1;
        if (step == "folder") {
            const std::string folder = PickFolder(list);
            nrvs::StringList fresh = Remeasured(list, folder);
            const std::string out = cache + ".out";
            auto t1 = Clock::now();
            // What MeasureFolder and Seal do around the walk.
            list.TakeOut(nrvs::LinesOfFolder(list, folder));
            const size_t firstNew = list.Size();
            for (const std::string& line : fresh)
                list.Append(line);
            list.SortMerged(firstNew);
            list.InsertFirst(header);
            auto t2 = Clock::now();
            if (!list.Save(out)) return Fail("cannot write the cache");
            auto t3 = Clock::now();
            if (!list.FindPath(folder)) return Fail("the folder was lost");
            seconds = Seconds(t1, Clock::now());
            std::fprintf(stderr, "lines replaced %.3f s, written %.3f s, looked up again %.3f s\n",
                         Seconds(t1, t2), Seconds(t2, t3), Seconds(t3, Clock::now()));
            std::fprintf(stderr, "folder %s: %zu lines\n", folder.c_str(), fresh.size());
        }
        held = StatusBytes("VmRSS:") - before;
        anon = Grown(StatusBytes("RssAnon:"), anonBefore);
        file = Grown(StatusBytes("RssFile:"), fileBefore);
    } else if (step == "rank") {
        // What the ranking window computes once the drive is open: every
        // folder filtered, and the first places put in order at its largest
        // row count (Top 100).
        nrvs::FolderList list;
        if (!list.Load(cache) || !list.FindPath("C:\\")) return Fail("cannot read the cache");
        folders = list.Size() - 1;
        nrvs::RankList ranking;
        nrvs::RankHooks quiet;
        auto t0 = Clock::now();
        ranking.Compute(list, nrvs::RankOptions{}, quiet, 100);
        seconds = Seconds(t0, Clock::now());
        held = StatusBytes("VmRSS:") - before;
        anon = Grown(StatusBytes("RssAnon:"), anonBefore);
        file = Grown(StatusBytes("RssFile:"), fileBefore);
    } else if (step == "files" || step == "types" || step == "changes" || step == "changes-files") {
        // The drive is open in the window (its header line in hand); the
        // window opens the index, or maps the two measurements, and answers.
        FilesBeside(cache);
        nrvs::FolderList list;
        if (!list.Load(cache) || list.Size() < 2) return Fail("cannot read the cache");
        const std::string header(list.LineAt(0));
        folders = list.Size() - 1;
        size_t rows = 0;
        auto t0 = Clock::now();
        if (step == "changes") {
            nrvs::Measurement current, previous;
            if (!current.Map(cache)) return Fail("cannot map the cache");
            nrvs::PreviousFault fault;
            if (nrvs::LoadPrevious('C', current.Header(), previous, &fault) != nrvs::PREVIOUS_OK)
                return Fail(("no previous measurement: " + fault.Text).c_str());
            std::vector<nrvs::FolderChange> changes = nrvs::CompareMeasurements(previous, current);
            const size_t found = changes.size();
            nrvs::RankChanges(changes, nrvs::CHANGE_KEY_SIZE, nrvs::CHANGE_ALL, 100);
            rows = changes.size();
            std::fprintf(stderr, "%zu folders changed\n", found);
        } else if (step == "changes-files") {
            nrvs::Measurement current, previous;
            if (!current.Map(cache, false) || !previous.Map(nrvs::PreviousCacheName('C'), false))
                return Fail("cannot map the two measurements");
            nrvs::FileIndex before, after;
            std::string why;
            if (!before.Open(nrvs::PreviousIndexName('C'), 'C', previous.Header(), &why) ||
                !after.Open(nrvs::FileIndexName('C'), 'C', current.Header(), &why))
                return Fail(why.c_str());
            rows = nrvs::CompareFileIndexes(before, after, "C:\\", 1000).size();
        } else {
            std::string why;
            auto index = nrvs::OpenFileIndex('C', header, &why);
            if (!index) return Fail(why.c_str());
            if (step == "files") {
                nrvs::FileQuery q;
                rows = nrvs::QueryFiles(*index, q).size();
            } else {
                rows = nrvs::TypeStatistics(*index, {}, false).size();
            }
            std::fprintf(stderr, "%u files in the index\n", index->FileCount());
        }
        seconds = Seconds(t0, Clock::now());
        std::fprintf(stderr, "%zu rows\n", rows);
        held = StatusBytes("VmRSS:") - before;
        anon = Grown(StatusBytes("RssAnon:"), anonBefore);
        file = Grown(StatusBytes("RssFile:"), fileBefore);
    } else if (step == "open-strings" || step == "folder-strings") {
        StringCache list;
        auto t0 = Clock::now();
        if (!nrvs::LoadLines(list.lines, cache)) return Fail("cannot read the cache");
        list.Build();
        if (list.Find("C:\\") < 0) return Fail("no root line");
        seconds = Seconds(t0, Clock::now());
        folders = list.lines.size() - 1;
        if (step == "folder-strings") {
            nrvs::FolderList view; // only to pick the same folder
            view.Load(cache);
            const std::string folder = PickFolder(view);
            nrvs::StringList fresh = Remeasured(view, folder);
            view.Clear();
            const std::string out = cache + ".out";
            auto t1 = Clock::now();
            nrvs::StringList kept;
            kept.reserve(list.lines.size());
            std::string_view p;
            for (size_t i = 1; i < list.lines.size(); ++i) {
                const bool has = nrvs::PathOfLine(list.lines[i], p);
                if (!has || p.substr(0, folder.size()) != folder)
                    kept.push_back(std::move(list.lines[i]));
            }
            list.lines = std::move(kept);
            auto less = [](const std::string& a, const std::string& b) {
                return nrvs::platform::LessIgnoreCase(a, b);
            };
            const size_t firstNew = list.lines.size();
            for (std::string& line : fresh)
                list.lines.push_back(std::move(line));
            const auto mid = list.lines.begin() + static_cast<std::ptrdiff_t>(firstNew);
            if (!std::is_sorted(list.lines.begin(), mid, less)) return Fail("cache out of order");
            std::stable_sort(mid, list.lines.end(), less);
            std::inplace_merge(list.lines.begin(), mid, list.lines.end(), less);
            list.lines.insert(list.lines.begin(), header);
            if (!nrvs::SaveLines(list.lines, out)) return Fail("cannot write the cache");
            list.Build();
            if (list.Find(folder) < 0) return Fail("the folder was lost");
            seconds = Seconds(t1, Clock::now());
        }
        held = StatusBytes("VmRSS:") - before;
        anon = Grown(StatusBytes("RssAnon:"), anonBefore);
        file = Grown(StatusBytes("RssFile:"), fileBefore);
    } else {
        return Fail("unknown step");
    }
    const size_t peak = StatusBytes("VmHWM:") - before;
    std::printf("%.4f\t%zu\t%zu\t%zu\t%zu\t%zu\n", seconds, folders, held, peak, anon, file);
    return 0;
}
