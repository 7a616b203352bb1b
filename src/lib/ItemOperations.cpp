#include "lib/ItemOperations.h"

#include "platform/Paths.h"

namespace nrvs {

namespace P = platform;

P::FileOperationResult CopyItem(const std::string& source, const std::string& destFolder,
                                P::FileOperationObserver* observer) {
    P::ItemPath src, dst;
    if (!P::CheckProgramPath(source, src) || !P::CheckProgramPath(destFolder, dst)) return {};
    return P::CopyIntoFolder(src, dst, observer);
}

P::FileOperationResult MoveItem(const std::string& source, const std::string& destFolder,
                                P::FileOperationObserver* observer) {
    P::ItemPath src, dst;
    if (!P::CheckProgramPath(source, src) || src.IsRoot() || !P::CheckProgramPath(destFolder, dst))
        return {};
    // Checked before anything is copied: a source that could not be put into
    // the trash afterwards (a drive's root, a read-only file system, a folder
    // the user may not write, no safe trash) is not copied either.
    P::FileOperationResult removable = P::CanDelete(src, true);
    if (!removable.ok) return removable;
    P::ItemPath target = dst;
    target.Names.push_back(src.Names.back());
    const std::string copied = target.Native();
    P::FileOperationResult copy = P::CopyIntoFolder(src, dst, observer);
    if (!copy.ok) {
        // Only what was copied in full could go; rather than sort that out,
        // the source stays whole.
        if (copy.madeSomething)
            copy.failures.push_back({src.Native(), "not moved; what was copied is at " + copied +
                                                       ", and the source stays"});
        return copy;
    }
    // Items the user chose not to replace were not moved: their source stays.
    if (copy.skipped > 0) {
        copy.failures.push_back(
            {src.Native(), "some items were not replaced, so the source was kept"});
        copy.ok = false;
        return copy;
    }
    P::FileOperationResult moved = P::DeleteItem(src, true, nullptr);
    // What the copy could not keep is told after what the delete says.
    moved.failures.insert(moved.failures.end(), copy.failures.begin(), copy.failures.end());
    moved.madeSomething = copy.madeSomething;
    if (!moved.ok)
        moved.failures.push_back({src.Native(), "the copy is at " + copied + "; the source stays"});
    return moved;
}

P::FileOperationResult DeleteItem(const std::string& path, bool toTrash,
                                  P::FileOperationObserver* observer) {
    // A drive's root is never deleted, whatever folder the drive stands for;
    // the check sees the path after it is taken apart, so no spelling of a
    // root gets past it, and the delete itself refuses a folder that is
    // another drive's root.
    P::ItemPath item;
    if (!P::CheckProgramPath(path, item) || item.IsRoot()) return {};
    return P::DeleteItem(item, toTrash, observer);
}

std::vector<std::string> OperationErrorLines(const P::FileOperationResult& result) {
    std::vector<std::string> lines;
    lines.reserve(result.failures.size());
    for (const P::OperationFailure& f : result.failures)
        lines.push_back(f.path + ": " + f.reason);
    return lines;
}

} // namespace nrvs
