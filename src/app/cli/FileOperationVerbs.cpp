// The verbs that change files on disk: copy, move and delete, through the
// same file operations as the window's.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/GoneFiles.h"
#include "lib/ItemOperations.h"
#include "platform/FileOperations.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nrvs::cli {

namespace {

// Prints what failed in a file operation.
int OperationResult(const platform::FileOperationResult& result, const char* verb) {
    const std::vector<std::string> errors = OperationErrorLines(result);
    if (result.ok) {
        // What was not kept of a copy that succeeded (extended attributes on
        // a file system without them) is still said.
        for (const auto& e : errors)
            std::fprintf(stderr, "norvessa-cli: %s: note: %s\n", verb, e.c_str());
        return 0;
    }
    if (errors.empty()) std::fprintf(stderr, "norvessa-cli: %s failed\n", verb);
    for (const auto& e : errors)
        std::fprintf(stderr, "norvessa-cli: %s: %s\n", verb, e.c_str());
    return 1;
}

// Progress of a file operation on the terminal (the window's progress
// dialog does the same bookkeeping: the tree counted first, then items and
// bytes reported as they go). Replacements are not asked: what exists is
// replaced, as without --progress.
struct TerminalProgressObserver : platform::FileOperationObserver {
    bool tty = platform::IsTerminal(2);
    uint64_t totalItems = 0, totalBytes = 0;
    std::chrono::steady_clock::time_point last{};
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string&) override { return REPLACE_YES; }
    void Begin(bool, uint64_t items, uint64_t bytes) override {
        totalItems = items;
        totalBytes = bytes;
    }
    bool Progress(const std::string&, uint64_t items, uint64_t bytes) override {
        auto now = std::chrono::steady_clock::now();
        if (tty && now - last > std::chrono::milliseconds(100)) {
            last = now;
            std::fprintf(stderr, "\r\033[K%llu / %llu items, %s / %s bytes",
                         static_cast<unsigned long long>(items),
                         static_cast<unsigned long long>(totalItems),
                         Number(static_cast<double>(bytes)).c_str(),
                         Number(static_cast<double>(totalBytes)).c_str());
        }
        return true;
    }
    ~TerminalProgressObserver() override {
        if (tty) std::fprintf(stderr, "\r\033[K");
    }
};

int RunCopyOrMove(const CommandLine& commandLine, bool move) {
    const Args& args = commandLine.arguments;
    const bool progress = commandLine.Has("--progress");
    std::string source, dest;
    if (!ResolvePath(args[0], source) || !ResolveFolder(args[1], dest)) return 1;
    TerminalProgressObserver ui;
    platform::FileOperationObserver* observer = progress ? &ui : nullptr;
    const uint32_t names = move ? NamesOfFile(source) : 1;
    const platform::FileOperationResult result =
        move ? MoveItem(source, dest, observer) : CopyItem(source, dest, observer);
    if (result.ok && move) ForgetRemoved(source, names);
    return OperationResult(result, move ? "move" : "copy");
}

} // namespace

int RunCopy(const CommandLine& commandLine) {
    return RunCopyOrMove(commandLine, false);
}
int RunMove(const CommandLine& commandLine) {
    return RunCopyOrMove(commandLine, true);
}

int RunDelete(const CommandLine& commandLine) {
    const bool trash = commandLine.Has("--trash"), progress = commandLine.Has("--progress");
    const std::string& target = commandLine.arguments[0];
    std::string path;
    if (!ResolvePath(target, path)) return 1;
    platform::ItemPath item;
    if (platform::CheckProgramPath(path, item) && item.IsRoot()) {
        std::fprintf(stderr, "norvessa-cli: %s is a drive's root and is never deleted\n",
                     target.c_str());
        return 1;
    }
    TerminalProgressObserver ui;
    const uint32_t names = NamesOfFile(path);
    const platform::FileOperationResult result = DeleteItem(path, trash, progress ? &ui : nullptr);
    if (result.ok) ForgetRemoved(path, names);
    return OperationResult(result, "delete");
}

} // namespace nrvs::cli
