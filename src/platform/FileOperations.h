// The file operations: copy a file or folder tree into a folder, delete it
// for good or into the trash (platform/Trash.h), and ask beforehand whether
// a delete could go ahead.
//
// Items are named by checked program paths (ItemPath): the drive's root is
// opened as configured, every name below it without following a link, so a
// folder swapped for a link while an operation runs never redirects it.
//
// Each operation returns what happened to it alone; nothing is kept between
// operations, so two of them never mix their failures.
#pragma once

#include "platform/Paths.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Questions and progress of an operation the user watches; the windows and
// the command-line tool's --progress pass one. Without one, operations run
// unconfirmed and silent, replacing what exists.
class FileOperationObserver {
  public:
    enum Answer { REPLACE_YES, REPLACE_ALL, REPLACE_NO, REPLACE_CANCEL };
    virtual ~FileOperationObserver() = default;
    virtual bool ConfirmDelete(const std::string& nativePath, bool toTrash) = 0;
    // An item of the name exists in the destination: replace it, replace it
    // and every later one, skip it, or stop the operation.
    virtual Answer ConfirmReplace(const std::string& nativePath) = 0;
    // Before the work starts: the items and bytes it will go through
    // (counted first, so that progress can be shown against them).
    virtual void Begin(bool deleting, uint64_t items, uint64_t bytes) {
        (void)deleting, (void)items, (void)bytes;
    }
    // While it runs: the item at hand, and the items and bytes done so far.
    // Called per item and while a large file is copied; false cancels. A
    // file being copied when the cancel comes is removed.
    virtual bool Progress(const std::string& nativePath, uint64_t itemsDone,
                          uint64_t bytesDone) = 0;
};

// One item an operation could not handle (or, for a copy that succeeded,
// what it could not keep of one).
struct OperationFailure {
    std::string path;   // native path of the item
    std::string reason; // worded for the user
    int systemError =
        0; // the system's error number behind the reason; 0 when the program refused by itself
};

struct FileOperationResult {
    bool ok = false; // done in full; a cancel counts as failure
    // In the order they came about.
    std::vector<OperationFailure> failures;
    // Items a copy left as they were because the answer was not to replace
    // them.
    uint64_t skipped = 0;
    // Whether a copy put anything into the destination (a failed copy may
    // have left part of the tree there).
    bool madeSomething = false;
};

// Copies source (file, link or folder tree) into destFolder under its own
// name; existing items are replaced (after a question with an observer).
// Never copies an item onto itself or a folder into its own subtree (also
// where a bind mount makes the destination a folder of the source), never a
// drive's root. Each file is written under a temporary name and renamed over
// the target only when complete and unchanged since it was opened, so a
// failed copy leaves the old file whole and no partial file behind;
// temporaries a killed copy left are removed by the next copy into their
// folder. Holes of sparse files are kept, and so are hard links between the
// copied files, extended attributes and ACLs (where the target takes them;
// else one entry in the failures of a copy that still succeeds), the owner
// when run as root, the permission bits (set-id bits only where the owner or
// group they stand for is kept, as cp -a; a folder's sticky bit always), and
// the modification time. Trees of any depth are copied with a bounded number
// of open descriptors. Devices, FIFOs and sockets are not copied: each is
// reported, and the copy fails.
FileOperationResult CopyIntoFolder(const ItemPath& source, const ItemPath& destFolder,
                                   FileOperationObserver* observer);

// Removes path (file, link or folder tree of any depth), never a drive's
// root (compared by device and inode, so no other letter reaches it) nor a
// folder holding one, nor a tree with another file system mounted inside.
// toTrash moves it into the trash instead (platform/Trash.h). An observer is
// asked once first, then sees progress.
FileOperationResult DeleteItem(const ItemPath& path, bool toTrash, FileOperationObserver* observer);

// Whether DeleteItem could take path away (into the trash with toTrash):
// every check it makes before it starts, without changing anything; the
// reason among the failures when not. A move asks this before it copies.
FileOperationResult CanDelete(const ItemPath& path, bool toTrash);

// Whether name is a copy's temporary file (".nrvs<pid>.<16 hex>.<n>"):
// never shown to the user as one of their items.
bool IsCopyTemporaryName(std::string_view name);

} // namespace nrvs::platform
