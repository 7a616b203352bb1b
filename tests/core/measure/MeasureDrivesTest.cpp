// Measuring drives and folders into the drive's cache: what is written,
// kept, merged and reported, and when a drive is measured on its own.
#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/FileAccess.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "support/CurrentDrive.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;
namespace fs = std::filesystem;
using nrvs::test::ScriptedHooks;

namespace {
class MeasureDrivesTest : public ::testing::Test {
  protected:
    std::unique_ptr<TempDrive> drive;
    void SetUp() override {
        drive = std::make_unique<TempDrive>();
        test::MakeCurrent(*drive);
    }
    void TearDown() override { drive.reset(); }
};
} // namespace

TEST_F(MeasureDrivesTest, DriveMeasurementWritesTheCacheFile) {
    drive->Dir().Write("B/x", "12");
    drive->Dir().Write("a/y", "3");
    ScriptedHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    EXPECT_EQ(hooks.lastQuestion, std::string(1, drive->Letter()) + "ドライブを計測しますか？");
    StringList file;
    ASSERT_EQ(
        LoadLines(file, drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt")), 1);
    ASSERT_EQ(file.size(), 4u);
    std::time_t t;
    EXPECT_TRUE(HeaderStart(file[0], t));
    // Whole seconds of the clock: a tiny measurement may still cross one.
    EXPECT_TRUE(file[0].substr(19, 10) == "=00:00:00 " || file[0].substr(19, 10) == "=00:00:01 ")
        << file[0];
    EXPECT_EQ(file[0].find_first_not_of("0123456789abcdef", 29), std::string::npos) << file[0];
    EXPECT_EQ(file[0].size(), 29u + 16) << "the measurement's id";
    const std::string R = drive->Root();
    EXPECT_EQ(file[1], R + " > 3:8192:0:0:0:2:2:2:0:0:0:0");
    EXPECT_EQ(file[2].substr(0, R.size() + 2), R + "a\\") << "case ignored: a before B";
    EXPECT_EQ(file[3].substr(0, R.size() + 2), R + "B\\");

    Global().AskBeforeMeasure = 0;
    hooks.questions = 0;
    MeasureDrives(hooks);
    EXPECT_EQ(hooks.questions, 0);
}

TEST_F(MeasureDrivesTest, StoppedDriveMeasurementIsSavedPartially) {
    for (int i = 0; i < 30; ++i)
        for (int k = 0; k < 30; ++k)
            drive->Dir().Write("t" + std::to_string(i) + "/s" + std::to_string(k) + "/f", "x");
    // STOP is seen at the first look after the walk has started.
    struct StopSoon : ScriptedHooks {
        int calls = 0;
        bool StopRequested() override { return ++calls >= 2; }
    } stopping;
    ASSERT_EQ(MeasureDrives(stopping), 1);
    StringList file;
    LoadLines(file, drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt"));
    std::time_t t;
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(HeaderStart(file[0], t));
    EXPECT_LT(file.size(), 1u + 1 + 30 + 900) << "stopped early";
    for (size_t i = 1; i < file.size(); ++i)
        EXPECT_NE(file[i].find(" > "), std::string::npos);
}

TEST_F(MeasureDrivesTest, FolderMeasurementReplacesOnlyTheFolderAndBelow) {
    const TempDir& d = drive->Dir();
    d.Write("A/B/f", "1");
    d.Write("AB/g", "22");
    d.Write("Q/" + std::string(1, drive->Letter()) + ":/A/h", "333");
    ScriptedHooks hooks;
    Global().AskBeforeMeasure = 0;
    MeasureDrives(hooks);
    const std::string R = drive->Root();
    FolderList& folders = Global().Folders;
    const double rootBefore = folders.FindPath(R)->TreeBytes;
    const std::string odd = R + "Q\\" + std::string(1, drive->Letter()) + ":\\A\\";
    ASSERT_GE(folders.IndexOfPath(odd), 0);

    d.Write("A/B/more", std::string(100, 'm'));
    ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
    EXPECT_EQ(hooks.lastQuestion, R + "A\\を計測しますか？");
    EXPECT_EQ(folders.FindPath(R)->TreeBytes, rootBefore + 100)
        << "the folders above take the difference";
    EXPECT_EQ(folders.FindPath(R + "A\\B\\")->TreeBytes, 101);
    EXPECT_EQ(folders.FindPath(R + "A\\")->TreeBytes, 101);
    EXPECT_EQ(folders.FindPath(R + "AB\\")->TreeBytes, 2);
    EXPECT_GE(folders.IndexOfPath(odd), 0) << "a path that merely contains the folder's path stays";
    int count = 0;
    for (const auto& line : folders.CopyLines())
        count += line.rfind(R + "A\\ > ", 0) == 0;
    EXPECT_EQ(count, 1);
    std::time_t t;
    EXPECT_TRUE(HeaderStart(std::string(folders.LineAt(0)), t));
    StringList file;
    LoadLines(file, drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt"));
    EXPECT_EQ(file, folders.CopyLines());

    // The window's folder measurement and the command line's, of a folder
    // that was there and of one new to the cache, leave the very lines a
    // measurement of the whole drive then writes.
    auto fromFile = [&] {
        StringList lines;
        LoadLines(lines, drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt"));
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    };
    auto wholeDrive = [&] {
        const StringList before = fromFile();
        EXPECT_EQ(MeasureDrives(hooks), 1);
        EXPECT_EQ(fromFile(), before);
    };
    d.Write("A/B/C/D/deep", std::string(5000, 'd'));
    ASSERT_EQ(MeasureFolder(R + "A\\B\\C\\", hooks), 1);
    wholeDrive();
    d.Write("A/B/less", "");
    d.Write("A/B/more", "m");
    d.Write("AB/new/n", std::string(7, 'n'));
    ASSERT_EQ(MeasureFolderIntoCache(R + "A\\B\\", hooks), 1);
    ASSERT_EQ(MeasureFolderIntoCache(R + "AB\\new\\", hooks), 1);
    wholeDrive();
}

TEST_F(MeasureDrivesTest, ACacheThatCannotBeSavedIsReportedAndTheResultStillShown) {
    drive->Dir().Write("A/x", "12");
    const std::string cache =
        drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");
    // A folder in the cache's place fails the save even for root, whom
    // permissions do not stop.
    ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
    ScriptedHooks hooks;
    Global().AskBeforeMeasure = 0;
    MeasureReport report;
    ASSERT_EQ(MeasureDrives(hooks, &report), 1) << "the drive was measured";
    EXPECT_NE(report.SaveError.find(cache), std::string::npos) << report.SaveError;
    ASSERT_EQ(hooks.told.size(), 1u);
    EXPECT_NE(hooks.told[0].find("保存できませんでした"), std::string::npos);
    EXPECT_NE(hooks.told[0].find(cache), std::string::npos) << "the message names the file";
    ASSERT_NE(Global().Folders.FindPath(drive->Root() + "A\\"), nullptr)
        << "the result is still shown";
    EXPECT_EQ(Global().Folders.FindPath(drive->Root() + "A\\")->TreeBytes, 2);

    hooks.told.clear();
    MeasureReport folderReport;
    ASSERT_EQ(MeasureFolder(drive->Root() + "A\\", hooks, &folderReport), 1);
    EXPECT_FALSE(folderReport.SaveError.empty());
    EXPECT_EQ(hooks.told.size(), 1u);

    ::rmdir(cache.c_str());
    MeasureReport saved;
    MeasureDrives(hooks, &saved);
    EXPECT_TRUE(saved.SaveError.empty()) << saved.SaveError;
}

// Another window or process saves the drive's cache while a folder
// measurement runs: the folder's lines go into that newer cache.
TEST_F(MeasureDrivesTest, AFolderMeasurementMergesIntoTheCacheAsItIsOnDisk) {
    const TempDir& d = drive->Dir();
    d.Write("A/a", "1");
    d.Write("B/b", "22");
    ScriptedHooks hooks;
    Global().AskBeforeMeasure = 0;
    MeasureDrives(hooks);
    const std::string R = drive->Root();
    const std::string cache =
        drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");

    // The other process measured the whole drive after C appeared.
    d.Write("C/c", "333");
    StringList newer;
    {
        FolderList other;
        MeasureTree(other, R, Global().CurrentDrive->ClusterSize, 0, hooks);
        other.Sort();
        other.InsertFirst(HeaderLine(std::time(nullptr) - 5, std::time(nullptr)));
        newer = other.CopyLines();
        ASSERT_TRUE(SaveLines(newer, cache));
    }
    d.Write("A/more", "4444");
    ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
    FolderList& folders = Global().Folders;
    ASSERT_NE(folders.FindPath(R + "C\\"), nullptr) << "the other measurement's folder was lost";
    EXPECT_EQ(folders.FindPath(R + "C\\")->TreeBytes, 3);
    EXPECT_EQ(folders.FindPath(R + "A\\")->TreeBytes, 5) << "this measurement's own lines";
    EXPECT_EQ(folders.FindPath(R)->TreeFolders, 3) << "the root's line comes from the newer cache";
    StringList file;
    LoadLines(file, cache);
    EXPECT_EQ(file, folders.CopyLines()) << "what is shown is what was saved";
    int headers = 0;
    std::string_view p;
    for (const auto& line : file)
        headers += !PathOfLine(line, p);
    EXPECT_EQ(headers, 1);

    // Unchanged on disk since: nothing is read again, the list in hand is
    // the base (a line put only in memory survives).
    folders.Append(R + "Z\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    ASSERT_EQ(MeasureFolder(R + "B\\", hooks), 1);
    EXPECT_NE(folders.FindPath(R + "Z\\"), nullptr);

    // A damaged cache on disk says less than the list in hand.
    ASSERT_TRUE(SaveLines({"garbage"}, cache));
    ASSERT_EQ(MeasureFolder(R + "B\\", hooks), 1);
    EXPECT_NE(folders.FindPath(R + "C\\"), nullptr);
}

TEST_F(MeasureDrivesTest, AutomaticMeasurementRule) {
    GlobalState& g = Global();
    const std::time_t now = std::time(nullptr);
    g.MeasureMode = "000010";
    EXPECT_EQ(ShouldMeasure(false, now), 1);
    g.MeasureMode = "000000";
    EXPECT_EQ(ShouldMeasure(true, now), 0);
    g.MeasureMode = "010000";
    EXPECT_EQ(ShouldMeasure(true, now), 1);
    EXPECT_EQ(ShouldMeasure(false, now), 0);
    g.MeasureMode = "000100";
    g.CurrentDrive->SelectCount = 1;
    EXPECT_EQ(ShouldMeasure(false, now), 1);
    g.CurrentDrive->SelectCount = 2;
    EXPECT_EQ(ShouldMeasure(false, now), 0);

    g.MeasureMode = "000001";
    g.ExpiryDays = 7;
    g.Folders.Clear();
    g.Folders.Append(HeaderLine(now - 8 * 86400 - 60, now - 8 * 86400));
    g.Folders.Append("X:\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(ShouldMeasure(false, now), 0) << "fewer than 3 lines";
    g.Folders.Append("X:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(ShouldMeasure(false, now), 1);
    g.Folders.PutLine(0, HeaderLine(now - 7 * 86400 - 60, now));
    EXPECT_EQ(ShouldMeasure(false, now), 0);
    g.Folders.PutLine(0, "garbage");
    EXPECT_EQ(ShouldMeasure(false, now), 0);
}

TEST_F(MeasureDrivesTest, ExpiryCountsLocalCalendarDaysAcrossClockChanges) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    auto local = [](int y, int mo, int d, int h) {
        struct tm tm {};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    };
    GlobalState& g = Global();
    g.MeasureMode = "000001";
    g.ExpiryDays = 7;
    g.Folders.Clear();
    g.Folders.Append("2025/03/25 12:00:00=00:01:00");
    g.Folders.Append("X:\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    g.Folders.Append("X:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    // The clocks went forward on 30 March: 8 days, though an hour short of
    // 8 times 24 hours.
    const std::time_t april2 = local(2025, 4, 2, 12);
    EXPECT_EQ(ShouldMeasure(false, april2), 1);
    g.Folders.PutLine(0, "2025/03/26 12:00:00=00:01:00");
    EXPECT_EQ(ShouldMeasure(false, april2), 0) << "7 days";
    // Back on 26 October: 7 days and an hour are still 7 days.
    g.Folders.PutLine(0, "2025/10/20 12:00:00=00:01:00");
    EXPECT_EQ(ShouldMeasure(false, local(2025, 10, 27, 12)), 0);
    EXPECT_EQ(ShouldMeasure(false, local(2025, 10, 28, 11)), 0) << "not yet 8 whole days";
    EXPECT_EQ(ShouldMeasure(false, local(2025, 10, 28, 12)), 1);
    long long days = 0;
    ASSERT_TRUE(HeaderAgeDays("2024/12/31 23:59:59=00:00:00", local(2025, 3, 1, 0), days));
    EXPECT_EQ(days, 59) << "across a year's end, February of a common year";
    if (oldTz)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(MeasureDrivesTest, FolderMeasurementKeepsTheFirstLineOfACacheWithoutHeader) {
    const std::string R = drive->Root();
    drive->Dir().Write("A/f", "1");
    FolderList& folders = Global().Folders;
    folders.Clear();
    folders.Append(R + " > 500:8192:0:0:0:9:2:2:0:0:0:0");
    folders.Append(R + "A\\ > 1:4096:1:4096:1:1:0:0:0:0:0:0");
    folders.Append(R + "B\\ > 7:4096:7:4096:1:1:0:0:0:0:0:0");
    ScriptedHooks hooks;
    ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
    ASSERT_EQ(folders.Count(), 4);
    std::time_t t;
    EXPECT_TRUE(HeaderStart(std::string(folders.LineAt(0)), t));
    EXPECT_EQ(folders.LineAt(1), R + " > 500:8192:0:0:0:9:2:2:0:0:0:0")
        << "the root's line survives";
    EXPECT_NE(folders.FindPath(R + "B\\"), nullptr);

    // With a header, the header alone is replaced.
    ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
    ASSERT_EQ(folders.Count(), 4);
    EXPECT_EQ(folders.LineAt(1), R + " > 500:8192:0:0:0:9:2:2:0:0:0:0");

    // A first line cut short before its numbers is a folder's, not a header.
    folders.Assign({R + "0\\", R + " > 500:8192:0:0:0:9:2:2:0:0:0:0"});
    ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
    EXPECT_GE(folders.IndexOfPath(R + "0\\"), 1);
}

TEST_F(MeasureDrivesTest, RootThatCannotBeListedKeepsTheOldResult) {
    const std::string R = drive->Root();
    drive->Dir().Write("A/f", "12345");
    ScriptedHooks hooks;
    Global().AskBeforeMeasure = 0;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    const std::string cache =
        drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");
    StringList measured;
    ASSERT_EQ(LoadLines(measured, cache), 1);
    ASSERT_EQ(measured.size(), 3u);
    // The user could write a new cache; only the root is closed to them.
    ::chmod(drive->ExeDir().Path().c_str(), 0777);
    ::chmod(cache.c_str(), 0666);
    ::chmod(drive->Native().c_str(), 0);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        GlobalState& g = Global();
        if (!g.Drives.ReadVolume(*g.CurrentDrive)) return false; // the volume itself is still there
        ScriptedHooks child;
        MeasureReport report;
        if (MeasureDrives(child, &report) != 0 || !report.RootFailed) return false;
        StringList after;
        LoadLines(after, cache);
        return after == measured && g.Folders.CopyLines() == measured && child.told.size() == 1 &&
               child.told[0].find(R + " を開けない") == 0;
    }));
    ::chmod(drive->Native().c_str(), 0700);

    // A folder that cannot be opened changes nothing either.
    drive->Dir().MakeDir("locked");
    ::chmod(drive->Native().c_str(), 0755);
    ::chmod((drive->Dir() / "locked").c_str(), 0);
    Global().Folders.Assign(measured);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        ScriptedHooks child;
        if (MeasureFolder(R + "locked\\", child) != 0) return false;
        StringList after;
        LoadLines(after, cache);
        return after == measured && Global().Folders.CopyLines() == measured &&
               child.told.size() == 1;
    }));
    ::chmod((drive->Dir() / "locked").c_str(), 0755);
}

TEST_F(MeasureDrivesTest, UnreadableFoldersAreCountedReportedAndRemembered) {
    const std::string R = drive->Root();
    const TempDir& d = drive->Dir();
    d.Write("open/f", "1");
    d.Write("closed/inner/x", "123");
    d.Write("open/mine/y", "4");
    for (int i = 0; i < 12; ++i)
        d.MakeDir("many/m" + std::to_string(i + 10));
    ::chmod(drive->Native().c_str(), 0755);
    ::chmod(drive->ExeDir().Path().c_str(), 0777);
    ::chmod((d / "closed").c_str(), 0);
    // Owned by the unprivileged user, so that it can open it up again.
    ::chown((d / "open/mine").c_str(), 65534, 65534);
    ::chmod((d / "open/mine").c_str(), 0);
    for (int i = 0; i < 12; ++i)
        ::chmod((d / ("many/m" + std::to_string(i + 10))).c_str(), 0);
    Global().AskBeforeMeasure = 0;
    EXPECT_TRUE(test::AsUnprivileged([&] {
        ScriptedHooks hooks;
        MeasureReport report;
        if (MeasureDrives(hooks, &report) != 1 || report.RootFailed) return false;
        StringList found = report.Unreadable;
        std::sort(found.begin(), found.end());
        StringList expected{R + "closed\\", R + "open\\mine\\"};
        for (int i = 0; i < 12; ++i)
            expected.push_back(R + "many\\m" + std::to_string(i + 10) + "\\");
        std::sort(expected.begin(), expected.end());
        if (found != expected) return false;
        // One message: the number, the first ten paths, the rest counted.
        if (hooks.told.size() != 1 || hooks.told[0].find("読み取れなかったフォルダが 14 個") != 0 ||
            hooks.told[0].find(report.Unreadable[0]) == std::string::npos ||
            hooks.told[0].find(report.Unreadable[9]) == std::string::npos ||
            hooks.told[0].find(report.Unreadable[10]) != std::string::npos ||
            hooks.told[0].find("ほか 4 個") == std::string::npos)
            return false;
        // The cache file knows nothing of it; the program does while it runs.
        const FolderRecord* closed = Global().Folders.FindPath(R + "closed\\");
        if (!closed || closed->TreeBytes != 0 || !IsUnreadableFolder(R + "closed\\") ||
            !IsUnreadableFolder(R + "open\\mine\\") || IsUnreadableFolder(R + "open\\") ||
            IsUnreadableFolder(R + "closed\\inner\\"))
            return false;
        // Measuring a folder again replaces what was known below it only.
        ::chmod((d / "open/mine").c_str(), 0755);
        ScriptedHooks again;
        MeasureReport second;
        if (MeasureFolder(R + "open\\", again, &second) != 1 || !second.Unreadable.empty() ||
            !again.told.empty())
            return false;
        return !IsUnreadableFolder(R + "open\\mine\\") && IsUnreadableFolder(R + "closed\\") &&
               Global().Folders.FindPath(R + "open\\mine\\")->TreeBytes == 1;
    }));
    ::chmod((d / "closed").c_str(), 0755);
    ::chmod((d / "open/mine").c_str(), 0755);
    for (int i = 0; i < 12; ++i)
        ::chmod((d / ("many/m" + std::to_string(i + 10))).c_str(), 0755);
}

// The command line merges a folder's lines into the cache file without
// loading it: the file it leaves is the one the window's folder measurement
// (which holds the list) leaves, for a cache in order and for one out of
// order, and a cache that cannot be read is not replaced.
TEST_F(MeasureDrivesTest, FolderMeasurementIntoTheCacheFileWritesWhatTheListWould) {
    const TempDir& d = drive->Dir();
    d.Write("A/b/f", "1");
    d.Write("A/c/g", "22");
    d.Write("a/x/h", "333");
    d.Write("AB/i", "4444");
    ScriptedHooks hooks;
    Global().AskBeforeMeasure = 0;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    const std::string R = drive->Root();
    const std::string cache =
        drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");
    StringList measured;
    ASSERT_EQ(LoadLines(measured, cache), 1);
    auto withoutHeader = [](StringList lines) {
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    };
    d.Write("A/b/more", "55555");
    d.Write("A/new/j", "666666");
    for (bool inOrder : {true, false}) {
        StringList start = measured;
        if (!inOrder) std::reverse(start.begin() + 1, start.end());
        ASSERT_TRUE(SaveLines(start, cache));
        LoadCache(Global().Folders, *Global().CurrentDrive);
        ASSERT_EQ(MeasureFolder(R + "A\\", hooks), 1);
        StringList byList;
        LoadLines(byList, cache);

        ASSERT_TRUE(SaveLines(start, cache));
        Global().Folders.Clear();
        MeasureReport report;
        ASSERT_EQ(MeasureFolderIntoCache(R + "A\\", hooks, &report), 1);
        EXPECT_TRUE(report.SaveError.empty()) << report.SaveError;
        StringList byFile;
        LoadLines(byFile, cache);
        std::time_t t;
        ASSERT_FALSE(byFile.empty());
        EXPECT_TRUE(HeaderStart(byFile[0], t));
        EXPECT_EQ(withoutHeader(byFile), withoutHeader(byList))
            << (inOrder ? "in order" : "out of order");
        ASSERT_NE(Global().Folders.FindPath(R + "A\\"), nullptr)
            << "the folder's lines stay in the list";
        EXPECT_EQ(Global().Folders.FindPath(R + "A\\")->TreeBytes, 1 + 2 + 5 + 6);
    }

    // No cache yet: the folder's lines alone, after a header.
    ::unlink(cache.c_str());
    ASSERT_EQ(MeasureFolderIntoCache(R + "a\\", hooks), 1);
    StringList alone;
    LoadLines(alone, cache);
    EXPECT_EQ(alone.size(), 3u);

    // A folder in the cache's place cannot be read: it stays, and so is
    // reported.
    ::unlink(cache.c_str());
    ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
    MeasureReport refused;
    hooks.told.clear();
    ASSERT_EQ(MeasureFolderIntoCache(R + "a\\", hooks, &refused), 1);
    EXPECT_NE(refused.SaveError.find(cache), std::string::npos);
    EXPECT_EQ(hooks.told.size(), 1u);
    struct stat st {};
    EXPECT_TRUE(::stat(cache.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    ::rmdir(cache.c_str());
}

// A letter that holds another volume than its cache was measured of (a
// stick in the place of another, the letter given to another folder) has
// its folder measurements refused, by the window's and the command line's
// measurement alike, before anything is asked or written: merged, they
// would keep the other volume's folders in the cache.
TEST_F(MeasureDrivesTest, AFolderOfAnotherVolumeIsNotMergedIntoItsCache) {
    using Measurement = int (*)(const std::string&, MeasureHooks&, MeasureReport*);
    for (Measurement measure : {&MeasureFolder, &MeasureFolderIntoCache}) {
        drive->Dir().Write("work/a.bin", "aaaa");
        drive->Dir().Write("photos/p.jpg", "pp");
        ScriptedHooks hooks;
        Global().AskBeforeMeasure = 0;
        ASSERT_EQ(MeasureDrives(hooks), 1);
        const std::string photos = drive->Root() + "photos\\";
        // One folder measurement of the same volume: the next one still
        // knows the cache's volume.
        LoadCache(Global().Folders, *Global().CurrentDrive);
        ASSERT_EQ(measure(photos, hooks, nullptr), 1);

        drive->SwapVolume();
        drive->Dir().Write("photos/q.jpg", "qqq");
        test::MakeCurrent(*drive);
        const std::string cache = CacheFileName(*Global().CurrentDrive);
        std::string before, after;
        ASSERT_TRUE(platform::ReadWholeFile(cache, before));
        LoadCache(Global().Folders, *Global().CurrentDrive);
        hooks.questions = 0;
        EXPECT_EQ(measure(photos, hooks, nullptr), 0);
        EXPECT_EQ(hooks.questions, 0);
        ASSERT_EQ(hooks.told.size(), 1u);
        EXPECT_NE(hooks.told[0].find(drive->Root().substr(0, 2) + " ドライブ全体を計測"),
                  std::string::npos)
            << hooks.told[0];
        ASSERT_TRUE(platform::ReadWholeFile(cache, after));
        EXPECT_EQ(after, before);

        // Measured whole, the drive's folders are its own again.
        Global().AskBeforeMeasure = 0;
        ASSERT_EQ(MeasureDrives(hooks), 1);
        LoadCache(Global().Folders, *Global().CurrentDrive);
        EXPECT_EQ(measure(photos, hooks, nullptr), 1);
        LoadCache(Global().Folders, *Global().CurrentDrive);
        EXPECT_EQ(Global().Folders.FindPath(drive->Root() + "work\\"), nullptr);
        EXPECT_EQ(hooks.told.size(), 1u);
    }
}
