// The trash a delete may move items into instead of removing them.
//
// On Linux the freedesktop.org trash: the home trash when it lies on the
// item's mount, else the mount's own .Trash/<uid> or .Trash-<uid>, each used
// only when it is a real folder that no other user can write into; the item
// goes into its files/ folder beside a .trashinfo in info/. On Windows the
// shell's recycle bin.
#pragma once

#include "platform/FileOperations.h"
#include "platform/FolderEntries.h"

#include <string>
#include <vector>

namespace nrvs::platform {

// Whether items of the open folder parent have a trash that is safe to use
// (made where missing); why says what is wrong when not. Nothing is moved.
bool HasSafeTrash(const Folder& parent, std::string& why);

// Moves the item name of parent into the trash; nativePath names it in the
// failure added when it cannot go. Windows goes by nativePath alone.
bool MoveToTrash(const Folder& parent, const std::string& name, const std::string& nativePath,
                 std::vector<OperationFailure>& failures);

} // namespace nrvs::platform
