#include "platform/linux/OperationJob.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

using namespace posix;

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
        struct stat st {};
        if (::fstatat(dirFd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(dirFd, n.c_str(), 0);
    }
}

// ---- the tree ----

const char* SpecialKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISSOCK(mode)) return "ソケット";
    return "デバイス";
}

// A folder being copied: its frame on the walk's stack.
struct CopyFrame {
    std::string name;
    struct stat st {}; // the source folder
    bool made = false; // made by this copy: it gets the source's metadata when done
    std::vector<std::string> names;
    size_t next = 0;
    size_t pathLength = 0; // of the job's path before this folder
};

struct CopyWalk {
    FolderChain src, dst;
    std::vector<CopyFrame> frames;
};

// Copies name of srcDir into dstDir: files and links at once; a folder is
// made (or found) and entered, and its entries follow on the walk.
void CopyEntry(int srcDir, const std::string& name, int dstDir, CopyWalk& w, Job& job) {
    if (job.Over()) return;
    struct stat st {};
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
    struct stat existing {};
    bool exists = ::fstatat(dstDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // The same file reached through a hard link: nothing to copy.
    if (exists && SameFile(existing, st)) return;
    // A file never replaces a folder, nor a folder a file: that would throw a
    // whole tree away.
    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode)) {
        job.Fail(name, S_ISDIR(st.st_mode) ? "同じ名前のファイルがあります"
                                           : "同じ名前のフォルダがあります");
        return;
    }
    if (exists && !S_ISDIR(existing.st_mode) && job.observer && !job.replaceAll) {
        switch (job.observer->ConfirmReplace(name)) {
        case FileOperationObserver::REPLACE_YES:
            break;
        case FileOperationObserver::REPLACE_ALL:
            job.replaceAll = true;
            break;
        case FileOperationObserver::REPLACE_NO:
            ++job.skipped;
            ++job.items;
            job.bytes += S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
            return;
        default:
            job.cancelled = true;
            return;
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
    struct stat opened {};
    if (!src.Valid()) {
        // A link or file swapped in for the folder is refused by the open;
        // anything else (no permission) is reported as it is.
        if (errno == ELOOP || errno == ENOTDIR)
            job.Fail(name, "コピー中に変更されました");
        else
            job.FailErrno(name);
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
    if (made) job.madeSomething = true;
    Folder dst(OpenDir(dstDir, name.c_str()));
    struct stat dstSt {};
    if (!dst.Valid() || ::fstat(dst.Handle(), &dstSt) != 0) {
        job.FailErrno(name);
        return;
    }
    if (made)
        job.made.insert(Identity(dstSt));
    else
        RemoveStaleCopies(dst.Handle());
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
            const std::string n = f.names[f.next++]; // f moves when a folder is entered
            CopyEntry(w.src.Top(), n, w.dst.Top(), w, job);
            continue;
        }
        CopyFrame done = std::move(f);
        w.frames.pop_back();
        // A folder that was there already gets the source's mode, owner and
        // times too, as a file does (as cp -a gives them): one a killed copy
        // left private would otherwise stay so.
        if (w.dst.Top() >= 0) KeepMetadata(w.src.Top(), w.dst.Top(), done.st, job, "");
        job.path.resize(done.pathLength);
        job.dstNames.pop_back();
        const bool srcBack = w.src.Pop(), dstBack = w.dst.Pop();
        if ((!srcBack || !dstBack) && !job.stopped) {
            job.Fail(done.name, "コピー中に上のフォルダが移動されました");
            job.stopped = true;
        }
    }
}

} // namespace

bool IsCopyTemporaryName(std::string_view name) {
    long pid = 0;
    return ParseTemporaryName(name, pid);
}

FileOperationResult CopyIntoFolder(const ItemPath& source, const ItemPath& destFolder,
                                   FileOperationObserver* observer) {
    FileOperationResult result;
    std::vector<OperationFailure>& failures = result.failures;
    const std::string what = source.Native();
    if (source.IsRoot())
        return Fail(failures, what, "ドライブのルートは項目としてコピーできません"), result;
    const std::string& name = source.Names.back();
    Folder srcParent = OpenParent(source);
    if (!srcParent.Valid()) return FailErrno(failures, what), result;
    Folder dst = OpenFolder(destFolder);
    if (!dst.Valid()) return FailErrno(failures, destFolder.Native()), result;
    // Refuse to copy an item onto itself or a folder into its own subtree:
    // either would destroy or endlessly grow the source.
    struct stat s {
    }, d{};
    if (::fstatat(srcParent.Handle(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0)
        return FailErrno(failures, what), result;
    if (::fstat(dst.Handle(), &d) != 0) return FailErrno(failures, destFolder.Native()), result;
    if (S_ISDIR(s.st_mode)) {
        Folder walk(::openat(dst.Handle(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < kMaxClimb && walk.Valid(); ++i) {
            struct stat w {
            }, up{};
            if (::fstat(walk.Handle(), &w) != 0) break;
            if (SameFile(w, s))
                return Fail(failures, what, "フォルダをそれ自身の中にはコピーできません"), result;
            if (::fstatat(walk.Handle(), "..", &up, 0) != 0 || SameFile(up, w)) break;
            walk = Folder(::openat(walk.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    struct stat t {};
    if (::fstatat(dst.Handle(), name.c_str(), &t, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(t, s))
        return Fail(failures, what, "項目をそれ自身の上にはコピーできません"), result;
    uint64_t items = 0, bytes = 0;
    if (ScanTree(srcParent.Handle(), name, items, bytes, &d))
        return Fail(failures, what, "フォルダをそれ自身の中にはコピーできません"), result;
    Job job;
    job.path = ParentNative(source);
    job.dstTop = dst.Handle();
    job.dstTopId = Identity(d);
    if (observer) {
        job.observer = observer;
        job.observer->Begin(false, items, bytes);
    }
    RemoveStaleCopies(dst.Handle());
    CopyTree(srcParent.Handle(), name, dst.Handle(), job);
    result.ok = job.failures.empty() && !job.Over();
    failures = std::move(job.failures);
    // Not kept attributes are worth a word but no failure: the data is whole.
    if (job.attributesNote) failures.push_back(*job.attributesNote);
    result.skipped = job.skipped;
    result.madeSomething = job.madeSomething;
    return result;
}

} // namespace nrvs::platform
