#include "core/drives/DriveTable.h"

#include "core/GlobalState.h"
#include "lib/SettingsLines.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "support/ResetGlobalState.h"
#include "support/ShellCommands.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace nrvs;
using nrvs::test::Output;
using nrvs::test::Shell;
using nrvs::test::TempDir;

namespace {

// Stands in for the main window's drive menu and drive bar.
struct ItemsRecorder : DriveItemsUi {
    std::vector<std::pair<int, int>> shown; // letter, listed position
    int hidden = 0;
    void ShowItem(const DriveRecord& r, int pos) override { shown.push_back({r.Index, pos}); }
    void HideItem(const DriveRecord&) override { ++hidden; }
};

std::string NoSlash(const std::string& p) {
    return p.size() > 1 && p.back() == '/' ? p.substr(0, p.size() - 1) : p;
}

struct statvfs StatVfs(const std::string& path) {
    struct statvfs sv {};
    EXPECT_EQ(::statvfs(path.c_str(), &sv), 0) << path;
    return sv;
}

int LetterOfRoot(const std::string& native) {
    for (int n = 0; n < 26; ++n)
        if (platform::DriveRoots()[static_cast<size_t>(n)] == native) return n;
    return -1;
}

bool IsListed(DriveTable& t, int letter) {
    for (int i = 0; i < t.ListedCount(); ++i)
        if (t.ListedAt(i)->Index == letter) return true;
    return false;
}

class DriveTableTest : public ::testing::Test {
  protected:
    TempDir exe;
    TempDir folder;
    void SetUp() override {
        test::ResetGlobalState();
        platform::SetExecutablePath(exe / "norvessa");
    }
    void TearDown() override {
        test::ResetGlobalState();
        platform::SetExecutablePath("");
    }
    void MapLetter(int letter, const std::string& native) {
        StringList map(26);
        map[static_cast<size_t>(letter)] = native;
        ASSERT_TRUE(SaveLines(map, exe / "norvessa.drv"));
    }
};

} // namespace

TEST_F(DriveTableTest, AFolderInTheMapIsListedWithItsFileSystemsGeometry) {
    MapLetter(23, NoSlash(folder.Path()));
    DriveTable t;
    ItemsRecorder ui;
    t.SetItemsUi(&ui);
    t.DetectTypes();
    t.RefreshListing(1);

    DriveRecord* x = t.ByLetter(23);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->Index, 23);
    EXPECT_EQ(x->RootPath, "X:\\");
    EXPECT_NE(x->DriveType, 0u);
    EXPECT_EQ(x->Ready, 1);
    ASSERT_TRUE(IsListed(t, 23));
    struct statvfs sv = StatVfs(folder.Path());
    EXPECT_EQ(x->ClusterSize, sv.f_frsize);
    EXPECT_EQ(x->ClusterSize, x->SectorsPerCluster * x->BytesPerSector);
    EXPECT_EQ(x->TotalBytes, static_cast<double>(sv.f_blocks) * static_cast<double>(sv.f_frsize));
    EXPECT_FALSE(x->FileSystem.empty());

    // C: is the root file system.
    DriveRecord* c = t.ByLetter(2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->RootPath, "C:\\");
    EXPECT_EQ(c->DriveType, 3u) << "/ on this machine is no removable, network or RAM disk";
    EXPECT_EQ(c->Category, 2u);
    EXPECT_EQ(c->Removable, 0u);
    EXPECT_EQ(c->Ready, 1);
    struct statvfs root = StatVfs("/");
    EXPECT_EQ(c->TotalBytes,
              static_cast<double>(root.f_blocks) * static_cast<double>(root.f_frsize));
    EXPECT_EQ(c->ClusterSize, root.f_frsize);

    // Listed positions are dense and in letter order; free letters are skipped.
    ASSERT_GE(t.ListedCount(), 2);
    EXPECT_EQ(ui.hidden, 26);
    ASSERT_EQ(static_cast<int>(ui.shown.size()), t.ListedCount());
    for (int i = 0; i < t.ListedCount(); ++i) {
        EXPECT_EQ(ui.shown[static_cast<size_t>(i)].second, i);
        EXPECT_EQ(t.ListedAt(i)->Index, ui.shown[static_cast<size_t>(i)].first);
        EXPECT_NE(t.ListedAt(i)->DriveType, 0u);
        if (i > 0) {
            EXPECT_LT(t.ListedAt(i - 1)->Index, t.ListedAt(i)->Index);
        }
    }
    for (int n = 0; n < 26; ++n)
        EXPECT_EQ(IsListed(t, n), t.ByLetter(n)->DriveType != 0) << char('A' + n);
    EXPECT_EQ(t.ListedAt(t.ListedCount()), nullptr);
    EXPECT_EQ(t.ListedAt(-1), nullptr);
    EXPECT_EQ(t.ByLetter(26), nullptr);
    EXPECT_EQ(t.ByLetter(-1), nullptr);
    EXPECT_EQ(t.ByLetter(0)->DriveType, 0u) << "A: is never handed out";

    // A second listing starts again from position 0.
    ui.shown.clear();
    int count = t.ListedCount();
    t.RefreshListing(1);
    EXPECT_EQ(t.ListedCount(), count);
    EXPECT_EQ(ui.shown.front().second, 0);
}

TEST_F(DriveTableTest, AFailingQueryKeepsTheLastValuesAndAGoneFolderIsNoLongerListed) {
    folder.MakeDir("root");
    std::string root = folder / "root";
    MapLetter(22, root);
    DriveTable t;
    t.DetectTypes();
    t.RefreshListing(1);
    DriveRecord before = *t.ByLetter(22);
    ASSERT_EQ(before.Ready, 1);
    ASSERT_GT(before.ClusterSize, 0u);

    test::RemoveTree(root);
    DriveRecord* w = t.ByLetter(22);
    EXPECT_EQ(t.ReadVolume(*w), 0);
    EXPECT_EQ(w->Ready, 0);
    EXPECT_EQ(w->FileSystem, before.FileSystem);
    EXPECT_EQ(w->SerialNumber, before.SerialNumber);
    EXPECT_EQ(w->TotalBytes, before.TotalBytes);
    EXPECT_EQ(w->ClusterSize, before.ClusterSize);

    t.DetectTypes();
    EXPECT_EQ(w->DriveType, 0u);
    EXPECT_EQ(w->Ready, 0);
    t.RefreshListing(1);
    EXPECT_FALSE(IsListed(t, 22));
    StringList map;
    LoadLines(map, exe / "norvessa.drv");
    EXPECT_EQ(LineAt(map, 22, ""), root) << "the letter waits for the folder";
}

TEST_F(DriveTableTest, RefreshDrivesMakesCAndSurvivesReplacingTheState) {
    MapLetter(24, NoSlash(folder.Path()));
    RefreshDrives(INT_MAX);
    GlobalState& g = Global();
    ASSERT_NE(g.CurrentDrive, nullptr);
    EXPECT_EQ(g.CurrentDrive, g.Drives.ByLetter(2));
    EXPECT_EQ(g.CurrentDrive->RootPath, "C:\\");
    RefreshDrives(24);
    EXPECT_EQ(g.CurrentDrive, g.Drives.ByLetter(24));
    RefreshDrives(99);
    EXPECT_EQ(g.CurrentDrive, nullptr);
    RefreshDrives(24);

    // A copy points into its own table, so it outlives the original's.
    GlobalState saved = g;
    EXPECT_EQ(saved.CurrentDrive, saved.Drives.ByLetter(24));
    EXPECT_EQ(saved.Drives.ListedCount(), g.Drives.ListedCount());
    EXPECT_EQ(saved.Drives.ListedAt(0), saved.Drives.ByLetter(saved.Drives.ListedAt(0)->Index));
    test::ResetGlobalState();
    EXPECT_EQ(Global().CurrentDrive, nullptr);
    EXPECT_EQ(Global().Drives.ListedCount(), 0);
    Global() = saved;
    EXPECT_EQ(Global().CurrentDrive, Global().Drives.ByLetter(24));
    EXPECT_EQ(Global().CurrentDrive->RootPath, "Y:\\");
    Global() = Global();
    EXPECT_EQ(Global().CurrentDrive, Global().Drives.ByLetter(24));
}

TEST(CutToBytesTest, NeverSplitsACharacter) {
    EXPECT_EQ(CutToBytes("SYSTEM", 49), "SYSTEM");
    EXPECT_EQ(CutToBytes("abcdef", 3), "abc");
    // 記 is three bytes: 17 of them make 51 bytes, 16 fit into 49.
    std::string text;
    for (int i = 0; i < 17; ++i)
        text += "\xE8\xA8\x98";
    EXPECT_EQ(CutToBytes(text, 49), text.substr(0, 48));
    EXPECT_EQ(CutToBytes("a\xE8\xA8\x98", 3), "a");
    EXPECT_EQ(CutToBytes("\xff\xff\xff\xff", 2), "\xff\xff") << "stray bytes cut where asked";
}

namespace {

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// Real mounts under a temporary folder, all taken down again at the end.
class MountedDriveTest : public DriveTableTest {
  protected:
    TempDir area;
    std::vector<std::string> mounted;

    void SetUp() override {
        DriveTableTest::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "mounting file systems needs root";
        area.MakeDir("probe");
        if (!Mount("-t tmpfs nrvsprobe", area / "probe"))
            GTEST_SKIP() << "mount is not permitted here (no CAP_SYS_ADMIN in this namespace?)";
        Unmount(area / "probe");
    }
    void TearDown() override {
        for (auto it = mounted.rbegin(); it != mounted.rend(); ++it)
            Unmount(*it);
        DriveTableTest::TearDown();
    }
    bool Mount(const std::string& what, const std::string& where) {
        if (!Shell("mount " + what + " " + Quote(where))) return false;
        mounted.push_back(where);
        return true;
    }
    void Unmount(const std::string& where) {
        while (::umount2(where.c_str(), 0) == 0) {
        }
        ::umount2(where.c_str(), MNT_DETACH);
        std::erase(mounted, where);
    }
};

} // namespace

TEST_F(MountedDriveTest, ALoopMountedVolumeGetsALetterThatOutlivesItsUnmounting) {
    if (!Shell("command -v mkfs.ext4"))
        GTEST_SKIP() << "mkfs.ext4 is missing (Debian package e2fsprogs)";
    const std::string image = area / "volume.img";
    ASSERT_TRUE(Shell("truncate -s 8M " + Quote(image)));
    ASSERT_TRUE(Shell("mkfs.ext4 -q -F -b 1024 -L NrvsVolume " + Quote(image)));
    const std::string uuid = Output("blkid -s UUID -o value " + Quote(image));
    ASSERT_GE(uuid.size(), 8u);
    std::string hex;
    for (char ch : uuid)
        if (ch != '-' && hex.size() < 8) hex += ch;
    const uint32_t serial = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));

    area.MakeDir("vol");
    area.MakeDir("bound");
    const std::string mp = NoSlash(area / "vol");
    DriveTable& t = Global().Drives;

    if (!Mount("-o loop " + Quote(image), mp))
        GTEST_SKIP() << "no loop device to mount the image with";
    // The same volume seen a second time is no second drive.
    ASSERT_TRUE(Mount("--bind " + Quote(mp), area / "bound"));
    t.DetectTypes();
    t.RefreshListing(1);
    const int n = LetterOfRoot(mp);
    ASSERT_GE(n, 3) << "a new mount gets a letter from D: upward";
    EXPECT_EQ(LetterOfRoot(NoSlash(area / "bound")), -1);
    EXPECT_TRUE(IsListed(t, n));
    const DriveRecord* r = t.ByLetter(n);
    EXPECT_EQ(r->DriveType, 3u);
    EXPECT_EQ(r->Category, 2u);
    EXPECT_EQ(r->Ready, 1);
    EXPECT_EQ(r->FileSystem, "ext4");
    EXPECT_EQ(r->VolumeName, "NrvsVolume");
    EXPECT_EQ(r->SerialNumber, serial) << uuid;
    EXPECT_EQ(r->ClusterSize, 1024u);
    EXPECT_EQ(r->BytesPerSector * r->SectorsPerCluster, 1024u);
    struct statvfs sv = StatVfs(mp);
    EXPECT_EQ(r->TotalBytes, static_cast<double>(sv.f_blocks) * 1024.0);
    EXPECT_EQ(r->TotalClusters, sv.f_blocks);
    EXPECT_TRUE(r->FileSystemFlags & platform::FILE_CASE_SENSITIVE_SEARCH);

    // Unmounted, the empty mount point stays behind; the letter is out of use
    // but keeps its line.
    Unmount(area / "bound");
    Unmount(mp);
    t.DetectTypes();
    t.RefreshListing(1);
    EXPECT_EQ(t.ByLetter(n)->DriveType, 0u);
    EXPECT_FALSE(IsListed(t, n));
    StringList map;
    LoadLines(map, exe / "norvessa.drv");
    EXPECT_EQ(LineAt(map, n, ""), mp);

    // Mounted again, it comes back as the same letter.
    ASSERT_TRUE(Mount("-o loop " + Quote(image), mp));
    t.DetectTypes();
    t.RefreshListing(1);
    EXPECT_EQ(LetterOfRoot(mp), n);
    EXPECT_EQ(t.ByLetter(n)->DriveType, 3u);
    EXPECT_EQ(t.ByLetter(n)->VolumeName, "NrvsVolume");
    EXPECT_TRUE(IsListed(t, n));
}

TEST_F(MountedDriveTest, RamDisksAreNamedAfterTheirMountPointAndListedWithoutRemovables) {
    area.MakeDir("ram disk");
    const std::string shortName = NoSlash(area / "ram disk");
    std::string longLeaf;
    for (int i = 0; i < 17; ++i)
        longLeaf += "\xE8\xA8\x98"; // 記 x 17: 51 bytes
    area.MakeDir(longLeaf);
    const std::string longName = area / longLeaf;
    ASSERT_TRUE(Mount("-t tmpfs -o size=4m nrvs", shortName));
    ASSERT_TRUE(Mount("-t tmpfs -o size=1m nrvs", longName));

    DriveTable& t = Global().Drives;
    t.DetectTypes();
    t.RefreshListing(0);
    const int n = LetterOfRoot(shortName);
    ASSERT_GE(n, 3) << "the blank in the mount point is unescaped";
    const DriveRecord* r = t.ByLetter(n);
    EXPECT_EQ(r->DriveType, 6u);
    EXPECT_EQ(r->Category, 5u);
    EXPECT_EQ(r->Removable, 0u);
    EXPECT_TRUE(IsListed(t, n)) << "RAM disks are listed with removable drives hidden";
    EXPECT_EQ(r->VolumeName, "ram disk");
    EXPECT_EQ(r->FileSystem, "tmpfs");
    EXPECT_EQ(r->TotalBytes, 4.0 * 1024 * 1024);
    EXPECT_EQ(r->ClusterSize, StatVfs(shortName).f_frsize);

    const int m = LetterOfRoot(longName);
    ASSERT_GE(m, 3);
    EXPECT_EQ(t.ByLetter(m)->VolumeName, longLeaf.substr(0, 48))
        << "cut to the buffer at a character's start";

    Unmount(shortName);
    t.DetectTypes();
    EXPECT_EQ(t.ByLetter(n)->DriveType, 0u);
    EXPECT_EQ(t.ByLetter(m)->DriveType, 6u);
}
