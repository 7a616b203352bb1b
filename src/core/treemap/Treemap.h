// The treemap of a folder: every folder a rectangle whose area is its
// occupied size, its subfolders and its own files nested inside, laid out
// with the squarified method (rows whose worst aspect ratio is kept lowest),
// and the cushion shading that makes the nesting visible without borders.
#pragma once

#include "core/index/FileIndex.h"
#include "core/cache/Folders.h"
#include "lib/DirectoryListing.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

struct TreemapRect {
    double X = 0, Y = 0, W = 0, H = 0;
};

// One rectangle per weight, in the order of the weights, tiling bounds
// exactly; a weight that is not positive (or not a number) gets an empty
// rectangle at the corner of bounds. No recursion, linear after the sort.
std::vector<TreemapRect> SquarifyLayout(const std::vector<double>& weights,
                                        const TreemapRect& bounds);

enum TileKind : int8_t {
    TILE_FOLDER = 0,        // a measured folder
    TILE_FILES_BLOCK = 1,   // the files directly inside a folder, as one block
    TILE_FILE = 2,          // one file of the folder shown
    TILE_UNMEASURED = 3,    // a folder without a record: "未計測"
    TILE_INDEXED_FILE = 4,  // one file below the folder shown, from the file index
    TILE_SMALL_FOLDERS = 5, // a folder's subfolders each smaller than a pixel, as one block
};

// Kinds of files, for the colours: the kinds of the file types (the same
// table), in the legend's order.
enum FileGroup : int8_t {
    GROUP_ARCHIVE = 0,
    GROUP_IMAGE,
    GROUP_VIDEO,
    GROUP_AUDIO,
    GROUP_DOCUMENT,
    GROUP_EXECUTABLE,
    GROUP_SOURCE,
    GROUP_OTHER,
    GROUP_COUNT
};
FileGroup ExtensionGroup(std::string_view name, bool executable = false);

struct TreemapNode {
    TreemapRect Rect;
    double Size = -1;
    double Occupied = -1;
    int32_t Parent = -1;
    int32_t First = 0; // children are stored one after another
    int32_t Count = 0;
    int32_t Source = -1; // line of Lines (folders) or entry of Files (files)
    int16_t Depth = 0;
    TileKind Kind = TILE_FOLDER;
    FileGroup Group = GROUP_OTHER;
};

// The folder lines of a map: those of a folder list at or below a path,
// shared with the list (which copies its text only if it changes while the
// map still holds them), or lines put in one by one.
class TreemapLines {
  public:
    TreemapLines() = default;
    TreemapLines(std::initializer_list<std::string> lines);
    // The lines of list at the given positions.
    TreemapLines(const FolderList& list, std::vector<uint32_t> positions);
    size_t size() const { return all_ ? count_ : at_.size(); }
    bool empty() const { return size() == 0; }
    std::string_view operator[](size_t i) const {
        return list_.LineAt(all_ ? from_ + i : size_t{at_[i]});
    }
    void push_back(std::string_view line);
    // Whether the lines are known to be in the folder list's order (case
    // apart); false says only that nobody checked.
    bool InOrder() const { return inOrder_; }

  private:
    friend TreemapLines SubtreeLines(const FolderList& folders, const std::string& path);
    FolderList list_;
    std::vector<uint32_t> at_;
    // all_: the run of count_ lines of list_ from from_ on, in its order.
    size_t from_ = 0, count_ = 0;
    bool all_ = true;
    bool inOrder_ = false;
};

// What the map of one folder needs, kept apart so that it can be built away
// from the window while the folder list changes.
struct LineTreeCache;
std::shared_ptr<LineTreeCache> NewIndexCache();
struct TreemapSource {
    std::string Path;              // program form with trailing backslash
    TreemapLines Lines;            // folder lines at or below Path
    std::vector<DirEntry> Entries; // the lister's entries of Path
    // The drive's file index, when it belongs to the lines: every file
    // below Path gets a tile of its own. Without it, each folder's files are
    // one block.
    std::shared_ptr<const FileIndex> Files;
    // Bytes in use below Path when known (a drive's root: what its volume
    // says is used), -1 otherwise: what the measured entries do not account
    // for is shared among the folders not measured yet.
    double UsedBytes = -1;
    // Where the first layout keeps what it found about the lines, for the
    // next ones (a new size, other colours).
    std::shared_ptr<LineTreeCache> Cache = NewIndexCache();
};
// The lines of a folder list at or below path (byte-exact prefix).
TreemapLines SubtreeLines(const FolderList& folders, const std::string& path);
// Fills Entries from the lister (folders and files of Path).
void ListEntries(TreemapSource& source, int32_t clusterSize);
// Both of the above, and the drive's file index when it belongs to the
// folder list's measurement (its header line).
TreemapSource MakeSource(const FolderList& folders, const std::string& path, int32_t clusterSize,
                         double usedBytes = -1);

struct Treemap {
    std::shared_ptr<const TreemapSource> Source;
    std::vector<TreemapNode> Nodes; // 0: the folder shown; parents before children
    int Width = 0, Height = 0;
    // Share of the folder shown's area drawn for folders not measured (0 to
    // 1), and whether it stands for the bytes they hold (estimated from the
    // volume's use) or is only room to show them.
    double UnmeasuredShare = 0;
    bool UnmeasuredEstimated = false;
};

// Lays out the map into width x height pixels. A rectangle is divided into
// its children only while it is at least minSide pixels in both directions.
// Below the folder shown, subfolders whose share of their folder is less
// than a pixel join one TILE_SMALL_FOLDERS block: they would be drawn as nothing but
// their colour, and a drive of millions of folders has mostly such ones.
// cancel (may be null) set: returns early with what was laid out.
// The source is shared, so that a new size lays out again without a copy.
Treemap BuildTreemap(std::shared_ptr<const TreemapSource> source, int width, int height,
                     double minSide = 4, const std::atomic<bool>* cancel = nullptr);
inline Treemap BuildTreemap(TreemapSource source, int width, int height, double minSide = 4,
                            const std::atomic<bool>* cancel = nullptr) {
    return BuildTreemap(std::make_shared<const TreemapSource>(std::move(source)), width, height,
                        minSide, cancel);
}

// The deepest node at a point, -1 outside the map.
int HitTest(const Treemap& map, double x, double y);
// Program-form path of a node (a folder's with its trailing backslash; the
// files block names its folder).
std::string NodePath(const Treemap& map, int node);
// The name shown on a node: the folder's or file's last name, the text of
// the files block or of an unmeasured folder.
std::string NodeLabel(const Treemap& map, int node);

enum ColourScheme { COLOUR_BY_DEPTH = 0, COLOUR_BY_KIND = 1 };
// 0xRRGGBB of a node's base colour.
uint32_t NodeColour(const TreemapNode& node, int colours);
// Base colour of a legend entry: 0 folders, 1 files block, 2 unmeasured, 3 +
// a FileGroup.
uint32_t LegendColour(int entry);
// The name of a file tile (native bytes for a file of the index), empty for
// any other node.
std::string_view NodeFileName(const Treemap& map, int node);

// Draws the cushions into 32-bit pixels 0xFFRRGGBB (width x height of the
// map, stride in pixels). cancel set: returns early. With a highlight on,
// the files of its extension keep their colours and every other tile is
// dimmed. Kind narrows it to the files of one kind of the file types (the
// "(なし)" files split into programs and others); with AnyExtension the kind
// alone decides.
struct TreemapHighlight {
    bool On = false;
    std::string Extension; // lower case, without the dot; empty: files without one
    int Kind = -1;         // a FileKind; below 0: any kind
    bool AnyExtension = false;
};
// The colour group of a kind of the file types.
FileGroup GroupOfKind(int kind);
// What a row of the file types lights: a kind row (byKind) every file of
// the kind; an extension row every file of the extension, whatever the
// execute bits of those without a known one.
TreemapHighlight TypeRowHighlight(const std::string& extension, int kind, bool byKind);
// Whether the file tile node stays lit under highlight (On).
bool HighlightKeeps(const Treemap& map, int node, const TreemapHighlight& highlight);
void RenderCushions(const Treemap& map, int colours, uint32_t* pixels, int stride,
                    const std::atomic<bool>* cancel = nullptr,
                    const TreemapHighlight& highlight = {});

} // namespace nrvs
