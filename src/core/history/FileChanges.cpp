#include "core/history/Changes.h"

#include "core/history/MeasurementLines.h"
#include "core/index/FileIndex.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace nrvs {

namespace P = platform;

// ---- files ----

namespace {

constexpr uint32_t kNone = UINT32_MAX;

struct FileHitRef {
    uint32_t Before = kNone, After = kNone; // file numbers in each index
    uint32_t Folder = kNone;                // holding After, or Before when it is gone
    uint64_t OldSize = 0, NewSize = 0;
    double Change() const {
        return std::fabs(static_cast<double>(NewSize) - static_cast<double>(OldSize));
    }
};

// The direct subfolders or files of a folder, by name, into out (a list
// used again for every folder of a drive: no allocation for each). Most
// folders list their entries in order already.
void ChildFolders(const FileIndex& x, uint32_t folder, std::vector<uint32_t>& out) {
    out.clear();
    if (folder == kNone) return;
    for (uint32_t c = folder + 1, end = x.FolderSubtreeEnd(folder); c < end;
         c = x.FolderSubtreeEnd(c))
        out.push_back(c);
    const auto byName = [&](uint32_t p, uint32_t q) { return x.FolderName(p) < x.FolderName(q); };
    if (!std::is_sorted(out.begin(), out.end(), byName)) std::sort(out.begin(), out.end(), byName);
}

void FilesOf(const FileIndex& x, uint32_t folder, bool skipGone, std::vector<uint32_t>& out) {
    out.clear();
    if (folder == kNone) return;
    const uint32_t first = x.FolderFirstFile(folder), n = x.FolderFileCount(folder);
    for (uint32_t f = first; f < first + n; ++f)
        if (!skipGone || !(x.Flags(f) & INDEX_FLAG_GONE)) out.push_back(f);
    const auto byName = [&](uint32_t p, uint32_t q) { return x.Name(p) < x.Name(q); };
    if (!std::is_sorted(out.begin(), out.end(), byName)) std::sort(out.begin(), out.end(), byName);
}

// A folder that both measurements listed alike, files and subfolders by the
// same names in the same order (most of a drive between two measurements),
// is paired in that order without sorting its names: its files that
// changed size are hits, its subfolders go on the stack. False, with
// nothing done, when the listings differ (or a file is gone since).
bool PairedAsListed(const FileIndex& a, const FileIndex& b, uint32_t fa, uint32_t fb,
                    std::vector<FileHitRef>& hits,
                    std::vector<std::pair<uint32_t, uint32_t>>& stack) {
    const uint32_t n = a.FolderFileCount(fa);
    if (n != b.FolderFileCount(fb)) return false;
    const uint32_t firstA = a.FolderFirstFile(fa), firstB = b.FolderFirstFile(fb);
    for (uint32_t k = 0; k < n; ++k)
        if ((b.Flags(firstB + k) & INDEX_FLAG_GONE) || a.Name(firstA + k) != b.Name(firstB + k))
            return false;
    const uint32_t endA = a.FolderSubtreeEnd(fa), endB = b.FolderSubtreeEnd(fb);
    uint32_t x = fa + 1, y = fb + 1;
    for (; x < endA && y < endB; x = a.FolderSubtreeEnd(x), y = b.FolderSubtreeEnd(y))
        // A damaged subtree end that does not move on is left to the
        // sorted walk.
        if (a.FolderName(x) != b.FolderName(y) || a.FolderSubtreeEnd(x) <= x ||
            b.FolderSubtreeEnd(y) <= y)
            return false;
    if (x < endA || y < endB) return false;
    for (uint32_t k = 0; k < n; ++k)
        if (a.Size(firstA + k) != b.Size(firstB + k))
            hits.push_back({firstA + k, firstB + k, fb, a.Size(firstA + k), b.Size(firstB + k)});
    for (x = fa + 1, y = fb + 1; x < endA; x = a.FolderSubtreeEnd(x), y = b.FolderSubtreeEnd(y))
        stack.emplace_back(x, y);
    return true;
}

// Walks two sorted lists of names side by side: both(a, b), onlyA(a), onlyB(b).
template <typename NameA, typename NameB, typename Both, typename OnlyA, typename OnlyB>
void MergeNames(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, NameA nameA,
                NameB nameB, Both both, OnlyA onlyA, OnlyB onlyB) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        const int c = i == a.size() ? 1 : j == b.size() ? -1 : nameA(a[i]).compare(nameB(b[j]));
        if (c < 0)
            onlyA(a[i++]);
        else if (c > 0)
            onlyB(b[j++]);
        else
            both(a[i++], b[j++]);
    }
}

} // namespace

std::vector<FileChange> CompareFileIndexes(const FileIndex& before, const FileIndex& after,
                                           const std::string& below, size_t top) {
    std::vector<FileHitRef> hits;
    const std::string start = below.empty() ? std::string(1, after.Letter()) + ":\\" : below;
    const int64_t sa = before.IsOpen() ? before.FindFolder(start) : -1;
    const int64_t sb = after.IsOpen() ? after.FindFolder(start) : -1;
    std::vector<std::pair<uint32_t, uint32_t>> stack;
    if (sa >= 0 || sb >= 0)
        stack.emplace_back(sa >= 0 ? static_cast<uint32_t>(sa) : kNone,
                           sb >= 0 ? static_cast<uint32_t>(sb) : kNone);
    std::vector<uint32_t> filesA, filesB, subA, subB;
    while (!stack.empty()) {
        const auto [fa, fb] = stack.back();
        stack.pop_back();
        if (fa != kNone && fb != kNone && PairedAsListed(before, after, fa, fb, hits, stack))
            continue;
        FilesOf(before, fa, false, filesA);
        FilesOf(after, fb, true, filesB);
        MergeNames(
            filesA, filesB, [&](uint32_t f) { return before.Name(f); },
            [&](uint32_t f) { return after.Name(f); },
            [&](uint32_t x, uint32_t y) {
                if (before.Size(x) != after.Size(y))
                    hits.push_back({x, y, fb, before.Size(x), after.Size(y)});
            },
            [&](uint32_t x) {
                hits.push_back({x, kNone, fa, before.Size(x), 0});
            },
            [&](uint32_t y) {
                hits.push_back({kNone, y, fb, 0, after.Size(y)});
            });
        ChildFolders(before, fa, subA);
        ChildFolders(after, fb, subB);
        MergeNames(
            subA, subB, [&](uint32_t f) { return before.FolderName(f); },
            [&](uint32_t f) { return after.FolderName(f); },
            [&](uint32_t x, uint32_t y) { stack.emplace_back(x, y); },
            [&](uint32_t x) { stack.emplace_back(x, kNone); },
            [&](uint32_t y) { stack.emplace_back(kNone, y); });
    }
    std::vector<FileChange> out;
    out.reserve(std::min(hits.size(), top > 0 ? top : hits.size()));
    // The walk knows each file's folder; a folder's path is made once for
    // all its rows.
    std::unordered_map<uint64_t, std::string> folderPaths;
    auto pathOf = [&](const FileHitRef& h) {
        const bool isAfter = h.After != kNone;
        const FileIndex& x = isAfter ? after : before;
        auto [it, made] = folderPaths.try_emplace(uint64_t{h.Folder} << 1 | (isAfter ? 1u : 0u));
        if (made) it->second = x.FolderPath(h.Folder);
        return it->second + P::ShownName(x.Name(isAfter ? h.After : h.Before));
    };
    // Paths are made only for the ties at the cut and the rows kept.
    std::sort(hits.begin(), hits.end(),
              [](const FileHitRef& x, const FileHitRef& y) { return x.Change() > y.Change(); });
    size_t keep = top > 0 && top < hits.size() ? top : hits.size();
    while (keep < hits.size() && hits[keep].Change() == hits[keep - 1].Change())
        ++keep;
    for (size_t k = 0; k < keep; ++k) {
        const FileHitRef& h = hits[k];
        out.push_back({pathOf(h), h.Before != kNone, h.After != kNone, h.OldSize, h.NewSize});
    }
    TakeTop(out, top, [](const FileChange& x, const FileChange& y) {
        const double dx = std::fabs(x.Delta()), dy = std::fabs(y.Delta());
        if (dx != dy) return dx > dy;
        return x.Path < y.Path;
    });
    return out;
}

} // namespace nrvs
