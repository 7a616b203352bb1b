#include "platform/ProgramLocation.h"
#include "platform/ErrorText.h"
#include "platform/FileAccess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ctime>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {
// No file of the program's own comes near this; a larger one is not ours and
// must not exhaust memory.
constexpr off_t kMaxOwnFile = off_t{4} << 30;
} // namespace

FileReader::~FileReader() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool FileReader::Open(const std::string& nativePath) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    read_ = 0;
    handle_ = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle_ < 0) return false;
    struct stat st {};
    if (::fstat(handle_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxOwnFile) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
        errno = EINVAL;
        return false;
    }
    ::fcntl(handle_, F_SETFL, ::fcntl(handle_, F_GETFL) & ~O_NONBLOCK);
    return true;
}

long FileReader::Read(char* buffer, size_t size) {
    if (handle_ < 0) return -1;
    for (;;) {
        ssize_t n = ::read(handle_, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        read_ += static_cast<unsigned long long>(n);
        if (read_ > static_cast<unsigned long long>(kMaxOwnFile)) return -1;
        return static_cast<long>(n);
    }
}

bool ReadWholeFile(const std::string& nativePath, std::string& out) {
    out.clear();
    // O_NONBLOCK: a FIFO put in place of the file must not hang the program;
    // it is refused below like a device.
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxOwnFile) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return false;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxOwnFile)) {
            ::close(fd);
            out.clear();
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool ReadFileStart(const std::string& nativePath, size_t maxBytes, std::string& out) {
    out.clear();
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.resize(maxBytes);
    ssize_t n;
    do
        n = ::pread(fd, out.data(), maxBytes, 0);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return n >= 0;
}

static bool WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool MakeFolders(const std::string& path, unsigned mode) {
    if (path.empty() || path == "/") return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), mode))
        return false;
    return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

bool RemoveOwnFile(const std::string& nativePath) {
    struct stat st {};
    if (::lstat(nativePath.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return false;
    return ::unlink(nativePath.c_str()) == 0 || errno == ENOENT;
}

std::string RandomSuffix() {
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // Without the kernel's generator: time and address bits; O_EXCL still
        // makes a guessed name fail instead of being used.
        struct timespec ts {};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        uint64_t v = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 30) ^
                     reinterpret_cast<uintptr_t>(&ts);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(v), v >>= 8;
    }
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (unsigned char b : bytes) {
        s += hex[b >> 4];
        s += hex[b & 15];
    }
    return s;
}

namespace {

std::string DirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are "<name>.tmp<pid>.<16 hex digits>". One left behind by a
// process of ours that was killed is removed; another user's file, a link, or
// the file of a process still running is left alone.
void RemoveStaleTemporaries(int dirFd, const std::string& name) {
    const std::string prefix = name + ".tmp";
    int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
        std::string_view n(e->d_name);
        if (n.substr(0, prefix.size()) != prefix) continue;
        std::string_view rest = n.substr(prefix.size());
        size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos || rest.size() - dot - 1 != 16) continue;
        long pid = 0;
        bool digits = true;
        for (char c : rest.substr(0, dot)) {
            if (c < '0' || c > '9' || pid > 100000000) digits = false;
            pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        stale.emplace_back(n);
    }
    for (const auto& n : stale) {
        struct stat st {};
        if (::fstatat(dirFd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(dirFd, n.c_str(), 0);
    }
    ::closedir(d);
}

// Writes a temporary file beside the target with write(fd), flushes it and
// renames it over the target; on any failure the target stays as it was.
// The temporary name cannot be guessed and is created exclusively, so a link
// planted in a shared folder is never written through.
thread_local std::string t_lastWriteError;

bool Refuse(int err, const std::string& why) {
    t_lastWriteError = why;
    errno = err;
    return false;
}

// What stands at the name when it is not a file that may be replaced.
const char* Obstacle(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

template <typename Writer>
bool ReplaceWith(const std::string& nativePath, Writer write, const std::function<bool()>& gate);

template <typename Writer>
bool Replace(const std::string& nativePath, Writer write, const std::function<bool()>& gate = {}) {
    t_lastWriteError.clear();
    bool ok = ReplaceWith(nativePath, write, gate);
    if (!ok && t_lastWriteError.empty()) {
        int err = errno;
        t_lastWriteError = SystemReason(err);
        errno = err;
    }
    return ok;
}

template <typename Writer>
bool ReplaceWith(const std::string& nativePath, Writer write, const std::function<bool()>& gate) {
    const std::string dir = DirOf(nativePath), name = NameOf(nativePath);
    if (name.empty()) return Refuse(EISDIR, SystemReason(EISDIR)); // a name ending in a separator
    PrepareProgramFolderOf(nativePath);
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    // A device, FIFO or socket at the name is somebody's (as root, perhaps
    // the system's own /dev/null): never swapped for a regular file. A link
    // is fine: the rename replaces the link itself.
    struct stat there {};
    if (::fstatat(dirFd, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(there.st_mode) && !S_ISLNK(there.st_mode)) {
        ::close(dirFd);
        return Refuse(EEXIST, std::string(Obstacle(there.st_mode)) +
                                  " is there, not a regular file; nothing was written");
    }
    RemoveStaleTemporaries(dirFd, name);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = name + ".tmp" + std::to_string(::getpid()) + "." + RandomSuffix();
        fd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int err = errno;
        ::close(dirFd);
        errno = err;
        return false;
    }
    // Keep the permission bits of the file being replaced (never a set-id bit).
    struct stat old {};
    if (::fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 0777);
    bool ok = write(fd) && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    ok = (::close(fd) == 0) && ok;
    if (!ok && !err) err = errno;
    if (ok && gate && !gate()) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        ::close(dirFd);
        return Refuse(ECANCELED, "not saved: what it belongs to was not saved");
    }
    t_lastWriteError.clear(); // what the gate wrote meanwhile is not this file's reason
    // The check above raced with anything planted since: look again just
    // before the rename, which itself never follows a link.
    if (ok && ::fstatat(dirFd, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(there.st_mode) && !S_ISLNK(there.st_mode)) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        ::close(dirFd);
        return Refuse(EEXIST, std::string(Obstacle(there.st_mode)) +
                                  " is there, not a regular file; nothing was written");
    }
    if (ok) ok = ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0;
    if (!ok && !err) err = errno;
    if (!ok) ::unlinkat(dirFd, temp.c_str(), 0);
    ::close(dirFd);
    // Callers report why; the cleanup above must not change the reason.
    if (!ok) errno = err ? err : EIO;
    return ok;
}
} // namespace

const std::string& LastWriteError() {
    return t_lastWriteError;
}

std::string FileStamp(const std::string& nativePath) {
    struct stat st {};
    if (::lstat(nativePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

// Also what MappedFile.cpp names its mappings by.
std::string FileIdentity(const struct stat& st) {
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

bool MapFileReadOnly(const std::string& nativePath, const void*& data, size_t& length,
                     std::string* identity) {
    data = nullptr;
    length = 0;
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return false;
    data = p;
    length = static_cast<size_t>(st.st_size);
    if (identity) *identity = FileIdentity(st);
    return true;
}

void UnmapFile(const void* data, size_t length) {
    if (data) ::munmap(const_cast<void*>(data), length);
}

bool LinkAsTemporary(const std::string& existing, const std::string& target, std::string& temp) {
    temp.clear();
    struct stat st {};
    if (::lstat(existing.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !PrepareProgramFolderOf(target))
        return false;
    const std::string name = target + ".tmp" + std::to_string(::getpid()) + "." + RandomSuffix();
    // link() names the link itself, never what a link planted meanwhile
    // points at.
    if (::link(existing.c_str(), name.c_str()) != 0) return false;
    temp = name;
    return true;
}

bool RenameOwnFile(const std::string& from, const std::string& target) {
    struct stat there {};
    if (::lstat(target.c_str(), &there) == 0 && !S_ISREG(there.st_mode) &&
        !S_ISLNK(there.st_mode)) {
        t_lastWriteError = std::string(Obstacle(there.st_mode)) +
                           " is there, not a regular file; nothing was written";
        return false;
    }
    if (::rename(from.c_str(), target.c_str()) == 0) return true;
    t_lastWriteError = SystemReason(errno);
    return false;
}

bool ReplaceFilePlaced(const std::string& nativePath, uint64_t length,
                       const std::function<bool(const PutBytesAt& put)>& produce,
                       const std::function<bool()>& gate) {
    const auto write = [&](int fd) {
        if (::ftruncate(fd, static_cast<off_t>(length)) != 0) return false;
        bool failed = false;
        PutBytesAt put = [&](uint64_t offset, std::string_view data) {
            if (failed) return false;
            if (offset + data.size() > length) {
                errno = EINVAL;
                failed = true;
                return false;
            }
            for (size_t done = 0; done < data.size();) {
                const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done,
                                           static_cast<off_t>(offset + done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    if (n == 0) errno = EIO;
                    failed = true;
                    return false;
                }
                done += static_cast<size_t>(n);
            }
            return true;
        };
        return produce(put) && !failed;
    };
    return Replace(nativePath, write, gate);
}

ScratchFile::~ScratchFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool ScratchFile::Open(const std::string& nativeFolder) {
    if (handle_ >= 0) return true;
    handle_ = ::open(nativeFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (handle_ >= 0) return true;
    // File systems without unnamed files: a name of its own, taken away at once.
    std::string name = nativeFolder;
    if (name.empty() || name.back() != '/') name += '/';
    name += ".nrvs-scratch.XXXXXX";
    handle_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle_ < 0) return false;
    ::unlink(name.c_str());
    return true;
}

bool ScratchFile::WriteAt(uint64_t offset, std::string_view bytes) {
    for (size_t done = 0; handle_ >= 0 && done < bytes.size();) {
        const ssize_t n = ::pwrite(static_cast<int>(handle_), bytes.data() + done,
                                   bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why_ = SystemReason(n == 0 ? EIO : errno);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return handle_ >= 0;
}

bool ScratchFile::ReadAt(uint64_t offset, void* to, size_t n) const {
    char* p = static_cast<char*>(to);
    for (size_t done = 0; handle_ >= 0 && done < n;) {
        const ssize_t got = ::pread(static_cast<int>(handle_), p + done, n - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            why_ = SystemReason(got == 0 ? EIO : errno);
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return handle_ >= 0;
}

bool ReplaceFileFromMapping(const std::string& nativePath, const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    return ReplaceFileStreamed(nativePath, [&](const PutBytes& put) {
        constexpr size_t kPiece = size_t{1} << 20; // a whole number of pages
        for (size_t at = 0; at < length; at += kPiece) {
            const size_t n = std::min(kPiece, length - at);
            if (!put({bytes + at, n})) return false;
            // The file keeps the bytes; the process need not.
            ::madvise(const_cast<char*>(bytes + at), n, MADV_DONTNEED);
        }
        return true;
    });
}

bool WriteAt(const std::string& nativePath, uint64_t offset, std::string_view bytes,
             const std::string& identity) {
    int fd = ::open(nativePath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && FileIdentity(st) == identity &&
              offset + bytes.size() <= static_cast<uint64_t>(st.st_size);
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

FileLock::FileLock(const std::string& nativePath) {
    PrepareProgramFolderOf(nativePath);
    int fd = ::open(nativePath.c_str(),
                    O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) return;
    int r;
    do
        r = ::flock(fd, LOCK_EX);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        ::close(fd);
        return;
    }
    handle_ = fd;
}

FileLock::~FileLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_)); // closing lets go of the lock
}

bool ReplaceFileStreamed(const std::string& nativePath,
                         const std::function<bool(const PutBytes& put)>& produce) {
    return ReplaceFileStreamedGated(nativePath, produce, {});
}

bool ReplaceFileStreamedGated(const std::string& nativePath,
                              const std::function<bool(const PutBytes& put)>& produce,
                              const std::function<bool()>& gate) {
    return Replace(
        nativePath,
        [&](int fd) {
            bool failed = false;
            // Write-back of what is written is started every megabyte, so
            // that the disk works while the rest is produced and the fsync
            // before the rename waits only for the tail.
            constexpr off_t kStartWriteBack = off_t{1} << 20;
            off_t written = 0, started = 0;
            PutBytes put = [&](std::string_view data) {
                // Long runs (a mapped file's kept lines) in pieces, so that the
                // write-back starts within them too.
                while (!failed && !data.empty()) {
                    const std::string_view piece =
                        data.substr(0, static_cast<size_t>(kStartWriteBack));
                    data.remove_prefix(piece.size());
                    if (!WriteAll(fd, piece)) failed = true;
                    written += static_cast<off_t>(piece.size());
                    if (!failed && written - started >= kStartWriteBack) {
                        ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
                        started = written;
                    }
                }
                return !failed;
            };
            return produce(put) && !failed;
        },
        gate);
}

std::intptr_t OpenFileHandle(const std::string& nativePath, bool read, bool write,
                             uint32_t creation) {
    int flags = O_CLOEXEC;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (creation) {
    case 1:
        flags |= O_CREAT | O_EXCL;
        break;
    case 2:
        flags |= O_CREAT | O_TRUNC;
        break;
    case 4:
        flags |= O_CREAT;
        break;
    case 5:
        flags |= O_TRUNC;
        break;
    default:
        break;
    }
    const int fd = ::open(nativePath.c_str(), flags, 0644);
    return fd < 0 ? kNoFileHandle : fd;
}

long WriteFileHandle(std::intptr_t handle, const void* bytes, long length) {
    if (handle < 0 || length < 0) return -1;
    const char* p = static_cast<const char*>(bytes);
    long done = 0;
    while (done < length) {
        ssize_t n = ::write(static_cast<int>(handle), p + done, static_cast<size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        done += n;
    }
    return done;
}

void CloseFileHandle(std::intptr_t handle) {
    if (handle >= 0) ::close(static_cast<int>(handle));
}

bool LocalTime(int64_t seconds, struct std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return ::localtime_r(&t, &out) != nullptr;
}

} // namespace nrvs::platform

namespace nrvs::platform {

bool AppendToFile(const std::string& nativePath, std::string_view bytes, bool flush,
                  uint64_t* offset) {
    t_lastWriteError.clear();
    PrepareProgramFolderOf(nativePath);
    // Told apart before opening: a FIFO or socket would only say ENXIO, and
    // a link is never appended through.
    struct stat there {};
    if (::lstat(nativePath.c_str(), &there) == 0 && !S_ISREG(there.st_mode))
        return Refuse(EEXIST,
                      std::string(S_ISLNK(there.st_mode) ? "a link" : Obstacle(there.st_mode)) +
                          " is there, not a regular file; nothing was written");
    const int fd = ::open(
        nativePath.c_str(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return Refuse(errno, SystemReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Refuse(EINVAL, Obstacle(st.st_mode));
    }
    if (offset) *offset = static_cast<uint64_t>(st.st_size);
    bool ok = WriteAll(fd, bytes) && (!flush || ::fdatasync(fd) == 0);
    const int err = errno;
    ok = ::close(fd) == 0 && ok;
    return ok || Refuse(err, SystemReason(err));
}

} // namespace nrvs::platform
