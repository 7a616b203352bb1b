#include "core/Cache.h"
#include "core/Folders.h"
#include "core/Utglobal.h"
#include "platform/Pexe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

using namespace nrvs;
using nrvs::test::TempDir;

TEST(FolderRecordTest, FormatAndParse) {
    FolderRecord r;
    r.Path = "C:\\WINDOWS\\";
    r.TreeBytes = 9000;
    r.TreeOccupied = 16384;
    r.OwnBytes = 1000;
    r.OwnOccupied = 4096;
    r.OwnFiles = 1;
    r.TreeFiles = 7;
    r.OwnFolders = 2;
    r.TreeFolders = 3;
    r.System = 1;
    EXPECT_EQ(FormatRecord(r), "C:\\WINDOWS\\ > 9000:16384:1000:4096:1:7:2:3:0:0:0:1");
    EXPECT_EQ(r.Line, "C:\\WINDOWS\\ > 9000:16384:1000:4096:1:7:2:3:0:0:0:1");
    FolderRecord back = ParseRecord(r.Line);
    EXPECT_EQ(back.Path, r.Path);
    EXPECT_EQ(back.TreeOccupied, 16384);
    EXPECT_EQ(back.TreeFolders, 3);
    EXPECT_EQ(back.System, 1);

    r.TreeBytes = 1e15;
    r.OwnBytes = 1e15 - 1;
    EXPECT_EQ(FormatRecord(r), "C:\\WINDOWS\\ > 1E15:16384:999999999999999:4096:1:7:2:3:0:0:0:1");
    EXPECT_EQ(ParseRecord(r.Line).TreeBytes, 1e15);

    FolderRecord h = ParseRecord("2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(h.Path, "2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(h.TreeBytes + h.OwnBytes, 0);
    EXPECT_EQ(h.TreeFiles, 0);

    FolderRecord s = ParseRecord("C:\\ > 10:12");
    EXPECT_EQ(s.Path, "C:\\");
    EXPECT_EQ(s.TreeBytes, 10);
    EXPECT_EQ(s.TreeOccupied, 12);
    EXPECT_EQ(s.OwnBytes + s.OwnFiles + s.System, 0);

    FolderRecord bad = ParseRecord("C:\\x\\ > a:b:3:-:7:9999999999:x");
    EXPECT_EQ(bad.Path, "C:\\x\\");
    EXPECT_EQ(bad.TreeBytes, 0);
    EXPECT_EQ(bad.OwnBytes, 3);
    EXPECT_EQ(bad.OwnFiles, 7);
    EXPECT_EQ(bad.TreeFiles, 0);

    // A folder whose name holds " > " keeps its whole path.
    FolderRecord odd;
    odd.Path = "C:\\a > b\\";
    odd.OwnFiles = 4;
    FolderRecord oddBack = ParseRecord(FormatRecord(odd));
    EXPECT_EQ(oddBack.Path, "C:\\a > b\\");
    EXPECT_EQ(oddBack.OwnFiles, 4);
}

TEST(FolderListTest, LookupsAreExactFirstMatchAndTakeDamagedLinesWhole) {
    FolderList l;
    l.Append("2004/05/01 10:00:00=00:03:12");
    l.Append("C:\\ > 1:2:3:4:5:6:7:8:0:0:0:0");
    l.Append("C:\\WINDOWS\\ > 10:20:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\WINDOWS\\ > 99:99:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\a > b\\ > 5:5:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(l.IndexOfPath("C:\\WINDOWS\\"), 2);
    EXPECT_EQ(l.FindPath("C:\\WINDOWS\\")->TreeBytes, 10);
    EXPECT_EQ(l.IndexOfPath("c:\\windows\\"), -1) << "exact comparison";
    EXPECT_EQ(l.IndexOfPath("2004/05/01 10:00:00=00:03:12"), 0) << "a line without \" > \" is all path";
    EXPECT_EQ(l.IndexOfPath("2004/05/01 10:00:00"), -1);
    EXPECT_EQ(l.IndexOfPath("C:\\a > b\\"), 4);
    EXPECT_EQ(l.IndexOfPath("C:\\a"), -1);
    EXPECT_EQ(l.FindPath("C:\\nothing\\"), nullptr);
    EXPECT_EQ(l.RecordAt(5), nullptr);
    EXPECT_EQ(l.RecordAt(-1), nullptr);

    // The index follows every change of the list.
    l.Delete(2);
    EXPECT_EQ(l.IndexOfPath("C:\\WINDOWS\\"), 2);
    EXPECT_EQ(l.FindPath("C:\\WINDOWS\\")->TreeBytes, 99);
    l.InsertFirst("C:\\new\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(l.IndexOfPath("C:\\new\\"), 0);
    EXPECT_EQ(l.IndexOfPath("C:\\"), 2);
    l.Lines.push_back("C:\\direct\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    l.Changed();
    EXPECT_EQ(l.IndexOfPath("C:\\direct\\"), 5);
    // A folder line cut short before its numbers is still found, with zeros.
    l.Append("C:\\cut\\");
    EXPECT_EQ(l.IndexOfPath("C:\\cut\\"), 6);
    ASSERT_NE(l.FindPath("C:\\cut\\"), nullptr);
    EXPECT_EQ(l.FindPath("C:\\cut\\")->TreeBytes, 0);
}

TEST(FolderListTest, SortIgnoresCaseAndPutsParentsFirst) {
    FolderList l;
    l.Append("C:\\b\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\A\\x\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Sort();
    EXPECT_EQ(l.Lines, (StringList{"C:\\ > 0:0:0:0:0:0:0:0:0:0:0:0", "C:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0",
                                   "C:\\A\\x\\ > 0:0:0:0:0:0:0:0:0:0:0:0", "C:\\b\\ > 0:0:0:0:0:0:0:0:0:0:0:0"}));
}

TEST(FolderListTest, EntryRecordPrefersTheMeasuredRecord) {
    FolderList l;
    l.Append("C:\\sub\\ > 100:4096:0:0:0:3:0:1:0:1:0:0");
    DirEntry folder = ParseEntry("sub\\ > D..... -1:-1");
    FolderRecord r = EntryRecord("C:\\", folder, l);
    EXPECT_EQ(r.TreeBytes, 100);
    EXPECT_EQ(r.TreeFiles, 3);
    EXPECT_EQ(r.Line, l.Lines[0]);
    DirEntry other = ParseEntry("other\\ > D.H... -1:-1");
    r = EntryRecord("C:\\", other, l);
    EXPECT_EQ(r.Path, "C:\\other\\");
    EXPECT_EQ(r.TreeBytes, -1);
    EXPECT_EQ(r.OwnFiles, -1);
    EXPECT_EQ(r.Hidden, 1);
    DirEntry file = ParseEntry("f.txt > ...R.. 194:4096");
    r = EntryRecord("C:\\", file, l);
    EXPECT_EQ(r.TreeOccupied, 4096);
    EXPECT_EQ(r.OwnBytes, 0);
    EXPECT_EQ(r.ReadOnly, 1);
}

namespace {
class CacheTest : public ::testing::Test {
protected:
    TempDir dir;
    DriveRecord drive;
    void SetUp() override {
        Global() = GlobalState{};
        platform::SetExecutablePath(dir / "norvessa");
        LoadParameters({});
        drive.Index = 2;
        drive.RootPath = "C:\\";
        drive.DriveType = 3;
    }
    void TearDown() override { platform::SetExecutablePath(""); }
};
} // namespace

TEST_F(CacheTest, WrittenAndReadBackByteForByte) {
    EXPECT_EQ(CacheFileName(drive), dir / "NRVS_C.txt");
    FolderList l;
    l.Append(HeaderLine(1083405600, 1083405600 + 192));
    l.Append("C:\\ > 1E15:1E15:0:0:0:2:1:1:0:0:0:0");
    l.Append("C:\\\xE6\x97\xA5\xff\\ > 999999999999999:999999999999999:0:0:2:2:0:0:0:0:1:0");
    SaveCache(l, drive);
    std::string bytes = dir.Read("NRVS_C.txt");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    FolderList back;
    back.Append("stale");
    LoadCache(back, drive);
    EXPECT_EQ(back.Lines, l.Lines);
    SaveCache(back, drive);
    EXPECT_EQ(dir.Read("NRVS_C.txt"), bytes);
    EXPECT_EQ(back.FindPath("C:\\")->TreeBytes, 1e15);
}

TEST_F(CacheTest, DamagedFilesReadWithoutHarm) {
    FolderList l;
    dir.Write("NRVS_C.txt", "");
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 0);
    std::string junk;
    for (int i = 0; i < 10000; ++i) junk += static_cast<char>((i * 131) & 0xFF);
    dir.Write("NRVS_C.txt", junk);
    LoadCache(l, drive);
    for (int i = 0; i < l.Count(); ++i) l.RecordAt(i);
    l.FindPath("C:\\");
    dir.Write("NRVS_C.txt", "not a date\r\nC:\\ > 1:2\r\n" + std::string(1 << 20, 'x') + " > 1\r\nC:\\a\\ > :::\r\n");
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.FindPath("C:\\")->TreeOccupied, 2);
    EXPECT_EQ(l.FindPath("C:\\a\\")->TreeBytes, 0);
    std::time_t t;
    EXPECT_FALSE(HeaderStart(l.LineAt(0), t));
    ::unlink((dir / "NRVS_C.txt").c_str());
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 0);
}

TEST_F(CacheTest, HeaderLineAndCacheRule) {
    std::time_t start = 0;
    struct tm tm{};
    tm.tm_year = 104, tm.tm_mon = 4, tm.tm_mday = 1, tm.tm_hour = 10, tm.tm_isdst = -1;
    start = std::mktime(&tm);
    EXPECT_EQ(HeaderLine(start, start + 192), "2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(HeaderLine(start, start + 25 * 3600), "2004/05/01 10:00:00=01:00:00");
    std::time_t back;
    ASSERT_TRUE(HeaderStart("2004/05/01 10:00:00=00:03:12", back));
    EXPECT_EQ(back, start);
    EXPECT_FALSE(HeaderStart("2004/13/01 10:00:00=00:03:12", back));

    GlobalState& g = Global();
    DriveRecord cd = drive;
    cd.DriveType = 5;
    cd.Removable = 1;
    cd.Index = 4;
    EXPECT_EQ(IsCached(drive), 1) << "fixed disks by default";
    EXPECT_EQ(IsCached(cd), 0);
    g.CacheKinds = "1000";
    EXPECT_EQ(IsCached(cd), 1);
    EXPECT_EQ(IsCached(drive), 0);
    g.CacheMode = "001";
    EXPECT_EQ(IsCached(drive), 1) << "letter C";
    EXPECT_EQ(IsCached(cd), 0);
    g.CacheLetters = "001";
    EXPECT_EQ(IsCached(cd), 0) << "a short string caches no later letter";
    g.CacheMode = "100";
    EXPECT_EQ(IsCached(cd), 1);
    g.CacheMode = "000";
    EXPECT_EQ(IsCached(drive), 0);
}

// A folder measurement merges its new lines into the kept ones instead of
// sorting the whole cache again: line for line what the full sort gives.
TEST(FolderListTest, MergingNewLinesGivesTheFullSortsOrder) {
    std::mt19937 rng(11);
    const char* parts[] = {"a", "A", "b", "B", "\xE3\x81\x82", "a b", "a.b", "Z", "z", "_", "0", "\xff"};
    auto randomLine = [&] {
        std::string path = "C:\\";
        const int depth = 1 + static_cast<int>(rng() % 4);
        for (int d = 0; d < depth; ++d) path += std::string(parts[rng() % 12]) + parts[rng() % 12] + "\\";
        return path + " > " + std::to_string(rng() % 1000) + ":0:0:0:0:0:0:0:0:0:0:0";
    };
    for (int round = 0; round < 200; ++round) {
        FolderList kept;
        const int n = static_cast<int>(rng() % 300);
        for (int i = 0; i < n; ++i) kept.Lines.push_back(randomLine());
        if (round % 10 != 9) kept.Sort();  // now and then a cache out of order
        const size_t firstNew = kept.Lines.size();
        const int added = static_cast<int>(rng() % 50);
        for (int i = 0; i < added; ++i) kept.Lines.push_back(rng() % 5 ? randomLine() : kept.Lines.empty() ? randomLine() : kept.Lines[rng() % kept.Lines.size()]);
        FolderList full = kept;
        full.Sort();
        kept.SortMerged(firstNew);
        ASSERT_EQ(kept.Lines, full.Lines) << "round " << round;
    }
}
