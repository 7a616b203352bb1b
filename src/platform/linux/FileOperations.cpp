#include "platform/FileOperations.h"

#include "platform/ErrorText.h"
#include "platform/Trash.h"
#include "platform/linux/OperationJob.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

using namespace posix;

// ---- delete ----

// A folder being emptied: its frame on the walk's stack.
struct RemoveFrame {
    std::string name;
    std::vector<std::string> names;
    size_t next = 0;
    size_t pathLength = 0;
    size_t failuresBefore = 0;
};

// Removes name of dirFd: a file at once; a folder is entered, and removed
// when its entries are gone.
void RemoveEntry(int dirFd, const std::string& name, FolderChain& chain,
                 std::vector<RemoveFrame>& frames, Job& job) {
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
    struct statx sx {};
    if (::statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &sx) !=
        0) {
        job.FailErrno(name);
        return;
    }
    if ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
        (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT)) {
        job.Fail(name, "別のファイルシステムがマウントされています");
        return;
    }
    Folder child(OpenDir(dirFd, name.c_str()));
    struct stat st {};
    if (!child.Valid() || ::fstat(child.Handle(), &st) != 0) {
        if (errno == ENOTDIR) errno = unlinkError;
        job.FailErrno(name);
        return;
    }
    RemoveFrame f;
    f.name = name;
    f.names = NamesIn(child);
    f.pathLength = job.path.size();
    f.failuresBefore = job.failures.size();
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
            const std::string n = f.names[f.next++]; // f moves when a folder is entered
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
        if (::unlinkat(parent, done.name.c_str(), AT_REMOVEDIR) != 0 &&
            job.failures.size() == done.failuresBefore)
            job.FailErrno(done.name);
    }
}

// Whether the item may go: never a drive's root, by any letter, link or
// spelling, nor a folder holding one; no other file system mounted inside;
// its folder writable, on a file system that is not read-only. Checked
// before anything is done, so that a refusal leaves everything as it was.
// parent and st: the item's folder and the item, for the caller.
bool CheckRemovable(const ItemPath& item, bool toTrash, Folder& parent, struct stat& st,
                    std::vector<OperationFailure>& failures) {
    const std::string what = item.Native();
    if (item.IsRoot()) return Fail(failures, what, "ドライブのルートは削除できません");
    const std::string& name = item.Names.back();
    parent = OpenParent(item);
    if (!parent.Valid()) return FailErrno(failures, what);
    if (::fstatat(parent.Handle(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailErrno(failures, what);
    if (S_ISDIR(st.st_mode)) {
        int letter = -1;
        bool itself = false;
        if (HoldsDriveRoot(st, letter, itself)) {
            const std::string drive = std::string(1, static_cast<char>('A' + letter)) + ":";
            return Fail(failures, what,
                        "ドライブ " + drive +
                            (itself ? " のルートです。削除も移動もできません"
                                    : " のルートを含んでいます。削除も移動もできません"));
        }
        if (HoldsMount(parent.Handle(), name))
            return Fail(failures, what,
                        "中に別のファイルシステムがマウントされています。何も削除していません");
    }
    struct statvfs sv {};
    if (::fstatvfs(parent.Handle(), &sv) == 0 && (sv.f_flag & ST_RDONLY))
        return Fail(failures, what, SystemReason(EROFS), EROFS);
    if (::faccessat(parent.Handle(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return FailErrno(failures, what);
    // In a sticky folder only the owners of the folder or of the item may
    // take it away.
    struct stat p {};
    const uid_t me = ::geteuid();
    if (::fstat(parent.Handle(), &p) == 0 && (p.st_mode & S_ISVTX) && me != 0 && st.st_uid != me &&
        p.st_uid != me)
        return Fail(failures, what, SystemReason(EPERM), EPERM);
    if (toTrash) {
        // A folder moved to another folder has its ".." rewritten.
        if (S_ISDIR(st.st_mode) && me != 0 &&
            ::faccessat(parent.Handle(), name.c_str(), W_OK, AT_EACCESS) != 0)
            return FailErrno(failures, what);
        std::string why;
        if (!HasSafeTrash(parent, why)) return Fail(failures, what, why + "。何も移動していません");
    }
    return true;
}

} // namespace

FileOperationResult CanDelete(const ItemPath& path, bool toTrash) {
    FileOperationResult result;
    Folder parent;
    struct stat st {};
    result.ok = CheckRemovable(path, toTrash, parent, st, result.failures);
    return result;
}

FileOperationResult DeleteItem(const ItemPath& path, bool toTrash,
                               FileOperationObserver* observer) {
    FileOperationResult result;
    const std::string what = path.Native();
    Folder parent;
    struct stat st {};
    if (!CheckRemovable(path, toTrash, parent, st, result.failures)) return result;
    const std::string& name = path.Names.back();
    if (observer && !observer->ConfirmDelete(what, toTrash)) return result;
    if (toTrash) {
        result.ok = MoveToTrash(parent, name, what, result.failures);
        return result;
    }
    Job job;
    job.path = ParentNative(path);
    if (observer) {
        job.observer = observer;
        uint64_t items = 0, bytes = 0;
        ScanTree(parent.Handle(), name, items, bytes, nullptr);
        job.observer->Begin(true, items, bytes);
    }
    RemoveTree(parent.Handle(), name, job);
    result.ok = job.failures.empty() && !job.Over();
    result.failures = std::move(job.failures);
    return result;
}

} // namespace nrvs::platform
