// Drive letters on a system without them: the drive map and the volume
// services (GetDriveTypeA, GetVolumeInformationA, GetDiskFreeSpaceA/ExA).
//
// The drive map file "<executable base>.drv" has 26 lines, line n for letter
// A+n: empty when the letter is free, else the native directory that is the
// drive's root. Paths passed to the volume services are program-form roots
// ("C:\").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Drive types as GetDriveTypeA returns them.
enum : uint32_t {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// File system flags as GetVolumeInformationA reports them.
enum : uint32_t {
    FILE_CASE_SENSITIVE_SEARCH = 0x1,
    FILE_CASE_PRESERVED_NAMES = 0x2,
    FILE_UNICODE_ON_DISK = 0x4,
    FILE_PERSISTENT_ACLS = 0x8,
    FILE_FILE_COMPRESSION = 0x10,
    FILE_VOLUME_QUOTAS = 0x20,
    FILE_SUPPORTS_SPARSE_FILES = 0x40,
    FILE_SUPPORTS_REPARSE_POINTS = 0x80,
    FILE_SUPPORTS_ENCRYPTION = 0x20000,
    FILE_READ_ONLY_VOLUME = 0x80000,
};

// The native root of every letter (index 0 = A); empty when the letter is free.
// A letter whose root is gone (an unplugged stick, a deleted folder) keeps its
// root here but is not in use: GetDriveTypeA gives DRIVE_NO_ROOT_DIR for it.
using DriveRootTable = std::array<std::string, 26>;
const DriveRootTable& DriveRoots();

// Letter number (0..25) of a program-form path "X:\...", or -1.
int LetterOf(const std::string& programPath);

// Reads the drive map file and /proc/self/mountinfo, keeps the letters whose
// directories exist, gives every qualifying mount without a letter the lowest
// free letter from D: upward (C: is "/" unless the map says otherwise), and
// writes the map back (failure ignored). A root spelled with "." or ".."
// names is taken as its canonical path, or leaves its letter free when it
// has none (the folder is missing).
void DetectDriveMap();

// The drive map file's name: the executable's base path + ".drv".
//
// Lines 26 to 51 mark the letters that detection gave to a mount ("mount" on
// line 26+n): such a letter is in use only while something is mounted on its
// root, so an unmounted stick whose mount point stays behind as an empty
// folder does not turn into a folder of the root file system. Letters the
// user set (no mark) are in use while their directory exists.
std::string DriveMapFileName();

// Puts a native directory into the drive map as a user's letter (empty frees
// the letter) and writes the map. 1 when the map file could be written; 0
// also for a directory spelled with "." or ".." that does not exist.
int SetDriveMapEntry(int letter, const std::string& nativeDir);

// ---- mount table, exposed for the detection's tests ----

struct MountEntry {
    int Id = 0;
    int ParentId = 0;
    unsigned Major = 0;
    unsigned Minor = 0;
    std::string Root;       // the directory of the file system that is mounted
    std::string MountPoint; // unescaped
    std::string Type;       // "ext4", "fuse.sshfs"
    std::string Source;     // unescaped: "/dev/sda1", "server:/export"
    std::string Options;    // per-mount and super-block options, comma-separated
};

// Parses the text of /proc/<pid>/mountinfo; damaged lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Whether a mount is a volume of its own that deserves a letter.
bool QualifyingMount(const MountEntry& mount);

struct DriveMap {
    DriveRootTable Roots;
    std::array<bool, 26> MountLetter{};
};
// The letter assignment of DetectDriveMap over given map lines (26 roots,
// then the 26 marks) and mounts, without touching the disk.
// Letters set in reserved are given to no mount: they hold an imported scan
// (a cache with no root on this machine, marked by "NRVS_<letter>.imp"
// beside the executable), which a mount would take over.
DriveMap AssignLetters(const std::vector<std::string>& mapLines,
                       const std::vector<MountEntry>& mounts,
                       const std::array<bool, 26>& reserved = {});
// The 52 lines the map file holds for a map.
std::vector<std::string> DriveMapLines(const DriveMap& map);

uint32_t GetDriveTypeA(const std::string& rootPath);

// The block device of a drive ("/dev/sdb1") and the mount point holding its
// root; empty when the drive is not in use or has no block device.
std::string DriveDevice(const std::string& rootPath);
std::string DriveMountPoint(const std::string& rootPath);
// The mount point of the volume a drive's root lies inside when that root is
// a folder of the volume and not the volume's own root (a folder given a
// letter); empty at a volume's root and when the drive is not in use. The
// volume's figures (GetDiskFreeSpaceExA) are then that volume's, not the
// folder's. On Windows only a SUBST or mapped folder is such a root.
std::string FolderVolume(const std::string& rootPath);
// Which volume (file system) holds the drive's root: equal for letters on
// one volume (a folder given a letter, a bind mount), 0 when the drive is
// not in use.
uint64_t DriveVolumeId(const std::string& rootPath);

struct VolumeInformation {
    std::string VolumeName;
    std::string FileSystemName;
    uint32_t SerialNumber = 0;
    uint32_t MaxComponentLength = 0;
    uint32_t FileSystemFlags = 0;
};
// 1 on success, 0 when the root is missing or its file system cannot be asked.
int GetVolumeInformationA(const std::string& rootPath, VolumeInformation& info);

struct DiskFreeSpace {
    uint32_t SectorsPerCluster = 0;
    uint32_t BytesPerSector = 0;
    uint32_t FreeClusters = 0;
    uint32_t TotalClusters = 0;
};
int GetDiskFreeSpaceA(const std::string& rootPath, DiskFreeSpace& space);
// Total bytes of the whole volume and the free bytes an ordinary user can
// still write (df's "Avail": without the blocks kept for root).
int GetDiskFreeSpaceExA(const std::string& rootPath, uint64_t& totalBytes, uint64_t& freeBytes);

} // namespace nrvs::platform
