#include "platform/FileOperations.h"
#include "platform/ErrorText.h"

#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/FileAccess.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

ShellUi* g_shellUi = nullptr;
std::vector<std::string> g_errors;
uint64_t g_skipped = 0;
bool g_madeSomething = false;

// Folders of a walk that keep their descriptors open; deeper ones are closed
// while the work is further down and opened again on the way back, so a tree
// of any depth needs no more descriptors than this (twice, for a copy).
constexpr size_t kOpenFolders = 48;

// Walks up through ".." stop after this many steps; no real path is longer.
constexpr int kMaxClimb = 1 << 16;

bool Fail(const std::string& what, const std::string& reason) {
    g_errors.push_back(what + ": " + reason);
    return false;
}

bool FailErrno(const std::string& what) { return Fail(what, SystemReason(errno)); }

int OpenDir(int dirFd, const char* name) {
    int fd;
    do fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

uint64_t MountIdOf(int fd, const char* name = "") {
    struct statx st{};
    int flags = (*name ? AT_SYMLINK_NOFOLLOW : AT_EMPTY_PATH) | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
    if (::statx(fd, name, flags, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID)) return 0;
    return st.stx_mnt_id;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    Identity() = default;
    explicit Identity(const struct stat& st) : dev(st.st_dev), ino(st.st_ino) {}
    bool operator<(const Identity& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
    bool operator==(const Identity& o) const { return dev == o.dev && ino == o.ino; }
};

std::string Joined(const std::string& dir, const std::string& name) {
    if (dir.empty() || name.empty()) return dir + name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The folder holding the item and the item's name. The drive's root is
// opened as the drive map names it (it may be a link the user chose); below
// it no link is followed.
Folder OpenParent(const ItemPath& item) {
    if (item.Root.empty()) return Folder();
    Folder f(::open(item.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; i + 1 < item.Names.size() && f.Valid(); ++i) f = f.OpenChild(item.Names[i]);
    return f;
}

Folder OpenFolder(const ItemPath& item) {
    if (item.Names.empty()) return Folder(::open(item.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Folder parent = OpenParent(item);
    return parent.Valid() ? parent.OpenChild(item.Names.back()) : Folder();
}

std::string ParentNative(const ItemPath& item) {
    ItemPath parent = item;
    if (!parent.Names.empty()) parent.Names.pop_back();
    return parent.Native();
}

std::string FdPath(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        ssize_t n = ::readlink(link, buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

// Whether another file system is mounted at or below name in dirFd: such an
// item is never deleted, nor moved into a trash with the mount inside.
bool HoldsMount(int dirFd, const std::string& name) {
    std::string dir = FdPath(dirFd);
    if (dir.empty()) return true;
    std::string path = (dir == "/" ? "" : dir) + "/" + name;
    std::string text;
    if (!ReadWholeFile("/proc/self/mountinfo", text)) return false;
    for (const auto& m : ParseMountInfo(text)) {
        const std::string& mp = m.MountPoint;
        if (mp == path || (mp.size() > path.size() && mp.compare(0, path.size(), path) == 0 && mp[path.size()] == '/'))
            return true;
    }
    return false;
}

// Whether the folder st is, or holds, the root of a drive in use: removing
// it would take that drive with it. Compared by device and inode, so no
// other letter, link or spelling of the folder gets past. letter: the
// drive's number; itself: the folder is that root.
bool HoldsDriveRoot(const struct stat& st, int& letter, bool& itself) {
    const DriveRootTable& roots = DriveRoots();
    for (size_t n = 0; n < roots.size(); ++n) {
        if (roots[n].empty()) continue;
        const std::string programRoot = std::string(1, static_cast<char>('A' + n)) + ":\\";
        if (GetDriveTypeA(programRoot) <= DRIVE_NO_ROOT_DIR) continue;
        Folder walk(::open(roots[n].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; walk.Valid() && i < kMaxClimb; ++i) {
            struct stat w{}, up{};
            if (::fstat(walk.Handle(), &w) != 0) break;
            if (SameFile(w, st)) {
                letter = static_cast<int>(n);
                itself = i == 0;
                return true;
            }
            if (::fstatat(walk.Handle(), "..", &up, 0) != 0 || SameFile(up, w)) break;
            walk = Folder(::openat(walk.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    return false;
}

// ---- walking deep trees ----

// The open folders from a walk's top down to where it works. Only the
// deepest kOpenFolders keep their descriptors; a closed one is opened again
// through ".." of its child on the way back up, and used only when it is
// still the folder that was left.
class FolderChain {
public:
    int Top() const { return links_.empty() ? -1 : links_.back().dir.Handle(); }
    void Push(Folder dir, const struct stat& st) {
        links_.push_back({std::move(dir), Identity(st)});
        if (links_.size() > kOpenFolders) links_[links_.size() - 1 - kOpenFolders].dir = Folder();
    }
    // Leaves the deepest folder. False when the one above it, opened again,
    // is no longer the same folder (it was moved meanwhile).
    bool Pop() {
        Link top = std::move(links_.back());
        links_.pop_back();
        if (links_.empty() || links_.back().dir.Valid()) return true;
        if (!top.dir.Valid()) return false;
        Folder up(::openat(top.dir.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat st{};
        if (!up.Valid() || ::fstat(up.Handle(), &st) != 0 || !(Identity(st) == links_.back().id)) return false;
        links_.back().dir = std::move(up);
        return true;
    }

private:
    struct Link {
        Folder dir;
        Identity id;
    };
    std::vector<Link> links_;
};

std::vector<std::string> NamesIn(const Folder& dir) {
    std::vector<std::string> names;
    FolderReader reader(dir, false);
    FindData d;
    while (reader.Next(d)) names.emplace_back(d.Name);
    return names;
}

// Items and bytes below an item, for the progress shown against them, and
// whether the folder find lies in the tree. A destination reached through a
// bind mount of a folder inside the source has no ".." path up to the
// source, so only a look through the source's own folders finds it. Names
// and sizes only; no link is followed.
bool ScanTree(int parentFd, const std::string& name, uint64_t& items, uint64_t& bytes, const struct stat* find) {
    struct stat st{};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    ++items;
    if (S_ISREG(st.st_mode)) bytes += static_cast<uint64_t>(st.st_size);
    if (!S_ISDIR(st.st_mode)) return false;
    if (find && SameFile(st, *find)) return true;
    struct Frame {
        std::vector<std::string> folders;
        size_t next = 0;
    };
    FolderChain chain;
    std::vector<Frame> frames;
    auto enter = [&](int dirFd, const std::string& n, const struct stat& listed) {
        Folder dir(OpenDir(dirFd, n.c_str()));
        struct stat opened{};
        if (!dir.Valid() || ::fstat(dir.Handle(), &opened) != 0 || !SameFile(opened, listed)) return;
        Frame f;
        {
            FolderReader reader(dir, true);
            FindData d;
            while (reader.Next(d)) {
                ++items;
                if (d.Attributes & FILE_ATTRIBUTE_DIRECTORY) f.folders.emplace_back(d.Name);
                else if (!(d.Attributes & FILE_ATTRIBUTE_SYSTEM)) bytes += d.Size;
            }
        }
        frames.push_back(std::move(f));
        chain.Push(std::move(dir), opened);
    };
    enter(parentFd, name, st);
    while (!frames.empty()) {
        Frame& f = frames.back();
        if (f.next < f.folders.size()) {
            const std::string n = f.folders[f.next++];
            struct stat s{};
            if (::fstatat(chain.Top(), n.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(s.st_mode)) continue;
            if (find && SameFile(s, *find)) return true;
            enter(chain.Top(), n, s);
            continue;
        }
        frames.pop_back();
        if (!chain.Pop()) return false;
    }
    return false;
}

// ---- temporary names ----

// A copy is written as ".nrvs<pid>.<16 hex digits>.<n>" beside its target.
// The pid tells a leftover of a killed process from the file of one still
// at work.
bool ParseTemporaryName(std::string_view n, long& pid) {
    constexpr std::string_view prefix = ".nrvs";
    if (n.substr(0, prefix.size()) != prefix) return false;
    n.remove_prefix(prefix.size());
    auto digits = [](std::string_view s, long* value) {
        if (s.empty() || s.size() > 18) return false;
        long v = 0;
        for (char c : s) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        if (value) *value = v;
        return true;
    };
    size_t dot = n.find('.');
    if (dot == std::string_view::npos || !digits(n.substr(0, dot), &pid) || pid <= 0) return false;
    n.remove_prefix(dot + 1);
    if (n.size() < 18 || n[16] != '.') return false;
    for (char c : n.substr(0, 16))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return digits(n.substr(17), nullptr);
}

// Removes what killed copies left in a folder: only files of the
// temporary pattern that are regular files of this user and whose process
// is gone.
void RemoveStaleCopies(int dirFd) {
    int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
        long pid = 0;
        if (!ParseTemporaryName(e->d_name, pid) || pid == ::getpid() || pid > INT_MAX) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        stale.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const auto& n : stale) {
        struct stat st{};
        if (::fstatat(dirFd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(dirFd, n.c_str(), 0);
    }
}

// ---- copy ----

// What an operation has done so far, and whether it was told to stop.
struct Job {
    ShellUi* ui = nullptr;  // set only with confirmation
    bool cancelled = false;
    // Stopped for a reason of its own (the tree turned out to hold its
    // destination, or a folder was moved away under it).
    bool stopped = false;
    bool replaceAll = false;
    bool tryClone = true;
    bool kernelCopy = true;
    uint64_t skipped = 0;
    uint64_t items = 0;
    uint64_t bytes = 0;
    uint64_t failures = 0;
    // Native path of the folder at work, for the report's lines.
    std::string path;
    std::string tempBase = RandomSuffix();
    unsigned long tempCount = 0;
    std::string TempName() {
        return ".nrvs" + std::to_string(::getpid()) + "." + tempBase + "." + std::to_string(++tempCount);
    }
    std::string PathOf(const std::string& name) const { return Joined(path, name); }
    bool Fail(const std::string& name, const std::string& reason) {
        ++failures;
        g_errors.push_back(PathOf(name) + ": " + reason);
        return false;
    }
    bool FailErrno(const std::string& name) { return Fail(name, SystemReason(errno)); }
    bool Over() const { return cancelled || stopped; }
    // False once cancelled.
    bool Report(const std::string& name, uint64_t partialBytes = 0) {
        if (ui && !cancelled && !ui->Progress(name, items, bytes + partialBytes)) cancelled = true;
        return !cancelled;
    }

    // ---- what a copy keeps ----
    // Owners are kept where the system lets us give files away: as root.
    bool keepOwners = ::geteuid() == 0;
    std::string attrNote;  // the first reason extended attributes were not kept
    int dstTop = -1;       // the destination folder
    Identity dstTopId;
    std::set<Identity> made;
    // Names from the destination folder down to the folder at work.
    std::vector<std::string> dstNames;
    // Files with more than one name in the source, by the source's identity:
    // where their first copy went, so that later names become links to it.
    struct FirstCopy {
        std::vector<std::string> names;
        Identity copy;
    };
    std::map<Identity, FirstCopy> linked;
};

// Progress is reported at least this often while one file is copied.
constexpr off_t kProgressChunk = off_t{8} << 20;

// Copies [from, to) of in to the same offsets of out: copy_file_range where
// the kernel can (a clone on file systems that share extents), else read and
// write. A source that ends early stops the copy; the caller finds out by
// asking the source again.
bool CopyRange(int in, int out, off_t from, off_t to, Job& job, const std::string& name) {
    off_t inOff = from, outOff = from;
    bool& kernelCopy = job.kernelCopy;
    std::vector<char> buf;
    const size_t bufSize = static_cast<size_t>(std::min<off_t>(off_t{1} << 20, to - from));
    if (!kernelCopy) buf.resize(bufSize);
    while (inOff < to) {
        if (job.ui && !job.Report(name, static_cast<uint64_t>(inOff - from))) return false;
        size_t want = static_cast<size_t>(std::min<off_t>(to - inOff, job.ui ? kProgressChunk : off_t{1} << 30));
        if (kernelCopy) {
            ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, want, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF)
                return false;
            kernelCopy = false;
            buf.resize(bufSize);
        }
        ssize_t n = ::pread(in, buf.data(), std::min(want, buf.size()), inOff);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::pwrite(out, buf.data() + done, static_cast<size_t>(n - done), outOff + done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            done += w;
        }
        inOff += n;
        outOff += n;
    }
    return true;
}

// The data of in into out, holes kept. allocated: the bytes the source
// holds on disk; a file holding at least its size has no holes to look for.
bool CopyData(int in, int out, off_t size, off_t allocated, Job& job, const std::string& name) {
    if (size == 0) return true;
    // A clone shares the data where the file system can; once refused, the
    // rest of the operation does not ask again.
    if (job.tryClone) {
        if (::ioctl(out, FICLONE, in) == 0) return true;
        if (errno == EOPNOTSUPP || errno == EXDEV || errno == EINVAL || errno == ENOTTY) job.tryClone = false;
    }
    if (allocated >= size) return CopyRange(in, out, 0, size, job, name);
    off_t pos = 0;
    while (pos < size) {
        off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // only a hole is left
            data = pos;                 // no hole support: all of it is data
        }
        if (data >= size) break;
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size) hole = size;
        uint64_t before = job.bytes;
        if (!CopyRange(in, out, data, hole, job, name)) return false;
        job.bytes = before + static_cast<uint64_t>(hole - data);
        pos = hole;
    }
    return ::ftruncate(out, size) == 0;
}

// Extended attributes of from onto to; ACLs are among them
// (system.posix_acl_access, system.posix_acl_default). A target that refuses
// them does not fail the copy: the report says so once per operation.
void CopyAttributes(int from, int to, Job& job, const std::string& name) {
    std::vector<char> names(4096);
    ssize_t len;
    for (;;) {
        len = ::flistxattr(from, names.data(), names.size());
        if (len >= 0) break;
        if (errno != ERANGE) return;  // the source keeps none
        ssize_t need = ::flistxattr(from, nullptr, 0);
        if (need < 0) return;
        names.resize(static_cast<size_t>(need) + 256);
    }
    std::vector<char> value(4096);
    for (ssize_t at = 0; at < len;) {
        const char* attr = names.data() + at;
        at += static_cast<ssize_t>(std::strlen(attr)) + 1;
        ssize_t v;
        for (;;) {
            v = ::fgetxattr(from, attr, value.data(), value.size());
            if (v >= 0 || errno != ERANGE) break;
            ssize_t need = ::fgetxattr(from, attr, nullptr, 0);
            if (need < 0) break;
            value.resize(static_cast<size_t>(need) + 256);
        }
        if (v < 0 && errno == ENODATA) continue;  // removed meanwhile
        if (v < 0 || ::fsetxattr(to, attr, value.data(), static_cast<size_t>(v), 0) != 0) {
            if (job.attrNote.empty())
                job.attrNote = job.PathOf(name) + ": 拡張属性はコピーされませんでした: " + SystemReason(errno);
        }
    }
}

// Owner, extended attributes, permission bits and times of a copy, in the
// order that keeps each: a change of owner clears set-id bits, and an ACL
// sets the group bits that the mode then confirms.
bool KeepMetadata(int from, int to, const struct stat& st, Job& job, const std::string& name) {
    const bool ownerKept = job.keepOwners && ::fchown(to, st.st_uid, st.st_gid) == 0;
    // The group, where the user belongs to it.
    const bool groupKept = ownerKept || ::fchown(to, static_cast<uid_t>(-1), st.st_gid) == 0;
    CopyAttributes(from, to, job, name);
    // As cp -a: a set-id bit survives only with the owner (or group) it
    // gives its rights of; a copy owned by whoever copied it would hand out
    // the copier's rights. A folder keeps its sticky bit always: a shared
    // folder must not lose its protection.
    mode_t keep = 0777;
    if (S_ISDIR(st.st_mode)) keep |= S_ISVTX | (groupKept ? S_ISGID : 0) | (ownerKept ? S_ISUID : 0);
    else if (ownerKept) keep |= S_ISUID | S_ISGID;
    bool ok = ::fchmod(to, st.st_mode & keep) == 0;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(to, times);
    return ok;
}

// A later name of a file copied already: a link to its first copy, so that
// the copy keeps the source's hard links. False when that copy cannot be
// found as it was made; the file is then copied as a file of its own.
bool LinkToFirstCopy(int dstDir, const std::string& name, const struct stat& st, Job& job) {
    auto it = job.linked.find(Identity(st));
    if (it == job.linked.end() || job.dstTop < 0) return false;
    const std::vector<std::string>& names = it->second.names;
    Folder dir(::openat(job.dstTop, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; i + 1 < names.size() && dir.Valid(); ++i) dir = dir.OpenChild(names[i]);
    struct stat first{};
    if (!dir.Valid() || ::fstatat(dir.Handle(), names.back().c_str(), &first, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(first.st_mode) || !(Identity(first) == it->second.copy))
        return false;
    const std::string temp = job.TempName();
    if (::linkat(dir.Handle(), names.back().c_str(), dstDir, temp.c_str(), 0) != 0) return false;
    if (::renameat(dstDir, temp.c_str(), dstDir, name.c_str()) != 0) {
        ::unlinkat(dstDir, temp.c_str(), 0);
        return false;
    }
    // A rename between two names of one file does nothing: the temporary
    // name is still there when the target already was this link.
    struct stat left{};
    if (::fstatat(dstDir, temp.c_str(), &left, AT_SYMLINK_NOFOLLOW) == 0 && Identity(left) == it->second.copy)
        ::unlinkat(dstDir, temp.c_str(), 0);
    return true;
}

// Copies the regular file name of srcDir, as it was listed (listed), into
// dstDir; replacing says whether a file of that name is there now.
bool CopyFile(int srcDir, const std::string& name, const struct stat& listed, int dstDir, bool replacing,
              Job& job) {
    // Never block on a FIFO or device swapped in since the listing, and never
    // read anything but the file that was listed.
    int in = ::openat(srcDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0) return errno == ELOOP ? job.Fail(name, "コピー中に変更されました") : job.FailErrno(name);
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || !SameFile(st, listed)) {
        ::close(in);
        return job.Fail(name, "コピー中に変更されました");
    }
    if (st.st_nlink > 1 && LinkToFirstCopy(dstDir, name, st, job)) {
        ::close(in);
        job.bytes += static_cast<uint64_t>(st.st_size);
        return true;
    }
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
    std::string temp;
    int out = -1;
    for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
        temp = job.TempName();
        out = ::openat(dstDir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST) break;
    }
    if (out < 0) {
        int e = errno;
        ::close(in);
        errno = e;
        return job.FailErrno(name);
    }
    g_madeSomething = true;
    const uint64_t bytesBefore = job.bytes;
    bool ok = CopyData(in, out, st.st_size, static_cast<off_t>(st.st_blocks) * 512, job, name);
    // The reason of a failure, taken before anything else sets errno; a
    // success leaves errno as the probes of clone and copy_file_range set it.
    int e = ok || job.cancelled ? 0 : errno;
    job.bytes = bytesBefore + static_cast<uint64_t>(st.st_size);
    // A source written to while it was read gives a copy that matches
    // neither version: it never takes the name.
    bool changed = false;
    if (ok) {
        struct stat after{};
        changed = ::fstat(in, &after) != 0 || after.st_size != st.st_size ||
                  after.st_mtim.tv_sec != st.st_mtim.tv_sec || after.st_mtim.tv_nsec != st.st_mtim.tv_nsec;
        ok = !changed;
    }
    ok = ok && KeepMetadata(in, out, st, job, name);
    // Flushed before it replaces a file: the old one must never be lost to a
    // crash. A new file has no old content to lose.
    if (ok && replacing) ok = ::fdatasync(out) == 0;
    if (!ok && e == 0) e = errno;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (ok) ok = ::renameat(dstDir, temp.c_str(), dstDir, name.c_str()) == 0;
    if (!ok) {
        if (e == 0) e = errno;
        ::unlinkat(dstDir, temp.c_str(), 0);
        if (job.cancelled) return false;
        if (changed) return job.Fail(name, "コピー中に変更されました");
        errno = e ? e : EIO;
        return job.FailErrno(name);
    }
    if (st.st_nlink > 1) {
        struct stat copy{};
        if (::fstatat(dstDir, name.c_str(), &copy, AT_SYMLINK_NOFOLLOW) == 0) {
            Job::FirstCopy first{job.dstNames, Identity(copy)};
            first.names.push_back(name);
            job.linked.emplace(Identity(st), std::move(first));
        }
    }
    return true;
}

bool CopyLink(int srcDir, const std::string& name, const struct stat& st, int dstDir, Job& job) {
    std::vector<char> target(static_cast<size_t>(st.st_size) + 2);
    ssize_t n = ::readlinkat(srcDir, name.c_str(), target.data(), target.size() - 1);
    if (n < 0) return job.FailErrno(name);
    target[static_cast<size_t>(n)] = 0;
    std::string temp = job.TempName();
    if (::symlinkat(target.data(), dstDir, temp.c_str()) != 0) return job.FailErrno(name);
    g_madeSomething = true;
    if (job.keepOwners) ::fchownat(dstDir, temp.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(dstDir, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (::renameat(dstDir, temp.c_str(), dstDir, name.c_str()) != 0) {
        int e = errno;
        ::unlinkat(dstDir, temp.c_str(), 0);
        errno = e;
        return job.FailErrno(name);
    }
    return true;
}

const char* SpecialKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISSOCK(mode)) return "ソケット";
    return "デバイス";
}

// A folder being copied: its frame on the walk's stack.
struct CopyFrame {
    std::string name;
    struct stat st{};   // the source folder
    bool made = false;  // made by this copy: it gets the source's metadata when done
    std::vector<std::string> names;
    size_t next = 0;
    size_t pathLength = 0;  // of the job's path before this folder
};

struct CopyWalk {
    FolderChain src, dst;
    std::vector<CopyFrame> frames;
};

// Copies name of srcDir into dstDir: files and links at once; a folder is
// made (or found) and entered, and its entries follow on the walk.
void CopyEntry(int srcDir, const std::string& name, int dstDir, CopyWalk& w, Job& job) {
    if (job.Over()) return;
    struct stat st{};
    if (::fstatat(srcDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        job.FailErrno(name);
        return;
    }
    if (!job.Report(name)) return;
    if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode) && !S_ISREG(st.st_mode)) {
        ++job.items;
        job.Fail(name, SpecialKind(st.st_mode) + std::string("はコピーされません"));
        return;
    }
    struct stat existing{};
    bool exists = ::fstatat(dstDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // The same file reached through a hard link: nothing to copy.
    if (exists && SameFile(existing, st)) return;
    // A file never replaces a folder, nor a folder a file: that would throw a
    // whole tree away.
    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode)) {
        job.Fail(name, S_ISDIR(st.st_mode) ? "同じ名前のファイルがあります" : "同じ名前のフォルダがあります");
        return;
    }
    if (exists && !S_ISDIR(existing.st_mode) && job.ui && !job.replaceAll) {
        switch (job.ui->ConfirmReplace(name)) {
        case ShellUi::REPLACE_YES: break;
        case ShellUi::REPLACE_ALL: job.replaceAll = true; break;
        case ShellUi::REPLACE_NO:
            ++job.skipped;
            ++job.items;
            job.bytes += S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
            return;
        default: job.cancelled = true; return;
        }
    }
    ++job.items;
    if (S_ISLNK(st.st_mode)) {
        CopyLink(srcDir, name, st, dstDir, job);
        return;
    }
    if (S_ISREG(st.st_mode)) {
        CopyFile(srcDir, name, st, dstDir, exists, job);
        return;
    }
    Folder src(OpenDir(srcDir, name.c_str()));
    struct stat opened{};
    if (!src.Valid()) {
        // A link or file swapped in for the folder is refused by the open;
        // anything else (no permission) is reported as it is.
        if (errno == ELOOP || errno == ENOTDIR) job.Fail(name, "コピー中に変更されました");
        else job.FailErrno(name);
        return;
    }
    if (::fstat(src.Handle(), &opened) != 0 || !SameFile(opened, st)) {
        job.Fail(name, "コピー中に変更されました");
        return;
    }
    // The source reaching a folder this copy made, or its destination: the
    // destination lies inside the source after all (a mount made meanwhile).
    if (job.made.count(Identity(opened)) || Identity(opened) == job.dstTopId) {
        job.Fail(name, "フォルダをそれ自身の中にはコピーできません");
        job.stopped = true;
        return;
    }
    // Made private until it is complete, then given the source's metadata.
    const bool made = !exists;
    if (made && ::mkdirat(dstDir, name.c_str(), 0700) != 0) {
        job.FailErrno(name);
        return;
    }
    if (made) g_madeSomething = true;
    Folder dst(OpenDir(dstDir, name.c_str()));
    struct stat dstSt{};
    if (!dst.Valid() || ::fstat(dst.Handle(), &dstSt) != 0) {
        job.FailErrno(name);
        return;
    }
    if (made) job.made.insert(Identity(dstSt));
    else RemoveStaleCopies(dst.Handle());
    CopyFrame f;
    f.name = name;
    f.st = st;
    f.made = made;
    f.names = NamesIn(src);
    f.pathLength = job.path.size();
    w.frames.push_back(std::move(f));
    job.path = Joined(job.path, name);
    job.dstNames.push_back(name);
    w.src.Push(std::move(src), opened);
    w.dst.Push(std::move(dst), dstSt);
}

// Copies name of srcDir into dstDir, a whole tree without recursion.
void CopyTree(int srcDir, const std::string& name, int dstDir, Job& job) {
    CopyWalk w;
    CopyEntry(srcDir, name, dstDir, w, job);
    while (!w.frames.empty()) {
        CopyFrame& f = w.frames.back();
        if (!job.Over() && f.next < f.names.size()) {
            const std::string n = f.names[f.next++];  // f moves when a folder is entered
            CopyEntry(w.src.Top(), n, w.dst.Top(), w, job);
            continue;
        }
        CopyFrame done = std::move(f);
        w.frames.pop_back();
        if (done.made && w.dst.Top() >= 0) {
            KeepMetadata(w.src.Top(), w.dst.Top(), done.st, job, "");
        }
        job.path.resize(done.pathLength);
        job.dstNames.pop_back();
        const bool srcBack = w.src.Pop(), dstBack = w.dst.Pop();
        if ((!srcBack || !dstBack) && !job.stopped) {
            job.Fail(done.name, "コピー中に上のフォルダが移動されました");
            job.stopped = true;
        }
    }
}

// ---- delete ----

// A folder being emptied: its frame on the walk's stack.
struct RemoveFrame {
    std::string name;
    std::vector<std::string> names;
    size_t next = 0;
    size_t pathLength = 0;
    uint64_t failuresBefore = 0;
};

// Removes name of dirFd: a file at once; a folder is entered, and removed
// when its entries are gone.
void RemoveEntry(int dirFd, const std::string& name, FolderChain& chain, std::vector<RemoveFrame>& frames,
                 Job& job) {
    if (job.Over() || !job.Report(name)) return;
    ++job.items;
    if (::unlinkat(dirFd, name.c_str(), 0) == 0) return;
    // EPERM is what some systems say for a folder, and also what a file in
    // another user's sticky folder gets: the reason is kept for the report.
    const int unlinkError = errno;
    if (errno != EISDIR && errno != EPERM) {
        job.FailErrno(name);
        return;
    }
    // Another file system mounted inside is never emptied by a delete.
    struct statx sx{};
    if (::statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &sx) != 0) {
        job.FailErrno(name);
        return;
    }
    if ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT)) {
        job.Fail(name, "別のファイルシステムがマウントされています");
        return;
    }
    Folder child(OpenDir(dirFd, name.c_str()));
    struct stat st{};
    if (!child.Valid() || ::fstat(child.Handle(), &st) != 0) {
        if (errno == ENOTDIR) errno = unlinkError;
        job.FailErrno(name);
        return;
    }
    RemoveFrame f;
    f.name = name;
    f.names = NamesIn(child);
    f.pathLength = job.path.size();
    f.failuresBefore = job.failures;
    frames.push_back(std::move(f));
    job.path = Joined(job.path, name);
    chain.Push(std::move(child), st);
}

// Removes name of parentFd, a whole tree without recursion.
void RemoveTree(int parentFd, const std::string& name, Job& job) {
    FolderChain chain;
    std::vector<RemoveFrame> frames;
    RemoveEntry(parentFd, name, chain, frames, job);
    while (!frames.empty()) {
        RemoveFrame& f = frames.back();
        if (!job.Over() && f.next < f.names.size()) {
            const std::string n = f.names[f.next++];  // f moves when a folder is entered
            RemoveEntry(chain.Top(), n, chain, frames, job);
            continue;
        }
        RemoveFrame done = std::move(f);
        frames.pop_back();
        job.path.resize(done.pathLength);
        if (!chain.Pop()) {
            if (!job.stopped) job.Fail(done.name, "削除中に上のフォルダが移動されました");
            job.stopped = true;
        }
        if (job.Over()) continue;
        const int parent = frames.empty() ? parentFd : chain.Top();
        // A folder whose entries could not all go stays; its failures are
        // reported already.
        if (::unlinkat(parent, done.name.c_str(), AT_REMOVEDIR) != 0 && job.failures == done.failuresBefore)
            job.FailErrno(done.name);
    }
}

// ---- trash ----

std::string PercentEncoded(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string HomeTrash() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/root") + "/.local/share/Trash";
}

// A folder of the trash that only this user can write: made when missing,
// refused when it is a link, another user's, or open to others.
Folder OwnPrivateFolder(int dirFd, const char* name, std::string& why) {
    if (::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) {
        why = std::string(name) + " を作れません: " + SystemReason(errno);
        return Folder();
    }
    Folder f(OpenDir(dirFd, name));
    struct stat st{};
    if (!f.Valid() || ::fstat(f.Handle(), &st) != 0) {
        why = std::string(name) + " はリンクかフォルダではありません";
        return Folder();
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        why = std::string(name) + " は他のユーザーのものか、他のユーザーに開かれています";
        return Folder();
    }
    return f;
}

// The trash for an item on the mount mountId: the home trash when it lies on
// that mount (so the move is a rename), else the mount's top folder's
// .Trash/<uid> (a shared sticky folder, not a link) or .Trash-<uid> (the
// user's own, mode 700).
Folder TrashFor(int parentFd, uint64_t mountId, std::string& why) {
    std::string home = HomeTrash();
    // The user's own folders on the way to the home trash.
    MakeFolders(home, 0700);
    Folder homeTrash(::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (homeTrash.Valid() && MountIdOf(homeTrash.Handle()) == mountId && mountId != 0) return homeTrash;

    // The top folder of the item's mount.
    Folder top(::openat(parentFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kMaxClimb && top.Valid(); ++i) {
        struct stat self{}, up{};
        if (::fstat(top.Handle(), &self) != 0 || ::fstatat(top.Handle(), "..", &up, 0) != 0 || SameFile(self, up)) break;
        if (MountIdOf(top.Handle(), "..") != mountId) break;
        top = Folder(::openat(top.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!top.Valid()) {
        why = "ファイルシステムの最上位のフォルダを開けません";
        return Folder();
    }
    const std::string uid = std::to_string(::geteuid());
    struct stat shared{};
    if (::fstatat(top.Handle(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        Folder sharedTrash(OpenDir(top.Handle(), ".Trash"));
        std::string ignored;
        if (sharedTrash.Valid()) {
            Folder own = OwnPrivateFolder(sharedTrash.Handle(), uid.c_str(), ignored);
            if (own.Valid()) return own;
        }
    }
    Folder own = OwnPrivateFolder(top.Handle(), (".Trash-" + uid).c_str(), why);
    if (!own.Valid()) why = "ファイルシステムのごみ箱フォルダが安全ではありません（" + why + "）";
    return own;
}

// A name in the trash: the item's name, shortened when "<name>.trashinfo"
// would be too long, and numbered when taken.
std::string TrashName(const std::string& base, int n) {
    std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    const size_t room = NAME_MAX - (sizeof ".trashinfo" - 1) - suffix.size();
    std::string name = base;
    if (name.size() > room) {
        name.resize(room);
        // Not in the middle of a UTF-8 character.
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
    }
    return name + suffix;
}

bool RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::syscall(SYS_renameat2, fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st{};
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromDir, from, toDir, to) == 0;
}

// The trash's files and info folders for an item in parentFd; why says
// what is wrong when there is no safe one.
bool OpenTrash(int parentFd, Folder& files, Folder& info, std::string& why) {
    uint64_t mountId = MountIdOf(parentFd);
    Folder trash = TrashFor(parentFd, mountId, why);
    if (!trash.Valid()) return false;
    files = OwnPrivateFolder(trash.Handle(), "files", why);
    info = files.Valid() ? OwnPrivateFolder(trash.Handle(), "info", why) : Folder();
    if (!files.Valid() || !info.Valid()) {
        why = "ごみ箱が安全ではありません（" + why + "）";
        return false;
    }
    return true;
}

bool MoveToTrash(int parentFd, const std::string& name, const std::string& nativePath) {
    Folder files, info;
    std::string why;
    if (!OpenTrash(parentFd, files, info, why)) return Fail(nativePath, why + "。何も移動していません");

    std::string abs = FdPath(parentFd);
    abs = (abs == "/" ? "" : abs) + "/" + name;
    char date[32];
    std::time_t now = std::time(nullptr);
    struct tm tm{};
    ::localtime_r(&now, &tm);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    const std::string text = "[Trash Info]\nPath=" + PercentEncoded(abs) + "\nDeletionDate=" + date + "\n";
    // The .trashinfo is created exclusively: it reserves the name.
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate = TrashName(name, n);
        const std::string infoName = candidate + ".trashinfo";
        int fd = ::openat(info.Handle(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return FailErrno(nativePath);
        }
        bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlinkat(info.Handle(), infoName.c_str(), 0);
            return Fail(nativePath, "ごみ箱の情報を書き込めません");
        }
        if (RenameNoReplace(parentFd, name.c_str(), files.Handle(), candidate.c_str())) return true;
        int e = errno;
        ::unlinkat(info.Handle(), infoName.c_str(), 0);
        if (e == EEXIST) continue;
        errno = e;
        return FailErrno(nativePath);
    }
    return Fail(nativePath, "ごみ箱に空いている名前がありません");
}

// Whether the item may go: never a drive's root, by any letter, link or
// spelling, nor a folder holding one; no other file system mounted inside;
// its folder writable, on a file system that is not read-only. Checked
// before anything is done, so that a refusal leaves everything as it was.
// parent and st: the item's folder and the item, for the caller.
bool CheckRemovable(const ItemPath& item, bool toTrash, Folder& parent, struct stat& st) {
    const std::string what = item.Native();
    if (item.IsRoot()) return Fail(what, "ドライブのルートは削除できません");
    const std::string& name = item.Names.back();
    parent = OpenParent(item);
    if (!parent.Valid()) return FailErrno(what);
    if (::fstatat(parent.Handle(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(what);
    if (S_ISDIR(st.st_mode)) {
        int letter = -1;
        bool itself = false;
        if (HoldsDriveRoot(st, letter, itself)) {
            const std::string drive = std::string(1, static_cast<char>('A' + letter)) + ":";
            return Fail(what, "ドライブ " + drive +
                                  (itself ? " のルートです。削除も移動もできません" : " のルートを含んでいます。削除も移動もできません"));
        }
        if (HoldsMount(parent.Handle(), name)) return Fail(what, "中に別のファイルシステムがマウントされています。何も削除していません");
    }
    struct statvfs sv{};
    if (::fstatvfs(parent.Handle(), &sv) == 0 && (sv.f_flag & ST_RDONLY)) return Fail(what, SystemReason(EROFS));
    if (::faccessat(parent.Handle(), ".", W_OK | X_OK, AT_EACCESS) != 0) return FailErrno(what);
    // In a sticky folder only the owners of the folder or of the item may
    // take it away.
    struct stat p{};
    const uid_t me = ::geteuid();
    if (::fstat(parent.Handle(), &p) == 0 && (p.st_mode & S_ISVTX) && me != 0 && st.st_uid != me && p.st_uid != me)
        return Fail(what, SystemReason(EPERM));
    if (toTrash) {
        // A folder moved to another folder has its ".." rewritten.
        if (S_ISDIR(st.st_mode) && me != 0 && ::faccessat(parent.Handle(), name.c_str(), W_OK, AT_EACCESS) != 0)
            return FailErrno(what);
        Folder files, info;
        std::string why;
        if (!OpenTrash(parent.Handle(), files, info, why)) return Fail(what, why + "。何も移動していません");
    }
    return true;
}

} // namespace

void SetShellUi(ShellUi* ui) { g_shellUi = ui; }

const std::vector<std::string>& ShellErrors() { return g_errors; }
void AddShellError(const std::string& line) { g_errors.push_back(line); }
uint64_t ShellSkipped() { return g_skipped; }
bool ShellCopyMadeSomething() { return g_madeSomething; }

bool IsCopyTemporaryName(std::string_view name) {
    long pid = 0;
    return ParseTemporaryName(name, pid);
}

bool ShellCopy(const ItemPath& source, const ItemPath& destFolder, bool confirm) {
    g_errors.clear();
    g_skipped = 0;
    g_madeSomething = false;
    const std::string what = source.Native();
    if (source.IsRoot()) return Fail(what, "ドライブのルートは項目としてコピーできません");
    const std::string& name = source.Names.back();
    Folder srcParent = OpenParent(source);
    if (!srcParent.Valid()) return FailErrno(what);
    Folder dst = OpenFolder(destFolder);
    if (!dst.Valid()) return FailErrno(destFolder.Native());
    // Refuse to copy an item onto itself or a folder into its own subtree:
    // either would destroy or endlessly grow the source.
    struct stat s{}, d{};
    if (::fstatat(srcParent.Handle(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(what);
    if (::fstat(dst.Handle(), &d) != 0) return FailErrno(destFolder.Native());
    if (S_ISDIR(s.st_mode)) {
        Folder walk(::openat(dst.Handle(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < kMaxClimb && walk.Valid(); ++i) {
            struct stat w{}, up{};
            if (::fstat(walk.Handle(), &w) != 0) break;
            if (SameFile(w, s)) return Fail(what, "フォルダをそれ自身の中にはコピーできません");
            if (::fstatat(walk.Handle(), "..", &up, 0) != 0 || SameFile(up, w)) break;
            walk = Folder(::openat(walk.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    struct stat t{};
    if (::fstatat(dst.Handle(), name.c_str(), &t, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(t, s))
        return Fail(what, "項目をそれ自身の上にはコピーできません");
    uint64_t items = 0, bytes = 0;
    if (ScanTree(srcParent.Handle(), name, items, bytes, &d)) return Fail(what, "フォルダをそれ自身の中にはコピーできません");
    Job job;
    job.path = ParentNative(source);
    job.dstTop = dst.Handle();
    job.dstTopId = Identity(d);
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        job.ui->Begin(false, items, bytes);
    }
    RemoveStaleCopies(dst.Handle());
    CopyTree(srcParent.Handle(), name, dst.Handle(), job);
    // Not kept attributes are worth a word but no failure: the data is whole.
    if (!job.attrNote.empty()) g_errors.push_back(job.attrNote);
    g_skipped = job.skipped;
    return job.failures == 0 && !job.Over();
}

bool ShellCanRemove(const ItemPath& path, bool toTrash) {
    g_errors.clear();
    Folder parent;
    struct stat st{};
    return CheckRemovable(path, toTrash, parent, st);
}

bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm) {
    g_errors.clear();
    const std::string what = path.Native();
    Folder parent;
    struct stat st{};
    if (!CheckRemovable(path, toTrash, parent, st)) return false;
    const std::string& name = path.Names.back();
    if (confirm && g_shellUi && !g_shellUi->ConfirmDelete(what, toTrash)) return false;
    if (toTrash) return MoveToTrash(parent.Handle(), name, what);
    Job job;
    job.path = ParentNative(path);
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        uint64_t items = 0, bytes = 0;
        ScanTree(parent.Handle(), name, items, bytes, nullptr);
        job.ui->Begin(true, items, bytes);
    }
    RemoveTree(parent.Handle(), name, job);
    return job.failures == 0 && !job.Over();
}

} // namespace nrvs::platform
