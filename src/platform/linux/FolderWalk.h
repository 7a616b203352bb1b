// What the Linux file operations share: folders opened by descriptor without
// following a link, the walk down trees of any depth with a bounded number of
// open descriptors, and the checks for what must never be removed. Only the
// Linux file operation and trash sources include it.
#pragma once

#include "platform/FileOperations.h"
#include "platform/FolderEntries.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace nrvs::platform::posix {

// Folders of a walk that keep their descriptors open; deeper ones are closed
// while the work is further down and opened again on the way back, so a tree
// of any depth needs no more descriptors than this (twice, for a copy).
constexpr size_t kOpenFolders = 48;

// Walks up through ".." stop after this many steps; no real path is longer.
constexpr int kMaxClimb = 1 << 16;

// Adds a failure of what; false, for the caller to return.
bool Fail(std::vector<OperationFailure>& failures, const std::string& what,
          const std::string& reason, int systemError = 0);
// The same with errno's reason.
bool FailErrno(std::vector<OperationFailure>& failures, const std::string& what);

int OpenDir(int dirFd, const char* name);
uint64_t MountIdOf(int fd, const char* name = "");

inline bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    Identity() = default;
    explicit Identity(const struct stat& st) : dev(st.st_dev), ino(st.st_ino) {}
    bool operator<(const Identity& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
    bool operator==(const Identity& o) const { return dev == o.dev && ino == o.ino; }
};

std::string Joined(const std::string& dir, const std::string& name);

// The folder holding the item and the item's name. The drive's root is
// opened as the drive map names it (it may be a link the user chose); below
// it no link is followed.
Folder OpenParent(const ItemPath& item);
Folder OpenFolder(const ItemPath& item);
std::string ParentNative(const ItemPath& item);

std::string FdPath(int fd);

// Whether another file system is mounted at or below name in dirFd: such an
// item is never deleted, nor moved into a trash with the mount inside.
bool HoldsMount(int dirFd, const std::string& name);

// Whether the folder st is, or holds, the root of a drive in use: removing
// it would take that drive with it. Compared by device and inode, so no
// other letter, link or spelling of the folder gets past. letter: the
// drive's number; itself: the folder is that root.
bool HoldsDriveRoot(const struct stat& st, int& letter, bool& itself);

// The open folders from a walk's top down to where it works. Only the
// deepest kOpenFolders keep their descriptors; a closed one is opened again
// through ".." of its child on the way back up, and used only when it is
// still the folder that was left.
class FolderChain {
  public:
    int Top() const { return links_.empty() ? -1 : links_.back().dir.Handle(); }
    void Push(Folder dir, const struct stat& st);
    // Leaves the deepest folder. False when the one above it, opened again,
    // is no longer the same folder (it was moved meanwhile).
    bool Pop();

  private:
    struct Link {
        Folder dir;
        Identity id;
    };
    std::vector<Link> links_;
};

std::vector<std::string> NamesIn(const Folder& dir);

// Items and bytes below an item, for the progress shown against them, and
// whether the folder find lies in the tree. A destination reached through a
// bind mount of a folder inside the source has no ".." path up to the
// source, so only a look through the source's own folders finds it. Names
// and sizes only; no link is followed.
bool ScanTree(int parentFd, const std::string& name, uint64_t& items, uint64_t& bytes,
              const struct stat* find);

} // namespace nrvs::platform::posix
