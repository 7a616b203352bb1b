#include "platform/Trash.h"

#include "platform/ErrorText.h"
#include "platform/FileAccess.h"
#include "platform/linux/FolderWalk.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nrvs::platform {

using namespace posix;

namespace {

std::string PercentEncoded(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
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
    struct stat st {};
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
    if (homeTrash.Valid() && MountIdOf(homeTrash.Handle()) == mountId && mountId != 0)
        return homeTrash;

    // The top folder of the item's mount.
    Folder top(::openat(parentFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kMaxClimb && top.Valid(); ++i) {
        struct stat self {
        }, up{};
        if (::fstat(top.Handle(), &self) != 0 || ::fstatat(top.Handle(), "..", &up, 0) != 0 ||
            SameFile(self, up))
            break;
        if (MountIdOf(top.Handle(), "..") != mountId) break;
        top = Folder(::openat(top.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!top.Valid()) {
        why = "ファイルシステムの最上位のフォルダを開けません";
        return Folder();
    }
    const std::string uid = std::to_string(::geteuid());
    struct stat shared {};
    if (::fstatat(top.Handle(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
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
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
    }
    return name + suffix;
}

bool RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::syscall(SYS_renameat2, fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st {};
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

} // namespace

bool HasSafeTrash(const Folder& parent, std::string& why) {
    Folder files, info;
    return OpenTrash(parent.Handle(), files, info, why);
}

bool MoveToTrash(const Folder& parent, const std::string& name, const std::string& nativePath,
                 std::vector<OperationFailure>& failures) {
    const int parentFd = parent.Handle();
    Folder files, info;
    std::string why;
    if (!OpenTrash(parentFd, files, info, why))
        return Fail(failures, nativePath, why + "。何も移動していません");

    std::string abs = FdPath(parentFd);
    abs = (abs == "/" ? "" : abs) + "/" + name;
    char date[32];
    std::time_t now = std::time(nullptr);
    struct tm tm {};
    ::localtime_r(&now, &tm);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    const std::string text =
        "[Trash Info]\nPath=" + PercentEncoded(abs) + "\nDeletionDate=" + date + "\n";
    // The .trashinfo is created exclusively: it reserves the name.
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate = TrashName(name, n);
        const std::string infoName = candidate + ".trashinfo";
        int fd = ::openat(info.Handle(), infoName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return FailErrno(failures, nativePath);
        }
        bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlinkat(info.Handle(), infoName.c_str(), 0);
            return Fail(failures, nativePath, "ごみ箱の情報を書き込めません");
        }
        if (RenameNoReplace(parentFd, name.c_str(), files.Handle(), candidate.c_str())) return true;
        int e = errno;
        ::unlinkat(info.Handle(), infoName.c_str(), 0);
        if (e == EEXIST) continue;
        errno = e;
        return FailErrno(failures, nativePath);
    }
    return Fail(failures, nativePath, "ごみ箱に空いている名前がありません");
}

} // namespace nrvs::platform
