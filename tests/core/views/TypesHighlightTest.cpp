// The treemap lit by a row of the file types: by a kind, every file of the
// kind whatever its extension; by an extension, only those (the files
// without an extension, programs or not, in one row). And the
// file types window's kept settings, read back and read defensively.
#include "core/index/FileIndex.h"
#include "core/index/FileKinds.h"
#include "core/measure/Measure.h"
#include "core/treemap/Treemap.h"
#include "core/views/TypesView.h"
#include "core/GlobalState.h"
#include "support/CurrentDrive.h"
#include "support/ResetGlobalState.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
int Find(const Treemap& map, const std::string& path) {
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (map.Nodes[i].Kind == TILE_INDEXED_FILE && NodePath(map, static_cast<int>(i)) == path)
            return static_cast<int>(i);
    return -1;
}
} // namespace

TEST(TypesHighlightTest, AKindOrAnExtensionOfOneKindStaysLit) {
    TempDrive drive;
    test::MakeCurrent(drive);
    Global().AskBeforeMeasure = 0;
    const auto& d = drive.Dir();
    d.Write("pics/a.JPG", std::string(300 << 10, 'a'));
    d.Write("pics/b.png", std::string(200 << 10, 'b'));
    d.Write("film/c.mkv", std::string(400 << 10, 'c'));
    d.Write("bin/tool", std::string(250 << 10, 't'));
    ::chmod((d / "bin/tool").c_str(), 0755);
    d.Write("bin/README", std::string(150 << 10, 'r'));
    test::YesHooks hooks;
    MeasureDrives(hooks);
    const std::string R = drive.Root();
    auto source = std::make_shared<const TreemapSource>(MakeSource(Global().Folders, R, 4096));
    ASSERT_TRUE(source->Files);
    const Treemap map = BuildTreemap(source, 600, 400);
    const int jpg = Find(map, R + "pics\\a.JPG"), png = Find(map, R + "pics\\b.png"),
              mkv = Find(map, R + "film\\c.mkv"), tool = Find(map, R + "bin\\tool"),
              readme = Find(map, R + "bin\\README");
    for (int n : {jpg, png, mkv, tool, readme})
        ASSERT_GT(n, 0);

    auto lit = [&](const TreemapHighlight& h) {
        std::vector<int> out;
        for (int n : {jpg, png, mkv, tool, readme})
            if (HighlightKeeps(map, n, h)) out.push_back(n);
        return out;
    };
    TreemapHighlight images;
    images.On = true;
    images.Kind = KIND_IMAGE;
    images.AnyExtension = true;
    EXPECT_EQ(lit(images), (std::vector<int>{jpg, png}));
    TreemapHighlight programs = images;
    programs.Kind = KIND_EXECUTABLE;
    EXPECT_EQ(lit(programs), (std::vector<int>{tool})) << "the execute bit makes a program";

    // "(なし)" asked for as a program, as the other.
    TreemapHighlight none;
    none.On = true;
    none.Kind = KIND_EXECUTABLE;
    EXPECT_EQ(lit(none), (std::vector<int>{tool}));
    none.Kind = KIND_OTHER;
    EXPECT_EQ(lit(none), (std::vector<int>{readme}));
    // The extension alone, as the command line asks: any kind.
    TreemapHighlight plain;
    plain.On = true;
    plain.Extension = "jpg";
    EXPECT_EQ(lit(plain), (std::vector<int>{jpg})) << "the extension is compared in lower case";
    // A kind out of range lights nothing rather than everything.
    TreemapHighlight wrong = images;
    wrong.Kind = 99;
    EXPECT_TRUE(lit(wrong).empty());
    // Folders never stay lit.
    EXPECT_FALSE(HighlightKeeps(map, 0, images));

    // The drawing: a lit tile keeps its colour, a dimmed one loses it.
    std::vector<uint32_t> normal(600 * 400), drawn(600 * 400);
    RenderCushions(map, COLOUR_BY_KIND, normal.data(), 600);
    RenderCushions(map, COLOUR_BY_KIND, drawn.data(), 600, nullptr, images);
    auto centre = [&](const std::vector<uint32_t>& px, int node) {
        const TreemapRect& r = map.Nodes[static_cast<size_t>(node)].Rect;
        return px[static_cast<size_t>(r.Y + r.H / 2) * 600 + static_cast<size_t>(r.X + r.W / 2)];
    };
    EXPECT_EQ(centre(drawn, jpg), centre(normal, jpg));
    EXPECT_EQ(centre(drawn, png), centre(normal, png));
    EXPECT_NE(centre(drawn, mkv), centre(normal, mkv));
    EXPECT_NE(centre(drawn, tool), centre(normal, tool));

    // Every row of the file types lights exactly its own files.
    for (const bool byKind : {false, true})
        for (const TypeRow& row : TypeStatistics(*source->Files, "", byKind))
            EXPECT_EQ(lit(TypeRowHighlight(row.Extension, row.Kind, byKind)).size(), row.Files)
                << ExtensionCaption(row.Extension) << " " << KindCaption(row.Kind);
    test::ResetGlobalState();
}

TEST(TypesHighlightTest, SettingsComeBackAndDamagedLinesTakeDefaults) {
    TempDrive drive;
    const std::string file = drive.ExeDir().Path() + "kept.typ";
    TypesSettings s;
    s.Left = 30;
    s.Top = 40;
    s.Width = 700;
    s.Height = 500;
    s.ColumnWidths = {{11, 22, 33, 44, 55, 66}};
    s.ByKind = true;
    s.SortColumn = 2;
    s.Ascending = true;
    ASSERT_TRUE(SaveTypesSettings(s, file));
    const TypesSettings back = LoadTypesSettings(file);
    EXPECT_EQ(back.Left, 30);
    EXPECT_EQ(back.Top, 40);
    EXPECT_EQ(back.Width, 700);
    EXPECT_EQ(back.Height, 500);
    EXPECT_EQ(back.ColumnWidths, s.ColumnWidths);
    EXPECT_TRUE(back.ByKind);
    EXPECT_EQ(back.SortColumn, 2);
    EXPECT_TRUE(back.Ascending);

    drive.ExeDir().Write("kept.typ", "x\r\n-999999\r\n5\r\n99999999\r\n1,2,3\r\n7\r\n-3\r\n" +
                                         std::string(5000, 'z'));
    const TypesSettings bad = LoadTypesSettings(file);
    const TypesSettings def;
    EXPECT_EQ(bad.Left, def.Left);
    EXPECT_EQ(bad.Width, def.Width);
    EXPECT_EQ(bad.Height, def.Height);
    EXPECT_EQ(bad.ColumnWidths, def.ColumnWidths);
    EXPECT_FALSE(bad.ByKind);
    EXPECT_EQ(bad.SortColumn, def.SortColumn);
    EXPECT_FALSE(bad.Ascending);
    EXPECT_EQ(LoadTypesSettings(drive.ExeDir().Path() + "missing.typ").Width, def.Width);
}
