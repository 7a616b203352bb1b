// A drive that is not here is browsed from its last measurement: the same
// entries, rows and totals as while it was here, and nothing that needs the
// disk is attempted.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/measure/Measure.h"
#include "core/exchange/Ncdu.h"
#include "core/views/Rows.h"
#include "core/offline/Snapshot.h"
#include "core/treemap/Treemap.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "platform/FileAccess.h"
#include "support/ResetGlobalState.h"
#include "support/Systems.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {

class SnapshotTest : public ::testing::Test {
  protected:
    std::unique_ptr<TempDrive> drive;
    std::string moved; // where the drive's folder went when it was "unplugged"

    void SetUp() override {
        drive = std::make_unique<TempDrive>();
        test::ResetGlobalState();
        LoadParameters({});
        Global().AskBeforeMeasure = 0;
        const auto& d = drive->Dir();
        d.Write("top.bin", std::string(70000, 't'));
        d.Write("a/one.txt", std::string(10, 'a'));
        d.Write("a/n\xff.dat", std::string(5000, 'n'));
        d.Write("a/deep/er/bottom", std::string(3, 'b'));
        d.Write("Z/x", "x");
        d.MakeDir("empty");
        RefreshDrives(drive->Letter() - 'A');
        ASSERT_NE(Global().CurrentDrive, nullptr);
        ASSERT_EQ(Global().CurrentDrive->Offline, 0);
    }
    void TearDown() override {
        if (!moved.empty()) std::rename(moved.c_str(), Root().c_str());
        drive.reset();
    }
    std::string Root() const {
        std::string r = drive->Native();
        r.pop_back();
        return r;
    }
    // Takes the drive's folder away, as an unplugged disk.
    void Unplug() {
        moved = Root() + ".away";
        ASSERT_EQ(std::rename(Root().c_str(), moved.c_str()), 0);
        RefreshDrives(drive->Letter() - 'A');
    }
    DriveRecord& Record() { return *Global().Drives.ByLetter(drive->Letter() - 'A'); }
    std::vector<std::string> Rows(const std::string& path, DirListing& listing) {
        FillInput in;
        in.Path = path;
        in.Entries = &listing.Entries;
        in.ListedFolders = listing.FolderCount;
        in.ListedFiles = listing.FileCount;
        in.TotalBytes = Record().TotalBytes;
        in.FreeBytes = Record().FreeBytes;
        in.RootPath = Record().RootPath;
        in.ShowFiles = true;
        double base = 0;
        FillResult r = BuildRows(in, Global().Folders, base);
        return r.Rows;
    }
};

TEST_F(SnapshotTest, AnUnpluggedDriveShowsWhatItShowedWhenHere) {
    NRVS_LINUX_ONLY("the file index keeps no archive bit, which Windows sets on files");
    test::YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    const DriveRecord here = Record();
    const std::string root = drive->Root();
    std::map<std::string, std::vector<std::string>> entries, rows;
    for (const std::string& path : {root, root + "a\\", root + "a\\deep\\", root + "empty\\"}) {
        DirListing listing;
        listing.ClusterSize = static_cast<int32_t>(here.ClusterSize);
        ListFolder(listing, path + "*.*", LIST_ALL);
        SortListing(listing, false);
        entries[path] = listing.Entries;
        rows[path] = Rows(path, listing);
    }

    Unplug();
    DriveRecord& away = Record();
    ASSERT_EQ(away.Offline, 1) << "a letter with a measurement is listed while its drive is away";
    EXPECT_EQ(away.DriveType, 0u);
    ASSERT_EQ(Global().Drives.ReadVolume(away), 1);
    EXPECT_EQ(away.TotalBytes, here.TotalBytes);
    EXPECT_EQ(away.FreeBytes, here.FreeBytes);
    EXPECT_EQ(away.ClusterSize, here.ClusterSize);
    EXPECT_EQ(away.VolumeName, here.VolumeName);
    EXPECT_NE(SnapshotText(away, CacheHeaderLine(away)).find("オフライン"), std::string::npos);

    LoadCache(Global().Folders, away);
    const auto index = OpenFileIndex(drive->Letter(), std::string(Global().Folders.LineAt(0)));
    ASSERT_TRUE(index);
    for (const auto& [path, expected] : entries) {
        DirListing listing;
        StringList deeper;
        ListSnapshot(listing, Global().Folders, index.get(), path + "*.*", LIST_ALL, &deeper);
        SortListing(listing, false);
        // Folders have no sizes of their own in a listing; files have theirs
        // as they were counted, which is the rounded size.
        EXPECT_EQ(listing.Entries, expected) << path;
        EXPECT_EQ(Rows(path, listing), rows[path]) << path;
        if (path == root) {
            EXPECT_EQ(deeper, (StringList{"a"})) << "only a has folders of its own";
        }
    }
    // The treemap draws the folder shown from the same entries.
    const TreemapSource source =
        MakeSource(Global().Folders, root, static_cast<int32_t>(away.ClusterSize));
    ASSERT_EQ(source.Entries.size(), 4u);
    EXPECT_TRUE(source.Files);
    // Without the index the folders are still there, the files not.
    DirListing bare;
    ListSnapshot(bare, Global().Folders, nullptr, root + "a\\*.*", LIST_ALL);
    EXPECT_EQ(bare.FolderCount, 1);
    EXPECT_EQ(bare.FileCount, 0);

    // Nothing is measured on a drive that is not here, and its cache stays.
    Global().CurrentDrive = &away;
    const std::string before = CacheHeaderLine(away);
    EXPECT_EQ(MeasureDrives(hooks), 0);
    EXPECT_EQ(MeasureFolder(root + "a\\", hooks), 0);
    EXPECT_EQ(CacheHeaderLine(away), before);

    // Back again, it is a drive like any other.
    ASSERT_EQ(std::rename(moved.c_str(), Root().c_str()), 0);
    moved.clear();
    RefreshDrives(drive->Letter() - 'A');
    EXPECT_EQ(Record().Offline, 0);
    EXPECT_EQ(Record().DriveType, here.DriveType);
}

TEST_F(SnapshotTest, NotesAndLettersWithoutAMeasurementAreHandledSafely) {
    // No measurement: the letter is not listed once its drive goes.
    Unplug();
    EXPECT_EQ(Record().Offline, 0);
    EXPECT_FALSE(HasSnapshot(drive->Letter()));
    std::rename(moved.c_str(), Root().c_str());
    moved.clear();
    RefreshDrives(drive->Letter() - 'A');

    test::YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    const std::string note = VolumeNoteName(drive->Letter());
    ASSERT_TRUE(ReadVolumeNote(drive->Letter()).Valid);
    // A damaged or hostile note is refused whole: the drive is still
    // browsable, with no figures made up.
    for (const std::string bad : {"volume=1\r\ntotal=-5\r\n", "volume=1\r\ncluster=abc\r\n",
                                  "volume=2\r\n", "", "volume=1\r\nfree=1e400\r\n"}) {
        ASSERT_TRUE(platform::ReplaceFile(note, bad));
        EXPECT_FALSE(ReadVolumeNote(drive->Letter()).Valid) << bad;
    }
    ASSERT_TRUE(
        platform::ReplaceFile(note, "volume=1\r\ntotal=100\r\nfree=500\r\ncategory=9\r\nlabel=a\x01"
                                    "b\r\n"));
    const VolumeNote odd = ReadVolumeNote(drive->Letter());
    ASSERT_TRUE(odd.Valid);
    EXPECT_EQ(odd.FreeBytes, 100) << "never more free than the whole";
    EXPECT_EQ(odd.Category, 2u) << "an icon that does not exist is a hard disk's";
    Unplug();
    ASSERT_EQ(Record().Offline, 1);
    EXPECT_EQ(Global().Drives.ReadVolume(Record()), 1);
    EXPECT_EQ(Record().TotalBytes, 100);
}

TEST_F(SnapshotTest, AnImportIsAsFullAsWhatWasScanned) {
    char target = 0;
    for (char c = 'Z'; c > 'D' && !target; --c)
        if (platform::DriveRoots()[static_cast<size_t>(c - 'A')].empty() && c != drive->Letter())
            target = c;
    ASSERT_NE(target, 0);
    std::string doc = "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000},"
                      "[{\"name\":\"/srv\"},{\"name\":\"f\",\"asize\":10000,\"dsize\":12288},"
                      "[{\"name\":\"d\"},{\"name\":\"g\",\"asize\":5,\"dsize\":4096}]]]";
    doc.reserve(doc.size() + kNcduPadding);
    NcduImportOptions options;
    options.Host = "server";
    NcduImportReport report;
    ASSERT_TRUE(ImportNcdu(doc, target, options, report)) << report.Error;
    RefreshDrives(target - 'A');
    DriveRecord& r = *Global().Drives.ByLetter(target - 'A');
    ASSERT_EQ(r.Offline, 1);
    FolderList folders;
    LoadCache(folders, r);
    FillOfflineRecord(r, &folders);
    EXPECT_EQ(r.TotalBytes, 12288 + 4096);
    EXPECT_EQ(r.FreeBytes, 0);
    const std::string text = SnapshotText(r, std::string(folders.LineAt(0)));
    EXPECT_NE(text.find("server:/srv"), std::string::npos) << text;
    EXPECT_NE(text.find("ncdu 1.18"), std::string::npos) << text;
    const auto index = OpenFileIndex(target, std::string(folders.LineAt(0)));
    DirListing listing;
    ListSnapshot(listing, folders, index.get(), std::string(1, target) + ":\\*.*", LIST_ALL);
    SortListing(listing, false);
    ASSERT_EQ(listing.Entries.size(), 2u);
    EXPECT_EQ(ParseEntry(listing.Entries[0]).Name, "d\\");
    EXPECT_EQ(ParseEntry(listing.Entries[1]).Occupied, 12288);
}

} // namespace
