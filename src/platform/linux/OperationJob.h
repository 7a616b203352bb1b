// The state of one Linux copy or delete while it walks its tree: counts for
// the progress, the answers given, and what failed. Only the Linux file
// operation sources include it.
#pragma once

#include "platform/ErrorText.h"
#include "platform/FileAccess.h"
#include "platform/FileOperations.h"
#include "platform/linux/FolderWalk.h"

#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform::posix {

// What an operation has done so far, and whether it was told to stop.
struct Job {
    FileOperationObserver* observer = nullptr; // only where the user watches
    bool cancelled = false;
    // Stopped for a reason of its own (the tree turned out to hold its
    // destination, or a folder was moved away under it).
    bool stopped = false;
    bool replaceAll = false;
    bool tryClone = true;
    bool kernelCopy = true;
    bool madeSomething = false;
    uint64_t skipped = 0;
    uint64_t items = 0;
    uint64_t bytes = 0;
    std::vector<OperationFailure> failures;
    // Native path of the folder at work, for the report's lines.
    std::string path;
    std::string tempBase = RandomSuffix();
    unsigned long tempCount = 0;
    std::string TempName() {
        return ".nrvs" + std::to_string(::getpid()) + "." + tempBase + "." +
               std::to_string(++tempCount);
    }
    std::string PathOf(const std::string& name) const { return Joined(path, name); }
    bool Fail(const std::string& name, const std::string& reason, int systemError = 0) {
        return posix::Fail(failures, PathOf(name), reason, systemError);
    }
    bool FailErrno(const std::string& name) {
        const int err = errno;
        return Fail(name, SystemReason(err), err);
    }
    bool Over() const { return cancelled || stopped; }
    // False once cancelled.
    bool Report(const std::string& name, uint64_t partialBytes = 0) {
        if (observer && !cancelled && !observer->Progress(name, items, bytes + partialBytes))
            cancelled = true;
        return !cancelled;
    }

    // ---- what a copy keeps ----
    // Owners are kept where the system lets us give files away: as root.
    bool keepOwners = ::geteuid() == 0;
    // The first item whose extended attributes were not kept, and why.
    std::optional<OperationFailure> attributesNote;
    int dstTop = -1; // the destination folder
    Identity dstTopId;
    std::set<Identity> made;
    // Names from the destination folder down to the folder at work.
    std::vector<std::string> dstNames;
    // Files with more than one name in the source, by the source's identity:
    // where their first copy went, so that later names become links to it.
    struct FirstCopy {
        std::vector<std::string> names;
        Identity copy;
    };
    std::map<Identity, FirstCopy> linked;
};

// ---- one item of a copy (CopyFile.cpp) ----

// Owner, extended attributes, permission bits and times of a copy, in the
// order that keeps each: a change of owner clears set-id bits, and an ACL
// sets the group bits that the mode then confirms.
bool KeepMetadata(int from, int to, const struct stat& st, Job& job, const std::string& name);

// Copies the regular file name of srcDir, as it was listed (listed), into
// dstDir; replacing says whether a file of that name is there now.
bool CopyFile(int srcDir, const std::string& name, const struct stat& listed, int dstDir,
              bool replacing, Job& job);

bool CopyLink(int srcDir, const std::string& name, const struct stat& st, int dstDir, Job& job);

} // namespace nrvs::platform::posix
