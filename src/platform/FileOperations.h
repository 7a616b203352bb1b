// The shell's file operations (SHFileOperationA): copy a file or folder tree
// into a folder, delete for good or into the trash.
//
// Items are named by checked program paths (ItemPath): the drive's root is
// opened as configured, every name below it without following a link, so a
// folder swapped for a link while an operation runs never redirects it.
#pragma once

#include "platform/Paths.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Questions and progress of an operation with confirmation; the windows
// install one. Without one, operations run unconfirmed and silent.
class ShellUi {
public:
    enum Answer { REPLACE_YES, REPLACE_ALL, REPLACE_NO, REPLACE_CANCEL };
    virtual ~ShellUi() = default;
    virtual bool ConfirmDelete(const std::string& nativePath, bool toTrash) = 0;
    // An item of the name exists in the destination: replace it, replace it
    // and every later one, skip it, or stop the operation.
    virtual Answer ConfirmReplace(const std::string& nativePath) = 0;
    // Before the work starts: the items and bytes it will go through
    // (counted first, so that progress can be shown against them).
    virtual void Begin(bool deleting, uint64_t items, uint64_t bytes) { (void)deleting, (void)items, (void)bytes; }
    // While it runs: the item at hand, and the items and bytes done so far.
    // Called per item and while a large file is copied; false cancels. A
    // file being copied when the cancel comes is removed.
    virtual bool Progress(const std::string& nativePath, uint64_t itemsDone, uint64_t bytesDone) = 0;
};

void SetShellUi(ShellUi* ui);

// Copies source (file, link or folder tree) into destFolder under its own
// name; existing items are replaced (after a question with confirm). Never
// copies an item onto itself or a folder into its own subtree (also where a
// bind mount makes the destination a folder of the source), never a drive's
// root. Each file is written under a temporary name and renamed over the
// target only when complete and unchanged since it was opened, so a failed
// copy leaves the old file whole and no partial file behind; temporaries a
// killed copy left are removed by the next copy into their folder. Holes of
// sparse files are kept, and so are hard links between the copied files,
// extended attributes and ACLs (where the target takes them; else one note in
// ShellErrors, no failure), the owner when run as root, the permission bits
// (set-id bits only where the owner or group they stand for is kept, as cp
// -a; a folder's sticky bit always), and the modification time. Trees of any
// depth are copied with a bounded number of open descriptors. Devices, FIFOs
// and sockets are not copied: each is reported, and the copy fails. True on
// full success; a cancel counts as failure.
bool ShellCopy(const ItemPath& source, const ItemPath& destFolder, bool confirm);

// Removes path (file, link or folder tree of any depth), never a drive's
// root (compared by device and inode, so no other letter reaches it) nor a
// folder holding one, nor a tree with another file system mounted inside.
// toTrash moves it into the freedesktop.org trash with its .trashinfo
// instead: the home trash on the same mount, else the mount's own
// .Trash/<uid> or .Trash-<uid>, each used only when it is a real folder that
// no other user can write into.
bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm);

// Whether ShellDelete could take path away (into the trash with toTrash):
// every check it makes before it starts, without changing anything. False
// with the reason in ShellErrors; a move asks this before it copies.
bool ShellCanRemove(const ItemPath& path, bool toTrash);

// With confirm: the installed ShellUi sees progress and, for a copy, is asked
// before each replacement; for a delete it is asked once first. Without
// confirm an operation runs silently, replacing what exists.

// What failed in the last operation, one line per failure ("path: reason").
const std::vector<std::string>& ShellErrors();
void AddShellError(const std::string& line);
// Items the last copy left as they were because the answer was not to
// replace them.
uint64_t ShellSkipped();
// Whether the last copy put anything into the destination (a failed copy
// may have left part of the tree there).
bool ShellCopyMadeSomething();

// Whether name is a copy's temporary file (".nrvs<pid>.<16 hex>.<n>"):
// never shown to the user as one of their items.
bool IsCopyTemporaryName(std::string_view name);

} // namespace nrvs::platform
