// Copy, move and delete of items named by program paths: the paths checked
// and taken apart, a move made of a copy and a delete into the trash, and
// the lines that tell the user what failed. The work itself is the
// platform's (platform/FileOperations.h).
#pragma once

#include "platform/FileOperations.h"

#include <string>
#include <vector>

namespace nrvs {

// Copy into a folder, move (copy, then the source into the trash only when
// the copy succeeded in full) and delete. Program-form paths; a trailing
// backslash on the source is ignored. A path that is no checked program path
// (or a drive's root, for a move or delete) fails with no failure listed.
// With an observer the user is asked and sees progress; without one the
// operation runs silently, replacing what exists.
platform::FileOperationResult CopyItem(const std::string& source, const std::string& destFolder,
                                       platform::FileOperationObserver* observer);
platform::FileOperationResult MoveItem(const std::string& source, const std::string& destFolder,
                                       platform::FileOperationObserver* observer);
platform::FileOperationResult DeleteItem(const std::string& path, bool toTrash,
                                         platform::FileOperationObserver* observer);

// What failed, one line per failure in the order they came about:
// "path: reason", paths native.
std::vector<std::string> OperationErrorLines(const platform::FileOperationResult& result);

} // namespace nrvs
