// The treemap down to single files, from the file index: a big file deep
// down is its own tile of its share of the area, small ones are one block,
// and a highlight dims all but the files of one extension.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/measure/Measure.h"
#include "core/treemap/Treemap.h"
#include "core/GlobalState.h"
#include "support/CurrentDrive.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
int Find(const Treemap& map, const std::string& path, TileKind kind) {
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (map.Nodes[i].Kind == kind && NodePath(map, static_cast<int>(i)) == path)
            return static_cast<int>(i);
    return -1;
}
} // namespace

TEST(TreemapFilesTest, EveryVisibleFileIsATileAtEveryDepth) {
    TempDrive drive;
    test::MakeCurrent(drive);
    Global().AskBeforeMeasure = 0;
    const auto& d = drive.Dir();
    d.Write("a/b/c/big.iso", std::string(2 << 20, 'b'));
    d.Write("a/b/c/run", std::string(500 << 10, 'r'));
    ::chmod((d / "a/b/c/run").c_str(), 0755);
    for (int i = 0; i < 200; ++i)
        d.Write("a/many/f" + std::to_string(i) + ".txt", "x");
    d.Write("other/movie.mkv", std::string(1 << 20, 'm'));
    const std::string R = drive.Root();

    // Before the measurement: no index, the files of each folder one block.
    test::YesHooks hooks;
    Global().NoFileIndex = true;
    MeasureDrives(hooks);
    Treemap plain = BuildTreemap(MakeSource(Global().Folders, R, 4096), 800, 500);
    EXPECT_FALSE(plain.Source->Files);
    EXPECT_EQ(Find(plain, R + "a\\b\\c\\big.iso", TILE_INDEXED_FILE), -1);

    Global().NoFileIndex = false;
    MeasureDrives(hooks);
    auto source = std::make_shared<const TreemapSource>(MakeSource(Global().Folders, R, 4096));
    ASSERT_TRUE(source->Files) << "the index of the lines' measurement";
    Treemap map = BuildTreemap(source, 800, 500);
    const int big = Find(map, R + "a\\b\\c\\big.iso", TILE_INDEXED_FILE);
    ASSERT_GT(big, 0) << "a big file three levels down is a tile of its own";
    const TreemapNode& tile = map.Nodes[static_cast<size_t>(big)];
    EXPECT_EQ(tile.Group, GROUP_ARCHIVE);
    EXPECT_EQ(tile.Depth, 4);
    const double whole = map.Nodes[0].Rect.W * map.Nodes[0].Rect.H;
    const double share = tile.Occupied / map.Nodes[0].Occupied;
    EXPECT_NEAR(tile.Rect.W * tile.Rect.H / whole, share, 0.01)
        << "its area is its share of the occupied size";
    EXPECT_EQ(NodeLabel(map, big), "big.iso");
    const int run = Find(map, R + "a\\b\\c\\run", TILE_INDEXED_FILE);
    ASSERT_GT(run, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(run)].Group, GROUP_EXECUTABLE)
        << "an execute bit without an extension";
    // At a small size two hundred files of one cluster are too small to
    // see: one block, of all of them.
    Treemap small = BuildTreemap(source, 200, 125);
    EXPECT_EQ(Find(small, R + "a\\many\\f7.txt", TILE_INDEXED_FILE), -1);
    const int block = Find(small, R + "a\\many\\", TILE_FILES_BLOCK);
    ASSERT_GT(block, 0);
    EXPECT_EQ(small.Nodes[static_cast<size_t>(block)].Size, 200);
    EXPECT_GT(Find(map, R + "a\\many\\f7.txt", TILE_INDEXED_FILE), 0)
        << "at a large size each is seen";
    // A folder of files is a frame around them, never a block like a file.
    const int c = Find(map, R + "a\\b\\c\\", TILE_FOLDER);
    ASSERT_GT(c, 0);
    EXPECT_GT(map.Nodes[static_cast<size_t>(c)].Count, 1);

    // The highlight: mkv tiles keep their colour, the iso's is dimmed.
    std::vector<uint32_t> normal(800 * 500), lit(800 * 500);
    RenderCushions(map, COLOUR_BY_KIND, normal.data(), 800);
    TreemapHighlight h;
    h.On = true;
    h.Extension = "mkv";
    RenderCushions(map, COLOUR_BY_KIND, lit.data(), 800, nullptr, h);
    auto centre = [&](const std::vector<uint32_t>& px, int node) {
        const TreemapRect& r = map.Nodes[static_cast<size_t>(node)].Rect;
        return px[static_cast<size_t>(r.Y + r.H / 2) * 800 + static_cast<size_t>(r.X + r.W / 2)];
    };
    const int movie = Find(map, R + "other\\movie.mkv", TILE_INDEXED_FILE);
    ASSERT_GT(movie, 0);
    EXPECT_EQ(centre(lit, movie), centre(normal, movie));
    EXPECT_NE(centre(lit, big), centre(normal, big));

    // Files the program removed leave the map.
    ASSERT_TRUE(MarkGoneInIndex(FileIndexName(drive.Letter()), nullptr, R + "a\\b\\c\\big.iso",
                                CacheHeaderLine(*Global().CurrentDrive)));
    Treemap after = BuildTreemap(
        std::make_shared<const TreemapSource>(MakeSource(Global().Folders, R, 4096)), 800, 500);
    EXPECT_EQ(Find(after, R + "a\\b\\c\\big.iso", TILE_INDEXED_FILE), -1);
}
