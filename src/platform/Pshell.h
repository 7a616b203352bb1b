// The shell's file operations (SHFileOperationA): copy a file or folder tree
// into a folder, delete for good or into the trash.
//
// Items are named by checked program paths (ItemPath): the drive's root is
// opened as configured, every name below it without following a link, so a
// folder swapped for a link while an operation runs never redirects it.
#pragma once

#include "platform/Ppath.h"

#include <cstdint>
#include <string>
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
// copies an item onto itself or a folder into its own subtree, never a drive's
// root. Each file is written under a temporary name and renamed over the
// target only when complete, so a failed copy leaves the old file whole and
// no partial file behind. Holes of sparse files are kept; permission bits
// are kept without set-id and sticky bits, and so is the modification time.
// Devices, FIFOs and sockets are skipped. True on full success; a cancel
// counts as failure.
bool ShellCopy(const ItemPath& source, const ItemPath& destFolder, bool confirm);

// Removes path (file, link or folder tree), never a drive's root nor a tree
// with another file system mounted inside. toTrash moves it into the
// freedesktop.org trash with its .trashinfo instead: the home trash on the
// same mount, else the mount's own .Trash/<uid> or .Trash-<uid>, each used
// only when it is a real folder that no other user can write into.
bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm);

// With confirm: the installed ShellUi sees progress and, for a copy, is asked
// before each replacement; for a delete it is asked once first. Without
// confirm an operation runs silently, replacing what exists.

// What failed in the last operation, one line per failure ("path: reason").
const std::vector<std::string>& ShellErrors();
void AddShellError(const std::string& line);
// Items the last copy left as they were because the answer was not to
// replace them.
uint64_t ShellSkipped();

} // namespace nrvs::platform
