#include "core/treemap/Treemap.h"

#include "core/index/FileKinds.h"
#include "core/cache/Snapshot.h"
#include "platform/Drives.h"
#include "platform/Paths.h"

#include <thread>
#include <cstring>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <string_view>
#include <mutex>
#include <unordered_map>

namespace nrvs {

namespace P = platform;

namespace {

bool Positive(double w) { return std::isfinite(w) && w > 0; }

// Where a line's path ends, as PathOfLine finds it (the last " > "), npos
// for a line without one: a word at a time from the end, skipping the
// words of numbers that hold no '>'. Every line of a drive passes here.
size_t PathLength(std::string_view line) {
    if (line.size() < 3) return std::string_view::npos;
    const char* d = line.data();
    for (size_t i = line.size() - 2; i >= 1; --i) {
        if (i >= 8) {
            uint64_t w;
            std::memcpy(&w, d + i - 7, 8);
            const uint64_t x = w ^ 0x3E3E3E3E3E3E3E3EULL;
            if (((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) == 0) {
                i -= 7;
                continue;
            }
        }
        if (d[i] == '>' && d[i - 1] == ' ' && d[i + 1] == ' ') return i - 1;
    }
    return std::string_view::npos;
}


} // namespace

namespace {

// The layout into out (as many as weights), with a buffer for the order
// that the caller keeps, so that laying out many small folders allocates
// nothing.
void Squarify(const std::vector<double>& weights, const TmRect& bounds, std::vector<TmRect>& out,
              std::vector<size_t>& order) {
    out.assign(weights.size(), TmRect{bounds.X, bounds.Y, 0, 0});
    if (!(bounds.W > 0) || !(bounds.H > 0)) return;
    order.clear();
    double total = 0;
    for (size_t i = 0; i < weights.size(); ++i)
        if (Positive(weights[i])) {
            order.push_back(i);
            total += weights[i];
        }
    if (order.empty()) return;
    if (!std::isfinite(total)) {
        // Sizes beyond what a double adds up: scale them down first.
        std::vector<double> scaled(weights.size(), 0);
        for (size_t i : order) scaled[i] = weights[i] / 1e300;
        Squarify(scaled, bounds, out, order);
        return;
    }
    // Equal weights keep their input order; std::sort with that tie-break
    // needs no buffer, unlike a stable sort, for each of many folders.
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return weights[a] != weights[b] ? weights[a] > weights[b] : a < b; });
    const double scale = bounds.W * bounds.H / total;
    TmRect r = bounds;
    size_t i = 0;
    const size_t n = order.size();
    while (i < n) {
        const bool columns = r.W >= r.H;  // the row runs along the shorter side
        const double side = std::max(columns ? r.H : r.W, 1e-300);
        const double side2 = side * side;
        const double first = weights[order[i]] * scale;
        double rowSum = 0, worst = HUGE_VAL;
        size_t j = i;
        while (j < n) {
            const double a = weights[order[j]] * scale;
            const double sum = rowSum + a;
            const double s2 = sum * sum;
            const double ratio = std::max(side2 * first / s2, s2 / (side2 * a));
            if (j > i && ratio > worst) break;
            worst = ratio;
            rowSum = sum;
            ++j;
        }
        // The last row takes whatever is left, so that rounding never leaves
        // a seam.
        const bool last = j == n;
        double thick = last ? (columns ? r.W : r.H) : rowSum / side;
        double pos = columns ? r.Y : r.X;
        const double end = columns ? r.Y + r.H : r.X + r.W;
        for (size_t k = i; k < j; ++k) {
            const double a = weights[order[k]] * scale;
            double len = k + 1 == j ? end - pos : (thick > 0 ? a / thick : 0);
            if (k + 1 < j) len = std::min(len, end - pos);
            TmRect& o = out[order[k]];
            if (columns) o = {r.X, pos, thick, len};
            else o = {pos, r.Y, len, thick};
            pos += len;
        }
        if (columns) {
            thick = std::min(thick, r.W);
            r.X += thick;
            r.W = std::max(0.0, r.W - thick);
        } else {
            thick = std::min(thick, r.H);
            r.Y += thick;
            r.H = std::max(0.0, r.H - thick);
        }
        i = j;
    }
}

} // namespace

std::vector<TmRect> SquarifyLayout(const std::vector<double>& weights, const TmRect& bounds) {
    std::vector<TmRect> out;
    std::vector<size_t> order;
    Squarify(weights, bounds, out, order);
    return out;
}

TmGroup GroupOfKind(int kind) {
    static const TmGroup byKind[KIND_COUNT] = {TG_IMAGE,  TG_VIDEO,      TG_AUDIO,  TG_DOCUMENT,
                                               TG_ARCHIVE, TG_EXECUTABLE, TG_SOURCE, TG_OTHER};
    return kind >= 0 && kind < KIND_COUNT ? byKind[kind] : TG_OTHER;
}

TmGroup ExtensionGroup(std::string_view name, bool executable) { return GroupOfKind(KindOfFile(name, executable)); }

TmLines::TmLines(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines) push_back(line);
}

TmLines::TmLines(const FolderList& list, std::vector<uint32_t> positions)
    : list_(list), at_(std::move(positions)), all_(false) {}

void TmLines::push_back(std::string_view line) {
    if (!all_ || from_ != 0 || count_ != list_.Size()) {
        // Lines of a list, then one more: the chosen ones become a list of
        // their own.
        FolderList own;
        for (size_t i = 0; i < size(); ++i) own.Append((*this)[i]);
        list_ = std::move(own);
        std::vector<uint32_t>().swap(at_);
        all_ = true;
        from_ = 0;
    }
    list_.Append(line);
    count_ = list_.Size();
    inOrder_ = false;
}

TmLines SubtreeLines(const FolderList& folders, const std::string& path) {
    TmLines out;
    out.list_ = folders;
    out.all_ = false;
    // The line begins with the path, and its own path (up to its last
    // " > ") is no shorter.
    auto begins = [&](size_t i) {
        const std::string_view line = out.list_.LineAt(i);
        if (line.size() < path.size() || line.compare(0, path.size(), path) != 0) return false;
        const size_t length = PathLength(line);
        return length != std::string_view::npos && length >= path.size();
    };
    size_t first = 0, last = 0;
    if (folders.Size() > 1 && out.list_.PrefixRun(path, first, last)) {
        // The lines after the first are in order: the folder's are among
        // those that begin with its path in any case, usually all of them.
        // The first line is a header, or a folder line of a cache without
        // one, whose place in the order nobody checked.
        std::vector<uint32_t> at;
        const bool zero = begins(0);
        if (zero) at.push_back(0);
        size_t runFrom = 0, runCount = 0;
        bool oneRun = !zero;
        for (size_t i = first; i < last; ++i) {
            if (!begins(i)) continue;
            if (runCount == 0) runFrom = i;
            else if (runFrom + runCount != i) oneRun = false;
            ++runCount;
        }
        if (oneRun) {
            out.all_ = true;
            out.from_ = runFrom;
            out.count_ = runCount;
        } else {
            for (size_t i = first; i < last; ++i)
                if (begins(i)) at.push_back(static_cast<uint32_t>(i));
            at.shrink_to_fit();
            out.at_ = std::move(at);
        }
        out.inOrder_ = !zero;
        return out;
    }
    std::vector<uint32_t> at;
    for (size_t i = 0; i < folders.Size(); ++i)
        if (begins(i)) at.push_back(static_cast<uint32_t>(i));
    at.shrink_to_fit();
    out.at_ = std::move(at);
    return out;
}

void ListEntries(TmSource& source, int32_t clusterSize) {
    DirListing listing;
    listing.ClusterSize = clusterSize;
    ListFolder(listing, source.Path + "*.*", LIST_ALL);
    source.Entries.clear();
    source.Entries.reserve(listing.Entries.size());
    for (const std::string& line : listing.Entries) source.Entries.push_back(ParseEntry(line));
}

TmSource MakeSource(const FolderList& folders, const std::string& path, int32_t clusterSize, double usedBytes) {
    TmSource s;
    s.Path = path;
    if (!s.Path.empty() && s.Path.back() != '\\') s.Path += '\\';
    s.UsedBytes = usedBytes;
    s.Lines = SubtreeLines(folders, s.Path);
    // The index of the measurement these lines come from, and no other.
    if (s.Path.size() >= 3 && folders.Count() > 0) s.Files = OpenFileIndex(s.Path[0], std::string(folders.LineAt(0)));
    if (s.Path.size() >= 3 && platform::GetDriveTypeA(s.Path.substr(0, 3)) <= platform::DRIVE_NO_ROOT_DIR) {
        // A drive that is not here (unplugged, or a scan of another
        // machine): the folder's entries as its last measurement saw them.
        DirListing listing;
        ListSnapshot(listing, folders, s.Files.get(), s.Path + "*.*", LIST_ALL);
        for (const std::string& line : listing.Entries) s.Entries.push_back(ParseEntry(line));
        return s;
    }
    ListEntries(s, clusterSize);
    return s;
}

namespace {

std::string_view LastName(std::string_view path) {
    if (path.empty()) return path;
    std::string_view p = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    size_t s = p.rfind('\\');
    return s == std::string_view::npos ? p : p.substr(s + 1);
}

// Hashes of paths: the library's, which reads a word at a time.
uint64_t PathHash(std::string_view path) { return std::hash<std::string_view>{}(path); }

} // namespace

// Children of each line, found once per source, as one list of child lines
// per line (in line order), with the lines right below the folder shown and
// its own line. Nothing else of a line is kept: the few lines a layout reads
// are parsed when it reads them, so that a drive of millions of folders
// costs eight bytes a line here.
//
// A folder list keeps its lines in order (case apart), and then a folder's
// line comes before its subfolders' and its subtree is one run: one pass
// with the chain of open folders finds every parent. Lines not known to be
// in order, or whose order breaks a subtree's run (names that differ only
// in case interleave), are matched by hashes of their paths instead; both
// give the same answer, the first line of a path winning.
// Below this many lines the hashes are taken on one thread.
constexpr size_t kParallelLines = 100000;

struct TmIndex {
    static constexpr int32_t kNone = -1;      // no parent line
    static constexpr int32_t kRepeated = -2;  // a later line of a path already seen
    const TmLines* lines;
    std::string path;                 // the folder shown
    std::vector<uint32_t> childFrom;  // children of line i: children[childFrom[i], childFrom[i + 1])
    std::vector<uint32_t> children;
    std::vector<uint32_t> top;        // the lines right below path
    int rootLine = -1;                // path's own line
    bool verify = false;              // children found by hash, checked when visited
    static constexpr uint32_t kNoPath = UINT32_MAX;
    std::vector<uint32_t> pathLen;    // kNoPath: the line has no numbers

    // The path of line i, false when it has none.
    bool PathAt(size_t i, std::string_view& p) const {
        if (pathLen[i] == kNoPath) return false;
        p = (*lines)[i].substr(0, pathLen[i]);
        return true;
    }

    TmIndex(const TmLines& all, std::string_view mapPath) : lines(&all), path(mapPath) {
        // Where each line's path ends, found once, in two halves side by
        // side on a large list: every later step reads it.
        const size_t count = all.size();
        pathLen.assign(count, kNoPath);
        auto measure = [this, &all](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i) {
                const size_t length = PathLength(all[i]);
                if (length < kNoPath) pathLen[i] = static_cast<uint32_t>(length);
            }
        };
        {
            const size_t half = count >= kParallelLines ? count / 2 : count;
            std::thread second;
            if (half < count) second = std::thread(measure, half, count);
            measure(0, half);
            if (second.joinable()) second.join();
        }
        std::vector<int32_t> parent;
        if (!InOrder(all) || !FromOrder(parent)) FromHashes(parent);
        const size_t n = all.size();
        childFrom.assign(n + 1, 0);
        for (size_t i = 0; i < n; ++i)
            if (parent[i] >= 0) ++childFrom[static_cast<size_t>(parent[i]) + 1];
        for (size_t i = 0; i < n; ++i) childFrom[i + 1] += childFrom[i];
        children.resize(childFrom[n]);
        // Each folder's start serves as its cursor, which leaves it at the
        // next one's start; moved up one place, they are the starts again.
        for (size_t i = 0; i < n; ++i)
            if (parent[i] >= 0) children[childFrom[static_cast<size_t>(parent[i])]++] = static_cast<uint32_t>(i);
        for (size_t i = n; i > 0; --i) childFrom[i] = childFrom[i - 1];
        childFrom[0] = 0;
        top.shrink_to_fit();
    }

    static bool InOrder(const TmLines& all) {
        if (all.InOrder()) return true;
        for (size_t i = 1; i < all.size(); ++i)
            if (platform::LessIgnoreCase(all[i], all[i - 1])) return false;
        return true;
    }

    // What every way of matching notes of a line that is no repeat.
    void Note(size_t i, std::string_view p, size_t parentLen) {
        if (rootLine < 0 && p == path) rootLine = static_cast<int>(i);
        if (parentLen == path.size() && parentLen > 0 && p.compare(0, parentLen, path) == 0)
            top.push_back(static_cast<uint32_t>(i));
    }

    static size_t ParentLength(std::string_view p) {
        const size_t s = p.size() < 2 ? std::string_view::npos : p.rfind('\\', p.size() - 2);
        return s == std::string_view::npos ? 0 : s + 1;
    }

    // A parent that is not open where its child is: missing from the lines
    // (a measurement stopped half way), or a run broken in a way the order
    // does not show. Only the folder shown may lack its line.
    bool Orphan(std::string_view p, size_t up) const {
        return up > 0 && p != path && !(up == path.size() && p.compare(0, up, path) == 0);
    }

    // Lines in order: the chain of folders open at each line finds every
    // parent. Names that differ only in case interleave their subtrees;
    // where a line shows that, the run of lines that begin with that folder
    // in any case is matched by path instead. False when a line's parent is
    // not where the order puts it.
    bool FromOrder(std::vector<int32_t>& parent) {
        const TmLines& all = *lines;
        const size_t n = all.size();
        parent.assign(n, kNone);
        std::vector<Open> chain;
        std::string_view p;
        for (size_t i = 0; i < n; ++i) {
            if (!PathAt(i, p)) continue;  // no numbers: no folder to find
            size_t variant = SIZE_MAX;
            while (!chain.empty()) {
                const Open& o = chain.back();
                const std::string_view q = all[o.line].substr(0, o.length);
                const size_t k = platform::SamePrefix(q, p);
                if (k == q.size()) break;  // an open folder of this line
                // Two plain characters that differ in more than case settle
                // it without the full comparison (which also knows letters
                // whose cases differ in length).
                const bool plainlyOther = k < p.size() && static_cast<unsigned char>(q[k]) < 0x80 &&
                                          static_cast<unsigned char>(p[k]) < 0x80 && (q[k] | 0x20) != (p[k] | 0x20);
                if (!plainlyOther && platform::StartsWithIgnoreCase(p, q)) {
                    variant = chain.size() - 1;
                    break;
                }
                chain.pop_back();
            }
            if (variant != SIZE_MAX) {
                const Open o = chain[variant];
                const std::string_view q = all[o.line].substr(0, o.length);
                chain.resize(variant);
                size_t from = o.line, to = i + 1;
                while (from > 0 && platform::StartsWithIgnoreCase(all[from - 1], q)) --from;
                while (to < n && platform::StartsWithIgnoreCase(all[to], q)) ++to;
                while (!top.empty() && top.back() >= from) top.pop_back();
                if (rootLine >= static_cast<int>(from)) rootLine = -1;
                if (!ByPath(from, to, chain, parent)) return false;
                i = to - 1;
                continue;
            }
            if (!chain.empty() && chain.back().length == p.size()) {
                parent[i] = kRepeated;
                continue;
            }
            const size_t up = ParentLength(p);
            if (!chain.empty() && up > 0 && chain.back().length == up) parent[i] = static_cast<int32_t>(chain.back().line);
            else if (Orphan(p, up)) return false;
            Note(i, p, up);
            chain.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(p.size())});
        }
        return true;
    }

    struct Open {
        uint32_t line, length;
    };

    // Lines [from, to), in order, matched by path: each line's parent is
    // the first line of its parent's path among them (which the order puts
    // before it) or one of the folders open around them.
    bool ByPath(size_t from, size_t to, const std::vector<Open>& chain, std::vector<int32_t>& parent) {
        const TmLines& all = *lines;
        std::unordered_map<std::string_view, uint32_t> seen;
        seen.reserve(to - from);
        std::string_view p;
        for (size_t j = from; j < to; ++j) {
            parent[j] = kNone;
            if (!PathAt(j, p)) continue;
            if (!seen.emplace(p, static_cast<uint32_t>(j)).second) {
                parent[j] = kRepeated;
                continue;
            }
            const size_t up = ParentLength(p);
            if (up > 0) {
                const std::string_view want = p.substr(0, up);
                if (auto f = seen.find(want); f != seen.end()) parent[j] = static_cast<int32_t>(f->second);
                else
                    for (auto o = chain.rbegin(); o != chain.rend(); ++o)
                        if (o->length == up && all[o->line].substr(0, up) == want) {
                            parent[j] = static_cast<int32_t>(o->line);
                            break;
                        }
            }
            if (parent[j] == kNone && Orphan(p, up)) return false;
            Note(j, p, up);
        }
        return true;
    }

    struct Entry {
        uint64_t hash;
        int32_t line;
    };

    // Any order: the lines sorted by the hash of their parent's path are
    // matched against the lines sorted by the hash of their own path.
    void FromHashes(std::vector<int32_t>& parent) {
        const TmLines& all = *lines;
        const size_t n = all.size();
        parent.assign(n, kNone);
        rootLine = -1;
        top.clear();
        std::vector<Entry> byPath, byParent, pathsB, parentsB;
        auto hashRange = [&](size_t from, size_t to, std::vector<Entry>& paths, std::vector<Entry>& parents) {
            paths.reserve(to - from);
            parents.reserve(to - from);
            for (size_t i = from; i < to; ++i) {
                std::string_view p;
                if (!PathAt(i, p)) continue;
                paths.push_back({PathHash(p), static_cast<int32_t>(i)});
                const size_t up = ParentLength(p);
                if (up > 0) parents.push_back({PathHash(p.substr(0, up)), static_cast<int32_t>(i)});
            }
        };
        // The hashes of a large list in two halves side by side, and the
        // two sorts side by side; each half keeps line order.
        const bool split = n >= kParallelLines;
        const size_t half = split ? n / 2 : n;
        {
            std::thread second;
            if (split) second = std::thread(hashRange, half, n, std::ref(pathsB), std::ref(parentsB));
            hashRange(0, half, byPath, byParent);
            if (second.joinable()) second.join();
        }
        byPath.insert(byPath.end(), pathsB.begin(), pathsB.end());
        byParent.insert(byParent.end(), parentsB.begin(), parentsB.end());
        std::vector<Entry>().swap(pathsB);
        std::vector<Entry>().swap(parentsB);
        {
            std::thread second;
            if (split) second = std::thread([&byPath] { RadixSort(byPath); });
            else RadixSort(byPath);
            RadixSort(byParent);
            if (second.joinable()) second.join();
        }
        auto pathOf = [&](size_t i) { return all[i].substr(0, pathLen[i]); };
        // Repeated paths (a damaged list): only the first line counts.
        for (size_t a = 0; a < byPath.size();) {
            size_t b = a + 1;
            while (b < byPath.size() && byPath[b].hash == byPath[a].hash) ++b;
            for (size_t i = a + 1; i < b; ++i)
                for (size_t j = a; j < i; ++j)
                    if (parent[Line(byPath[j])] != kRepeated && pathOf(Line(byPath[j])) == pathOf(Line(byPath[i]))) {
                        parent[Line(byPath[i])] = kRepeated;
                        break;
                    }
            a = b;
        }
        // Each run of one parent hash belongs to the first line whose own
        // path is the run's parent path. A run is one parent's only while no
        // two paths share a hash: each child is checked against its parent
        // when it is visited, where its line is read anyway.
        verify = true;
        size_t j = 0;
        for (size_t a = 0; a < byParent.size();) {
            size_t b = a + 1;
            while (b < byParent.size() && byParent[b].hash == byParent[a].hash) ++b;
            while (j < byPath.size() && byPath[j].hash < byParent[a].hash) ++j;
            const std::string_view up = pathOf(Line(byParent[a])).substr(0, ParentLength(pathOf(Line(byParent[a]))));
            for (size_t k = j; k < byPath.size() && byPath[k].hash == byParent[a].hash; ++k)
                if (parent[Line(byPath[k])] != kRepeated && pathOf(Line(byPath[k])) == up) {
                    for (size_t c = a; c < b; ++c)
                        if (parent[Line(byParent[c])] != kRepeated) parent[Line(byParent[c])] = byPath[k].line;
                    break;
                }
            a = b;
        }
        for (size_t i = 0; i < n; ++i)
            if (pathLen[i] != kNoPath && parent[i] != kRepeated) Note(i, pathOf(i), ParentLength(pathOf(i)));
    }

    static size_t Line(const Entry& e) { return static_cast<size_t>(e.line); }

    // By hash, then line: entries are made in line order, and each pass of
    // the least significant digit sort keeps the order of equal digits.
    static void RadixSort(std::vector<Entry>& v) {
        std::vector<Entry> tmp(v.size());
        for (int shift = 0; shift < 64; shift += 16) {
            std::vector<size_t> countOf(65537, 0);
            for (const Entry& e : v) ++countOf[((e.hash >> shift) & 0xFFFF) + 1];
            for (size_t k = 1; k < countOf.size(); ++k) countOf[k] += countOf[k - 1];
            for (const Entry& e : v) tmp[countOf[(e.hash >> shift) & 0xFFFF]++] = e;
            v.swap(tmp);
        }
    }

    std::string_view Path(size_t i) const {
        std::string_view p;
        PathAt(i, p);
        return p;
    }

    // Size, occupied, own size, own occupied: the first four numbers (or
    // the first fields of them).
    void Sizes(size_t i, double out[4], int fields = 4) const {
        out[0] = out[1] = out[2] = out[3] = 0;
        if (pathLen[i] == kNoPath) return;
        std::string_view rest = (*lines)[i].substr(pathLen[i] + 3);
        for (int f = 0; f < fields; ++f) {
            const size_t colon = rest.find(':');
            out[f] = TextToFloat(rest.substr(0, colon), 0);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }

    template <class F> void ForChildren(size_t line, F&& f) const {
        const std::string_view up = verify ? Path(line) : std::string_view();
        for (uint32_t k = childFrom[line]; k < childFrom[line + 1]; ++k) {
            const size_t child = children[k];
            if (verify && Path(child).substr(0, ParentLength(Path(child))) != up) continue;
            f(static_cast<int32_t>(child));
        }
    }
    template <class F> void ForTop(F&& f) const {
        for (uint32_t c : top) f(static_cast<int32_t>(c));
    }
};

struct TmIndexCache {
    std::mutex lock;
    std::shared_ptr<const TmIndex> index;
};

std::shared_ptr<TmIndexCache> NewIndexCache() { return std::make_shared<TmIndexCache>(); }

namespace {

double Weight(double occupied) { return Positive(occupied) ? std::min(occupied, 1e300) : 0; }

// A file whose tile would cover less than this many pixels joins its
// folder's block of small files.
constexpr double kMinFileTileArea = 24;

// Unmeasured folders have no size; they get a share that is visible but
// never crowds out what was measured.
double UnmeasuredWeight(double measured, int unmeasured) {
    if (unmeasured <= 0) return 0;
    if (measured <= 0) return 1;
    return measured * std::min(0.05, 0.25 / unmeasured);
}

// The first folderKids of kids are subfolders: those whose area in rect
// would be less than a pixel become one block (a single one stays itself),
// of the same colour as they would have been and the same area. Their
// figures are added up so that the block's tip tells what it holds.
void JoinSmallFolders(std::vector<TmNode>& kids, std::vector<double>& weights, size_t folderKids, const TmRect& rect,
                      size_t parent, int32_t parentLine, int16_t depth) {
    double total = 0;
    for (double w : weights) total += w;
    if (!(total > 0) || !std::isfinite(total) || folderKids < 2) return;
    const double perWeight = rect.W * rect.H / total;
    TmNode small;
    small.Parent = static_cast<int32_t>(parent);
    small.Depth = depth;
    small.Kind = TM_SMALL;
    small.Source = parentLine;  // the files block's way: the block names its folder
    small.Size = small.Occupied = 0;
    size_t joined = 0;
    for (size_t i = 0; i < folderKids; ++i)
        if (weights[i] * perWeight < 1) ++joined;
    if (joined < 2) return;
    size_t keep = 0;
    for (size_t i = 0; i < kids.size(); ++i) {
        if (i < folderKids && weights[i] * perWeight < 1) {
            small.Size += std::max(0.0, kids[i].Size);
            small.Occupied += weights[i];
            continue;
        }
        kids[keep] = kids[i];
        weights[keep] = weights[i];
        ++keep;
    }
    kids.resize(keep);
    weights.resize(keep);
    kids.push_back(small);
    weights.push_back(Weight(small.Occupied));
}

} // namespace

Treemap BuildTreemap(std::shared_ptr<const TmSource> source, int width, int height, double minSide,
                     const std::atomic<bool>* cancel) {
    Treemap map;
    if (!source) source = std::make_shared<const TmSource>();
    map.Source = source;
    const std::string& mapPath = source->Path;
    const TmLines& lines = source->Lines;
    const std::vector<DirEntry>& files = source->Entries;
    map.Width = std::max(0, width);
    map.Height = std::max(0, height);
    // The source's own index when it was built for these very lines (a
    // copied source shares the cache of another's lines).
    std::shared_ptr<const TmIndex> kept;
    if (source->Cache) {
        std::lock_guard<std::mutex> guard(source->Cache->lock);
        if (!source->Cache->index || source->Cache->index->lines != &lines || source->Cache->index->path != mapPath)
            source->Cache->index = std::make_shared<const TmIndex>(lines, mapPath);
        kept = source->Cache->index;
    } else {
        kept = std::make_shared<const TmIndex>(lines, mapPath);
    }
    const TmIndex& index = *kept;
    std::vector<TmNode>& nodes = map.Nodes;
    const FileIndex* fileIndex = source->Files && source->Files->IsOpen() ? source->Files.get() : nullptr;

    TmNode root;
    root.Rect = {0, 0, static_cast<double>(map.Width), static_cast<double>(map.Height)};
    const int rootLine = index.rootLine;
    root.Source = rootLine;
    root.Kind = rootLine >= 0 ? TM_FOLDER : TM_UNMEASURED;
    if (rootLine >= 0) {
        double sz[4];
        index.Sizes(static_cast<size_t>(rootLine), sz);
        root.Size = sz[0];
        root.Occupied = sz[1];
    }
    nodes.reserve(std::min<size_t>(lines.size() + files.size() + 1, 4'000'000));
    nodes.push_back(root);

    // The folder shown: its listed folders and single files.
    {
        std::unordered_map<std::string_view, int> topLines;
        index.ForTop([&](int32_t child) {
            topLines.emplace(index.Path(static_cast<size_t>(child)), child);
        });
        std::vector<TmNode> kids;
        double measured = 0, size = 0, occupied = 0;
        int unmeasured = 0;
        for (size_t e = 0; e < files.size(); ++e) {
            const DirEntry& entry = files[e];
            TmNode k;
            k.Parent = 0;
            k.Depth = 1;
            if (entry.IsDir) {
                std::string path = mapPath + entry.Name;
                if (path.back() != '\\') path += '\\';
                auto found = topLines.find(path);
                const int line = found == topLines.end() ? -1 : found->second;
                if (line < 0) {
                    k.Kind = TM_UNMEASURED;
                    k.Source = -1 - static_cast<int32_t>(e);  // the entry, by its index
                    ++unmeasured;
                    kids.push_back(k);
                    continue;
                }
                double sz[4];
                index.Sizes(static_cast<size_t>(line), sz);
                k.Kind = TM_FOLDER;
                k.Source = line;
                k.Size = sz[0];
                k.Occupied = sz[1];
            } else {
                k.Kind = TM_FILE;
                k.Source = static_cast<int32_t>(e);
                k.Group = ExtensionGroup(entry.Name);
                k.Size = entry.Size;
                k.Occupied = entry.Occupied;
            }
            if (Weight(k.Occupied) <= 0) continue;
            measured += Weight(k.Occupied);
            size += std::max(0.0, k.Size);
            occupied += Weight(k.Occupied);
            kids.push_back(k);
        }
        if (rootLine < 0) {
            nodes[0].Size = size;
            nodes[0].Occupied = occupied;
        }
        std::vector<double> weights;
        weights.reserve(kids.size());
        // Before a measurement, the few bytes of a link or two must not take
        // the map from folders of gigabytes: where the volume says how much
        // is used, what the entries leave is the unmeasured folders' share.
        // Once measured, the rest of the volume's use is not theirs (other
        // folders' files, reserved blocks): they only get room to be seen.
        double uw = UnmeasuredWeight(measured, unmeasured);
        if (unmeasured > 0 && rootLine < 0 && Positive(source->UsedBytes) && source->UsedBytes > measured) {
            uw = (source->UsedBytes - measured) / unmeasured;
            map.UnmeasuredEstimated = true;
        }
        if (unmeasured > 0 && measured + uw * unmeasured > 0)
            map.UnmeasuredShare = uw * unmeasured / (measured + uw * unmeasured);
        for (const TmNode& k : kids) weights.push_back(k.Kind == TM_UNMEASURED ? uw : Weight(k.Occupied));
        const std::vector<TmRect> rects = SquarifyLayout(weights, nodes[0].Rect);
        nodes[0].First = 1;
        nodes[0].Count = static_cast<int32_t>(kids.size());
        for (size_t i = 0; i < kids.size(); ++i) {
            kids[i].Rect = rects[i];
            nodes.push_back(kids[i]);
        }
    }

    // Deeper levels from the folder lines, breadth first: the node list is
    // its own queue, so no depth of tree can exhaust the stack.
    std::vector<TmNode> kids;
    std::vector<double> weights;
    std::vector<TmRect> rects;
    std::vector<size_t> order;
    // The index folder of each folder node laid out, found one level down
    // from its parent's: a search from the root for every folder costs its
    // depth in name conversions and sibling scans.
    std::vector<int64_t> folderOf;
    const int64_t mapFolder = fileIndex ? fileIndex->FindFolder(mapPath) : -1;
    for (size_t n = 1; n < nodes.size(); ++n) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        if (nodes[n].Kind != TM_FOLDER) continue;
        const TmRect rect = nodes[n].Rect;
        if (rect.W < minSide || rect.H < minSide) continue;
        const size_t line = static_cast<size_t>(nodes[n].Source);
        int64_t folder = -1;
        if (fileIndex) {
            const int32_t up = nodes[n].Parent;
            const int64_t parentFolder = up <= 0 ? mapFolder
                                         : static_cast<size_t>(up) < folderOf.size() ? folderOf[static_cast<size_t>(up)]
                                                                                     : -1;
            if (parentFolder >= 0)
                folder = fileIndex->ChildFolder(static_cast<uint32_t>(parentFolder),
                                                P::NativeName(LastName(index.Path(line))));
            if (folderOf.size() <= n) folderOf.resize(nodes.size(), -1);
            folderOf[n] = folder;
        }
        kids.clear();
        weights.clear();
        const int16_t depth = static_cast<int16_t>(std::min<int>(nodes[n].Depth + 1, INT16_MAX));
        index.ForChildren(line, [&](int32_t child) {
            double sz[4];
            index.Sizes(static_cast<size_t>(child), sz, 2);
            if (Weight(sz[1]) <= 0) return;
            TmNode k;
            k.Parent = static_cast<int32_t>(n);
            k.Depth = depth;
            k.Kind = TM_FOLDER;
            k.Source = child;
            k.Size = sz[0];
            k.Occupied = sz[1];
            kids.push_back(k);
            weights.push_back(Weight(sz[1]));
        });
        const size_t folderKids = kids.size();
        double self[4];
        index.Sizes(line, self);
        // With the file index, the folder's files are tiles of their own;
        // those too small to be seen at this size join one block, which
        // keeps a folder of many small files quick to lay out and draw.
        int64_t indexed = -1;
        if (fileIndex && Weight(self[3]) > 0) indexed = folder;
        if (indexed >= 0) {
            const uint32_t f = static_cast<uint32_t>(indexed);
            const uint32_t first = fileIndex->FolderFirstFile(f), count = fileIndex->FolderFileCount(f);
            const double area = rect.W * rect.H, total = std::max(Weight(nodes[n].Occupied), 1.0);
            TmNode rest;
            rest.Parent = static_cast<int32_t>(n);
            rest.Depth = depth;
            rest.Kind = TM_FILES;
            rest.Source = nodes[n].Source;
            rest.Size = rest.Occupied = 0;
            for (uint32_t i = first; i < first + count; ++i) {
                const uint8_t flags = fileIndex->Flags(i);
                if ((flags & FI_GONE) || (fileIndex->LinksOnce() && (flags & FI_FURTHER_NAME))) continue;
                const double occ = static_cast<double>(fileIndex->Occupied(i));
                if (Weight(occ) <= 0) continue;
                if (area * occ / total < kMinFileTileArea) {
                    rest.Size += static_cast<double>(fileIndex->Size(i));
                    rest.Occupied += occ;
                    continue;
                }
                TmNode k;
                k.Parent = static_cast<int32_t>(n);
                k.Depth = depth;
                k.Kind = TM_INDEXED_FILE;
                k.Source = static_cast<int32_t>(i);
                k.Group = ExtensionGroup(fileIndex->Name(i), (flags & FI_EXECUTABLE) != 0);
                k.Size = static_cast<double>(fileIndex->Size(i));
                k.Occupied = occ;
                kids.push_back(k);
                weights.push_back(Weight(occ));
            }
            if (Weight(rest.Occupied) > 0) {
                kids.push_back(rest);
                weights.push_back(Weight(rest.Occupied));
            }
        } else if (Weight(self[3]) > 0) {
            TmNode k;
            k.Parent = static_cast<int32_t>(n);
            k.Depth = depth;
            k.Kind = TM_FILES;
            k.Source = nodes[n].Source;
            k.Size = self[2];
            k.Occupied = self[3];
            kids.push_back(k);
            weights.push_back(Weight(self[3]));
        }
        JoinSmallFolders(kids, weights, folderKids, rect, n, nodes[n].Source, depth);
        // A folder holding only its own files is drawn as one block: the
        // files block would only repeat it.
        if (kids.empty() || (kids.size() == 1 && kids[0].Kind == TM_FILES && indexed < 0)) continue;
        Squarify(weights, rect, rects, order);
        nodes[n].First = static_cast<int32_t>(nodes.size());
        nodes[n].Count = static_cast<int32_t>(kids.size());
        for (size_t i = 0; i < kids.size(); ++i) {
            kids[i].Rect = rects[i];
            nodes.push_back(kids[i]);
        }
    }
    return map;
}

int HitTest(const Treemap& map, double x, double y) {
    if (map.Nodes.empty()) return -1;
    auto inside = [&](const TmRect& r) { return x >= r.X && x < r.X + r.W && y >= r.Y && y < r.Y + r.H; };
    if (!inside(map.Nodes[0].Rect)) return -1;
    int n = 0;
    for (;;) {
        const TmNode& node = map.Nodes[static_cast<size_t>(n)];
        int next = -1;
        for (int32_t c = node.First; c < node.First + node.Count; ++c)
            if (inside(map.Nodes[static_cast<size_t>(c)].Rect)) {
                next = c;
                break;
            }
        if (next < 0) return n;
        n = next;
    }
}

std::string NodePath(const Treemap& map, int node) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TmNode& n = map.Nodes[static_cast<size_t>(node)];
    if (node == 0) return map.Source->Path;
    if (n.Kind == TM_FILE) return map.Source->Path + map.Source->Entries[static_cast<size_t>(n.Source)].Name;
    if (n.Kind == TM_INDEXED_FILE)
        return map.Source->Files ? map.Source->Files->FilePath(static_cast<uint32_t>(n.Source)) : std::string();
    if (n.Kind == TM_UNMEASURED) {
        std::string p = map.Source->Path + map.Source->Entries[static_cast<size_t>(-1 - n.Source)].Name;
        if (p.back() != '\\') p += '\\';
        return p;
    }
    std::string_view p;
    PathOfLine(map.Source->Lines[static_cast<size_t>(n.Source)], p);
    return std::string(p);
}

std::string NodeLabel(const Treemap& map, int node) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TmNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind == TM_FILES) return "ファイル";
    if (n.Kind == TM_SMALL) return "小さなフォルダ";
    // A file's own name, without building its whole path first: the
    // drawing names thousands of them.
    if (n.Kind == TM_INDEXED_FILE)
        return map.Source->Files ? P::ShownName(map.Source->Files->Name(static_cast<uint32_t>(n.Source))) : std::string();
    std::string name(LastName(NodePath(map, node)));
    if (n.Kind == TM_UNMEASURED) name += " (未計測)";
    return name;
}

namespace {

uint32_t Hsv(double h, double s, double v) {
    h = std::fmod(h, 360.0);
    const double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0, 2) - 1)), m = v - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h / 60) % 6) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
    }
    auto u = [m](double v2) { return static_cast<uint32_t>(std::lround((v2 + m) * 255)); };
    return u(r) << 16 | u(g) << 8 | u(b);
}

} // namespace

std::string_view NodeFileName(const Treemap& map, int node) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TmNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind == TM_FILE) return map.Source->Entries[static_cast<size_t>(n.Source)].Name;
    if (n.Kind == TM_INDEXED_FILE && map.Source->Files) return map.Source->Files->Name(static_cast<uint32_t>(n.Source));
    return {};
}

uint32_t LegendColour(int entry) {
    static const uint32_t colours[] = {
        0x4F7FD0,  // folders
        0xC8B48C,  // files block
        0x9A9A9A,  // unmeasured
        0xD0503C,  // archives
        0x4FB050,  // images
        0x9A5CC8,  // video
        0xE8962F,  // audio
        0xE0C840,  // documents
        0x3CB8C0,  // executables
        0x8C9CE8,  // program sources
        0xB89AA8,  // other files
    };
    if (entry < 0 || entry >= static_cast<int>(std::size(colours))) return colours[std::size(colours) - 1];
    return colours[entry];
}

uint32_t NodeColour(const TmNode& node, int colours) {
    if (node.Kind == TM_UNMEASURED) return LegendColour(2);
    if (colours == TC_DEPTH) return Hsv(215 + 47.0 * (node.Depth - 1), 0.55, 0.95);
    switch (node.Kind) {
    case TM_FOLDER:
    case TM_SMALL: return LegendColour(0);
    case TM_FILES: return LegendColour(1);
    default: return LegendColour(3 + node.Group);  // a file, of the folder shown or from the index
    }
}

bool HighlightKeeps(const Treemap& map, int node, const TmHighlight& highlight) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return false;
    const TmNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind != TM_FILE && n.Kind != TM_INDEXED_FILE) return false;
    // The tile's group was taken with the execute bit, as the file types
    // take their kinds, so that a program without an extension is one.
    if (highlight.Kind >= KIND_COUNT) return false;
    if (highlight.Kind >= 0 && n.Group != GroupOfKind(highlight.Kind)) return false;
    return highlight.AnyExtension && highlight.Kind >= 0 ? true
                                                         : ExtensionOf(NodeFileName(map, node)) == highlight.Extension;
}

void RenderCushions(const Treemap& map, int colours, uint32_t* pixels, int stride, const std::atomic<bool>* cancel,
                    const TmHighlight& highlight) {
    const int width = map.Width, height = map.Height;
    if (map.Nodes.empty() || width <= 0 || height <= 0) return;
    // Cushion surfaces: each level adds a parabolic ridge in x and in y,
    // lower the deeper it lies, and a pixel's brightness follows the
    // surface's normal under a light from the upper left.
    constexpr double kHeight = 0.5, kFactor = 0.75, kAmbient = 0.25, kDiffuse = 0.8;
    const double lx = -0.09759, ly = -0.19518, lz = 0.9759;
    struct Surface {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    std::vector<Surface> surface(map.Nodes.size());
    // Ridges past this depth are too low to see.
    constexpr int kLevels = 64;
    double heights[kLevels];
    heights[0] = kHeight;
    for (int i = 1; i < kLevels; ++i) heights[i] = heights[i - 1] * kFactor;
    auto ridge = [](double lo, double hi, double h, double& s1, double& s2) {
        const double w = hi - lo;
        if (w <= 0) return;
        s1 += 4 * h * (hi + lo) / w;
        s2 -= 4 * h / w;
    };
    for (size_t n = 0; n < map.Nodes.size(); ++n) {
        if ((n & 0xFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed)) return;
        const TmNode& node = map.Nodes[n];
        Surface s = node.Parent >= 0 ? surface[static_cast<size_t>(node.Parent)] : Surface{};
        // The folder shown stays flat: a ridge of its own would darken
        // whole items in its far corner.
        if (node.Depth > 0) {
            const double h = node.Depth <= kLevels ? heights[node.Depth - 1] : heights[kLevels - 1];
            ridge(node.Rect.X, node.Rect.X + node.Rect.W, h, s.x1, s.x2);
            ridge(node.Rect.Y, node.Rect.Y + node.Rect.H, h, s.y1, s.y2);
        }
        surface[n] = s;
        if (node.Count > 0) continue;
        const int x0 = std::clamp(static_cast<int>(std::lround(node.Rect.X)), 0, width);
        const int x1 = std::clamp(static_cast<int>(std::lround(node.Rect.X + node.Rect.W)), 0, width);
        const int y0 = std::clamp(static_cast<int>(std::lround(node.Rect.Y)), 0, height);
        const int y1 = std::clamp(static_cast<int>(std::lround(node.Rect.Y + node.Rect.H)), 0, height);
        if (x0 >= x1 || y0 >= y1) continue;
        uint32_t base = NodeColour(node, colours);
        if (highlight.On && !HighlightKeeps(map, static_cast<int>(n), highlight))
            base = 0x606060 | (base >> 2 & 0x3F3F3F);  // dimmed towards grey
        const double br = (base >> 16 & 0xFF), bg = (base >> 8 & 0xFF), bb = (base & 0xFF);
        const bool hatch = node.Kind == TM_UNMEASURED;
        for (int y = y0; y < y1; ++y) {
            const double ny = -(2 * s.y2 * (y + 0.5) + s.y1);
            uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
            for (int x = x0; x < x1; ++x) {
                const double nx = -(2 * s.x2 * (x + 0.5) + s.x1);
                double cosa = (nx * lx + ny * ly + lz) / std::sqrt(nx * nx + ny * ny + 1);
                double v = kAmbient + kDiffuse * std::max(0.0, cosa);
                if (hatch && ((x + y) & 7) < 2) v *= 0.7;
                v = std::min(v, 1.25);
                auto c = [v](double b) { return static_cast<uint32_t>(std::min(255.0, b * v)); };
                row[x] = 0xFF000000u | c(br) << 16 | c(bg) << 8 | c(bb);
            }
        }
    }
}

} // namespace nrvs
