// The shell's file operations (SHFileOperationA): copy a file or folder tree
// into a folder, delete for good or into the trash.
//
// Items are named by checked program paths (ItemPath): the drive's root is
// opened as configured, every name below it without following a link, so a
// folder swapped for a link while an operation runs never redirects it.
#pragma once

#include "platform/Ppath.h"

#include <string>
#include <vector>

namespace nrvs::platform {

// Questions and progress of an operation with confirmation; the windows
// install one. Without one, operations run unconfirmed and silent.
class ShellUi {
public:
    virtual ~ShellUi() = default;
    virtual bool ConfirmDelete(const std::string& nativePath, bool toTrash) = 0;
    virtual bool ConfirmReplace(const std::string& nativePath) = 0;
    // Called once per item copied; false cancels the operation.
    virtual bool Progress(const std::string& nativePath) = 0;
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
// only when it passes the specification's checks.
bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm);

// What failed in the last operation, one line per failure ("path: reason").
const std::vector<std::string>& ShellErrors();

} // namespace nrvs::platform
