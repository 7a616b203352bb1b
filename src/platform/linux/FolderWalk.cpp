#include "platform/linux/FolderWalk.h"

#include "platform/Drives.h"
#include "platform/ErrorText.h"
#include "platform/FileAccess.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform::posix {

bool Fail(std::vector<OperationFailure>& failures, const std::string& what,
          const std::string& reason, int systemError) {
    failures.push_back({what, reason, systemError});
    return false;
}

bool FailErrno(std::vector<OperationFailure>& failures, const std::string& what) {
    const int err = errno;
    return Fail(failures, what, SystemReason(err), err);
}

int OpenDir(int dirFd, const char* name) {
    int fd;
    do
        fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

uint64_t MountIdOf(int fd, const char* name) {
    struct statx st {};
    int flags =
        (*name ? AT_SYMLINK_NOFOLLOW : AT_EMPTY_PATH) | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
    if (::statx(fd, name, flags, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID)) return 0;
    return st.stx_mnt_id;
}

std::string Joined(const std::string& dir, const std::string& name) {
    if (dir.empty() || name.empty()) return dir + name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

Folder OpenParent(const ItemPath& item) {
    if (item.Root.empty()) return Folder();
    Folder f(::open(item.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; i + 1 < item.Names.size() && f.Valid(); ++i)
        f = f.OpenChild(item.Names[i]);
    return f;
}

Folder OpenFolder(const ItemPath& item) {
    if (item.Names.empty())
        return Folder(::open(item.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

bool HoldsMount(int dirFd, const std::string& name) {
    std::string dir = FdPath(dirFd);
    if (dir.empty()) return true;
    std::string path = (dir == "/" ? "" : dir) + "/" + name;
    std::string text;
    if (!ReadWholeFile("/proc/self/mountinfo", text)) return false;
    for (const auto& m : ParseMountInfo(text)) {
        const std::string& mp = m.MountPoint;
        if (mp == path || (mp.size() > path.size() && mp.compare(0, path.size(), path) == 0 &&
                           mp[path.size()] == '/'))
            return true;
    }
    return false;
}

bool HoldsDriveRoot(const struct stat& st, int& letter, bool& itself) {
    const DriveRootTable& roots = DriveRoots();
    for (size_t n = 0; n < roots.size(); ++n) {
        if (roots[n].empty()) continue;
        const std::string programRoot = std::string(1, static_cast<char>('A' + n)) + ":\\";
        if (GetDriveTypeA(programRoot) <= DRIVE_NO_ROOT_DIR) continue;
        Folder walk(::open(roots[n].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; walk.Valid() && i < kMaxClimb; ++i) {
            struct stat w {
            }, up{};
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

void FolderChain::Push(Folder dir, const struct stat& st) {
    links_.push_back({std::move(dir), Identity(st)});
    if (links_.size() > kOpenFolders) links_[links_.size() - 1 - kOpenFolders].dir = Folder();
}

bool FolderChain::Pop() {
    Link top = std::move(links_.back());
    links_.pop_back();
    if (links_.empty() || links_.back().dir.Valid()) return true;
    if (!top.dir.Valid()) return false;
    Folder up(::openat(top.dir.Handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!up.Valid() || ::fstat(up.Handle(), &st) != 0 || !(Identity(st) == links_.back().id))
        return false;
    links_.back().dir = std::move(up);
    return true;
}

std::vector<std::string> NamesIn(const Folder& dir) {
    std::vector<std::string> names;
    FolderReader reader(dir, false);
    FindData d;
    while (reader.Next(d))
        names.emplace_back(d.Name);
    return names;
}

bool ScanTree(int parentFd, const std::string& name, uint64_t& items, uint64_t& bytes,
              const struct stat* find) {
    struct stat st {};
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
        struct stat opened {};
        if (!dir.Valid() || ::fstat(dir.Handle(), &opened) != 0 || !SameFile(opened, listed))
            return;
        Frame f;
        {
            FolderReader reader(dir, true);
            FindData d;
            while (reader.Next(d)) {
                ++items;
                if (d.Attributes & FILE_ATTRIBUTE_DIRECTORY)
                    f.folders.emplace_back(d.Name);
                else if (!(d.Attributes & FILE_ATTRIBUTE_SYSTEM))
                    bytes += d.Size;
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
            struct stat s {};
            if (::fstatat(chain.Top(), n.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISDIR(s.st_mode))
                continue;
            if (find && SameFile(s, *find)) return true;
            enter(chain.Top(), n, s);
            continue;
        }
        frames.pop_back();
        if (!chain.Pop()) return false;
    }
    return false;
}

} // namespace nrvs::platform::posix
