#include "platform/Pshell.h"

#include "platform/Penum.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform {

namespace {

ShellUi* g_shellUi = nullptr;

// Deep trees are handled up to this depth; deeper ones fail rather than
// exhaust the stack.
constexpr int kMaxDepth = 4096;

std::string Parent(const std::string& p) {
    std::string s = p;
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    size_t slash = s.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : s.substr(0, slash);
}

std::string Name(const std::string& p) {
    std::string s = p;
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    size_t slash = s.find_last_of('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

std::string Trimmed(const std::string& p) {
    std::string s = p;
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool CopyFileData(int srcDir, const char* name, int dstDir, mode_t mode) {
    int in = ::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::openat(dstDir, name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 17);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        for (ssize_t off = 0; off < n;) {
            ssize_t w = ::write(out, buf.data() + off, static_cast<size_t>(n - off));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                ok = false;
                break;
            }
            off += w;
        }
        if (!ok) break;
    }
    ::fchmod(out, mode & 07777);
    ok = (::close(out) == 0) && ok;
    ::close(in);
    return ok;
}

bool RemoveAt(int dirFd, const char* name, int depth);

bool RemoveChildren(const Folder& dir, int depth) {
    std::vector<std::string> names;
    {
        FolderReader reader(dir, false);
        FindData d;
        while (reader.Next(d)) names.emplace_back(d.Name);
    }
    bool ok = true;
    for (const auto& n : names) ok = RemoveAt(dir.Fd(), n.c_str(), depth + 1) && ok;
    return ok;
}

bool RemoveAt(int dirFd, const char* name, int depth) {
    if (depth > kMaxDepth) return false;
    if (::unlinkat(dirFd, name, 0) == 0) return true;
    if (errno != EISDIR && errno != EPERM) return false;
    // Another file system mounted inside is never emptied by a delete.
    struct statx st{};
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) != 0) return false;
    if ((st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT)) return false;
    Folder child = Folder(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!child.Valid()) return false;
    bool ok = RemoveChildren(child, depth);
    child = Folder();
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 && ok;
}

struct CopyJob {
    bool confirm;
    bool cancelled = false;
};

bool CopyAt(int srcDir, const char* name, int dstDir, CopyJob& job, int depth) {
    if (depth > kMaxDepth || job.cancelled) return false;
    struct stat st{};
    if (::fstatat(srcDir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (job.confirm && g_shellUi && !g_shellUi->Progress(name)) {
        job.cancelled = true;
        return false;
    }
    struct stat existing{};
    bool exists = ::fstatat(dstDir, name, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // The same file reached through a hard link: writing it would empty the
    // source before it is read.
    if (exists && existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) return true;
    // A file never replaces a folder, nor a folder a file: that would throw a
    // whole tree away.
    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode)) return false;
    if (exists && !S_ISDIR(existing.st_mode) && job.confirm && g_shellUi && !g_shellUi->ConfirmReplace(name)) {
        job.cancelled = true;
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        if (exists && !S_ISDIR(existing.st_mode) && ::unlinkat(dstDir, name, 0) != 0) return false;
        if (!exists || !S_ISDIR(existing.st_mode))
            if (::mkdirat(dstDir, name, (st.st_mode & 07777) | S_IRWXU) != 0) return false;
        Folder src(::openat(srcDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        Folder dst(::openat(dstDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!src.Valid() || !dst.Valid()) return false;
        std::vector<std::string> names;
        {
            FolderReader reader(src, false);
            FindData d;
            while (reader.Next(d)) names.emplace_back(d.Name);
        }
        bool ok = true;
        for (const auto& n : names) ok = CopyAt(src.Fd(), n.c_str(), dst.Fd(), job, depth + 1) && ok;
        ::fchmod(dst.Fd(), st.st_mode & 07777);
        return ok;
    }
    if (exists && S_ISDIR(existing.st_mode)) {
        if (!RemoveAt(dstDir, name, depth)) return false;
    } else if (exists && (S_ISLNK(st.st_mode) || !S_ISREG(existing.st_mode))) {
        ::unlinkat(dstDir, name, 0);
    }
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<size_t>(st.st_size) + 2);
        ssize_t n = ::readlinkat(srcDir, name, target.data(), target.size() - 1);
        if (n < 0) return false;
        target[static_cast<size_t>(n)] = 0;
        return ::symlinkat(target.data(), dstDir, name) == 0;
    }
    if (S_ISREG(st.st_mode)) return CopyFileData(srcDir, name, dstDir, st.st_mode);
    // Devices, FIFOs and sockets are not copied; that is no failure.
    return true;
}

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

bool MakeDirs(const std::string& path) {
    if (path.empty() || path == "/") return true;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (!MakeDirs(Parent(path))) return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string AbsolutePath(const std::string& p) {
    if (!p.empty() && p.front() == '/') return Trimmed(p);
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return Trimmed(p);
    return Trimmed(std::string(cwd) + "/" + p);
}

bool MoveToTrash(const std::string& path) {
    std::string abs = AbsolutePath(path);
    std::string trash = TrashFolderFor(abs);
    if (!MakeDirs(trash + "/files") || !MakeDirs(trash + "/info")) return false;
    std::string base = Name(abs);
    // The .trashinfo is created exclusively: it reserves the name.
    for (int n = 1; n < 100000; ++n) {
        std::string candidate = n == 1 ? base : base + "." + std::to_string(n);
        std::string info = trash + "/info/" + candidate + ".trashinfo";
        int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        char date[32];
        std::time_t now = std::time(nullptr);
        struct tm tm{};
        ::localtime_r(&now, &tm);
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
        std::string text = "[Trash Info]\nPath=" + PercentEncoded(abs) + "\nDeletionDate=" + date + "\n";
        bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ok = ::close(fd) == 0 && ok;
        std::string dest = trash + "/files/" + candidate;
        struct stat st{};
        if (ok && ::lstat(dest.c_str(), &st) == 0) {
            ::unlink(info.c_str());
            continue;
        }
        if (ok && ::rename(abs.c_str(), dest.c_str()) == 0) return true;
        ::unlink(info.c_str());
        return false;
    }
    return false;
}

} // namespace

void SetShellUi(ShellUi* ui) { g_shellUi = ui; }

std::string TrashFolderFor(const std::string& path) {
    std::string home = HomeTrash();
    std::string homeBase = Parent(home);
    MakeDirs(homeBase);
    struct stat a{}, b{};
    if (::lstat(path.c_str(), &a) != 0 || ::stat(homeBase.c_str(), &b) != 0 || a.st_dev == b.st_dev) return home;
    // Another file system: its top directory's own trash, so that the move is
    // a rename and not a copy.
    std::string top = AbsolutePath(path);
    for (;;) {
        std::string up = Parent(top);
        struct stat s{};
        if (up == top || ::stat(up.c_str(), &s) != 0 || s.st_dev != a.st_dev) break;
        top = up;
    }
    return (top == "/" ? std::string() : top) + "/.Trash-" + std::to_string(::getuid());
}

bool ShellCopy(const std::string& source, const std::string& destFolder, bool confirm) {
    std::string src = Trimmed(source);
    std::string name = Name(src);
    if (name.empty() || name == "/" || name == "." || name == "..") return false;
    Folder srcParent = Folder::Open(Parent(src));
    Folder dst = Folder::Open(destFolder);
    if (!srcParent.Valid() || !dst.Valid()) return false;
    // Refuse to copy an item onto itself or a folder into its own subtree:
    // either would destroy or endlessly grow the source.
    struct stat s{}, d{};
    if (::fstatat(srcParent.Fd(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (::fstat(dst.Fd(), &d) == 0 && S_ISDIR(s.st_mode)) {
        Folder walk = Folder::Open(destFolder);
        for (int i = 0; i < kMaxDepth && walk.Valid(); ++i) {
            struct stat w{};
            if (::fstat(walk.Fd(), &w) != 0) break;
            if (w.st_dev == s.st_dev && w.st_ino == s.st_ino) return false;
            struct stat up{};
            if (::fstatat(walk.Fd(), "..", &up, 0) != 0 || (up.st_dev == w.st_dev && up.st_ino == w.st_ino)) break;
            walk = Folder(::openat(walk.Fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    struct stat t{};
    if (::fstatat(dst.Fd(), name.c_str(), &t, AT_SYMLINK_NOFOLLOW) == 0 && t.st_dev == s.st_dev && t.st_ino == s.st_ino)
        return false;
    CopyJob job{confirm};
    return CopyAt(srcParent.Fd(), name.c_str(), dst.Fd(), job, 0) && !job.cancelled;
}

bool ShellDelete(const std::string& path, bool toTrash, bool confirm) {
    std::string p = Trimmed(path);
    std::string name = Name(p);
    if (name.empty() || name == "/" || name == "." || name == "..") return false;
    if (confirm && g_shellUi && !g_shellUi->ConfirmDelete(p, toTrash)) return false;
    if (toTrash) return MoveToTrash(p);
    Folder parent = Folder::Open(Parent(p));
    if (!parent.Valid()) return false;
    return RemoveAt(parent.Fd(), name.c_str(), 0);
}

} // namespace nrvs::platform
