// The shell's file operations (SHFileOperationA): copy a file or folder tree
// into a folder, delete for good or into the trash. Paths are native.
#pragma once

#include <string>

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
// copies an item onto itself or a folder into its own subtree. True on full
// success; a cancel counts as failure.
bool ShellCopy(const std::string& source, const std::string& destFolder, bool confirm);

// Removes path (file, link or folder tree). toTrash moves it into the
// freedesktop.org trash with its .trashinfo instead.
bool ShellDelete(const std::string& path, bool toTrash, bool confirm);

// The trash folder used for path: $XDG_DATA_HOME/Trash (default
// ~/.local/share/Trash) when path is on the same file system, else
// <mount>/.Trash-<uid>.
std::string TrashFolderFor(const std::string& path);

} // namespace nrvs::platform
