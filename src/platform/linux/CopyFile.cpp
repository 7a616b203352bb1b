#include "platform/linux/OperationJob.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace nrvs::platform::posix {

namespace {

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
        if (job.observer && !job.Report(name, static_cast<uint64_t>(inOff - from))) return false;
        size_t want = static_cast<size_t>(
            std::min<off_t>(to - inOff, job.observer ? kProgressChunk : off_t{1} << 30));
        if (kernelCopy) {
            ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, want, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF)
                return false;
            kernelCopy = false;
            buf.resize(bufSize);
        }
        ssize_t n = ::pread(in, buf.data(), std::min(want, buf.size()), inOff);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w =
                ::pwrite(out, buf.data() + done, static_cast<size_t>(n - done), outOff + done);
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
        if (errno == EOPNOTSUPP || errno == EXDEV || errno == EINVAL || errno == ENOTTY)
            job.tryClone = false;
    }
    if (allocated >= size) return CopyRange(in, out, 0, size, job, name);
    off_t pos = 0;
    while (pos < size) {
        off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break; // only a hole is left
            data = pos;                // no hole support: all of it is data
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
        if (errno != ERANGE) return; // the source keeps none
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
        if (v < 0 && errno == ENODATA) continue; // removed meanwhile
        if (v < 0 || ::fsetxattr(to, attr, value.data(), static_cast<size_t>(v), 0) != 0) {
            if (!job.attributesNote) {
                const int err = errno;
                job.attributesNote =
                    OperationFailure{job.PathOf(name),
                                     "拡張属性はコピーされませんでした: " + SystemReason(err), err};
            }
        }
    }
}

// A later name of a file copied already: a link to its first copy, so that
// the copy keeps the source's hard links. False when that copy cannot be
// found as it was made; the file is then copied as a file of its own.
bool LinkToFirstCopy(int dstDir, const std::string& name, const struct stat& st, Job& job) {
    auto it = job.linked.find(Identity(st));
    if (it == job.linked.end() || job.dstTop < 0) return false;
    const std::vector<std::string>& names = it->second.names;
    Folder dir(::openat(job.dstTop, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; i + 1 < names.size() && dir.Valid(); ++i)
        dir = dir.OpenChild(names[i]);
    struct stat first {};
    if (!dir.Valid() ||
        ::fstatat(dir.Handle(), names.back().c_str(), &first, AT_SYMLINK_NOFOLLOW) != 0 ||
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
    struct stat left {};
    if (::fstatat(dstDir, temp.c_str(), &left, AT_SYMLINK_NOFOLLOW) == 0 &&
        Identity(left) == it->second.copy)
        ::unlinkat(dstDir, temp.c_str(), 0);
    return true;
}

} // namespace

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
    if (S_ISDIR(st.st_mode))
        keep |= S_ISVTX | (groupKept ? S_ISGID : 0) | (ownerKept ? S_ISUID : 0);
    else if (ownerKept)
        keep |= S_ISUID | S_ISGID;
    bool ok = ::fchmod(to, st.st_mode & keep) == 0;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(to, times);
    return ok;
}

bool CopyFile(int srcDir, const std::string& name, const struct stat& listed, int dstDir,
              bool replacing, Job& job) {
    // Never block on a FIFO or device swapped in since the listing, and never
    // read anything but the file that was listed.
    int in =
        ::openat(srcDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        return errno == ELOOP ? job.Fail(name, "コピー中に変更されました") : job.FailErrno(name);
    struct stat st {};
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
        out = ::openat(dstDir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0600);
        if (out < 0 && errno != EEXIST) break;
    }
    if (out < 0) {
        int e = errno;
        ::close(in);
        errno = e;
        return job.FailErrno(name);
    }
    job.madeSomething = true;
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
        struct stat after {};
        changed = ::fstat(in, &after) != 0 || after.st_size != st.st_size ||
                  after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
                  after.st_mtim.tv_nsec != st.st_mtim.tv_nsec;
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
        struct stat copy {};
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
    job.madeSomething = true;
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

} // namespace nrvs::platform::posix
