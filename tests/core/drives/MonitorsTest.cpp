// The monitors' settings file, the drive monitor's rows and cells, and the
// folder monitor's background count on real folders.
#include "core/drives/Monitors.h"
#include "core/measure/FolderMonitor.h"
#include "core/GlobalState.h"
#include "support/TempDir.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {
constexpr double GB = 1073741824.0;

DriveRecord Volume(double total, double free) {
    DriveRecord r;
    r.Ready = 1;
    r.TotalBytes = total;
    r.FreeBytes = free;
    return r;
}

// Collects what a counter reports, and waits for it.
struct Results {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<std::string, FolderCount>> got;
    FolderCounter::Callback Callback() {
        return [this](const std::string& path, const FolderCount& c) {
            std::lock_guard<std::mutex> l(m);
            got.emplace_back(path, c);
            cv.notify_all();
        };
    }
    bool WaitFor(size_t n) {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, std::chrono::seconds(60), [&] { return got.size() >= n; });
    }
};
} // namespace

TEST(MonitorsTest, SettingsFileDefaultsDamageAndRoundTrip) {
    TempDir dir;
    const std::string file = dir / "norvessa.mdv";
    const MonitorSettings defaults{800, 20, 192, 60000};

    MonitorSettings s = LoadMonitorSettings(file, defaults); // no file
    EXPECT_EQ(s.Left, 800);
    EXPECT_EQ(s.Top, 20);
    EXPECT_EQ(s.Alpha, 192);
    EXPECT_EQ(s.Interval, 60000);

    // Damaged: garbage, a number with trailing text, binary bytes, a short
    // file. Each line that is no number takes its own default.
    dir.Write("norvessa.mdv", std::string("abc\r\n12x\r\n\x01\xff\x00\r\n", 15));
    s = LoadMonitorSettings(file, defaults);
    EXPECT_EQ(s.Left, 800);
    EXPECT_EQ(s.Top, 20);
    EXPECT_EQ(s.Alpha, 192);
    EXPECT_EQ(s.Interval, 60000);
    dir.Write("norvessa.mdv", "-40\n7\n");
    s = LoadMonitorSettings(file, defaults);
    EXPECT_EQ(s.Left, -40);
    EXPECT_EQ(s.Top, 7);
    EXPECT_EQ(s.Alpha, 192);
    dir.Write("norvessa.mdv", "99999999999999999999\r\n1\r\n");
    EXPECT_EQ(LoadMonitorSettings(file, defaults).Left, 800);

    // Saved as CR LF lines; lines after the fourth are kept.
    dir.Write("norvessa.mdv", "1\r\n2\r\n3\r\n4\r\nkept\r\n");
    ASSERT_EQ(SaveMonitorSettings(file, {10, -20, 128, 5000}), 1);
    EXPECT_EQ(dir.Read("norvessa.mdv"), "10\r\n-20\r\n128\r\n5000\r\nkept\r\n");
    s = LoadMonitorSettings(file, defaults);
    EXPECT_EQ(s.Left, 10);
    EXPECT_EQ(s.Top, -20);
    EXPECT_EQ(s.Alpha, 128);
    EXPECT_EQ(s.Interval, 5000);

    // A folder that is gone: the save fails quietly.
    EXPECT_EQ(SaveMonitorSettings(dir / "gone/norvessa.mdv", s), 0);
}

TEST(MonitorsTest, ValuesAppliedStayUsable) {
    EXPECT_EQ(UsableAlpha(192), 192);
    EXPECT_EQ(UsableAlpha(300), 255);
    EXPECT_EQ(UsableAlpha(-1), 0);
    EXPECT_EQ(UsableInterval(60000), 60000);
    EXPECT_EQ(UsableInterval(0), kMinimumInterval);
    EXPECT_EQ(UsableInterval(-5), kMinimumInterval);
}

TEST(MonitorsTest, CellsOfAVolume) {
    MonitorCells c = MonitorCellsOf(Volume(100 * GB, 25 * GB));
    EXPECT_EQ(c.Total, "100.00GB");
    EXPECT_EQ(c.Free, "25.00GB");
    EXPECT_EQ(c.Percent, "25.00");
    EXPECT_EQ(MonitorCellsOf(Volume(1000, 5)).Percent, ".50");
    EXPECT_EQ(MonitorCellsOf(Volume(1000, 5)).Free, "5B");
    EXPECT_EQ(MonitorCellsOf(Volume(1000, 0)).Percent, ".00");
    EXPECT_EQ(MonitorCellsOf(Volume(1000, 1000)).Percent, "100.00");
    EXPECT_EQ(MonitorCellsOf(Volume(512, 512)).Total, "512B");
    EXPECT_EQ(MonitorCellsOf(Volume(37.25 * GB, 1)).Total, "37.25GB");
    // Just below 1 %: two decimals, no leading zero, rounded.
    EXPECT_EQ(PercentText(0.996), "1.00");
    EXPECT_EQ(PercentText(0.994), ".99");
}

TEST(MonitorsTest, UnreadableVolumeShowsDashesNeverADivisionByZero) {
    const MonitorCells dashes{"-", "-", "-"};
    auto same = [](const MonitorCells& a, const MonitorCells& b) {
        return a.Total == b.Total && a.Free == b.Free && a.Percent == b.Percent;
    };
    DriveRecord notReady = Volume(100 * GB, 25 * GB);
    notReady.Ready = 0;
    EXPECT_TRUE(same(MonitorCellsOf(notReady), dashes));
    EXPECT_TRUE(same(MonitorCellsOf(Volume(0, 0)), dashes));
    EXPECT_TRUE(same(MonitorCellsOf(Volume(-1, 0)), dashes));
    // A letter mapped to no folder at all.
    DriveTable table;
    EXPECT_TRUE(same(ReadMonitorCells(table, "Q:\\"), dashes));
    EXPECT_TRUE(same(ReadMonitorCells(table, ":\\"), dashes));
}

TEST(MonitorsTest, FreshReadOfARealDrive) {
    TempDrive drive;
    DriveTable table;
    const MonitorCells c = ReadMonitorCells(table, drive.Root());
    EXPECT_NE(c.Total, "-");
    EXPECT_NE(c.Percent, "-");
    EXPECT_NE(c.Total.find('B'), std::string::npos);
    EXPECT_EQ(c.Total.find(' '), std::string::npos);
}

TEST(MonitorsTest, RowsAreTheFixedDisksInLetterOrderAndSetTheHeight) {
    DriveTable table;
    const std::pair<int, uint32_t> types[] = {{0, 2}, {2, 3}, {3, 5}, {4, 3},
                                              {7, 4}, {9, 6}, {25, 3}};
    for (auto [letter, type] : types)
        table.ByLetter(letter)->DriveType = type;
    table.RefreshListing(1);
    EXPECT_EQ(FixedDiskLetters(table), (std::vector<int>{2, 4, 25}));
    table.RefreshListing(0); // removable ones hidden: the fixed disks stay
    EXPECT_EQ(FixedDiskLetters(table).size(), 3u);
    EXPECT_EQ(FixedDiskLetters(*std::make_unique<DriveTable>()).size(), 0u);

    EXPECT_EQ(MonitorClientHeight(2), 56);
    EXPECT_EQ(MonitorClientHeight(3), 73);
    EXPECT_EQ(MonitorClientHeight(0), 22);
}

TEST(MonitorsTest, ChangeSinceOpening) {
    EXPECT_EQ(ChangeText(0, 0), "±0 B");
    EXPECT_EQ(ChangeText(1536 * 1024, 0), "+1.50 MB");
    EXPECT_EQ(ChangeText(-512, 0), "-512 B");
    EXPECT_EQ(ChangeText(-2048, 2), "-2.00 KB");
}

TEST(MonitorsTest, CountsAFolderInTheBackground) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.Write("w/a", std::string(100, 'a'));
    d.Write("w/sub/b", std::string(5000, 'b'));
    d.Write("w/sub/deeper/c", "");
    const std::string path = drive.Root() + "w\\";

    FolderCount now = FolderCounter::CountNow(path, 4096);
    ASSERT_TRUE(now.Valid);
    EXPECT_EQ(now.Bytes, 5100);
    EXPECT_EQ(now.Occupied, 4096 + 8192);
    EXPECT_EQ(now.Files, 3);
    EXPECT_EQ(now.Folders, 2);

    Results results;
    {
        FolderCounter counter(results.Callback());
        ASSERT_TRUE(counter.Start(path, 4096));
        ASSERT_TRUE(results.WaitFor(1));
        EXPECT_EQ(results.got[0].first, path);
        EXPECT_EQ(results.got[0].second.Bytes, 5100);
        while (counter.Running())
            std::this_thread::yield();

        // Files change between counts: the next count sees them.
        d.Write("w/sub/new", std::string(1000, 'n'));
        ASSERT_TRUE(counter.Start(path, 4096));
        ASSERT_TRUE(results.WaitFor(2));
        EXPECT_EQ(results.got[1].second.Bytes, 6100);
        EXPECT_EQ(results.got[1].second.Files, 4);

        // A folder that is gone is reported as such, not as empty.
        while (counter.Running())
            std::this_thread::yield();
        ASSERT_TRUE(counter.Start(drive.Root() + "missing\\", 4096));
        ASSERT_TRUE(results.WaitFor(3));
        EXPECT_FALSE(results.got[2].second.Valid);
    }
    // A path on no drive at all.
    EXPECT_FALSE(FolderCounter::CountNow("Q:\\nowhere\\", 4096).Valid);
}

TEST(MonitorsTest, StoppedCountReportsNothingAndStartsAfresh) {
    TempDrive drive;
    for (int i = 0; i < 200; ++i)
        drive.Dir().Write("t/d" + std::to_string(i) + "/f", "x");
    const std::string path = drive.Root() + "t\\";
    Results results;
    FolderCounter counter(results.Callback());
    // Stopped at once, many times over: whatever was reached, nothing is
    // reported for a stopped count, and Stop always returns.
    for (int i = 0; i < 20; ++i) {
        counter.Start(path, 4096);
        counter.Stop();
        EXPECT_FALSE(counter.Running());
    }
    const size_t before = results.got.size();
    for (const auto& [p, c] : results.got)
        EXPECT_EQ(c.Files, 200) << "a partial count was reported";
    ASSERT_TRUE(counter.Start(path, 4096));
    ASSERT_TRUE(results.WaitFor(before + 1));
    EXPECT_EQ(results.got.back().second.Files, 200);
}
