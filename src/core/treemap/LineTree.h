// The children of every folder line of a map, found once per source and
// kept with it for the next layouts of the same lines.
#pragma once

#include "core/treemap/LinePaths.h"
#include "core/treemap/Treemap.h"
#include "lib/NumberText.h"
#include "platform/Paths.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace nrvs {

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

struct LineTree {
    static constexpr int32_t kNone = -1;     // no parent line
    static constexpr int32_t kRepeated = -2; // a later line of a path already seen
    const TreemapLines* lines;
    std::string path;                // the folder shown
    std::vector<uint32_t> childFrom; // children of line i: children[childFrom[i], childFrom[i + 1])
    std::vector<uint32_t> children;
    std::vector<uint32_t> top; // the lines right below path
    int rootLine = -1;         // path's own line
    bool verify = false;       // children found by hash, checked when visited
    static constexpr uint32_t kNoPath = UINT32_MAX;
    std::vector<uint32_t> pathLen; // kNoPath: the line has no numbers

    // The path of line i, false when it has none.
    bool PathAt(size_t i, std::string_view& p) const {
        if (pathLen[i] == kNoPath) return false;
        p = (*lines)[i].substr(0, pathLen[i]);
        return true;
    }

    LineTree(const TreemapLines& all, std::string_view mapPath) : lines(&all), path(mapPath) {
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
        for (size_t i = 0; i < n; ++i)
            childFrom[i + 1] += childFrom[i];
        children.resize(childFrom[n]);
        // Each folder's start serves as its cursor, which leaves it at the
        // next one's start; moved up one place, they are the starts again.
        for (size_t i = 0; i < n; ++i)
            if (parent[i] >= 0)
                children[childFrom[static_cast<size_t>(parent[i])]++] = static_cast<uint32_t>(i);
        for (size_t i = n; i > 0; --i)
            childFrom[i] = childFrom[i - 1];
        childFrom[0] = 0;
        top.shrink_to_fit();
    }

    static bool InOrder(const TreemapLines& all) {
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
        const TreemapLines& all = *lines;
        const size_t n = all.size();
        parent.assign(n, kNone);
        std::vector<Open> chain;
        std::string_view p;
        for (size_t i = 0; i < n; ++i) {
            if (!PathAt(i, p)) continue; // no numbers: no folder to find
            size_t variant = SIZE_MAX;
            while (!chain.empty()) {
                const Open& o = chain.back();
                const std::string_view q = all[o.line].substr(0, o.length);
                const size_t k = platform::SamePrefix(q, p);
                if (k == q.size()) break; // an open folder of this line
                // Two plain characters that differ in more than case settle
                // it without the full comparison (which also knows letters
                // whose cases differ in length).
                const bool plainlyOther = k < p.size() && static_cast<unsigned char>(q[k]) < 0x80 &&
                                          static_cast<unsigned char>(p[k]) < 0x80 &&
                                          (q[k] | 0x20) != (p[k] | 0x20);
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
                while (from > 0 && platform::StartsWithIgnoreCase(all[from - 1], q))
                    --from;
                while (to < n && platform::StartsWithIgnoreCase(all[to], q))
                    ++to;
                while (!top.empty() && top.back() >= from)
                    top.pop_back();
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
            if (!chain.empty() && up > 0 && chain.back().length == up)
                parent[i] = static_cast<int32_t>(chain.back().line);
            else if (Orphan(p, up))
                return false;
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
    bool ByPath(size_t from, size_t to, const std::vector<Open>& chain,
                std::vector<int32_t>& parent) {
        const TreemapLines& all = *lines;
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
                if (auto f = seen.find(want); f != seen.end())
                    parent[j] = static_cast<int32_t>(f->second);
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
        const TreemapLines& all = *lines;
        const size_t n = all.size();
        parent.assign(n, kNone);
        rootLine = -1;
        top.clear();
        std::vector<Entry> byPath, byParent, pathsB, parentsB;
        auto hashRange = [&](size_t from, size_t to, std::vector<Entry>& paths,
                             std::vector<Entry>& parents) {
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
            if (split)
                second = std::thread(hashRange, half, n, std::ref(pathsB), std::ref(parentsB));
            hashRange(0, half, byPath, byParent);
            if (second.joinable()) second.join();
        }
        byPath.insert(byPath.end(), pathsB.begin(), pathsB.end());
        byParent.insert(byParent.end(), parentsB.begin(), parentsB.end());
        std::vector<Entry>().swap(pathsB);
        std::vector<Entry>().swap(parentsB);
        {
            std::thread second;
            if (split)
                second = std::thread([&byPath] { RadixSort(byPath); });
            else
                RadixSort(byPath);
            RadixSort(byParent);
            if (second.joinable()) second.join();
        }
        auto pathOf = [&](size_t i) { return all[i].substr(0, pathLen[i]); };
        // Repeated paths (a damaged list): only the first line counts.
        for (size_t a = 0; a < byPath.size();) {
            size_t b = a + 1;
            while (b < byPath.size() && byPath[b].hash == byPath[a].hash)
                ++b;
            for (size_t i = a + 1; i < b; ++i)
                for (size_t j = a; j < i; ++j)
                    if (parent[Line(byPath[j])] != kRepeated &&
                        pathOf(Line(byPath[j])) == pathOf(Line(byPath[i]))) {
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
            while (b < byParent.size() && byParent[b].hash == byParent[a].hash)
                ++b;
            while (j < byPath.size() && byPath[j].hash < byParent[a].hash)
                ++j;
            const std::string_view up =
                pathOf(Line(byParent[a])).substr(0, ParentLength(pathOf(Line(byParent[a]))));
            for (size_t k = j; k < byPath.size() && byPath[k].hash == byParent[a].hash; ++k)
                if (parent[Line(byPath[k])] != kRepeated && pathOf(Line(byPath[k])) == up) {
                    for (size_t c = a; c < b; ++c)
                        if (parent[Line(byParent[c])] != kRepeated)
                            parent[Line(byParent[c])] = byPath[k].line;
                    break;
                }
            a = b;
        }
        for (size_t i = 0; i < n; ++i)
            if (pathLen[i] != kNoPath && parent[i] != kRepeated)
                Note(i, pathOf(i), ParentLength(pathOf(i)));
    }

    static size_t Line(const Entry& e) { return static_cast<size_t>(e.line); }

    // By hash, then line: entries are made in line order, and each pass of
    // the least significant digit sort keeps the order of equal digits.
    static void RadixSort(std::vector<Entry>& v) {
        std::vector<Entry> tmp(v.size());
        for (int shift = 0; shift < 64; shift += 16) {
            std::vector<size_t> countOf(65537, 0);
            for (const Entry& e : v)
                ++countOf[((e.hash >> shift) & 0xFFFF) + 1];
            for (size_t k = 1; k < countOf.size(); ++k)
                countOf[k] += countOf[k - 1];
            for (const Entry& e : v)
                tmp[countOf[(e.hash >> shift) & 0xFFFF]++] = e;
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
        for (uint32_t c : top)
            f(static_cast<int32_t>(c));
    }
};

struct LineTreeCache {
    std::mutex lock;
    std::shared_ptr<const LineTree> index;
};

} // namespace nrvs
