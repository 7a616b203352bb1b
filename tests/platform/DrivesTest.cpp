#include "platform/Drives.h"

#include "lib/StringList.h"
#include "platform/ProgramLocation.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/statvfs.h>
#include <vector>

using namespace nrvs;
using namespace nrvs::platform;
using nrvs::test::TempDir;

namespace {

std::vector<std::string> Lines(std::initializer_list<std::pair<int, std::string>> set) {
    std::vector<std::string> l(52);
    for (const auto& [n, text] : set)
        l[static_cast<size_t>(n)] = text;
    return l;
}

int LetterOfRoot(const DriveMap& map, const std::string& root) {
    for (int n = 0; n < 26; ++n)
        if (map.Roots[static_cast<size_t>(n)] == root) return n;
    return -1;
}

const char* const kMounts =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "50 27 8:17 / /media/me/USB\\040stick rw,nosuid shared:5 master:2 - vfat /dev/sdb1 "
    "rw,fmask=0022\n"
    "51 27 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
    "52 27 254:0 /srv/data /mnt/data rw - ext4 /dev/vda rw\n"
    "53 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "54 27 7:1 / /opt/image ro - squashfs /dev/loop1 ro\n"
    "55 27 0:50 / /mnt/nfs rw - nfs4 server:/export rw\n"
    "56 27 0:51 / /tmp rw - tmpfs tmpfs rw\n"
    "57 27 0:52 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "58 27 11:0 / /run/media/me/DISC ro - iso9660 /dev/sr0 ro\n"
    "59 27 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
    "60 27 0:60 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "61 27 0:61 / /mnt/cg rw - cgroup2 cgroup2 rw\n"
    "this line is damaged\n"
    "62 27 0:62 / /mnt/ssh rw - fuse.sshfs me@host:/home\\040dir rw\n"
    "63 27 8:18 / /mnt/tab\\011name\\134x rw - ext4 /dev/sdb2 rw\n"
    "64 27 8:19 / /runaway rw - ext4 /dev/sdb3 rw\n"
    "65 27 8:20 / /dev2 rw - ext4 /dev/sdb4 rw";

} // namespace

TEST(MountTableTest, ParsesEscapesAndPicksTheVolumesThatDeserveLetters) {
    std::vector<MountEntry> mounts = ParseMountInfo(kMounts);
    ASSERT_EQ(mounts.size(), 18u) << "the damaged line is skipped, the last line needs no newline";
    const MountEntry& usb = mounts[2];
    EXPECT_EQ(usb.Id, 50);
    EXPECT_EQ(usb.ParentId, 27);
    EXPECT_EQ(usb.Major, 8u);
    EXPECT_EQ(usb.Minor, 17u);
    EXPECT_EQ(usb.MountPoint, "/media/me/USB stick");
    EXPECT_EQ(usb.Type, "vfat");
    EXPECT_EQ(usb.Source, "/dev/sdb1");
    EXPECT_NE(usb.Options.find("fmask=0022"), std::string::npos) << "super-block options kept";
    EXPECT_EQ(mounts[4].Root, "/srv/data");
    EXPECT_EQ(mounts[14].Source, "me@host:/home dir");
    EXPECT_EQ(mounts[15].MountPoint, "/mnt/tab\tname\\x");

    DriveMap map = AssignLetters({}, mounts);
    EXPECT_EQ(map.Roots[2], "/");
    EXPECT_TRUE(map.MountLetter[2]);
    EXPECT_TRUE(map.Roots[0].empty() && map.Roots[1].empty()) << "A: and B: are never handed out";
    // Mount order, from D: upward.
    const char* expected[] = {
        "/media/me/USB stick", "/mnt/nfs", "/tmp", "/run/media/me/DISC", "/mnt/ssh",
        "/mnt/tab\tname\\x",   "/runaway", "/dev2"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(map.Roots[static_cast<size_t>(3 + i)], expected[i]) << "letter " << char('D' + i);
        EXPECT_TRUE(map.MountLetter[static_cast<size_t>(3 + i)]);
    }
    for (int n = 11; n < 26; ++n)
        EXPECT_EQ(map.Roots[static_cast<size_t>(n)], "") << char('A' + n);
    // Bind mounts of lettered volumes (/mnt/again, /mnt/data), squashfs images,
    // /proc, /run/user, /boot, docker and cgroup mounts got nothing.

    std::vector<std::string> lines = DriveMapLines(map);
    ASSERT_EQ(lines.size(), 52u);
    EXPECT_EQ(lines[3], "/media/me/USB stick");
    EXPECT_EQ(lines[26 + 3], "mount");
    EXPECT_EQ(lines[26 + 11], "");

    // A letter holding an imported scan is passed over: the mount that would
    // have had it takes the next free one.
    std::array<bool, 26> imported{};
    imported[4] = true;
    DriveMap skipping = AssignLetters({}, mounts, imported);
    EXPECT_EQ(skipping.Roots[3], "/media/me/USB stick");
    EXPECT_EQ(skipping.Roots[4], "");
    EXPECT_EQ(skipping.Roots[5], "/mnt/nfs");
    EXPECT_EQ(skipping.Roots[11], "/dev2");
}

TEST(MountTableTest, LettersStayWithTheirRootsAndBtrfsSubvolumesGetTheirOwn) {
    std::vector<MountEntry> mounts =
        ParseMountInfo("30 1 0:30 /@ / rw - btrfs /dev/sda2 rw\n"
                       "31 30 0:30 /@home /home rw - btrfs /dev/sda2 rw\n"
                       "32 30 0:30 /@/var/www /srv/www rw - btrfs /dev/sda2 rw\n"
                       "33 30 0:30 /@home/me/films /mnt/films rw - btrfs /dev/sda2 rw\n"
                       "34 30 8:17 / /mnt/usb rw - ext4 /dev/sdb1 rw\n"
                       "35 30 8:33 / /mnt/new rw - ext4 /dev/sdc1 rw\n");
    // The map from an earlier run: the stick had F:, a user folder has D:, E:
    // was a stick that is unplugged now, C: was moved to a folder.
    std::vector<std::string> lines = Lines({{2, "/data/winc/"},
                                            {3, "/home/me//photos"},
                                            {4, "/mnt/gone"},
                                            {26 + 4, "mount"},
                                            {5, "/mnt/usb"},
                                            {26 + 5, "mount"},
                                            {6, "relative/dir"},
                                            {7, std::string("/bad\0name", 9)}});
    DriveMap map = AssignLetters(lines, mounts);
    EXPECT_EQ(map.Roots[2], "/data/winc") << "C: as the map says, trailing slash dropped";
    EXPECT_FALSE(map.MountLetter[2]);
    EXPECT_EQ(map.Roots[3], "/home/me/photos");
    EXPECT_FALSE(map.MountLetter[3]);
    EXPECT_EQ(map.Roots[4], "/mnt/gone") << "an absent volume keeps its letter";
    EXPECT_TRUE(map.MountLetter[4]);
    EXPECT_EQ(map.Roots[5], "/mnt/usb");
    // The freed junk letters G: and H: are handed out again, lowest first.
    EXPECT_EQ(map.Roots[6], "/");
    EXPECT_EQ(map.Roots[7], "/home") << "a subvolume beside / is not reachable through G:";
    EXPECT_EQ(map.Roots[8], "/mnt/new");
    EXPECT_EQ(LetterOfRoot(map, "/srv/www"), -1) << "bind mount inside /";
    EXPECT_EQ(LetterOfRoot(map, "/mnt/films"), -1) << "bind mount inside /home";
    EXPECT_EQ(map.Roots[9], "");

    // Detection is stable: a second run over its own output changes nothing.
    DriveMap again = AssignLetters(DriveMapLines(map), mounts);
    EXPECT_EQ(again.Roots, map.Roots);
    EXPECT_EQ(again.MountLetter, map.MountLetter);
}

TEST(MountTableTest, LettersRunOutQuietly) {
    std::string text = "1 0 8:0 / / rw - ext4 /dev/sda rw\n";
    for (int i = 0; i < 40; ++i)
        text += std::to_string(100 + i) + " 1 8:" + std::to_string(16 + i) + " / /mnt/d" +
                std::to_string(i) + " rw - ext4 /dev/sd" + std::to_string(i) + " rw\n";
    DriveMap map = AssignLetters({}, ParseMountInfo(text));
    EXPECT_EQ(map.Roots[3], "/mnt/d0");
    EXPECT_EQ(map.Roots[25], "/mnt/d22");
    EXPECT_EQ(LetterOfRoot(map, "/mnt/d23"), -1);
}

namespace {
// The executable, and so the drive map file, in a temporary folder.
class DriveMapTest : public ::testing::Test {
  protected:
    TempDir exe;
    TempDir data;
    void SetUp() override { SetExecutablePath(exe / "norvessa"); }
    void TearDown() override { SetExecutablePath(""); }
    StringList MapFile() {
        StringList l;
        LoadLines(l, exe / "norvessa.drv");
        return l;
    }
    static std::string Native(const TempDir& d) { return d.Path().substr(0, d.Path().size() - 1); }
};
} // namespace

TEST_F(DriveMapTest, FolderDrivesComeAndGoAndTheMapKeepsTheirLines) {
    EXPECT_EQ(DriveMapFileName(), exe / "norvessa.drv");
    data.MakeDir("sub");
    std::string root = Native(data) + "/sub";
    StringList map(26);
    map[24] = root;
    ASSERT_TRUE(SaveLines(map, exe / "norvessa.drv"));

    DetectDriveMap();
    EXPECT_EQ(DriveRoots()[2], "/");
    EXPECT_EQ(DriveRoots()[24], root);
    EXPECT_NE(GetDriveTypeA("C:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    uint32_t type = GetDriveTypeA("Y:\\");
    EXPECT_GE(type, uint32_t{DRIVE_REMOVABLE});
    EXPECT_EQ(type, GetDriveTypeA("y:")) << "lower case and a bare letter name the same drive";
    EXPECT_EQ(GetDriveTypeA("Z:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_EQ(GetDriveTypeA("1:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_EQ(GetDriveTypeA(""), uint32_t{DRIVE_NO_ROOT_DIR});
    StringList written = MapFile();
    ASSERT_EQ(written.size(), 52u);
    EXPECT_EQ(written[2], "/");
    EXPECT_EQ(written[24], root);
    EXPECT_EQ(written[26 + 24], "") << "a user's folder is no mount";

    // The same volume data as the file system holding the folder.
    struct statvfs sv {};
    ASSERT_EQ(::statvfs(root.c_str(), &sv), 0);
    uint64_t total = 0, free = 0;
    ASSERT_EQ(GetDiskFreeSpaceExA("Y:\\", total, free), 1);
    EXPECT_EQ(total, static_cast<uint64_t>(sv.f_blocks) * sv.f_frsize);
    DiskFreeSpace space;
    ASSERT_EQ(GetDiskFreeSpaceA("Y:\\", space), 1);
    EXPECT_EQ(uint64_t{space.SectorsPerCluster} * space.BytesPerSector, sv.f_frsize);
    EXPECT_EQ(space.TotalClusters, sv.f_blocks > 4294967295ULL ? 4294967295U : sv.f_blocks);
    VolumeInformation info, rootInfo;
    ASSERT_EQ(GetVolumeInformationA("Y:\\", info), 1);
    ASSERT_EQ(GetVolumeInformationA("C:\\", rootInfo), 1);
    EXPECT_FALSE(info.FileSystemName.empty());
    EXPECT_EQ(info.MaxComponentLength, sv.f_namemax);
    EXPECT_TRUE(info.FileSystemFlags & FILE_CASE_PRESERVED_NAMES);
    // The folder lies inside a volume, whose figures those are; C: is "/",
    // a volume's own root.
    EXPECT_FALSE(DriveMountPoint("Y:\\").empty());
    EXPECT_EQ(FolderVolume("Y:\\"), DriveMountPoint("Y:\\"));
    EXPECT_EQ(FolderVolume("C:\\"), "");

    // The folder goes: the letter is not in use but keeps its line, so the
    // folder gets it back when it returns.
    test::RemoveTree(root);
    DetectDriveMap();
    EXPECT_EQ(GetDriveTypeA("Y:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_EQ(GetVolumeInformationA("Y:\\", info), 0);
    EXPECT_EQ(GetDiskFreeSpaceA("Y:\\", space), 0);
    EXPECT_EQ(GetDiskFreeSpaceExA("Y:\\", total, free), 0);
    EXPECT_EQ(FolderVolume("Y:\\"), "");
    EXPECT_EQ(MapFile()[24], root);
    data.MakeDir("sub");
    DetectDriveMap();
    EXPECT_EQ(GetDriveTypeA("Y:\\"), type);

    ASSERT_EQ(SetDriveMapEntry(24, ""), 1);
    EXPECT_EQ(DriveRoots()[24], "");
    EXPECT_EQ(MapFile()[24], "");
    EXPECT_EQ(SetDriveMapEntry(24, "relative"), 0);
    EXPECT_EQ(SetDriveMapEntry(26, "/"), 0);
}

TEST_F(DriveMapTest, DamagedMapsDoNotBreakDetection) {
    data.Write("file", "x");
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) & 0xff);
    std::string longLines;
    for (int i = 0; i < 10000; ++i)
        longLines += "/no/such/folder/" + std::to_string(i) + "\n";
    std::string deepPath(5000, '/');
    const std::vector<std::string> files = {
        junk,
        longLines,
        "\r\n\r\nrelative/path\r\n" + data.Path() + "file\r\n" + deepPath + "x\r\n",
        std::string(3, '\0'),
        "",
    };
    for (const auto& bytes : files) {
        exe.Write("norvessa.drv", bytes);
        DetectDriveMap();
        StringList written = MapFile();
        ASSERT_EQ(written.size(), 52u);
        for (int n = 0; n < 26; ++n) {
            const std::string& r = DriveRoots()[static_cast<size_t>(n)];
            EXPECT_TRUE(r.empty() || r[0] == '/') << "letter " << char('A' + n);
            EXPECT_EQ(written[static_cast<size_t>(n)], r);
            char root[] = {static_cast<char>('A' + n), ':', '\\', 0};
            uint32_t type = GetDriveTypeA(root);
            EXPECT_LE(type, uint32_t{DRIVE_RAMDISK});
            VolumeInformation info;
            DiskFreeSpace space;
            if (type == DRIVE_NO_ROOT_DIR) {
                EXPECT_EQ(GetVolumeInformationA(root, info), 0);
                EXPECT_EQ(GetDiskFreeSpaceA(root, space), 0);
            }
        }
    }
    // A map full of absent folders holds every letter, C: too; nothing is lost.
    exe.Write("norvessa.drv", longLines);
    DetectDriveMap();
    EXPECT_EQ(DriveRoots()[2], "/no/such/folder/2");
    EXPECT_EQ(GetDriveTypeA("C:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_EQ(MapFile()[25], "/no/such/folder/25");
    // The relative path was dropped and C: is / again; the file keeps its
    // line but is no drive; the over-long path is dropped.
    exe.Write("norvessa.drv", files[2]);
    DetectDriveMap();
    EXPECT_EQ(MapFile()[2], "/");
    EXPECT_EQ(MapFile()[3], data.Path() + "file");
    EXPECT_EQ(GetDriveTypeA("D:\\"), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_NE(MapFile()[4].size(), 5001u);
}

TEST_F(DriveMapTest, RootVolumeMatchesStatvfs) {
    DetectDriveMap();
    struct statvfs sv {};
    ASSERT_EQ(::statvfs("/", &sv), 0);
    uint64_t total = 0, free = 0;
    ASSERT_EQ(GetDiskFreeSpaceExA("C:\\", total, free), 1);
    EXPECT_EQ(total, static_cast<uint64_t>(sv.f_blocks) * sv.f_frsize);
    // Free space moves while the test runs. Free is what an ordinary user
    // can still write (df's Avail), not the blocks kept for root.
    EXPECT_GE(free + (64ull << 20), static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize);
    EXPECT_LE(free, static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize + (64ull << 20));
    DiskFreeSpace space;
    ASSERT_EQ(GetDiskFreeSpaceA("C:\\", space), 1);
    // The geometry says the same: free clusters are the available ones.
    EXPECT_LE(uint64_t{space.FreeClusters} * sv.f_frsize, free + (64ull << 20));
    EXPECT_GE(uint64_t{space.FreeClusters} * sv.f_frsize + (64ull << 20), free);
    EXPECT_GE(space.BytesPerSector, 512u);
    EXPECT_EQ(space.BytesPerSector & (space.BytesPerSector - 1), 0u) << "a power of two";
    EXPECT_EQ(uint64_t{space.SectorsPerCluster} * space.BytesPerSector, sv.f_frsize);
    VolumeInformation info;
    ASSERT_EQ(GetVolumeInformationA("C:\\", info), 1);
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    std::string rootType;
    for (const auto& m : ParseMountInfo(text.str()))
        if (m.MountPoint == "/") rootType = m.Type;
    EXPECT_EQ(info.FileSystemName, rootType);
}
