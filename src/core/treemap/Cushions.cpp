#include "core/treemap/Treemap.h"

#include "core/index/FileKinds.h"
#include "core/index/FileQueries.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace nrvs {

FileGroup GroupOfKind(int kind) {
    static const FileGroup byKind[KIND_COUNT] = {GROUP_IMAGE,    GROUP_VIDEO,   GROUP_AUDIO,
                                                 GROUP_DOCUMENT, GROUP_ARCHIVE, GROUP_EXECUTABLE,
                                                 GROUP_SOURCE,   GROUP_OTHER};
    return kind >= 0 && kind < KIND_COUNT ? byKind[kind] : GROUP_OTHER;
}

FileGroup ExtensionGroup(std::string_view name, bool executable) {
    return GroupOfKind(KindOfFile(name, executable));
}

namespace {

uint32_t Hsv(double h, double s, double v) {
    h = std::fmod(h, 360.0);
    const double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0, 2) - 1)), m = v - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h / 60) % 6) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    auto u = [m](double v2) { return static_cast<uint32_t>(std::lround((v2 + m) * 255)); };
    return u(r) << 16 | u(g) << 8 | u(b);
}

} // namespace

uint32_t LegendColour(int entry) {
    static const uint32_t colours[] = {
        0x4F7FD0, // folders
        0xC8B48C, // files block
        0x9A9A9A, // unmeasured
        0xD0503C, // archives
        0x4FB050, // images
        0x9A5CC8, // video
        0xE8962F, // audio
        0xE0C840, // documents
        0x3CB8C0, // executables
        0x8C9CE8, // program sources
        0xB89AA8, // other files
    };
    if (entry < 0 || entry >= static_cast<int>(std::size(colours)))
        return colours[std::size(colours) - 1];
    return colours[entry];
}

uint32_t NodeColour(const TreemapNode& node, int colours) {
    if (node.Kind == TILE_UNMEASURED) return LegendColour(2);
    if (colours == COLOUR_BY_DEPTH) return Hsv(215 + 47.0 * (node.Depth - 1), 0.55, 0.95);
    switch (node.Kind) {
    case TILE_FOLDER:
    case TILE_SMALL_FOLDERS:
        return LegendColour(0);
    case TILE_FILES_BLOCK:
        return LegendColour(1);
    default:
        return LegendColour(3 + node.Group); // a file, of the folder shown or from the index
    }
}

TreemapHighlight TypeRowHighlight(const std::string& extension, int kind, bool byKind) {
    TreemapHighlight h;
    h.On = true;
    h.Kind = kind;
    if (byKind)
        h.AnyExtension = true;
    else {
        h.Extension = extension;
        // The kind of a known extension is that of all its files; the rest
        // are programs or not by their bits, and their row holds both.
        if (KindOfExtension(extension) == KIND_OTHER) h.Kind = -1;
    }
    return h;
}

bool HighlightKeeps(const Treemap& map, int node, const TreemapHighlight& highlight) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return false;
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    if (n.Kind != TILE_FILE && n.Kind != TILE_INDEXED_FILE) return false;
    // The tile's group was taken with the execute bit, as the file types
    // take their kinds, so that a program without an extension is one.
    if (highlight.Kind >= KIND_COUNT) return false;
    if (highlight.Kind >= 0 && n.Group != GroupOfKind(highlight.Kind)) return false;
    return highlight.AnyExtension && highlight.Kind >= 0
               ? true
               : ExtensionOf(NodeFileName(map, node)) == highlight.Extension;
}

void RenderCushions(const Treemap& map, int colours, uint32_t* pixels, int stride,
                    const std::atomic<bool>* cancel, const TreemapHighlight& highlight) {
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
    for (int i = 1; i < kLevels; ++i)
        heights[i] = heights[i - 1] * kFactor;
    auto ridge = [](double lo, double hi, double h, double& s1, double& s2) {
        const double w = hi - lo;
        if (w <= 0) return;
        s1 += 4 * h * (hi + lo) / w;
        s2 -= 4 * h / w;
    };
    for (size_t n = 0; n < map.Nodes.size(); ++n) {
        if ((n & 0xFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed)) return;
        const TreemapNode& node = map.Nodes[n];
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
        const int x1 =
            std::clamp(static_cast<int>(std::lround(node.Rect.X + node.Rect.W)), 0, width);
        const int y0 = std::clamp(static_cast<int>(std::lround(node.Rect.Y)), 0, height);
        const int y1 =
            std::clamp(static_cast<int>(std::lround(node.Rect.Y + node.Rect.H)), 0, height);
        if (x0 >= x1 || y0 >= y1) continue;
        uint32_t base = NodeColour(node, colours);
        if (highlight.On && !HighlightKeeps(map, static_cast<int>(n), highlight))
            base = 0x606060 | (base >> 2 & 0x3F3F3F); // dimmed towards grey
        const double br = (base >> 16 & 0xFF), bg = (base >> 8 & 0xFF), bb = (base & 0xFF);
        const bool hatch = node.Kind == TILE_UNMEASURED;
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
