#include "platform/FolderEntries.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform {

namespace {

constexpr size_t kReadBuffer = kFolderReadBuffer;
constexpr int kStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

int Fd(const Folder& f) {
    return static_cast<int>(f.Handle());
}

int OpenDirAt(int dirFd, const char* name) {
    int fd;
    do {
        fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

uint32_t AttributesOf(const struct statx& st, std::string_view name) {
    uint32_t a = 0;
    const mode_t mode = st.stx_mode;
    if (S_ISDIR(mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
    if (!name.empty() && name.front() == '.') a |= FILE_ATTRIBUTE_HIDDEN;
    if (!(mode & S_IWUSR) || (st.stx_attributes & STATX_ATTR_IMMUTABLE))
        a |= FILE_ATTRIBUTE_READONLY;
    if (S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode))
        a |= FILE_ATTRIBUTE_SYSTEM;
    if (st.stx_attributes & STATX_ATTR_COMPRESSED) a |= FILE_ATTRIBUTE_COMPRESSED;
    if (S_ISREG(mode) && st.stx_blocks * 512 < st.stx_size) a |= FILE_ATTRIBUTE_SPARSE_FILE;
    return a;
}

void FillFrom(const struct statx& st, std::string_view name, FindData& out,
              uint64_t parentMountId) {
    out.Attributes = AttributesOf(st, name);
    const mode_t mode = st.stx_mode;
    out.Size = (S_ISREG(mode) || S_ISLNK(mode)) ? st.stx_size : 0;
    out.Links = S_ISREG(mode) && (st.stx_mask & STATX_NLINK) ? st.stx_nlink : 1;
    out.Device = (static_cast<uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    out.Inode = st.stx_ino;
    out.Allocated = (S_ISREG(mode) || S_ISLNK(mode)) ? st.stx_blocks * 512 : 0;
    out.ModifiedTime = (st.stx_mask & STATX_MTIME) ? st.stx_mtime.tv_sec : 0;
    out.Executable = S_ISREG(mode) && (mode & 0111) != 0;
    out.MountRoot = false;
    if (S_ISDIR(mode)) {
        if (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
            out.MountRoot = (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        else if ((st.stx_mask & STATX_MNT_ID) && parentMountId)
            out.MountRoot = st.stx_mnt_id != parentMountId;
    }
}

constexpr unsigned kFolderStatMask = STATX_MODE | STATX_INO | STATX_MNT_ID;

void FolderStatFrom(const struct statx& st, FolderStat& out) {
    out.ReadOnly = !(st.stx_mode & S_IWUSR) || (st.stx_attributes & STATX_ATTR_IMMUTABLE);
    out.MountId = (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
    out.MountRoot = (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                    (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    out.Id.Volume = (static_cast<uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    out.Id.Index = st.stx_ino;
}

std::string BaseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool StatNamed(int dirFd, const char* name, std::string_view view, FindData& out,
               uint64_t parentMountId) {
    struct statx st {};
    unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS | STATX_MNT_ID |
                    STATX_NLINK | STATX_INO | STATX_MTIME;
    if (::statx(dirFd, name, kStatFlags, mask, &st) != 0) return false;
    FillFrom(st, view, out, parentMountId);
    return true;
}

} // namespace

Folder::Folder(std::intptr_t handle, std::string path)
    : handle_(handle < 0 ? kNoHandle : handle), path_(std::move(path)) {}
Folder::~Folder() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}
Folder::Folder(Folder&& o) noexcept : handle_(o.handle_), path_(std::move(o.path_)) {
    o.handle_ = kNoHandle;
}
Folder& Folder::operator=(Folder&& o) noexcept {
    if (this != &o) {
        if (handle_ >= 0) ::close(static_cast<int>(handle_));
        handle_ = o.handle_;
        path_ = std::move(o.path_);
        o.handle_ = kNoHandle;
    }
    return *this;
}

Folder Folder::Open(const std::string& nativePath) {
    if (nativePath.empty()) return Folder();
    if (nativePath.size() < PATH_MAX) return Folder(OpenDirAt(AT_FDCWD, nativePath.c_str()));
    // Too long for one call: walk down name by name.
    Folder cur(OpenDirAt(AT_FDCWD, nativePath.front() == '/' ? "/" : "."));
    size_t start = 0;
    while (cur.Valid() && start < nativePath.size()) {
        size_t end = nativePath.find('/', start);
        if (end == std::string::npos) end = nativePath.size();
        if (end > start)
            cur = cur.OpenChild(std::string_view(nativePath).substr(start, end - start));
        start = end + 1;
    }
    return cur;
}

Folder Folder::OpenChild(std::string_view name) const {
    if (!Valid() || name.empty() || name.size() > NAME_MAX) return Folder();
    char buf[NAME_MAX + 1];
    std::memcpy(buf, name.data(), name.size());
    buf[name.size()] = 0;
    return Folder(OpenDirAt(Fd(*this), buf));
}

Folder Folder::OpenParent() const {
    if (!Valid()) return Folder();
    return Folder(::openat(Fd(*this), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

uint64_t Folder::MountId() const {
    struct statx st {};
    if (!Valid() ||
        ::statx(Fd(*this), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &st) != 0)
        return 0;
    return (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
}

bool Folder::Stat(FolderStat& out) const {
    struct statx st {};
    if (!Valid() ||
        ::statx(Fd(*this), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kFolderStatMask, &st) != 0)
        return false;
    FolderStatFrom(st, out);
    return true;
}

bool Folder::StatChild(std::string_view name, FolderStat& out) const {
    if (!Valid() || name.empty() || name.size() > NAME_MAX) return false;
    char buf[NAME_MAX + 1];
    std::memcpy(buf, name.data(), name.size());
    buf[name.size()] = 0;
    struct statx st {};
    if (::statx(Fd(*this), buf, kStatFlags, kFolderStatMask, &st) != 0) return false;
    FolderStatFrom(st, out);
    return true;
}

bool StatFolderPath(const std::string& nativePath, FolderStat& out) {
    struct statx st {};
    if (nativePath.size() < PATH_MAX) {
        if (::statx(AT_FDCWD, nativePath.c_str(), kStatFlags, kFolderStatMask, &st) != 0)
            return false;
        FolderStatFrom(st, out);
        return true;
    }
    std::string p = nativePath;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return false;
    return Folder::Open(p.substr(0, slash + 1))
        .StatChild(std::string_view(p).substr(slash + 1), out);
}

size_t DirectPathLength() {
    return PATH_MAX - 1;
}

long long DeviceReadBytes() {
    // The block input count is the process's storage reads in 512-byte
    // units (the read_bytes of /proc/self/io), for one call instead of an
    // open, read and close: the walk asks every few milliseconds.
    struct rusage usage {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return -1;
    return static_cast<long long>(usage.ru_inblock) * 512;
}

FolderReader::FolderReader(const Folder& folder, bool statDirs)
    : FolderReader(folder, statDirs, nullptr) {}

FolderReader::FolderReader(const Folder& folder, bool statDirs, char* buffer)
    : folder_(folder), statDirs_(statDirs), mountId_(statDirs ? folder.MountId() : 0),
      own_(buffer ? nullptr : new char[kReadBuffer]), buf_(buffer ? buffer : own_.get()) {
    end_ = !folder.Valid();
}

FolderReader::~FolderReader() = default;

bool FolderReader::Fill() {
    for (;;) {
        long n = ::syscall(SYS_getdents64, Fd(folder_), buf_, kReadBuffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            end_ = true;
            return false;
        }
        len_ = n;
        pos_ = 0;
        return true;
    }
}

bool FolderReader::Next(FindData& out) {
    while (!end_) {
        if (pos_ >= len_ && !Fill()) return false;
        auto* d = reinterpret_cast<LinuxDirent64*>(buf_ + pos_);
        pos_ += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        std::string_view nv(name);
        out.Name = nv;
        if (d->d_type == DT_DIR && !statDirs_) {
            out.Attributes =
                FILE_ATTRIBUTE_DIRECTORY | (name[0] == '.' ? uint32_t(FILE_ATTRIBUTE_HIDDEN) : 0u);
            out.Size = out.Allocated = 0;
            out.ModifiedTime = 0;
            out.Executable = false;
            out.MountRoot = false;
            return true;
        }
        if (!StatNamed(Fd(folder_), name, nv, out, mountId_)) continue;
        out.Name = nv;
        return true;
    }
    return false;
}

bool StatEntry(const Folder& folder, std::string_view name, FindData& out, uint64_t parentMountId) {
    if (!folder.Valid() || name.empty() || name.size() > NAME_MAX) return false;
    char buf[NAME_MAX + 1];
    std::memcpy(buf, name.data(), name.size());
    buf[name.size()] = 0;
    return StatNamed(Fd(folder), buf, name, out, parentMountId);
}

uint32_t GetFileAttributesA(const std::string& nativePath) {
    struct statx st {};
    unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS;
    int rc;
    if (nativePath.size() < PATH_MAX) {
        rc = ::statx(AT_FDCWD, nativePath.c_str(), kStatFlags, mask, &st);
    } else {
        std::string p = nativePath;
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        size_t slash = p.find_last_of('/');
        Folder parent = Folder::Open(p.substr(0, slash + 1));
        if (!parent.Valid()) return INVALID_FILE_ATTRIBUTES;
        rc = ::statx(Fd(parent), p.c_str() + slash + 1, kStatFlags, mask, &st);
    }
    if (rc != 0) return INVALID_FILE_ATTRIBUTES;
    return AttributesOf(st, BaseName(nativePath));
}

bool GetCompressedFileSizeA(const std::string& nativePath, uint64_t& allocated) {
    struct statx st {};
    std::string p = nativePath;
    Folder parent;
    int dirFd = AT_FDCWD;
    if (p.size() >= PATH_MAX) {
        size_t slash = p.find_last_of('/');
        parent = Folder::Open(p.substr(0, slash + 1));
        if (!parent.Valid()) return false;
        dirFd = Fd(parent);
        p = p.substr(slash + 1);
    }
    if (::statx(dirFd, p.c_str(), kStatFlags, STATX_BLOCKS, &st) != 0) return false;
    allocated = st.stx_blocks * 512;
    return true;
}

namespace {

std::string UserText(uid_t uid) {
    std::vector<char> buf(16384);
    struct passwd pw {
    }, *res = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &res) == 0 && res)
        return std::string(res->pw_name) + " (" + std::to_string(uid) + ")";
    return std::to_string(uid);
}

std::string GroupText(gid_t gid) {
    std::vector<char> buf(16384);
    struct group gr {
    }, *res = nullptr;
    if (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &res) == 0 && res)
        return std::string(res->gr_name) + " (" + std::to_string(gid) + ")";
    return std::to_string(gid);
}

ItemDetails::Kinds KindOf(unsigned mode) {
    if (S_ISDIR(mode)) return ItemDetails::KIND_FOLDER;
    if (S_ISREG(mode)) return ItemDetails::KIND_FILE;
    if (S_ISLNK(mode)) return ItemDetails::KIND_LINK;
    if (S_ISFIFO(mode)) return ItemDetails::KIND_FIFO;
    if (S_ISSOCK(mode)) return ItemDetails::KIND_SOCKET;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return ItemDetails::KIND_DEVICE;
    return ItemDetails::KIND_OTHER;
}

} // namespace

bool GetItemDetails(const std::string& nativePath, ItemDetails& out) {
    struct statx st {};
    if (::statx(AT_FDCWD, nativePath.c_str(), kStatFlags, STATX_BASIC_STATS | STATX_BTIME, &st) !=
        0)
        return false;
    out = ItemDetails();
    out.Kind = KindOf(st.stx_mode);
    out.Size = st.stx_size;
    out.Allocated = st.stx_blocks * 512;
    out.Modified = st.stx_mtime.tv_sec;
    out.Accessed = st.stx_atime.tv_sec;
    // A birth time of zero is none kept: an image made with its times
    // cleared leaves it so, and it would show as 1970/01/01.
    out.HasCreated =
        (st.stx_mask & STATX_BTIME) != 0 && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0);
    out.Created = out.HasCreated ? st.stx_btime.tv_sec : 0;
    out.Owner = UserText(st.stx_uid);
    out.Group = GroupText(st.stx_gid);
    out.HasMode = true;
    out.Mode = st.stx_mode & 07777;
    if (S_ISLNK(st.stx_mode)) {
        std::vector<char> target(st.stx_size + 2);
        ssize_t n = ::readlink(nativePath.c_str(), target.data(), target.size() - 1);
        if (n >= 0) out.LinkTarget.assign(target.data(), static_cast<size_t>(n));
    }
    return true;
}

} // namespace nrvs::platform
