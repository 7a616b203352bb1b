#include "core/measure/Simulate.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/NumberText.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
// Presses STOP once the walk shows a path containing the given text.
struct StopAt : MeasureHooks {
    std::string at;
    bool stopped = false;
    bool StopRequested() override { return stopped; }
    void SetProgressText(const std::string& text) override {
        if (text.find(at) != std::string::npos) stopped = true;
    }
};

// The main list's rows for a folder, every file shown, as the window builds them.
RowList MainRows(const std::string& path, FolderList& folders, bool showFiles = true) {
    DirListing listing;
    listing.ClusterSize = 4096;
    ListFolder(listing, path + "*.*", LIST_ALL);
    FillInput in;
    in.Path = path;
    in.Entries = &listing.Entries;
    in.ListedFolders = listing.FolderCount;
    in.ListedFiles = listing.FileCount;
    in.ShowFiles = showFiles;
    in.RootPath = path.substr(0, 3);
    return BuildRows(in, folders, 0).Rows;
}

const SimRow* Row(const std::vector<SimRow>& rows, const std::string& caption) {
    for (const auto& r : rows)
        if (r.Caption == caption) return &r;
    return nullptr;
}
} // namespace

TEST(SimulateTest, FilesRoundUpToTheSimulatedClusters) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.Write("one", std::string(1, 'x'));
    d.Write("exact", std::string(4096, 'x'));
    d.Write("over", std::string(4097, 'x'));
    d.Write("empty", "");
    d.Write("sub/a", std::string(100, 'a'));
    d.Write("sub/b", std::string(600, 'b'));
    d.Write("sub/c", "");
    FolderList folders;
    DriveRecord current;
    current.ClusterSize = 4096;
    current.FreeBytes = 12345;
    std::vector<SimRow> rows = BuildSimRows(MainRows(drive.Root(), folders), current, true);
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[1].Before, "4096");
    EXPECT_EQ(rows[2].Before, "12345");
    EXPECT_EQ(rows[3].Image, -1);
    EXPECT_EQ(Row(rows, "総計 - フォルダ -"), nullptr);
    EXPECT_EQ(Row(rows, "総計 - ファイル -"), nullptr) << "files are shown one by one";

    MeasureHooks hooks;
    MarkUnknown(rows);
    RunSimulation(rows, 4096, -1, true, hooks);
    EXPECT_EQ(Row(rows, "one")->After, "4096");
    EXPECT_EQ(Row(rows, "exact")->After, "4096");
    EXPECT_EQ(Row(rows, "over")->After, "8192");
    EXPECT_EQ(Row(rows, "empty")->After, "0");
    EXPECT_EQ(Row(rows, "sub")->After, "8192");
    EXPECT_EQ(rows[0].After, "24576");
    EXPECT_EQ(rows[1].After, "4096");
    EXPECT_EQ(rows[2].After, "?") << "a typed size has no free space to compare";

    MarkUnknown(rows);
    RunSimulation(rows, 512, 999, true, hooks);
    EXPECT_EQ(Row(rows, "sub")->After, "1536");
    EXPECT_EQ(rows[2].After, "999");
}

TEST(SimulateTest, FileTotalRowWhenFilesAreHiddenAndAFolderWithoutSubfolders) {
    TempDrive drive;
    drive.Dir().Write("f1", std::string(10, 'x'));
    drive.Dir().Write("f2", std::string(5000, 'x'));
    FolderList folders;
    DriveRecord current;
    std::vector<SimRow> rows = BuildSimRows(MainRows(drive.Root(), folders, false), current, false);
    const SimRow* total = Row(rows, "総計 - ファイル -");
    ASSERT_NE(total, nullptr);
    MeasureHooks hooks;
    RunSimulation(rows, 4096, -1, false, hooks);
    EXPECT_EQ(Row(rows, "総計 - ファイル -")->After, "12288");
    EXPECT_EQ(rows[0].After, "12288") << "no subfolders: the folder is its files";
}

TEST(SimulateTest, StopLeavesTheRestUnknownAndAPartialTotal) {
    TempDrive drive;
    for (const char* f : {"a", "b", "c", "d"})
        drive.Dir().Write(std::string(f) + "/file", std::string(100, 'x'));
    drive.Dir().Write("top", std::string(100, 'x'));
    FolderList folders;
    DriveRecord current;
    std::vector<SimRow> rows = BuildSimRows(MainRows(drive.Root(), folders), current, true);
    MarkUnknown(rows);
    StopAt hooks;
    hooks.at = "\\c\\";
    RunSimulation(rows, 1000, -1, true, hooks);
    EXPECT_EQ(Row(rows, "a")->After, "1000");
    EXPECT_EQ(Row(rows, "b")->After, "1000");
    const std::string c = Row(rows, "c")->After;
    ASSERT_NE(c, "?") << "the folder being walked keeps what it gathered";
    EXPECT_EQ(Row(rows, "d")->After, "?");
    EXPECT_EQ(Row(rows, "top")->After, "1000") << "the folder's own files still count";
    EXPECT_EQ(rows[0].After, FloatText(3000 + TextToFloat(c, 0)));
}

TEST(SimulateTest, NominalSizesInsideLinksNotFollowedOtherSizesRefused) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.MakeDir("sub");
    int fd = ::open((d / "sub/sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, 1 << 20), 0);
    ::close(fd);
    test::TempDir outside;
    outside.Write("huge", std::string(1 << 16, 'h'));
    ASSERT_EQ(::symlink(outside.Path().c_str(), (d / "sub/link").c_str()), 0);
    MeasureHooks hooks;
    SimSums s = SimulateFolder(drive.Root() + "sub\\", 4096, hooks);
    const double linkLength = static_cast<double>(outside.Path().size());
    EXPECT_EQ(s.Size, (1 << 20) + linkLength);
    EXPECT_EQ(s.Occupied, (1 << 20) + 4096)
        << "the hole counts at its nominal size; the link as itself";

    uint32_t cluster = 0;
    std::string why;
    EXPECT_FALSE(ParseClusterSize("0", cluster, why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ParseClusterSize("-4096", cluster, why));
    EXPECT_FALSE(ParseClusterSize("99999999999", cluster, why));
    ASSERT_TRUE(ParseClusterSize("abc", cluster, why));
    EXPECT_EQ(cluster, 1u) << "not a number counts as 1";
    ASSERT_TRUE(ParseClusterSize("4194304", cluster, why));
    EXPECT_EQ(cluster, 4194304u);
}

// A file with several names: simulated as the measurement counts it, once
// across all rows (the first folder in byte order owns it), unless the
// setting says every name.
TEST(SimulateTest, AFileWithSeveralNamesCountsOnceAcrossTheRows) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.Write("L1/a", std::string(1 << 20, 'x'));
    d.MakeDir("L2");
    ASSERT_EQ(::link((d / "L1/a").c_str(), (d / "L2/b").c_str()), 0);
    d.Write("own", std::string(100, 'o'));
    d.MakeDir("L3");
    ASSERT_EQ(::link((d / "own").c_str(), (d / "L3/own2").c_str()), 0);
    d.Write("solo", std::string(10, 's'));
    ASSERT_EQ(::link((d / "solo").c_str(), (d / "solo2").c_str()), 0);

    Global().CountLinksOnce = 1;
    FolderList folders;
    DriveRecord current;
    for (bool showFiles : {true, false}) {
        std::vector<SimRow> rows =
            BuildSimRows(MainRows(drive.Root(), folders, showFiles), current, showFiles);
        MeasureHooks hooks;
        MarkUnknown(rows);
        RunSimulation(rows, 4096, -1, showFiles, hooks);
        EXPECT_EQ(Row(rows, "L1")->After, "1048576");
        EXPECT_EQ(Row(rows, "L2")->After, "0") << "the second name of L1's file";
        EXPECT_EQ(Row(rows, "L3")->After, "0") << "the shown folder's own file sorts first";
        // 1 MB once, "own" once and "solo" (two names beside each other) once.
        EXPECT_EQ(rows[0].After, "1056768") << (showFiles ? "files shown" : "file total");
        if (!showFiles) {
            EXPECT_EQ(Row(rows, "総計 - ファイル -")->After, "8192");
        }
    }
    // The sub-folder alone, as "sim 'X:\L1\'" asks: the name in L1 is the one.
    EXPECT_EQ(
        SimulateFolder(drive.Root() + "L1\\", 4096, *std::make_unique<MeasureHooks>()).Occupied,
        1 << 20);

    Global().CountLinksOnce = 0;
    std::vector<SimRow> rows = BuildSimRows(MainRows(drive.Root(), folders), current, true);
    MeasureHooks hooks;
    RunSimulation(rows, 4096, -1, true, hooks);
    EXPECT_EQ(Row(rows, "L2")->After, "1048576") << "every name, as du -l";
    EXPECT_EQ(rows[0].After, FloatText(2 * 1048576.0 + 4 * 4096));
    Global().CountLinksOnce = 1;
}

// Now and simulated of the total cover the same items at a drive's root:
// the reserved space is not simulated and not part of "now".
TEST(SimulateTest, TheTotalsCoverTheSimulatedItemsOnly) {
    TempDrive drive;
    drive.Dir().Write("a/x", std::string(5000, 'x'));
    drive.Dir().Write("top", std::string(10, 't'));
    FolderList folders;
    MeasureHooks hooks;
    MeasureTree(folders, drive.Root(), 4096, 0, hooks);
    DirListing listing;
    listing.ClusterSize = 4096;
    ListFolder(listing, drive.Root() + "*.*", LIST_ALL);
    FillInput in;
    in.Path = drive.Root();
    in.Entries = &listing.Entries;
    in.ListedFolders = listing.FolderCount;
    in.ListedFiles = listing.FileCount;
    in.ShowFiles = true;
    in.RootPath = drive.Root();
    in.TotalBytes = 25e9;
    in.FreeBytes = 7e9;
    RowList main = BuildRows(in, folders, 0).Rows;
    ASSERT_NE(std::find_if(main.begin(), main.end(),
                           [](const std::string& r) { return SplitRow(r).Image == IMG_RESERVED; }),
              main.end());
    DriveRecord current;
    std::vector<SimRow> rows = BuildSimRows(main, current, true);
    EXPECT_EQ(Row(rows, "予約 - Windows -"), nullptr) << "the reserved space is no simulated item";
    EXPECT_EQ(rows[0].Before, "12288") << "a's 8192 and top's 4096, not the volume's used space";
    RunSimulation(rows, 4096, -1, true, hooks);
    EXPECT_EQ(rows[0].After, rows[0].Before) << "the same items on the same cluster size";

    // A folder without a measurement: "now" of the total is not known.
    drive.Dir().Write("b/y", "1");
    DirListing again;
    again.ClusterSize = 4096;
    ListFolder(again, drive.Root() + "*.*", LIST_ALL);
    in.Entries = &again.Entries;
    rows = BuildSimRows(BuildRows(in, folders, 0).Rows, current, true);
    EXPECT_EQ(rows[0].Before, "");
}
