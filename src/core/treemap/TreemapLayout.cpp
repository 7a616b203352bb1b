#include "core/treemap/Treemap.h"

#include "core/treemap/LinePaths.h"
#include "core/treemap/LineTree.h"
#include "core/treemap/Squarify.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace nrvs {

namespace P = platform;

namespace {

double Weight(double occupied) {
    return Positive(occupied) ? std::min(occupied, 1e300) : 0;
}

// A file whose tile would cover less than this many pixels joins its
// folder's block of small files.
constexpr double kMinFileTileArea = 24;

// Unmeasured folders have no size; each gets a share that is visible but
// never crowds out what was measured: no more than the smallest measured
// item beside it (a folder made since the measurement is not drawn as if it
// held more than a file of 100 MB next to it), yet at least a tile of
// kMinUnmeasuredArea pixels of the area, and never more than a twentieth.
constexpr double kMinUnmeasuredArea = 16 * 16;

double UnmeasuredWeight(double measured, double smallest, int unmeasured, double area) {
    if (unmeasured <= 0) return 0;
    if (measured <= 0) return 1;
    const double most = measured * std::min(0.05, 0.25 / unmeasured);
    // The weight whose tile covers kMinUnmeasuredArea of area beside the
    // measured items and the other unmeasured ones.
    const double room = area - kMinUnmeasuredArea * unmeasured;
    const double visible = room > 0 ? kMinUnmeasuredArea * measured / room : most;
    return std::min(most, std::max(smallest, visible));
}

// The first folderKids of kids are subfolders: those whose area in rect
// would be less than a pixel become one block (a single one stays itself),
// of the same colour as they would have been and the same area. Their
// figures are added up so that the block's tip tells what it holds.
void JoinSmallFolders(std::vector<TreemapNode>& kids, std::vector<double>& weights,
                      size_t folderKids, const TreemapRect& rect, size_t parent, int32_t parentLine,
                      int16_t depth) {
    double total = 0;
    for (double w : weights)
        total += w;
    if (!(total > 0) || !std::isfinite(total) || folderKids < 2) return;
    const double perWeight = rect.W * rect.H / total;
    TreemapNode small;
    small.Parent = static_cast<int32_t>(parent);
    small.Depth = depth;
    small.Kind = TILE_SMALL_FOLDERS;
    small.Source = parentLine; // the files block's way: the block names its folder
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

Treemap BuildTreemap(std::shared_ptr<const TreemapSource> source, int width, int height,
                     double minSide, const std::atomic<bool>* cancel) {
    Treemap map;
    if (!source) source = std::make_shared<const TreemapSource>();
    map.Source = source;
    const std::string& mapPath = source->Path;
    const TreemapLines& lines = source->Lines;
    const std::vector<DirEntry>& files = source->Entries;
    map.Width = std::max(0, width);
    map.Height = std::max(0, height);
    // The source's own index when it was built for these very lines (a
    // copied source shares the cache of another's lines).
    std::shared_ptr<const LineTree> kept;
    if (source->Cache) {
        std::lock_guard<std::mutex> guard(source->Cache->lock);
        if (!source->Cache->index || source->Cache->index->lines != &lines ||
            source->Cache->index->path != mapPath)
            source->Cache->index = std::make_shared<const LineTree>(lines, mapPath);
        kept = source->Cache->index;
    } else {
        kept = std::make_shared<const LineTree>(lines, mapPath);
    }
    const LineTree& index = *kept;
    std::vector<TreemapNode>& nodes = map.Nodes;
    const FileIndex* fileIndex =
        source->Files && source->Files->IsOpen() ? source->Files.get() : nullptr;

    TreemapNode root;
    root.Rect = {0, 0, static_cast<double>(map.Width), static_cast<double>(map.Height)};
    const int rootLine = index.rootLine;
    root.Source = rootLine;
    root.Kind = rootLine >= 0 ? TILE_FOLDER : TILE_UNMEASURED;
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
        std::vector<TreemapNode> kids;
        double measured = 0, size = 0, occupied = 0, smallest = 0;
        int unmeasured = 0;
        for (size_t e = 0; e < files.size(); ++e) {
            const DirEntry& entry = files[e];
            TreemapNode k;
            k.Parent = 0;
            k.Depth = 1;
            if (entry.IsDir) {
                std::string path = mapPath + entry.Name;
                if (path.back() != '\\') path += '\\';
                auto found = topLines.find(path);
                const int line = found == topLines.end() ? -1 : found->second;
                if (line < 0) {
                    k.Kind = TILE_UNMEASURED;
                    k.Source = -1 - static_cast<int32_t>(e); // the entry, by its index
                    ++unmeasured;
                    kids.push_back(k);
                    continue;
                }
                double sz[4];
                index.Sizes(static_cast<size_t>(line), sz);
                k.Kind = TILE_FOLDER;
                k.Source = line;
                k.Size = sz[0];
                k.Occupied = sz[1];
            } else {
                k.Kind = TILE_FILE;
                k.Source = static_cast<int32_t>(e);
                k.Group = ExtensionGroup(entry.Name);
                k.Size = entry.Size;
                k.Occupied = entry.Occupied;
            }
            if (Weight(k.Occupied) <= 0) continue;
            measured += Weight(k.Occupied);
            if (smallest <= 0 || Weight(k.Occupied) < smallest) smallest = Weight(k.Occupied);
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
        double uw =
            UnmeasuredWeight(measured, smallest, unmeasured, nodes[0].Rect.W * nodes[0].Rect.H);
        if (unmeasured > 0 && rootLine < 0 && Positive(source->UsedBytes) &&
            source->UsedBytes > measured) {
            uw = (source->UsedBytes - measured) / unmeasured;
            map.UnmeasuredEstimated = true;
        }
        if (unmeasured > 0 && measured + uw * unmeasured > 0)
            map.UnmeasuredShare = uw * unmeasured / (measured + uw * unmeasured);
        for (const TreemapNode& k : kids)
            weights.push_back(k.Kind == TILE_UNMEASURED ? uw : Weight(k.Occupied));
        const std::vector<TreemapRect> rects = SquarifyLayout(weights, nodes[0].Rect);
        nodes[0].First = 1;
        nodes[0].Count = static_cast<int32_t>(kids.size());
        for (size_t i = 0; i < kids.size(); ++i) {
            kids[i].Rect = rects[i];
            nodes.push_back(kids[i]);
        }
    }

    // Deeper levels from the folder lines, breadth first: the node list is
    // its own queue, so no depth of tree can exhaust the stack.
    std::vector<TreemapNode> kids;
    std::vector<double> weights;
    std::vector<TreemapRect> rects;
    std::vector<size_t> order;
    // The index folder of each folder node laid out, found one level down
    // from its parent's: a search from the root for every folder costs its
    // depth in name conversions and sibling scans.
    std::vector<int64_t> folderOf;
    const int64_t mapFolder = fileIndex ? fileIndex->FindFolder(mapPath) : -1;
    for (size_t n = 1; n < nodes.size(); ++n) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        if (nodes[n].Kind != TILE_FOLDER) continue;
        const TreemapRect rect = nodes[n].Rect;
        if (rect.W < minSide || rect.H < minSide) continue;
        const size_t line = static_cast<size_t>(nodes[n].Source);
        int64_t folder = -1;
        if (fileIndex) {
            const int32_t up = nodes[n].Parent;
            const int64_t parentFolder = up <= 0 ? mapFolder
                                         : static_cast<size_t>(up) < folderOf.size()
                                             ? folderOf[static_cast<size_t>(up)]
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
            TreemapNode k;
            k.Parent = static_cast<int32_t>(n);
            k.Depth = depth;
            k.Kind = TILE_FOLDER;
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
            const uint32_t first = fileIndex->FolderFirstFile(f),
                           count = fileIndex->FolderFileCount(f);
            const double area = rect.W * rect.H, total = std::max(Weight(nodes[n].Occupied), 1.0);
            TreemapNode rest;
            rest.Parent = static_cast<int32_t>(n);
            rest.Depth = depth;
            rest.Kind = TILE_FILES_BLOCK;
            rest.Source = nodes[n].Source;
            rest.Size = rest.Occupied = 0;
            for (uint32_t i = first; i < first + count; ++i) {
                const uint8_t flags = fileIndex->Flags(i);
                if ((flags & INDEX_FLAG_GONE) ||
                    (fileIndex->LinksOnce() && (flags & INDEX_FLAG_FURTHER_NAME)))
                    continue;
                const double occ = static_cast<double>(fileIndex->Occupied(i));
                if (Weight(occ) <= 0) continue;
                if (area * occ / total < kMinFileTileArea) {
                    rest.Size += static_cast<double>(fileIndex->Size(i));
                    rest.Occupied += occ;
                    continue;
                }
                TreemapNode k;
                k.Parent = static_cast<int32_t>(n);
                k.Depth = depth;
                k.Kind = TILE_INDEXED_FILE;
                k.Source = static_cast<int32_t>(i);
                k.Group = ExtensionGroup(fileIndex->Name(i), (flags & INDEX_FLAG_EXECUTABLE) != 0);
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
            TreemapNode k;
            k.Parent = static_cast<int32_t>(n);
            k.Depth = depth;
            k.Kind = TILE_FILES_BLOCK;
            k.Source = nodes[n].Source;
            k.Size = self[2];
            k.Occupied = self[3];
            kids.push_back(k);
            weights.push_back(Weight(self[3]));
        }
        JoinSmallFolders(kids, weights, folderKids, rect, n, nodes[n].Source, depth);
        // A folder holding only its own files is drawn as one block: the
        // files block would only repeat it.
        if (kids.empty() || (kids.size() == 1 && kids[0].Kind == TILE_FILES_BLOCK && indexed < 0))
            continue;
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

} // namespace nrvs
