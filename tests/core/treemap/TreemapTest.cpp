#include "core/measure/Measure.h"
#include "core/treemap/Treemap.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {

double Ratio(const TreemapRect& r) {
    return std::max(r.W / r.H, r.H / r.W);
}

// Every positive weight's rectangle has its share of the area (to a pixel
// of rounding), lies inside bounds, and no two overlap; together they fill
// bounds exactly.
void ExpectTiling(const std::vector<double>& weights, const std::vector<TreemapRect>& rects,
                  const TreemapRect& b, bool checkOverlap = true) {
    ASSERT_EQ(rects.size(), weights.size());
    double total = 0, area = 0;
    for (double w : weights)
        if (w > 0 && std::isfinite(w)) total += w;
    const double eps = 1e-6 * std::max(b.W, b.H);
    for (size_t i = 0; i < rects.size(); ++i) {
        const TreemapRect& r = rects[i];
        if (!(weights[i] > 0) || !std::isfinite(weights[i])) {
            EXPECT_EQ(r.W * r.H, 0) << i;
            continue;
        }
        EXPECT_GE(r.X, b.X - eps);
        EXPECT_GE(r.Y, b.Y - eps);
        EXPECT_LE(r.X + r.W, b.X + b.W + eps);
        EXPECT_LE(r.Y + r.H, b.Y + b.H + eps);
        const double want = weights[i] / total * b.W * b.H;
        EXPECT_NEAR(r.W * r.H, want, std::max(1.0, want * 1e-9)) << "item " << i;
        area += r.W * r.H;
    }
    EXPECT_NEAR(area, b.W * b.H, 1e-6 * b.W * b.H);
    if (!checkOverlap) return;
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j) {
            const TreemapRect &p = rects[i], &q = rects[j];
            const double ox = std::min(p.X + p.W, q.X + q.W) - std::max(p.X, q.X);
            const double oy = std::min(p.Y + p.H, q.Y + q.H) - std::max(p.Y, q.Y);
            EXPECT_FALSE(ox > eps && oy > eps) << i << " overlaps " << j;
        }
}

std::string Line(const std::string& path, double tree, double own, int32_t folders = 0) {
    FolderRecord r;
    r.Path = path;
    r.TreeBytes = tree;
    r.TreeOccupied = tree;
    r.OwnBytes = own;
    r.OwnOccupied = own;
    r.OwnFolders = folders;
    return FormatRecord(r);
}

} // namespace

TEST(SquarifyTest, AreasTilingAndAspectRatios) {
    // The classic example: 6, 6, 4, 3, 2, 2, 1 in a 6 x 4 rectangle comes out
    // as the rows 6 6 | 4 3 | 2 | 2 | 1 of the published figure, the last a
    // sliver of 0.6 x 5/3.
    const std::vector<double> w = {6, 6, 4, 3, 2, 2, 1};
    const TreemapRect b{0, 0, 6, 4};
    auto rects = SquarifyLayout(w, b);
    ExpectTiling(w, rects, b);
    double sum = 0, worst = 0;
    for (const TreemapRect& r : rects) {
        sum += Ratio(r);
        worst = std::max(worst, Ratio(r));
    }
    EXPECT_NEAR(rects[0].W, 3, 1e-9);
    EXPECT_NEAR(rects[0].H, 2, 1e-9);
    EXPECT_NEAR(rects[2].H, 7.0 / 3, 1e-9);
    EXPECT_NEAR(rects[4].W, 1.2, 1e-9);
    EXPECT_NEAR(sum / w.size(), 1.676, 0.001);
    EXPECT_NEAR(worst, 25.0 / 9, 1e-9);

    // Order of the input does not matter to the shapes, and each rectangle
    // stays with its own weight.
    const std::vector<double> shuffled = {1, 2, 6, 3, 2, 4, 6};
    auto r2 = SquarifyLayout(shuffled, b);
    ExpectTiling(shuffled, r2, b);

    // Random weights over six orders of magnitude, in a wide and in a tall
    // rectangle: the average ratio stays near the published 1.5-2.
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> exp(0, 6);
    for (TreemapRect box : {TreemapRect{0, 0, 1600, 1000}, TreemapRect{10, 20, 300, 900}}) {
        std::vector<double> ws(500);
        for (double& x : ws)
            x = std::pow(10, exp(rng));
        auto rs = SquarifyLayout(ws, box);
        ExpectTiling(ws, rs, box, true);
        double avg = 0;
        for (const TreemapRect& r : rs)
            avg += Ratio(r);
        EXPECT_LT(avg / rs.size(), 2.0);
    }
}

TEST(SquarifyTest, ZeroBadAndHugeWeights) {
    const TreemapRect b{5, 5, 100, 50};
    // Zero, negative and not-a-number weights take no area; the rest still
    // fill the rectangle.
    const std::vector<double> w = {0, 10, -3, NAN, 30, INFINITY, 0};
    auto rects = SquarifyLayout(w, b);
    ExpectTiling(w, rects, b);

    // Nothing positive, or an empty rectangle: every rectangle empty.
    for (const TreemapRect& r : SquarifyLayout({0, 0, -1}, b))
        EXPECT_EQ(r.W * r.H, 0);
    for (const TreemapRect& r : SquarifyLayout({1, 2, 3}, TreemapRect{0, 0, 0, 10}))
        EXPECT_EQ(r.W * r.H, 0);
    EXPECT_TRUE(SquarifyLayout({}, b).empty());

    // Sizes whose sum overflows a double (a damaged cache) still lay out.
    const std::vector<double> huge = {1e308, 1e308, 5e307};
    auto hr = SquarifyLayout(huge, b);
    double area = 0;
    for (const TreemapRect& r : hr)
        area += r.W * r.H;
    EXPECT_NEAR(area, 5000, 1e-6);
    EXPECT_NEAR(hr[0].W * hr[0].H, 2000, 1e-6);

    // One item takes the whole rectangle.
    auto one = SquarifyLayout({7}, b);
    EXPECT_DOUBLE_EQ(one[0].W, 100);
    EXPECT_DOUBLE_EQ(one[0].H, 50);
}

TEST(SquarifyTest, AMillionItems) {
    std::vector<double> w(1000000);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> d(1, 1000000);
    for (double& x : w)
        x = d(rng);
    const TreemapRect b{0, 0, 1600, 1000};
    auto rects = SquarifyLayout(w, b);
    ExpectTiling(w, rects, b, false);
}

TEST(TreemapBuildTest, NestedFoldersFilesAndUnmeasured) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.Write("big/a/one.bin", std::string(40000, 'a'));
    d.Write("big/a/two.bin", std::string(20000, 'b'));
    d.Write("big/own.txt", std::string(10000, 'c'));
    d.Write("small/x.zip", std::string(5000, 'd'));
    d.Write("photo.JPG", std::string(30000, 'e'));
    d.Write("empty.txt", "");
    d.MakeDir("nothing");
    FolderList folders;
    MeasureHooks hooks;
    MeasureTree(folders, drive.Root(), 4096, 0, hooks);
    d.MakeDir("later"); // made after the measurement: no record
    d.Write("later/f", std::string(9000, 'f'));
    const std::string R = drive.Root();

    Treemap map = BuildTreemap(MakeSource(folders, R, 4096), 400, 300, 2);
    ASSERT_FALSE(map.Nodes.empty());
    auto find = [&](const std::string& path, TileKind kind) {
        for (size_t i = 0; i < map.Nodes.size(); ++i)
            if (map.Nodes[i].Kind == kind && NodePath(map, static_cast<int>(i)) == path)
                return static_cast<int>(i);
        return -1;
    };
    const int big = find(R + "big\\", TILE_FOLDER), a = find(R + "big\\a\\", TILE_FOLDER);
    const int bigFiles = find(R + "big\\", TILE_FILES_BLOCK),
              photo = find(R + "photo.JPG", TILE_FILE);
    const int later = find(R + "later\\", TILE_UNMEASURED);
    ASSERT_GE(big, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(bigFiles, 0);
    ASSERT_GE(photo, 0);
    ASSERT_GE(later, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(photo)].Group, GROUP_IMAGE);
    EXPECT_EQ(NodeLabel(map, later), "later (未計測)");
    EXPECT_EQ(NodeLabel(map, bigFiles), "ファイル");
    EXPECT_GT(map.Nodes[static_cast<size_t>(later)].Rect.W, 0)
        << "unmeasured is drawn, not left out";
    EXPECT_EQ(find(R + "empty.txt", TILE_FILE), -1) << "size 0 takes no area";
    EXPECT_EQ(find(R + "nothing\\", TILE_FOLDER), -1);
    // A folder of files only is one block.
    EXPECT_EQ(map.Nodes[static_cast<size_t>(a)].Count, 0);

    // Children tile their parent, and their areas follow the occupied
    // sizes: big holds a (61440) and its own file (12288).
    for (size_t n = 0; n < map.Nodes.size(); ++n) {
        const TreemapNode& p = map.Nodes[n];
        if (p.Count == 0) continue;
        double area = 0;
        for (int32_t c = p.First; c < p.First + p.Count; ++c) {
            const TreemapNode& k = map.Nodes[static_cast<size_t>(c)];
            EXPECT_EQ(k.Parent, static_cast<int32_t>(n));
            EXPECT_EQ(k.Depth, p.Depth + 1);
            area += k.Rect.W * k.Rect.H;
        }
        EXPECT_NEAR(area, p.Rect.W * p.Rect.H, 1e-6 * p.Rect.W * p.Rect.H);
    }
    const TreemapRect& ra = map.Nodes[static_cast<size_t>(a)].Rect;
    const TreemapRect& rf = map.Nodes[static_cast<size_t>(bigFiles)].Rect;
    EXPECT_NEAR(ra.W * ra.H / (rf.W * rf.H), 61440.0 / 12288, 1e-6);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(big)].Occupied, 61440 + 12288);

    // The deepest node under a point is found, and outside the map nothing.
    EXPECT_EQ(HitTest(map, ra.X + ra.W / 2, ra.Y + ra.H / 2), a);
    EXPECT_EQ(HitTest(map, 400, 10), -1);
    EXPECT_EQ(HitTest(map, -1, 10), -1);
    EXPECT_EQ(NodePath(map, 0), R);
    EXPECT_EQ(NodePath(map, -5), "");
}

TEST(TreemapBuildTest, DeepChainsHugeFoldersAndDamagedLines) {
    // A chain 3000 folders deep, each holding a little of its own, beside a
    // folder with 200000 subfolders: no recursion, everything reachable.
    TreemapSource s;
    s.Path = "X:\\";
    std::string p = "X:\\deep\\";
    const int depth = 3000;
    for (int i = 0; i < depth; ++i) {
        s.Lines.push_back(Line(p, 1e6 * (depth - i), 1e6, 1));
        p += "d\\";
    }
    s.Lines.push_back(Line("X:\\wide\\", 2e10, 0, 200000));
    for (int i = 0; i < 200000; ++i)
        s.Lines.push_back(Line("X:\\wide\\" + std::to_string(i) + "\\", 1e5, 1e5));
    // Damaged: a line without numbers, a repeated path, a negative size.
    s.Lines.push_back("X:\\broken\\");
    s.Lines.push_back(Line("X:\\wide\\5\\", 1e12, 1e12));
    s.Lines.push_back(Line("X:\\neg\\", -5, -5));
    for (const char* name : {"deep\\", "wide\\", "broken\\", "neg\\"}) {
        DirEntry e;
        e.Name = name;
        e.IsDir = 1;
        s.Entries.push_back(e);
    }
    Treemap map = BuildTreemap(std::move(s), 1600, 1000, 1);
    int deepest = 0;
    size_t wideKids = 0;
    for (const TreemapNode& n : map.Nodes)
        deepest = std::max<int>(deepest, n.Depth);
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (map.Nodes[i].Depth == 1 && NodePath(map, static_cast<int>(i)) == "X:\\wide\\")
            wideKids = static_cast<size_t>(map.Nodes[i].Count);
    EXPECT_GT(deepest, 10);
    EXPECT_EQ(wideKids, 200000u);
    // The repeated path's first line wins.
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (NodePath(map, static_cast<int>(i)) == "X:\\wide\\5\\") {
            EXPECT_EQ(map.Nodes[i].Occupied, 1e5);
        }

    // Drawn: every pixel painted, opaque.
    std::vector<uint32_t> px(1600 * 1000, 0);
    RenderCushions(map, COLOUR_BY_KIND, px.data(), 1600);
    EXPECT_EQ(std::count_if(px.begin(), px.end(), [](uint32_t c) { return c >> 24 != 0xFF; }), 0);

    // A cancelled build stops early and stays consistent.
    std::atomic<bool> cancel{true};
    Treemap part = BuildTreemap(map.Source, 1600, 1000, 1, &cancel);
    EXPECT_LT(part.Nodes.size(), map.Nodes.size());
    for (const TreemapNode& n : part.Nodes)
        if (n.Count) {
            EXPECT_LE(static_cast<size_t>(n.First + n.Count), part.Nodes.size());
        }
}

TEST(TreemapDrawTest, CushionsColoursAndGroups) {
    TreemapSource s;
    s.Path = "X:\\";
    for (const char* name :
         {"a.tar.gz", "b.PNG", "c.mkv", "d.flac", "e.pdf", "libf.so.6", "g", ".hidden"}) {
        DirEntry e;
        e.Name = name;
        e.Size = e.Occupied = 4096;
        s.Entries.push_back(e);
    }
    Treemap map = BuildTreemap(std::move(s), 160, 100);
    ASSERT_EQ(map.Nodes.size(), 9u);
    const FileGroup want[] = {GROUP_ARCHIVE,  GROUP_IMAGE,      GROUP_VIDEO, GROUP_AUDIO,
                              GROUP_DOCUMENT, GROUP_EXECUTABLE, GROUP_OTHER, GROUP_OTHER};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(map.Nodes[i + 1].Group, want[i]) << map.Source->Entries[i].Name;
    std::vector<uint32_t> px(160 * 100, 0);
    RenderCushions(map, COLOUR_BY_KIND, px.data(), 160);
    for (size_t i = 1; i < map.Nodes.size(); ++i) {
        const TreemapRect& r = map.Nodes[i].Rect;
        const uint32_t base = NodeColour(map.Nodes[i], COLOUR_BY_KIND);
        // The centre of a cushion is its brightest part: the base colour's
        // hue, neither black nor washed out.
        const uint32_t c =
            px[static_cast<size_t>(r.Y + r.H / 2) * 160 + static_cast<size_t>(r.X + r.W / 2)];
        const int dom = (base >> 16 & 0xFF) >= (base >> 8 & 0xFF)
                            ? ((base >> 16 & 0xFF) >= (base & 0xFF) ? 16 : 0)
                            : ((base >> 8 & 0xFF) >= (base & 0xFF) ? 8 : 0);
        for (int ch : {0, 8, 16})
            EXPECT_LE((c >> ch & 0xFF), (c >> dom & 0xFF) + 1) << map.Source->Entries[i - 1].Name;
        EXPECT_GT((c >> dom & 0xFF), 100u) << map.Source->Entries[i - 1].Name;
        // Edges are darker than the centre: the shading shows the cushion.
        const uint32_t edge =
            px[static_cast<size_t>(r.Y + r.H - 1) * 160 + static_cast<size_t>(r.X + r.W - 1)];
        EXPECT_LT((edge >> dom & 0xFF), (c >> dom & 0xFF));
    }
    // By depth, all siblings share one colour.
    EXPECT_EQ(NodeColour(map.Nodes[1], COLOUR_BY_DEPTH), NodeColour(map.Nodes[5], COLOUR_BY_DEPTH));
    TreemapNode deeper = map.Nodes[1];
    deeper.Depth = 2;
    EXPECT_NE(NodeColour(map.Nodes[1], COLOUR_BY_DEPTH), NodeColour(deeper, COLOUR_BY_DEPTH));

    // An empty or zero-sized map draws nothing and does not crash.
    Treemap empty = BuildTreemap(TreemapSource{}, 0, 0);
    RenderCushions(empty, COLOUR_BY_DEPTH, nullptr, 0);
    EXPECT_EQ(HitTest(empty, 0, 0), -1);
}

TEST(TreemapBuildTest, KeptFindingsFollowTheirOwnLines) {
    TreemapSource s;
    s.Path = "X:\\";
    s.Lines = {Line("X:\\a\\", 300, 100, 1), Line("X:\\a\\b\\", 200, 200)};
    DirEntry a;
    a.Name = "a\\";
    a.IsDir = 1;
    s.Entries.push_back(a);
    auto shared = std::make_shared<const TreemapSource>(s);
    Treemap first = BuildTreemap(shared, 300, 200);
    EXPECT_EQ(first.Nodes.size(), 4u) << "root, a, a\\b, a's files";
    // Laid out again at another size: the same nodes.
    Treemap again = BuildTreemap(shared, 600, 100);
    ASSERT_EQ(again.Nodes.size(), first.Nodes.size());
    for (size_t i = 0; i < again.Nodes.size(); ++i)
        EXPECT_EQ(NodePath(again, int(i)), NodePath(first, int(i)));
    // A copy with other lines shares the cache object but not what it found.
    TreemapSource changed = *shared;
    changed.Lines = {Line("X:\\a\\", 300, 0, 2), Line("X:\\a\\c\\", 100, 100),
                     Line("X:\\a\\d\\", 200, 200)};
    Treemap other = BuildTreemap(std::move(changed), 300, 200);
    ASSERT_EQ(other.Nodes.size(), 4u) << "root, a, a\\c, a\\d";
    EXPECT_EQ(NodePath(other, 2), "X:\\a\\c\\");
    EXPECT_EQ(NodePath(other, 3), "X:\\a\\d\\");
    Treemap still = BuildTreemap(shared, 300, 200);
    EXPECT_EQ(NodePath(still, 2), NodePath(first, 2));
}

TEST(TreemapBuildTest, BeforeAMeasurementLinksStayTinyAndTheUnmeasuredShareIsHonest) {
    // A drive's root before it is measured: two links of a block each and
    // two folders of unknown size; the volume says 10 GB are in use.
    TreemapSource s;
    s.Path = "C:\\";
    for (const char* name : {"bin", "lib"}) {
        DirEntry link;
        link.Name = name;
        link.Size = 7;
        link.Occupied = 4096;
        s.Entries.push_back(link);
    }
    for (const char* name : {"usr\\", "var\\"}) {
        DirEntry d;
        d.Name = name;
        d.IsDir = 1;
        s.Entries.push_back(d);
    }
    TreemapSource known = s;
    known.UsedBytes = 10e9;
    const Treemap map = BuildTreemap(std::move(known), 1000, 600);
    double links = 0, folders = 0;
    for (const TreemapNode& n : map.Nodes) {
        if (n.Depth != 1) continue;
        const double area = n.Rect.W * n.Rect.H;
        if (n.Kind == TILE_FILE) links += area;
        if (n.Kind == TILE_UNMEASURED) folders += area;
    }
    EXPECT_LT(links, 1.0) << "8 KB of 10 GB is less than a pixel";
    EXPECT_NEAR(folders, 1000.0 * 600, 1.0);
    EXPECT_TRUE(map.UnmeasuredEstimated);
    EXPECT_GT(map.UnmeasuredShare, 0.999);

    // Without the volume's figures the grey only makes room, and says so.
    const Treemap room = BuildTreemap(std::move(s), 1000, 600);
    EXPECT_FALSE(room.UnmeasuredEstimated);
    EXPECT_GT(room.UnmeasuredShare, 0);
    EXPECT_LT(room.UnmeasuredShare, 0.5);
}

// A folder made since the measurement has no size: it is drawn no larger
// than the smallest measured item beside it, but still seen.
TEST(TreemapBuildTest, AFolderMadeSinceTheMeasurementIsNoLargerThanWhatWasMeasured) {
    struct Case {
        double bigFolder, file;
    } cases[] = {{10e9, 100e6}, {10e9, 4096}, {1e6, 900e3}};
    for (const Case& c : cases) {
        TreemapSource s;
        s.Path = "X:\\";
        s.Lines = {Line("X:\\", c.bigFolder + c.file, c.file, 1),
                   Line("X:\\big\\", c.bigFolder, 0)};
        DirEntry big, file, made;
        big.Name = "big\\";
        big.IsDir = 1;
        file.Name = "movie.mkv";
        file.Size = file.Occupied = c.file;
        made.Name = "new\\";
        made.IsDir = 1;
        s.Entries = {big, file, made};
        const Treemap map = BuildTreemap(std::move(s), 1000, 600);
        double fileArea = -1, madeArea = -1;
        for (const TreemapNode& n : map.Nodes) {
            if (n.Kind == TILE_FILE) fileArea = n.Rect.W * n.Rect.H;
            if (n.Kind == TILE_UNMEASURED) madeArea = n.Rect.W * n.Rect.H;
        }
        ASSERT_GE(fileArea, 0) << c.file;
        EXPECT_GE(madeArea, 16 * 16 - 1) << c.file << ": seen";
        EXPECT_LE(madeArea, std::max(fileArea, 16.0 * 16) + 1) << c.file;
    }
}

// The map's lines are the list's own, not a copy; a list that changes while
// a map is laid out (a measurement in the window) leaves the map's alone.
TEST(TreemapBuildTest, TheMapKeepsItsLinesWhileTheListChanges) {
    FolderList folders;
    folders.Append("2026/12/07 10:00:00=00:00:01");
    folders.Append(Line("X:\\", 600, 0, 2));
    folders.Append(Line("X:\\a\\", 300, 100, 1));
    folders.Append(Line("X:\\a\\b\\", 200, 200));
    folders.Append("X:\\a\\cut\\");
    folders.Append(Line("X:\\ab\\", 300, 300));
    TreemapSource s;
    s.Path = "X:\\a\\";
    s.Lines = SubtreeLines(folders, s.Path);
    ASSERT_EQ(s.Lines.size(), 2u)
        << "a and a\\b; a line without figures and a\\'s neighbour ab are not its";
    EXPECT_EQ(s.Lines[1], Line("X:\\a\\b\\", 200, 200));
    DirEntry b;
    b.Name = "b\\";
    b.IsDir = 1;
    s.Entries.push_back(b);
    auto shared = std::make_shared<const TreemapSource>(std::move(s));
    folders.PutLine(3, Line("X:\\a\\b\\", 1, 1));
    folders.Clear();
    Treemap map = BuildTreemap(shared, 300, 200);
    int found = -1;
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (NodePath(map, static_cast<int>(i)) == "X:\\a\\b\\") found = static_cast<int>(i);
    ASSERT_GE(found, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(found)].Occupied, 200);
    // Lines added by hand to lines of a list make a list of their own.
    TreemapLines more = shared->Lines;
    more.push_back(Line("X:\\a\\z\\", 5, 5));
    ASSERT_EQ(more.size(), 3u);
    EXPECT_EQ(more[1], Line("X:\\a\\b\\", 200, 200));
    EXPECT_EQ(more[2], Line("X:\\a\\z\\", 5, 5));
    EXPECT_EQ(shared->Lines.size(), 2u);
}

namespace {

// A map of X:\ at width x height whose only entries are the given folders.
Treemap MapOf(TreemapLines lines, std::initializer_list<const char*> folders, int width, int height,
              double minSide = 4) {
    TreemapSource s;
    s.Path = "X:\\";
    s.Lines = std::move(lines);
    for (const char* name : folders) {
        DirEntry e;
        e.Name = name;
        e.IsDir = 1;
        s.Entries.push_back(e);
    }
    return BuildTreemap(std::move(s), width, height, minSide);
}

int NodeOf(const Treemap& map, const std::string& path, TileKind kind = TILE_FOLDER) {
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (map.Nodes[i].Kind == kind && NodePath(map, static_cast<int>(i)) == path)
            return static_cast<int>(i);
    return -1;
}

double ChildrenArea(const Treemap& map, int node) {
    double area = 0;
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    for (int32_t c = n.First; c < n.First + n.Count; ++c) {
        const TreemapRect& r = map.Nodes[static_cast<size_t>(c)].Rect;
        area += r.W * r.H;
    }
    return area;
}

} // namespace

// Subfolders under a pixel at the map's size join one block; at a pixel
// they stay themselves, and so does one alone.
TEST(TreemapSmallFoldersTest, ThresholdLoneFoldersAndFoldersAllTiny) {
    // X:\a\ fills the 100 x 100 map, 1000 bytes a pixel.
    auto linesOf = [](bool secondTiny) {
        TreemapLines lines;
        lines.push_back(Line("X:\\", 1e7, 0, 1));
        lines.push_back(Line("X:\\a\\", 1e7, 1000, 4));
        lines.push_back(Line("X:\\a\\big\\", 1e7 - 1000 - 1000 - 999 - (secondTiny ? 999 : 0), 0));
        lines.push_back(Line("X:\\a\\edge\\", 1000, 1000));
        lines.push_back(Line("X:\\a\\s1\\", 999, 999));
        if (secondTiny) lines.push_back(Line("X:\\a\\s2\\", 999, 999));
        return lines;
    };
    Treemap map = MapOf(linesOf(true), {"a\\"}, 100, 100);
    const int a = NodeOf(map, "X:\\a\\");
    ASSERT_GE(a, 0);
    EXPECT_GE(NodeOf(map, "X:\\a\\edge\\"), 0) << "a folder of exactly one pixel is its own";
    EXPECT_GE(NodeOf(map, "X:\\a\\big\\"), 0);
    EXPECT_LT(NodeOf(map, "X:\\a\\s1\\"), 0);
    EXPECT_LT(NodeOf(map, "X:\\a\\s2\\"), 0);
    const int small = NodeOf(map, "X:\\a\\", TILE_SMALL_FOLDERS);
    ASSERT_GE(small, 0);
    const TreemapNode& block = map.Nodes[static_cast<size_t>(small)];
    EXPECT_EQ(block.Parent, a);
    EXPECT_EQ(block.Depth, 2);
    EXPECT_EQ(block.Occupied, 1998);
    EXPECT_EQ(block.Size, 1998);
    EXPECT_EQ(block.Count, 0);
    EXPECT_NEAR(block.Rect.W * block.Rect.H, 1.998, 1e-9);
    EXPECT_EQ(NodeLabel(map, small), "小さなフォルダ");
    EXPECT_EQ(
        NodeColour(block, COLOUR_BY_KIND),
        NodeColour(map.Nodes[static_cast<size_t>(NodeOf(map, "X:\\a\\big\\"))], COLOUR_BY_KIND));
    EXPECT_EQ(map.Nodes[static_cast<size_t>(a)].Count, 4) << "big, edge, the block and a's files";
    EXPECT_NEAR(ChildrenArea(map, a), 10000, 1e-6);

    // One folder under a pixel is left as it is: a block of one says less.
    map = MapOf(linesOf(false), {"a\\"}, 100, 100);
    EXPECT_GE(NodeOf(map, "X:\\a\\s1\\"), 0);
    EXPECT_LT(NodeOf(map, "X:\\a\\", TILE_SMALL_FOLDERS), 0);

    // Every subfolder under a pixel, no files of its own: the folder holds
    // the block alone, over all of it, drawn in the folders' colour.
    TreemapLines many;
    many.push_back(Line("X:\\", 3000, 0, 1));
    many.push_back(Line("X:\\c\\", 3000, 0, 300));
    for (int i = 0; i < 300; ++i)
        many.push_back(Line("X:\\c\\" + std::to_string(1000 + i) + "\\", 10, 10));
    map = MapOf(std::move(many), {"c\\"}, 16, 16, 1);
    const int c = NodeOf(map, "X:\\c\\");
    ASSERT_GE(c, 0);
    ASSERT_EQ(map.Nodes[static_cast<size_t>(c)].Count, 1);
    const TreemapNode& all =
        map.Nodes[static_cast<size_t>(map.Nodes[static_cast<size_t>(c)].First)];
    EXPECT_EQ(all.Kind, TILE_SMALL_FOLDERS);
    EXPECT_EQ(all.Occupied, 3000);
    EXPECT_NEAR(all.Rect.W * all.Rect.H, 256, 1e-9);
    EXPECT_EQ(HitTest(map, 8, 8), map.Nodes[static_cast<size_t>(c)].First);
    std::vector<uint32_t> px(16 * 16, 0);
    RenderCushions(map, COLOUR_BY_KIND, px.data(), 16);
    const uint32_t folder = LegendColour(0);
    for (uint32_t p : px) {
        ASSERT_EQ(p >> 24, 0xFFu);
        // The folders' blue stays the strongest channel wherever it is lit.
        EXPECT_GE(p & 0xFF, (p >> 16) & 0xFF);
    }
    EXPECT_GT(folder & 0xFF, (folder >> 16) & 0xFF);

    // Folders of no size (or a damaged negative one) are no tiles and add
    // nothing to the block; a folder whose subfolders all have none is one
    // tile itself.
    TreemapLines zeros;
    zeros.push_back(Line("X:\\", 1.5e7, 0, 2));
    zeros.push_back(Line("X:\\z\\", 1e7 - 10, 0, 5));
    zeros.push_back(Line("X:\\z\\big\\", 1e7 - 1010, 0));
    zeros.push_back(Line("X:\\z\\neg\\", -50, -50));
    zeros.push_back(Line("X:\\z\\t1\\", 500, 500));
    zeros.push_back(Line("X:\\z\\t2\\", 500, 500));
    zeros.push_back(Line("X:\\z\\zero\\", 0, 0));
    zeros.push_back(Line("X:\\e\\", 5e6, 0, 2));
    zeros.push_back(Line("X:\\e\\0\\", 0, 0));
    zeros.push_back(Line("X:\\e\\1\\", 0, 0));
    map = MapOf(std::move(zeros), {"z\\", "e\\"}, 100, 100);
    EXPECT_LT(NodeOf(map, "X:\\z\\zero\\"), 0);
    EXPECT_LT(NodeOf(map, "X:\\z\\neg\\"), 0);
    const int zs = NodeOf(map, "X:\\z\\", TILE_SMALL_FOLDERS);
    ASSERT_GE(zs, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(zs)].Occupied, 1000);
    const int e = NodeOf(map, "X:\\e\\");
    ASSERT_GE(e, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(e)].Count, 0);
}

// The lines of a folder list are in order: the map is found by walking
// them. Lines in any other order are matched by path. Both give the same
// map, whatever the names: case-only differences whose subtrees
// interleave, letters whose cases differ in length, " > " in a name,
// repeated paths (the first wins), lines without figures.
TEST(TreemapIndexTest, OrderedLinesGiveTheMapThatMatchingByPathGives) {
    const char* names[] = {"a",     "A",   "b", "ä", "Ä", "K", "\xE2\x84\xAA" /* Kelvin sign */,
                           "a > b", "a b", "0"};
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        FolderList folders;
        folders.Append("2026/12/07 10:00:00=00:00:01");
        folders.Append(Line("X:\\", 1e9, 1e3, 5));
        std::vector<std::string> paths = {"X:\\"};
        std::vector<std::string> top;
        for (int i = 0; i < 400; ++i) {
            const std::string up = paths[rng() % paths.size()];
            if (std::count(up.begin(), up.end(), '\\') > 5) continue;
            const std::string p = up + names[rng() % std::size(names)] + "\\";
            const double size = static_cast<double>(1 + rng() % 1000000) * (rng() % 3 ? 1 : 1000);
            folders.Append(Line(p, size, size / 3));
            // Now and then a line without figures. (One whose names hold
            // " > " would be read as a folder of a shorter path, which sends
            // the walk to matching by path; the fixed lines below have one.)
            if (rng() % 40 == 0 && p.find(" > ") == std::string::npos) folders.Append(p);
            paths.push_back(p);
            if (up == "X:\\" && std::find(top.begin(), top.end(), p) == top.end()) top.push_back(p);
        }
        if (round % 5 == 0) folders.Append("X:\\a > b\\a\\");
        folders.Sort();
        TreemapSource ordered;
        ordered.Path = "X:\\";
        ordered.Lines = SubtreeLines(folders, ordered.Path);
        ASSERT_TRUE(ordered.Lines.InOrder());
        // The same lines and one more out of order: a root line repeated,
        // which counts for nothing.
        TreemapSource any = ordered;
        any.Lines = TreemapLines();
        for (size_t i = 0; i < ordered.Lines.size(); ++i)
            any.Lines.push_back(ordered.Lines[i]);
        any.Lines.push_back(Line("X:\\", 5, 5));
        for (const std::string& p : top) {
            DirEntry e;
            e.Name = p.substr(3);
            e.IsDir = 1;
            ordered.Entries.push_back(e);
        }
        any.Entries = ordered.Entries;
        any.Cache = NewIndexCache();
        const Treemap a = BuildTreemap(std::move(ordered), 400, 300, 2);
        const Treemap b = BuildTreemap(std::move(any), 400, 300, 2);
        ASSERT_EQ(a.Nodes.size(), b.Nodes.size()) << "round " << round;
        for (size_t i = 0; i < a.Nodes.size(); ++i) {
            const TreemapNode &x = a.Nodes[i], &y = b.Nodes[i];
            ASSERT_EQ(NodePath(a, static_cast<int>(i)), NodePath(b, static_cast<int>(i)))
                << "round " << round;
            EXPECT_EQ(x.Kind, y.Kind);
            EXPECT_EQ(x.Source, y.Source);
            EXPECT_EQ(x.Occupied, y.Occupied);
            EXPECT_EQ(x.Count, y.Count);
            EXPECT_EQ(x.Rect.X, y.Rect.X);
            EXPECT_EQ(x.Rect.W, y.Rect.W);
        }
    }
}

// A measurement stopped half way leaves folders without their parent's
// line; one folder's lines of a list, with names of it in other cases.
TEST(TreemapIndexTest, SubtreeOfAListAndFoldersWithoutTheirParents) {
    FolderList folders;
    folders.Append("2026/12/07 10:00:00=00:00:01");
    folders.Append(Line("X:\\", 1000, 0, 2));
    folders.Append(Line("X:\\a\\", 600, 100, 2));
    folders.Append(Line("X:\\A\\", 50, 50));
    folders.Append(Line("X:\\a\\b\\", 300, 300));
    folders.Append(Line("X:\\A\\b\\", 7, 7));
    folders.Append(Line("X:\\a\\c\\", 200, 0));
    folders.Append(Line("X:\\a\\c\\lost\\deeper\\", 200, 200)); // lost's own line is missing
    folders.Append(Line("X:\\ab\\", 400, 400));
    folders.Sort();
    TreemapLines lines = SubtreeLines(folders, "X:\\a\\");
    ASSERT_EQ(lines.size(), 4u) << "a, a\\b, a\\c, a\\c\\lost\\deeper; not A's nor ab's";
    EXPECT_TRUE(lines.InOrder());
    TreemapSource s;
    s.Path = "X:\\a\\";
    s.Lines = lines;
    for (const char* name : {"b\\", "c\\"}) {
        DirEntry e;
        e.Name = name;
        e.IsDir = 1;
        s.Entries.push_back(e);
    }
    const Treemap map = BuildTreemap(std::move(s), 200, 200, 1);
    EXPECT_EQ(map.Nodes[0].Occupied, 600);
    const int b = NodeOf(map, "X:\\a\\b\\"), c = NodeOf(map, "X:\\a\\c\\");
    ASSERT_GE(b, 0);
    ASSERT_GE(c, 0);
    EXPECT_EQ(map.Nodes[static_cast<size_t>(b)].Occupied, 300);
    // c's only subfolder line lies deeper than its child: c is one tile.
    EXPECT_EQ(map.Nodes[static_cast<size_t>(c)].Count, 0);
    EXPECT_LT(NodeOf(map, "X:\\a\\c\\lost\\deeper\\"), 0);
}
