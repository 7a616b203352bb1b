#include "core/treemap/Treemap.h"

#include "core/treemap/LinePaths.h"
#include "platform/Paths.h"

#include <string>
#include <string_view>

namespace nrvs {

namespace P = platform;

int HitTest(const Treemap& map, double x, double y) {
    if (map.Nodes.empty()) return -1;
    auto inside = [&](const TreemapRect& r) {
        return x >= r.X && x < r.X + r.W && y >= r.Y && y < r.Y + r.H;
    };
    if (!inside(map.Nodes[0].Rect)) return -1;
    int n = 0;
    for (;;) {
        const TreemapNode& node = map.Nodes[static_cast<size_t>(n)];
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
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    if (node == 0) return map.Source->Path;
    if (n.Kind == TILE_FILE)
        return map.Source->Path + map.Source->Entries[static_cast<size_t>(n.Source)].Name;
    if (n.Kind == TILE_INDEXED_FILE)
        return map.Source->Files ? map.Source->Files->FilePath(static_cast<uint32_t>(n.Source))
                                 : std::string();
    if (n.Kind == TILE_UNMEASURED) {
        std::string p =
            map.Source->Path + map.Source->Entries[static_cast<size_t>(-1 - n.Source)].Name;
        if (p.back() != '\\') p += '\\';
        return p;
    }
    std::string_view p;
    PathOfLine(map.Source->Lines[static_cast<size_t>(n.Source)], p);
    return std::string(p);
}

std::string NodeLabel(const Treemap& map, int node) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind == TILE_FILES_BLOCK) return "ファイル";
    if (n.Kind == TILE_SMALL_FOLDERS) return "小さなフォルダ";
    // A file's own name, without building its whole path first: the
    // drawing names thousands of them.
    if (n.Kind == TILE_INDEXED_FILE)
        return map.Source->Files
                   ? P::ShownName(map.Source->Files->Name(static_cast<uint32_t>(n.Source)))
                   : std::string();
    std::string name(LastName(NodePath(map, node)));
    if (n.Kind == TILE_UNMEASURED) name += " (未計測)";
    return name;
}

std::string_view NodeFileName(const Treemap& map, int node) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind == TILE_FILE) return map.Source->Entries[static_cast<size_t>(n.Source)].Name;
    if (n.Kind == TILE_INDEXED_FILE && map.Source->Files)
        return map.Source->Files->Name(static_cast<uint32_t>(n.Source));
    return {};
}

} // namespace nrvs
