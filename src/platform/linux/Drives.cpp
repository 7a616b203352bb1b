#include "platform/Drives.h"

#include "platform/FileAccess.h"
#include "platform/LineFiles.h"
#include "platform/ProgramLocation.h"

#include <blkid/blkid.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

// What detection found last; the volume services look mounts up here and read
// the mount table again only when a root's mount is not in it.
struct State {
    DriveMap Map;
    std::vector<MountEntry> Mounts;
};
State& Current() {
    static State state;
    return state;
}

constexpr const char* kMountMark = "mount";

// ---- paths ----

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Whether path is dir itself or lies below it; both are normalised paths.
bool IsAtOrBelow(std::string_view path, std::string_view dir) {
    if (dir == "/") return StartsWith(path, "/");
    return path == dir ||
           (StartsWith(path, dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// Collapses repeated slashes and drops the trailing one so that map lines and
// mount points compare as strings.
std::string Normalised(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string RealPath(const std::string& path) {
    char* r = ::realpath(path.c_str(), nullptr);
    if (!r) return {};
    std::string s(r);
    std::free(r);
    return s;
}

std::string BaseName(std::string_view path) {
    size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool ReadSmallFile(const std::string& path, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        out.append(buf, static_cast<size_t>(n));
    }
}

long long ReadSysNumber(const std::string& path, long long def) {
    std::string text;
    if (!ReadSmallFile(path, text)) return def;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str()) return def;
    return v;
}

// ---- mount table ----

// mountinfo escapes blank, tab, newline and backslash as three octal digits.
std::string Unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            auto oct = [](char c) { return c >= '0' && c <= '7'; };
            if (oct(field[i + 1]) && oct(field[i + 2]) && oct(field[i + 3])) {
                int v = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
                if (v > 0 && v < 256) {
                    out.push_back(static_cast<char>(v));
                    i += 3;
                    continue;
                }
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool ParseUnsigned(std::string_view text, unsigned& out) {
    if (text.empty() || text.size() > 9) return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = v;
    return true;
}

bool ParseMountLine(std::string_view line, MountEntry& m) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t sp = line.find(' ', pos);
        if (sp == std::string_view::npos) sp = line.size();
        if (sp > pos) fields.push_back(line.substr(pos, sp - pos));
        pos = sp + 1;
    }
    // id parent major:minor root mount-point options [optional...] - type source super-options
    size_t dash = 0;
    for (size_t i = 6; i < fields.size(); ++i) {
        if (fields[i] == "-") {
            dash = i;
            break;
        }
    }
    if (dash == 0 || dash + 2 >= fields.size()) return false;
    unsigned id = 0, parent = 0;
    if (!ParseUnsigned(fields[0], id) || !ParseUnsigned(fields[1], parent)) return false;
    size_t colon = fields[2].find(':');
    if (colon == std::string_view::npos || !ParseUnsigned(fields[2].substr(0, colon), m.Major) ||
        !ParseUnsigned(fields[2].substr(colon + 1), m.Minor))
        return false;
    m.Id = static_cast<int>(id);
    m.ParentId = static_cast<int>(parent);
    m.Root = Unescaped(fields[3]);
    m.MountPoint = Unescaped(fields[4]);
    m.Type = Unescaped(fields[dash + 1]);
    m.Source = Unescaped(fields[dash + 2]);
    m.Options = std::string(fields[5]);
    if (dash + 3 < fields.size()) m.Options += "," + std::string(fields[dash + 3]);
    return !m.MountPoint.empty() && m.MountPoint[0] == '/';
}

std::vector<MountEntry> ReadMounts() {
    std::string text;
    if (!ReadSmallFile("/proc/self/mountinfo", text)) return {};
    return ParseMountInfo(text);
}

bool IsNetworkType(std::string_view type) {
    static const char* const kNetwork[] = {"nfs",        "nfs4", "cifs", "smb3",      "smbfs",
                                           "fuse.sshfs", "9p",   "ceph", "glusterfs", "fuse.davfs"};
    for (const char* t : kNetwork)
        if (type == t) return true;
    return false;
}

bool IsRamType(std::string_view type) {
    return type == "tmpfs" || type == "ramfs";
}
bool IsOpticalType(std::string_view type) {
    return type == "iso9660" || type == "udf";
}

bool ExcludedMountPoint(std::string_view mp) {
    static const char* const kExcluded[] = {"/proc",
                                            "/sys",
                                            "/dev",
                                            "/run",
                                            "/snap",
                                            "/boot",
                                            "/var/lib/docker",
                                            "/var/lib/containers"};
    if (IsAtOrBelow(mp, "/run/media") && mp != "/run/media") return false;
    for (const char* e : kExcluded)
        if (IsAtOrBelow(mp, e)) return true;
    return false;
}

// ---- drives ----

struct ResolvedDrive {
    std::string Root; // native root as the map names it
    MountEntry Mount; // the mount holding the root
};

bool FindMount(const std::vector<MountEntry>& mounts, int id, const std::string& canon,
               MountEntry& out) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (it->Id == id && IsAtOrBelow(canon, it->MountPoint)) {
            out = *it;
            return true;
        }
    }
    return false;
}

// Without mount ids (old kernels): the deepest mount point above the path; of
// mounts stacked on one point the last is the visible one.
bool FindMountByPath(const std::vector<MountEntry>& mounts, const std::string& canon,
                     MountEntry& out) {
    size_t best = 0;
    bool found = false;
    for (const auto& m : mounts) {
        if (IsAtOrBelow(canon, m.MountPoint) && (!found || m.MountPoint.size() >= best)) {
            out = m;
            best = m.MountPoint.size();
            found = true;
        }
    }
    return found;
}

// The drive behind a program-form root, when its letter is in use: its root
// directory exists and, for a letter given to a mount, something is mounted
// there.
bool Resolve(const std::string& rootPath, ResolvedDrive& drive) {
    int n = LetterOf(rootPath);
    if (n < 0) return false;
    State& st = Current();
    drive.Root = st.Map.Roots[static_cast<size_t>(n)];
    if (drive.Root.empty()) return false;

    struct statx sx {};
    // Never wait for a network server to flush attributes just to learn the mount.
    if (::statx(AT_FDCWD, drive.Root.c_str(), AT_STATX_DONT_SYNC, STATX_TYPE | STATX_MNT_ID, &sx) !=
        0)
        return false;
    if (!S_ISDIR(sx.stx_mode)) return false;
    std::string canon = RealPath(drive.Root);
    if (canon.empty()) return false;

    bool found = false;
    if (sx.stx_mask & STATX_MNT_ID) {
        int id = static_cast<int>(sx.stx_mnt_id);
        found = FindMount(st.Mounts, id, canon, drive.Mount);
        if (!found) {
            st.Mounts = ReadMounts();
            found = FindMount(st.Mounts, id, canon, drive.Mount);
        }
    } else {
        st.Mounts = ReadMounts();
    }
    if (!found) found = FindMountByPath(st.Mounts, canon, drive.Mount);
    if (!found) return false;
    if (st.Map.MountLetter[static_cast<size_t>(n)] && drive.Mount.MountPoint != canon) return false;
    return true;
}

// Whether a root can stand on a line of the map file.
bool Mappable(std::string_view root) {
    return root.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool IsBlockSource(const MountEntry& m) {
    return StartsWith(m.Source, "/dev/");
}

// The device's folder in sysfs, resolved, and that of the whole disk when the
// device is a partition; empty when there is none.
void SysBlockDirs(const MountEntry& m, std::string& dev, std::string& disk) {
    dev.clear();
    disk.clear();
    if (IsBlockSource(m)) {
        std::string node = RealPath(m.Source);
        if (!node.empty()) dev = RealPath("/sys/class/block/" + BaseName(node));
    }
    if (dev.empty() && m.Major != 0)
        dev = RealPath("/sys/dev/block/" + std::to_string(m.Major) + ":" + std::to_string(m.Minor));
    if (dev.empty()) return;
    if (::access((dev + "/partition").c_str(), F_OK) == 0)
        disk = dev.substr(0, dev.find_last_of('/'));
}

uint32_t DriveTypeOf(const MountEntry& m) {
    if (IsOpticalType(m.Type) || StartsWith(m.Source, "/dev/sr")) return DRIVE_CDROM;
    if (IsNetworkType(m.Type)) return DRIVE_REMOTE;
    if (IsRamType(m.Type)) return DRIVE_RAMDISK;
    if (IsBlockSource(m)) {
        std::string dev, disk;
        SysBlockDirs(m, dev, disk);
        if (!dev.empty()) {
            long long removable = ReadSysNumber(dev + "/removable", -1);
            if (removable < 0 && !disk.empty()) removable = ReadSysNumber(disk + "/removable", -1);
            if (removable == 1) return DRIVE_REMOVABLE;
            if (dev.find("/usb") != std::string::npos) return DRIVE_REMOVABLE;
        }
    }
    return DRIVE_FIXED;
}

uint32_t LogicalSectorSize(const MountEntry& m) {
    std::string dev, disk;
    SysBlockDirs(m, dev, disk);
    long long size = -1;
    if (!dev.empty()) size = ReadSysNumber(dev + "/queue/logical_block_size", -1);
    if (size <= 0 && !disk.empty()) size = ReadSysNumber(disk + "/queue/logical_block_size", -1);
    if (size <= 0 || size > 65536) return 512;
    return static_cast<uint32_t>(size);
}

// udev escapes odd bytes in /dev/disk/by-label names as \xHH.
std::string UdevUnescaped(std::string_view name) {
    std::string out;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out.push_back(static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3])));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

// The name under /dev/disk/<folder> whose link leads to the device node.
std::string UdevLinkName(const std::string& folder, const std::string& node) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return {};
    std::string result;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        if (RealPath(folder + "/" + e->d_name) == node) {
            result = UdevUnescaped(e->d_name);
            break;
        }
    }
    ::closedir(d);
    return result;
}

// Label and UUID of a block device: read from the superblock when the device
// can be opened (root), else from the links udev keeps for everybody.
void ProbeVolume(const std::string& source, std::string& label, std::string& uuid) {
    label.clear();
    uuid.clear();
    std::string node = RealPath(source);
    if (node.empty()) return;
    if (blkid_probe pr = blkid_new_probe_from_filename(node.c_str())) {
        blkid_probe_enable_superblocks(pr, 1);
        blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                                  BLKID_SUBLKS_TYPE);
        if (blkid_do_safeprobe(pr) == 0) {
            const char* value = nullptr;
            size_t len = 0;
            if (blkid_probe_lookup_value(pr, "LABEL", &value, &len) == 0 && value) label = value;
            if (blkid_probe_lookup_value(pr, "UUID", &value, &len) == 0 && value) uuid = value;
        }
        blkid_free_probe(pr);
        return;
    }
    label = UdevLinkName("/dev/disk/by-label", node);
    uuid = UdevLinkName("/dev/disk/by-uuid", node);
}

// The first eight hex digits of a UUID, hyphens left out; false when it has fewer.
bool SerialFromUuid(std::string_view uuid, uint32_t& serial) {
    uint32_t v = 0;
    int digits = 0;
    for (char c : uuid) {
        if (digits == 8) break;
        if (c == '-') continue;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * 16 + static_cast<uint32_t>(d);
        ++digits;
    }
    if (digits < 8) return false;
    serial = v;
    return true;
}

// What each file system supports, in the terms of the volume flags.
uint32_t FlagsOfType(std::string_view type) {
    constexpr uint32_t kPosix = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES |
                                FILE_UNICODE_ON_DISK | FILE_SUPPORTS_REPARSE_POINTS;
    constexpr uint32_t kAcl = FILE_PERSISTENT_ACLS;
    constexpr uint32_t kSparse = FILE_SUPPORTS_SPARSE_FILES;
    constexpr uint32_t kQuota = FILE_VOLUME_QUOTAS;
    constexpr uint32_t kCompress = FILE_FILE_COMPRESSION;
    constexpr uint32_t kCrypt = FILE_SUPPORTS_ENCRYPTION;
    struct Entry {
        const char* type;
        uint32_t flags;
    };
    static const Entry kTable[] = {
        {"ext4", kPosix | kAcl | kSparse | kQuota | kCrypt},
        {"ext3", kPosix | kAcl | kSparse | kQuota},
        {"ext2", kPosix | kAcl | kSparse | kQuota},
        {"xfs", kPosix | kAcl | kSparse | kQuota},
        {"btrfs", kPosix | kAcl | kSparse | kQuota | kCompress},
        {"f2fs", kPosix | kAcl | kSparse | kQuota | kCompress | kCrypt},
        {"zfs", kPosix | kAcl | kSparse | kQuota | kCompress | kCrypt},
        {"bcachefs", kPosix | kAcl | kSparse | kQuota | kCompress | kCrypt},
        {"jfs", kPosix | kAcl | kSparse | kQuota},
        {"reiserfs", kPosix | kAcl | kSparse | kQuota},
        {"nilfs2", kPosix | kSparse},
        {"erofs", kPosix | kCompress},
        {"tmpfs", kPosix | kAcl | kSparse},
        {"ramfs", kPosix},
        {"overlay", kPosix | kAcl | kSparse},
        {"ntfs", kPosix | kAcl | kSparse | kCompress},
        {"ntfs3", kPosix | kAcl | kSparse | kCompress},
        {"fuseblk", kPosix | kSparse},
        {"vfat", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
        {"exfat", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
        {"msdos", 0},
        {"hfsplus", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
                        FILE_SUPPORTS_REPARSE_POINTS | kCompress},
        {"iso9660", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
        {"udf", FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
        {"nfs", kPosix | kAcl | kSparse},
        {"nfs4", kPosix | kAcl | kSparse},
        {"cifs", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | kAcl | kSparse |
                     FILE_SUPPORTS_REPARSE_POINTS},
        {"smb3", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | kAcl | kSparse |
                     FILE_SUPPORTS_REPARSE_POINTS},
        {"smbfs", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
        {"fuse.sshfs", kPosix},
        {"9p", kPosix},
        {"ceph", kPosix | kAcl | kSparse | kQuota},
        {"glusterfs", kPosix | kAcl | kSparse},
        {"fuse.davfs",
         FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
    };
    for (const auto& e : kTable)
        if (type == e.type) return e.flags;
    return FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
}

bool StatVolume(const std::string& root, struct statvfs& sv) {
    for (;;) {
        if (::statvfs(root.c_str(), &sv) == 0) return true;
        if (errno != EINTR) return false;
    }
}

uint32_t Clamp32(unsigned long long v) {
    return v > 4294967295ULL ? 4294967295U : static_cast<uint32_t>(v);
}

unsigned long long FragmentSize(const struct statvfs& sv) {
    return sv.f_frsize ? sv.f_frsize : sv.f_bsize;
}

} // namespace

// ---- mount table ----

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        MountEntry m;
        if (ParseMountLine(text.substr(pos, nl - pos), m)) mounts.push_back(std::move(m));
        pos = nl + 1;
    }
    return mounts;
}

bool QualifyingMount(const MountEntry& m) {
    if (m.MountPoint == "/") return true;
    if (ExcludedMountPoint(m.MountPoint)) return false;
    if (IsBlockSource(m)) return m.Type != "squashfs";
    return IsNetworkType(m.Type) || IsRamType(m.Type) || IsOpticalType(m.Type);
}

DriveMap AssignLetters(const std::vector<std::string>& mapLines,
                       const std::vector<MountEntry>& mounts,
                       const std::array<bool, 26>& reserved) {
    DriveMap map;
    for (size_t n = 0; n < 26; ++n) {
        if (n >= mapLines.size()) break;
        const std::string& line = mapLines[n];
        // Only an absolute path can name a root: a relative one would depend on
        // the working folder, and junk would block its letter for good.
        if (line.empty() || line[0] != '/' || !Mappable(line) || line.size() >= PATH_MAX) continue;
        map.Roots[n] = Normalised(line);
        map.MountLetter[n] = 26 + n < mapLines.size() && mapLines[26 + n] == kMountMark;
    }
    bool rootLettered = false;
    for (const auto& r : map.Roots)
        rootLettered = rootLettered || r == "/";
    if (map.Roots[2].empty() && !rootLettered && !reserved[2]) {
        map.Roots[2] = "/";
        map.MountLetter[2] = true;
    }

    // Volumes that already have a letter: the mounts sitting on a letter's root.
    struct Lettered {
        unsigned major, minor;
        std::string root;
    };
    std::vector<Lettered> lettered;
    auto letterOf = [&](const std::string& mp) {
        for (size_t n = 0; n < 26; ++n)
            if (map.Roots[n] == mp) return static_cast<int>(n);
        return -1;
    };
    for (const auto& m : mounts)
        if (letterOf(m.MountPoint) >= 0) lettered.push_back({m.Major, m.Minor, m.Root});

    for (const auto& m : mounts) {
        if (!QualifyingMount(m) || letterOf(m.MountPoint) >= 0) continue;
        // The map holds one root per line: a mount point whose name holds a
        // line break cannot be written there without shifting every letter
        // after it, so it gets none.
        if (!Mappable(m.MountPoint)) continue;
        // A bind mount shows part of a volume that is lettered already. Other
        // subtrees of the same device (btrfs subvolumes mounted side by side)
        // are not reachable through that letter and get their own.
        bool shown = false;
        for (const auto& l : lettered)
            shown =
                shown || (l.major == m.Major && l.minor == m.Minor && IsAtOrBelow(m.Root, l.root));
        if (shown) continue;
        for (size_t n = 3; n < 26; ++n) {
            if (map.Roots[n].empty() && !reserved[n]) {
                map.Roots[n] = m.MountPoint;
                map.MountLetter[n] = true;
                lettered.push_back({m.Major, m.Minor, m.Root});
                break;
            }
        }
    }
    return map;
}

std::vector<std::string> DriveMapLines(const DriveMap& map) {
    std::vector<std::string> lines(52);
    for (size_t n = 0; n < 26; ++n) {
        if (!Mappable(map.Roots[n])) continue;
        lines[n] = map.Roots[n];
        if (!map.Roots[n].empty() && map.MountLetter[n]) lines[26 + n] = kMountMark;
    }
    return lines;
}

// ---- drive map ----

const DriveRootTable& DriveRoots() {
    return Current().Map.Roots;
}

// A root spelled with "." or ".." names its folder in a way no other path
// compares equal to: it is replaced by its canonical path, or left out (the
// letter stays free) when that cannot be found. Other roots keep the spelling
// the user chose, a link among them; a missing one is a letter not in use.
namespace {
bool CanonicalRoot(std::string& root) {
    bool dots = false;
    for (size_t start = 0; start <= root.size() && !dots;) {
        size_t end = root.find('/', start);
        if (end == std::string::npos) end = root.size();
        std::string_view name = std::string_view(root).substr(start, end - start);
        dots = name == "." || name == "..";
        start = end + 1;
    }
    if (!dots) return true;
    root = RealPath(root);
    return !root.empty();
}
} // namespace

void DetectDriveMap() {
    State& st = Current();
    std::vector<std::string> lines;
    ReadFileLines(DriveMapFileName(), lines);
    for (size_t n = 0; n < 26 && n < lines.size(); ++n)
        if (!lines[n].empty() && lines[n][0] == '/' && !CanonicalRoot(lines[n])) lines[n].clear();
    st.Mounts = ReadMounts();
    std::array<bool, 26> imported{};
    // Imports are noted where the caches are (beside the executable, or the
    // user's data folder of an installed copy).
    const std::string dir = ProgramFileFolders().Data;
    for (size_t n = 0; n < 26; ++n) {
        const std::string note =
            dir + "NRVS_" + std::string(1, static_cast<char>('A' + n)) + ".imp";
        struct stat s {};
        imported[n] = ::lstat(note.c_str(), &s) == 0 && S_ISREG(s.st_mode);
    }
    st.Map = AssignLetters(lines, st.Mounts, imported);
    std::vector<std::string> out = DriveMapLines(st.Map);
    if (out != lines) ReplaceFileWithLines(DriveMapFileName(), out);
}

int SetDriveMapEntry(int letter, const std::string& nativeDir) {
    if (letter < 0 || letter > 25) return 0;
    if (!nativeDir.empty() && (nativeDir[0] != '/' || !Mappable(nativeDir))) return 0;
    std::string root = nativeDir;
    if (!root.empty() && !CanonicalRoot(root)) return 0;
    DetectDriveMap();
    State& st = Current();
    st.Map.Roots[static_cast<size_t>(letter)] = root.empty() ? std::string() : Normalised(root);
    st.Map.MountLetter[static_cast<size_t>(letter)] = false;
    return ReplaceFileWithLines(DriveMapFileName(), DriveMapLines(st.Map)) ? 1 : 0;
}

// ---- volume services ----

uint32_t GetDriveTypeA(const std::string& rootPath) {
    ResolvedDrive d;
    if (!Resolve(rootPath, d)) return DRIVE_NO_ROOT_DIR;
    return DriveTypeOf(d.Mount);
}

std::string DriveDevice(const std::string& rootPath) {
    ResolvedDrive d;
    if (!Resolve(rootPath, d) || !IsBlockSource(d.Mount)) return {};
    return d.Mount.Source;
}

uint64_t DriveVolumeId(const std::string& rootPath) {
    ResolvedDrive d;
    if (!Resolve(rootPath, d)) return 0;
    return (uint64_t{d.Mount.Major} << 32 | d.Mount.Minor) + 1;
}

std::string DriveMountPoint(const std::string& rootPath) {
    ResolvedDrive d;
    return Resolve(rootPath, d) ? d.Mount.MountPoint : std::string();
}

std::string FolderVolume(const std::string& rootPath) {
    ResolvedDrive d;
    if (!Resolve(rootPath, d)) return {};
    const std::string canon = RealPath(d.Root);
    return canon.empty() || canon == d.Mount.MountPoint ? std::string() : d.Mount.MountPoint;
}

int GetVolumeInformationA(const std::string& rootPath, VolumeInformation& info) {
    ResolvedDrive d;
    struct statvfs sv {};
    if (!Resolve(rootPath, d) || !StatVolume(d.Root, sv)) return 0;
    const MountEntry& m = d.Mount;
    std::string label, uuid;
    if (IsBlockSource(m)) ProbeVolume(m.Source, label, uuid);
    if (IsNetworkType(m.Type))
        label = m.Source;
    else if (IsRamType(m.Type))
        label = BaseName(m.MountPoint);
    info.VolumeName = label;
    info.FileSystemName = m.Type;
    uint32_t serial = 0;
    if (!SerialFromUuid(uuid, serial)) serial = static_cast<uint32_t>(sv.f_fsid & 0xffffffffUL);
    info.SerialNumber = serial;
    info.MaxComponentLength = static_cast<uint32_t>(sv.f_namemax);
    info.FileSystemFlags =
        FlagsOfType(m.Type) | ((sv.f_flag & ST_RDONLY) ? uint32_t{FILE_READ_ONLY_VOLUME} : 0u);
    return 1;
}

int GetDiskFreeSpaceA(const std::string& rootPath, DiskFreeSpace& space) {
    ResolvedDrive d;
    struct statvfs sv {};
    if (!Resolve(rootPath, d) || !StatVolume(d.Root, sv)) return 0;
    unsigned long long frsize = FragmentSize(sv);
    uint32_t sector = LogicalSectorSize(d.Mount);
    // The cluster is the unit measurements round to, so it must come out as the
    // fragment size even where that is no multiple of the device's sectors.
    if (frsize != 0 && (frsize < sector || frsize % sector != 0))
        sector = static_cast<uint32_t>(frsize);
    space.BytesPerSector = sector;
    space.SectorsPerCluster = std::max<uint32_t>(1, Clamp32(frsize / sector));
    space.TotalClusters = Clamp32(sv.f_blocks);
    // What an ordinary user can still write, as the free bytes below.
    space.FreeClusters = Clamp32(sv.f_bavail);
    return 1;
}

int GetDiskFreeSpaceExA(const std::string& rootPath, uint64_t& totalBytes, uint64_t& freeBytes) {
    ResolvedDrive d;
    struct statvfs sv {};
    if (!Resolve(rootPath, d) || !StatVolume(d.Root, sv)) return 0;
    unsigned long long frsize = FragmentSize(sv);
    totalBytes = static_cast<uint64_t>(sv.f_blocks) * frsize;
    // The blocks only root may use are no free space to the user: df's
    // "Avail". They count with the space the file system keeps (the
    // reserved row of a drive's root).
    freeBytes = static_cast<uint64_t>(sv.f_bavail) * frsize;
    return 1;
}

} // namespace nrvs::platform
