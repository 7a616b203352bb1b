#include "platform/Pshell.h"

#include "platform/Pdrives.h"
#include "platform/Penum.h"
#include "platform/Pfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

ShellUi* g_shellUi = nullptr;
std::vector<std::string> g_errors;
uint64_t g_skipped = 0;

// Deep trees are handled up to this depth; deeper ones fail rather than
// exhaust the stack.
constexpr int kMaxDepth = 4096;

bool Fail(const std::string& what, const std::string& reason) {
    g_errors.push_back(what + ": " + reason);
    return false;
}

bool FailErrno(const std::string& what) { return Fail(what, std::strerror(errno)); }

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

// ---- copy ----

// What an operation has done so far, and whether it was told to stop.
struct Job {
    ShellUi* ui = nullptr;  // set only with confirmation
    bool cancelled = false;
    bool replaceAll = false;
    bool tryClone = true;
    bool kernelCopy = true;
    uint64_t skipped = 0;
    uint64_t items = 0;
    uint64_t bytes = 0;
    std::string tempBase = RandomSuffix();
    unsigned long tempCount = 0;
    std::string TempName() { return ".nrvs" + tempBase + "." + std::to_string(++tempCount); }
    // False once cancelled.
    bool Report(const std::string& name, uint64_t partialBytes = 0) {
        if (ui && !cancelled && !ui->Progress(name, items, bytes + partialBytes)) cancelled = true;
        return !cancelled;
    }
};

// Progress is reported at least this often while one file is copied.
constexpr off_t kProgressChunk = off_t{8} << 20;

// Items and bytes below an item, for the progress shown against them. Only
// names and sizes are asked; no link is followed.
void CountTree(int dirFd, const std::string& name, uint64_t& items, uint64_t& bytes, int depth) {
    struct stat st{};
    if (depth > kMaxDepth || ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    ++items;
    if (S_ISREG(st.st_mode)) bytes += static_cast<uint64_t>(st.st_size);
    if (!S_ISDIR(st.st_mode)) return;
    Folder dir(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.Valid()) return;
    FolderReader reader(dir, true);
    FindData d;
    std::vector<std::string> folders;
    while (reader.Next(d)) {
        ++items;
        if (d.Attributes & FILE_ATTRIBUTE_DIRECTORY) {
            --items;  // counted again when entered
            folders.emplace_back(d.Name);
        } else if (!(d.Attributes & FILE_ATTRIBUTE_SYSTEM)) {
            bytes += d.Size;
        }
    }
    for (const auto& f : folders) CountTree(dir.Fd(), f, items, bytes, depth + 1);
}

// Copies [from, to) of in to the same offsets of out: copy_file_range where
// the kernel can (a clone on file systems that share extents), else read and
// write.
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
            if (n == 0) return true;  // the source shrank
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

// Copies the regular file name of srcDir, as it was listed (listed), into
// dstDir; replacing says whether a file of that name is there now.
bool CopyFile(int srcDir, const std::string& name, const struct stat& listed, int dstDir, bool replacing,
              Job& job) {
    // Never block on a FIFO or device swapped in since the listing, and never
    // read anything but the file that was listed.
    int in = ::openat(srcDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0) return FailErrno(name);
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || !SameFile(st, listed)) {
        ::close(in);
        return Fail(name, "changed while it was being copied");
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
        return FailErrno(name);
    }
    const uint64_t bytesBefore = job.bytes;
    bool ok = CopyData(in, out, st.st_size, static_cast<off_t>(st.st_blocks) * 512, job, name);
    int e = job.cancelled ? 0 : errno;
    job.bytes = bytesBefore + static_cast<uint64_t>(st.st_size);
    // As cp without keeping the owner: no set-id or sticky bit survives a copy.
    ok = ok && ::fchmod(out, st.st_mode & 0777) == 0;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
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
        errno = e ? e : EIO;
        return FailErrno(name);
    }
    return true;
}

bool CopyLink(int srcDir, const std::string& name, const struct stat& st, int dstDir, Job& job) {
    std::vector<char> target(static_cast<size_t>(st.st_size) + 2);
    ssize_t n = ::readlinkat(srcDir, name.c_str(), target.data(), target.size() - 1);
    if (n < 0) return FailErrno(name);
    target[static_cast<size_t>(n)] = 0;
    std::string temp = job.TempName();
    if (::symlinkat(target.data(), dstDir, temp.c_str()) != 0) return FailErrno(name);
    if (::renameat(dstDir, temp.c_str(), dstDir, name.c_str()) != 0) {
        int e = errno;
        ::unlinkat(dstDir, temp.c_str(), 0);
        errno = e;
        return FailErrno(name);
    }
    return true;
}

std::vector<std::string> NamesIn(const Folder& dir) {
    std::vector<std::string> names;
    FolderReader reader(dir, false);
    FindData d;
    while (reader.Next(d)) names.emplace_back(d.Name);
    return names;
}

bool CopyAt(int srcDir, const std::string& name, int dstDir, Job& job, int depth) {
    if (job.cancelled) return false;
    if (depth > kMaxDepth) return Fail(name, "too deep");
    struct stat st{};
    if (::fstatat(srcDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(name);
    if (!job.Report(name)) return false;
    struct stat existing{};
    bool exists = ::fstatat(dstDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // The same file reached through a hard link: nothing to copy.
    if (exists && SameFile(existing, st)) return true;
    // A file never replaces a folder, nor a folder a file: that would throw a
    // whole tree away.
    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode))
        return Fail(name, S_ISDIR(st.st_mode) ? "a file of that name is in the way" : "a folder of that name is in the way");
    if (exists && !S_ISDIR(existing.st_mode) && job.ui && !job.replaceAll) {
        switch (job.ui->ConfirmReplace(name)) {
        case ShellUi::REPLACE_YES: break;
        case ShellUi::REPLACE_ALL: job.replaceAll = true; break;
        case ShellUi::REPLACE_NO:
            ++job.skipped;
            ++job.items;
            job.bytes += S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
            return true;
        default: job.cancelled = true; return false;
        }
    }
    ++job.items;
    if (S_ISDIR(st.st_mode)) {
        // Made private until it is complete, then given the source's bits.
        bool made = !exists;
        if (made && ::mkdirat(dstDir, name.c_str(), 0700) != 0) return FailErrno(name);
        Folder src(OpenDir(srcDir, name.c_str()));
        Folder dst(OpenDir(dstDir, name.c_str()));
        struct stat opened{};
        if (!src.Valid() || ::fstat(src.Fd(), &opened) != 0 || !SameFile(opened, st))
            return Fail(name, "changed while it was being copied");
        if (!dst.Valid()) return FailErrno(name);
        bool ok = true;
        for (const auto& n : NamesIn(src)) ok = CopyAt(src.Fd(), n, dst.Fd(), job, depth + 1) && ok;
        if (made) {
            ::fchmod(dst.Fd(), st.st_mode & 0777);
            struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(dst.Fd(), times);
        }
        return ok;
    }
    if (S_ISLNK(st.st_mode)) return CopyLink(srcDir, name, st, dstDir, job);
    if (S_ISREG(st.st_mode)) return CopyFile(srcDir, name, st, dstDir, exists, job);
    // Devices, FIFOs and sockets are not copied; that is no failure.
    return true;
}

// ---- delete ----

bool RemoveAt(int dirFd, const std::string& name, int depth, Job& job);

bool RemoveChildren(const Folder& dir, int depth, Job& job) {
    bool ok = true;
    for (const auto& n : NamesIn(dir)) {
        if (job.cancelled) return false;
        ok = RemoveAt(dir.Fd(), n, depth + 1, job) && ok;
    }
    return ok;
}

bool RemoveAt(int dirFd, const std::string& name, int depth, Job& job) {
    if (depth > kMaxDepth) return Fail(name, "too deep");
    if (!job.Report(name)) return false;
    ++job.items;
    if (::unlinkat(dirFd, name.c_str(), 0) == 0) return true;
    if (errno != EISDIR && errno != EPERM) return FailErrno(name);
    // Another file system mounted inside is never emptied by a delete.
    struct statx st{};
    if (::statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) != 0)
        return FailErrno(name);
    if ((st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return Fail(name, "another file system is mounted there");
    Folder child(OpenDir(dirFd, name.c_str()));
    if (!child.Valid()) return FailErrno(name);
    bool ok = RemoveChildren(child, depth, job);
    child = Folder();
    if (job.cancelled) return false;
    if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) return ok ? FailErrno(name) : false;
    return ok;
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
        why = std::string(name) + " cannot be made: " + std::strerror(errno);
        return Folder();
    }
    Folder f(OpenDir(dirFd, name));
    struct stat st{};
    if (!f.Valid() || ::fstat(f.Fd(), &st) != 0) {
        why = std::string(name) + " is a link or no folder";
        return Folder();
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        why = std::string(name) + " belongs to another user or is open to others";
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
    if (homeTrash.Valid() && MountIdOf(homeTrash.Fd()) == mountId && mountId != 0) return homeTrash;

    // The top folder of the item's mount.
    Folder top(::openat(parentFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kMaxDepth && top.Valid(); ++i) {
        struct stat self{}, up{};
        if (::fstat(top.Fd(), &self) != 0 || ::fstatat(top.Fd(), "..", &up, 0) != 0 || SameFile(self, up)) break;
        if (MountIdOf(top.Fd(), "..") != mountId) break;
        top = Folder(::openat(top.Fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!top.Valid()) {
        why = "the top folder of its file system cannot be opened";
        return Folder();
    }
    const std::string uid = std::to_string(::geteuid());
    struct stat shared{};
    if (::fstatat(top.Fd(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        Folder sharedTrash(OpenDir(top.Fd(), ".Trash"));
        std::string ignored;
        if (sharedTrash.Valid()) {
            Folder own = OwnPrivateFolder(sharedTrash.Fd(), uid.c_str(), ignored);
            if (own.Valid()) return own;
        }
    }
    Folder own = OwnPrivateFolder(top.Fd(), (".Trash-" + uid).c_str(), why);
    if (!own.Valid()) why = "the trash folder of its file system is unsafe (" + why + ")";
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

bool MoveToTrash(int parentFd, const std::string& name, const std::string& nativePath) {
    uint64_t mountId = MountIdOf(parentFd);
    std::string why;
    Folder trash = TrashFor(parentFd, mountId, why);
    if (!trash.Valid()) return Fail(nativePath, why + "; nothing was moved");
    Folder files = OwnPrivateFolder(trash.Fd(), "files", why);
    Folder info = files.Valid() ? OwnPrivateFolder(trash.Fd(), "info", why) : Folder();
    if (!files.Valid() || !info.Valid()) return Fail(nativePath, "the trash is unsafe (" + why + "); nothing was moved");

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
        int fd = ::openat(info.Fd(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return FailErrno(nativePath);
        }
        bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlinkat(info.Fd(), infoName.c_str(), 0);
            return Fail(nativePath, "the trash information cannot be written");
        }
        if (RenameNoReplace(parentFd, name.c_str(), files.Fd(), candidate.c_str())) return true;
        int e = errno;
        ::unlinkat(info.Fd(), infoName.c_str(), 0);
        if (e == EEXIST) continue;
        errno = e;
        return FailErrno(nativePath);
    }
    return Fail(nativePath, "no free name in the trash");
}

} // namespace

void SetShellUi(ShellUi* ui) { g_shellUi = ui; }

const std::vector<std::string>& ShellErrors() { return g_errors; }
void AddShellError(const std::string& line) { g_errors.push_back(line); }
uint64_t ShellSkipped() { return g_skipped; }

bool ShellCopy(const ItemPath& source, const ItemPath& destFolder, bool confirm) {
    g_errors.clear();
    g_skipped = 0;
    const std::string what = source.Native();
    if (source.IsRoot()) return Fail(what, "a drive's root is not copied as an item");
    const std::string& name = source.Names.back();
    Folder srcParent = OpenParent(source);
    if (!srcParent.Valid()) return FailErrno(what);
    Folder dst = OpenFolder(destFolder);
    if (!dst.Valid()) return FailErrno(destFolder.Native());
    // Refuse to copy an item onto itself or a folder into its own subtree:
    // either would destroy or endlessly grow the source.
    struct stat s{};
    if (::fstatat(srcParent.Fd(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(what);
    if (S_ISDIR(s.st_mode)) {
        Folder walk(::openat(dst.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < kMaxDepth && walk.Valid(); ++i) {
            struct stat w{}, up{};
            if (::fstat(walk.Fd(), &w) != 0) break;
            if (SameFile(w, s)) return Fail(what, "a folder cannot be copied into itself");
            if (::fstatat(walk.Fd(), "..", &up, 0) != 0 || SameFile(up, w)) break;
            walk = Folder(::openat(walk.Fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    struct stat t{};
    if (::fstatat(dst.Fd(), name.c_str(), &t, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(t, s))
        return Fail(what, "an item cannot be copied onto itself");
    Job job;
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        uint64_t items = 0, bytes = 0;
        CountTree(srcParent.Fd(), name, items, bytes, 0);
        job.ui->Begin(false, items, bytes);
    }
    bool ok = CopyAt(srcParent.Fd(), name, dst.Fd(), job, 0);
    g_skipped = job.skipped;
    return ok && !job.cancelled;
}

bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm) {
    g_errors.clear();
    const std::string what = path.Native();
    if (path.IsRoot()) return Fail(what, "a drive's root is never deleted");
    const std::string& name = path.Names.back();
    Folder parent = OpenParent(path);
    if (!parent.Valid()) return FailErrno(what);
    struct stat st{};
    if (::fstatat(parent.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(what);
    if (S_ISDIR(st.st_mode) && HoldsMount(parent.Fd(), name))
        return Fail(what, "another file system is mounted inside; nothing was deleted");
    if (confirm && g_shellUi && !g_shellUi->ConfirmDelete(what, toTrash)) return false;
    if (toTrash) return MoveToTrash(parent.Fd(), name, what);
    Job job;
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        uint64_t items = 0, bytes = 0;
        CountTree(parent.Fd(), name, items, bytes, 0);
        job.ui->Begin(true, items, bytes);
    }
    return RemoveAt(parent.Fd(), name, 0, job) && !job.cancelled;
}

} // namespace nrvs::platform
