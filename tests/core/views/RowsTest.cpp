#include "core/views/Rows.h"
#include "lib/NumberText.h"

#include <gtest/gtest.h>

using namespace nrvs;

namespace {
std::vector<std::string> Captions(const RowList& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(SplitRow(r).Caption);
    return out;
}

std::string Folder(const std::string& name, double size, double occupied) {
    return MakeRow(IMG_FOLDER, name, size, occupied, 1, 1, 0, 0, "1111");
}
} // namespace

TEST(RowsTest, RowTextsAndSplitting) {
    std::string r = MakeRow(IMG_FILE, "a.txt", 1000, 4096, -1, -1, -1, -1, "1111");
    EXPECT_EQ(r, "9\ta.txt\t1000\t4096\t4096\t-1=-1\t-1=-1");
    EXPECT_EQ(MakeRow(IMG_FILE, "a", 1000, 4096, -1, -1, -1, -1, "1011"),
              "9\ta\t1000\t4096\t1000\t-1=-1\t-1=-1");
    EXPECT_EQ(MakeRow(IMG_FILE, "a", 1000, 4096, -1, -1, -1, -1, "1"),
              "9\ta\t1000\t4096\t4096\t-1=-1\t-1=-1")
        << "a missing flag counts as on";
    RowFields f = SplitRow("x\tonly");
    EXPECT_EQ(f.Image, -1);
    EXPECT_EQ(f.Caption, "only");
    EXPECT_EQ(f.Folders, "");
    RowList rows{"a", "b"};
    AddRow(rows, 9, "c");
    AddRow(rows, 0, "z");
    EXPECT_EQ(rows, (RowList{"z", "a", "b", "c"}));
}

TEST(RowsTest, SortOrders) {
    RowList rows{Folder("C", 10, 10), Folder("b", 10, 10), Folder("A", 30, 30),
                 Folder("unmeasured", -1, -1),
                 MakeRow(IMG_FILE, "0file", 99, 99, -1, -1, -1, -1, "1111")};
    SortRows(rows, {0, 0, "1111"});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"A", "b", "C", "unmeasured", "0file"}))
        << "upper-cased names; folders before files";
    SortRows(rows, {1, 1, "1111"});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"A", "C", "b", "unmeasured", "0file"}))
        << "size descending, equal sizes by descending name, unmeasured last";
    SortRows(rows, {1, 0, "1111"});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"b", "C", "A", "unmeasured", "0file"}));
    EXPECT_GT(CompareRows(Folder("x", 5, 1), Folder("y", 1, 5), {1, 0, "1011"}), 0)
        << "file sizes with 1011";
    EXPECT_LT(CompareRows(Folder("x", 5, 1), Folder("y", 1, 5), {1, 0, "1111"}), 0)
        << "occupied sizes";
}

TEST(RowsTest, FillOfADriveRoot) {
    FolderList folders;
    folders.Append("X:\\ > 9000:20480:0:0:0:3:2:1:0:0:0:0");
    folders.Append("X:\\m\\ > 5000:8192:5000:8192:2:2:1:1:0:0:0:0");
    StringList entries{"m\\ > D..... -1:-1", "u\\ > D..... -1:-1", "f.txt > ...... 100:4096",
                       "g.txt > ...... 0:0"};
    FillInput in;
    in.Path = "X:\\";
    in.RootPath = "X:\\";
    in.Entries = &entries;
    in.ListedFolders = 2;
    in.ListedFiles = 2;
    in.TotalBytes = 1000000;
    in.FreeBytes = 900000;
    in.ShowFiles = true;
    FillResult r = BuildRows(in, folders, 0);
    EXPECT_EQ(Captions(r.Rows), (std::vector<std::string>{"X:\\", "", kFolderTotalCaption, "m", "u",
                                                          "", kFileTotalCaption, "f.txt", "g.txt",
                                                          "", kReservedCaption}));
    const double reserved = 1000000 - 900000 - (8192 + 4096);
    // u has no measurement: every figure that would hold it is not known.
    EXPECT_EQ(SplitRow(r.Rows.back()).Size, "-1")
        << "the reserved space is what the folders do not hold";
    RowFields header = SplitRow(r.Rows[0]);
    EXPECT_EQ(header.Occupied, "-1");
    EXPECT_EQ(header.Files, "2=-2") << "own files known, the subtree's not";
    EXPECT_EQ(header.Folders, "2=-2");
    EXPECT_EQ(SplitRow(r.Rows[2]).Occupied, "-1") << "the folder total";
    EXPECT_EQ(SplitRow(r.Rows[7]).Occupied, "4096") << "a file is known from the listing";
    EXPECT_EQ(SplitRow(r.Rows[4]).Files, "-1=-1");
    EXPECT_EQ(r.PercentBaseValue, 8192 + 4096 + reserved);
    EXPECT_TRUE(r.DisplayComplete);
    EXPECT_TRUE(RowsShowUnmeasured(r.Rows));

    in.PercentBase = 1;
    EXPECT_EQ(BuildRows(in, folders, 0).PercentBaseValue, 20480);
    in.PercentBase = 2;
    EXPECT_EQ(BuildRows(in, folders, 0).PercentBaseValue, 100000);
    in.PercentBase = 7;
    EXPECT_EQ(BuildRows(in, folders, 42).PercentBaseValue, 42);

    // Declining the long list keeps the totals whole.
    in.PercentBase = 0;
    in.WantFolders = false;
    in.ShowFiles = false;
    r = BuildRows(in, folders, 0);
    EXPECT_EQ(Captions(r.Rows),
              (std::vector<std::string>{"X:\\", "", kFolderTotalCaption, "", kFileTotalCaption, "",
                                        kReservedCaption}));
    EXPECT_EQ(SplitRow(r.Rows[2]).Occupied, "-1");
    EXPECT_EQ(SplitRow(r.Rows[4]).Size, "100");
    EXPECT_FALSE(r.DisplayComplete);

    // Every subfolder measured: the sums, and the reserved space is the rest
    // of the used space.
    StringList measured{"m\\ > D..... -1:-1", "f.txt > ...... 100:4096", "g.txt > ...... 0:0"};
    in.Entries = &measured;
    in.ListedFolders = 1;
    in.WantFolders = true;
    in.ShowFiles = true;
    r = BuildRows(in, folders, 0);
    EXPECT_EQ(SplitRow(r.Rows.back()).Size, FloatText(reserved));
    header = SplitRow(r.Rows[0]);
    EXPECT_EQ(header.Occupied, FloatText(8192 + 4096 + reserved));
    EXPECT_EQ(header.Files, "2=4") << "own files, then those of the measured subfolder too";
    EXPECT_EQ(header.Folders, "1=2");
    EXPECT_EQ(SplitRow(r.Rows[2]).Occupied, "8192");
    EXPECT_FALSE(RowsShowUnmeasured(r.Rows));
}

TEST(RowsTest, TheRootOfAVolumeAndOfAFolderGivenALetter) {
    // The volume holds 1 000 000 bytes, 900 000 free; the letter's root was
    // measured at 12 288 bytes occupied, m at 8192 of them.
    FolderList folders;
    folders.Append("X:\\ > 5100:12288:100:4096:1:2:1:1:0:0:0:0");
    folders.Append("X:\\m\\ > 5000:8192:5000:8192:1:1:0:0:0:0:0:0");
    StringList rootEntries{"m\\ > D..... -1:-1", "f.txt > ...... 100:4096"};
    StringList folderEntries{"a.bin > ...... 5000:8192"};
    const double used = 1000000 - 900000;
    struct Case {
        bool volumeRoot;
        const char* path;
        int percentBase;
        double rootOccupied; // of the header row
        bool reservedRow;
        double percentBaseValue;
    };
    const Case cases[] = {
        {true, "X:\\", 0, used, true, used},
        {true, "X:\\", 2, used, true, used},
        {true, "X:\\", 3, used, true, 1000000},
        {true, "X:\\m\\", 3, 8192, false, 1000000},
        // A folder given a letter: the measured totals, nothing reserved, and
        // every base of the percentages is of them too.
        {false, "X:\\", 0, 12288, false, 12288},
        {false, "X:\\", 1, 12288, false, 12288},
        {false, "X:\\", 2, 12288, false, 12288},
        {false, "X:\\", 3, 12288, false, 12288},
        {false, "X:\\m\\", 2, 8192, false, 12288},
    };
    for (const Case& c : cases) {
        FillInput in;
        in.Path = c.path;
        in.RootPath = "X:\\";
        in.VolumeRoot = c.volumeRoot;
        const bool atRoot = in.Path == in.RootPath;
        in.Entries = atRoot ? &rootEntries : &folderEntries;
        in.ListedFolders = atRoot ? 1 : 0;
        in.ListedFiles = 1;
        in.TotalBytes = 1000000;
        in.FreeBytes = 900000;
        in.PercentBase = c.percentBase;
        FillResult r = BuildRows(in, folders, 0);
        const std::string where = std::string(c.path) + (c.volumeRoot ? " volume" : " folder") +
                                  " base " + std::to_string(c.percentBase);
        EXPECT_EQ(SplitRow(r.Rows[0]).Occupied, FloatText(c.rootOccupied)) << where;
        EXPECT_EQ(SplitRow(r.Rows.back()).Image == IMG_RESERVED, c.reservedRow) << where;
        EXPECT_EQ(r.PercentBaseValue, c.percentBaseValue) << where;
    }
}

TEST(RowsTest, DamagedCacheCountsAndSizesNeverWrap) {
    FolderList folders;
    folders.Append("X:\\p\\a\\ > 1e308:1e308:0:0:0:2147483647:1:2147483647:0:0:0:0");
    folders.Append("X:\\p\\b\\ > 1e308:1e308:0:0:0:2147483647:1:2147483647:0:0:0:0");
    folders.Append("X:\\p\\c\\ > 5:5:0:0:0:-7:1:-9:0:0:0:0");
    StringList entries{"a\\ > D..... -1:-1", "b\\ > D..... -1:-1", "c\\ > D..... -1:-1"};
    FillInput in;
    in.Path = "X:\\p\\";
    in.RootPath = "X:\\";
    in.Entries = &entries;
    in.ListedFolders = 3;
    FillResult r = BuildRows(in, folders, 0);
    RowFields header = SplitRow(r.Rows[0]);
    EXPECT_EQ(header.Folders, "3=4294967297")
        << "two full counts, the negative one ignored, plus the own three";
    EXPECT_EQ(header.Files, "0=4294967294");
    EXPECT_EQ(TextToFloat(header.Size, -1), 1e308) << "stops at a limit that reads back";
    for (const auto& row : r.Rows) {
        RowFields f = SplitRow(row);
        EXPECT_EQ(f.Size.find("NAN"), std::string::npos) << row;
        EXPECT_EQ(f.Size.find("INF"), std::string::npos) << row;
    }
}

TEST(RowsTest, ColumnWidthsAndTips) {
    RowList rows{MakeRow(IMG_HEADER, "X:\\", 1, 1, 1234, 56789, 1, 2, "1111")};
    auto w = ColumnWidths(rows, 9, 1, "1111", 0, 0);
    EXPECT_EQ(w[0], 150);
    EXPECT_EQ(w[1], 110);
    EXPECT_EQ(w[3], 200);
    EXPECT_EQ(w[4], 9 * 12) << "1234=56789 is 10 characters";
    EXPECT_EQ(w[5], 9 * 9) << "never below 7 characters";
    w = ColumnWidths({MakeRow(IMG_HEADER, "X:\\", 1, 1, 1, 2, 1, 2, "1111")}, 9, 3, "1011", 300,
                     250);
    EXPECT_EQ(w[1], 90);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[4], 9 * 11);
    EXPECT_EQ(w[0], 300);
    // Below an unmeasured subfolder the cell shows "10,001 / 未計測" (15
    // half-width characters), not the stored "10001=-2".
    w = ColumnWidths({MakeRow(IMG_HEADER, "X:\\", 1, 1, 10001, -2, 3, -2, "1111")}, 9, 0, "1111", 0,
                     0);
    EXPECT_EQ(w[4], 9 * 17);
    EXPECT_EQ(w[5], 9 * 12);
    EXPECT_EQ(ColumnWidths({}, 9, 7, "1111", 0, 0)[1], 70)
        << "an out-of-range unit counts as automatic";

    EXPECT_EQ(InfoTip("a.txt", "1000", "4096"), "クラスタギャップ\na.txt >> 3,096 bytes");
    EXPECT_EQ(InfoTip("u", "-1", "-1"), "クラスタギャップ\nu >> 未計測") << "said, not left blank";
    EXPECT_EQ(InfoTip("", "", ""), "") << "a blank row";
    EXPECT_EQ(CountTip("sub", "3=120", true).substr(0, 44), "ファイル数\nsub >> 直下 3 / 全体 120");
    EXPECT_NE(CountTip("sub", "3=120", true).find("名前ごとに数えます"), std::string::npos)
        << "counts are of names, as ls shows them";
    EXPECT_EQ(CountTip("C:\\", "2=-2", false), "フォルダ数\nC:\\ >> 直下 2 / 全体 未計測");
    EXPECT_EQ(CountTip("a.txt", "-1=-1", true), "") << "a file row has no counts";
    EXPECT_EQ(InfoTip("odd", "1000", "x"), "")
        << "no negative gap from an unreadable occupied size";
}

TEST(RowsTest, TheDeleteQuestionSaysWhereItemsGoAndHowMuch) {
    EXPECT_EQ(DeleteWhereText(true, -1, 1, 2048), "ごみ箱へ移動します。（ファイル 1 個、2.00 KB）");
    EXPECT_EQ(DeleteWhereText(false, 3, 1200, 1048576),
              "完全に削除します。（フォルダ 3 個、ファイル 1,200 個、1.00 MB）");
    EXPECT_EQ(DeleteWhereText(false, 1, -1, -1), "完全に削除します。（フォルダの中身は未計測）")
        << "an unmeasured folder is not said to be empty";
}
