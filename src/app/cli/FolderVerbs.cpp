// The verbs about one folder and below: ls, tree and measure.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/TerminalProgress.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/offline/Snapshot.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/measure/Measure.h"
#include "core/exchange/Ncdu.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace nrvs::cli {

int RunList(const CommandLine& commandLine) {
    int kind = LIST_ALL;
    for (const GivenOption& o : commandLine.options)
        kind = o.name == "--files" ? LIST_FILES : LIST_FOLDERS;
    const std::string& target = commandLine.arguments[0];
    std::string path;
    if (ImportedFolder(target, path)) {
        // From the last measurement: folders from the cache, files from the index.
        DriveRecord record;
        FolderList folders;
        if (!LoadMeasuredCache(path, record, folders)) return 1;
        const auto index = OpenFileIndex(path[0], std::string(folders.LineAt(0)));
        DirListing listing;
        ListSnapshot(listing, folders, index.get(), path + "*.*", kind);
        if (listing.Entries.empty() && folders.IndexOfPath(path) < 0) {
            std::fprintf(stderr, "norvessa-cli: %s is no folder of the last measurement\n",
                         target.c_str());
            return 1;
        }
        SortListing(listing, false);
        for (const auto& line : listing.Entries)
            PrintLine(line);
        return 0;
    }
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    DirListing listing;
    listing.ClusterSize = static_cast<int32_t>(drive->ClusterSize);
    ListFolder(listing, path + "*.*", kind);
    SortListing(listing, false);
    for (const auto& line : listing.Entries)
        PrintLine(line);
    return 0;
}

int RunMeasure(const CommandLine& commandLine) {
    const Args& args = commandLine.arguments;
    const bool everyName = commandLine.Has("--count-links");
    if (commandLine.Has("--no-index")) Global().NoFileIndex = true;
    std::string path;
    if (ImportedFolder(args[0], path)) {
        const ImportInfo info = ReadImportInfo(path[0]);
        if (!info.Valid) {
            std::fprintf(
                stderr,
                "norvessa-cli: %c: is not here (its last measurement is kept and can be browsed)\n",
                path[0]);
            return 1;
        }
        std::fprintf(
            stderr,
            "norvessa-cli: %c: is an imported scan of %s%s%s and has no folder here to measure\n",
            path[0], platform::ShownName(info.Root).c_str(), info.Host.empty() ? "" : " on ",
            info.Host.c_str());
        return 1;
    }
    if (!ResolveFolder(args[0], path)) return 1;
    DriveRecord* drive = OpenDriveOf(path, true);
    if (!drive) return 1;
    GlobalState& g = Global();
    // As du -l: a file's bytes once per name.
    if (everyName) g.CountLinksOnce = 0;
    auto start = std::chrono::steady_clock::now();
    MeasureReport report;
    {
        TerminalMeasureHooks hooks;
        if (path.size() == 3) {
            g.AskBeforeMeasure = 0;
            g.MeasureMulti = 0;
            // The reason is on standard error already; the old cache stays.
            if (!MeasureDrives(hooks, &report)) return 1;
        } else {
            // A folder's lines replace the old ones in the drive's cache;
            // the rest of the cache is copied, never loaded as a list.
            if (!MeasureFolderIntoCache(path, hooks, &report)) return 1;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const FolderRecord* r = g.Folders.FindPath(path);
    if (!r) {
        std::fprintf(stderr, "norvessa-cli: %s could not be measured\n", path.c_str());
        return 1;
    }
    std::printf("%s\nfolders   %d\nfiles     %d\nbytes     %s\noccupied  %s\nseconds   %.3f\ncache "
                "    %s\n",
                path.c_str(), r->TreeFolders + 1, r->TreeFiles, Number(r->TreeBytes).c_str(),
                Number(r->TreeOccupied).c_str(), seconds,
                report.SaveError.empty() ? CacheFileName(*drive).c_str() : "(not saved)");
    // The figures above are this run's; a script must still learn that the
    // cache holds none of them.
    if (!report.SaveError.empty()) {
        std::fprintf(stderr, "norvessa-cli: the cache could not be written: %s\n",
                     report.SaveError.c_str());
        return 1;
    }
    if (!report.IndexError.empty()) {
        std::fprintf(stderr,
                     "norvessa-cli: the cache was written, but the file index could not be: %s\n",
                     report.IndexError.c_str());
        return 1;
    }
    return 0;
}

int RunTree(const CommandLine& commandLine) {
    const Args& args = commandLine.arguments;
    std::string path;
    if (!ResolveMeasuredFolder(args[0], path)) return 1;
    DriveRecord record;
    FolderList list;
    if (!LoadMeasuredCache(path, record, list)) return 1;
    std::string_view linePath;
    const bool terminal = platform::IsTerminal(1);
    for (size_t i = 0; i < list.Size(); ++i) {
        const std::string_view line = list.LineAt(i);
        if (path.size() != 3 &&
            !(PathOfLine(line, linePath) && linePath.substr(0, path.size()) == path))
            continue;
        // A pipe of millions of lines gets them without a copy each.
        if (terminal) {
            PrintLine(std::string(line));
        } else {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        }
    }
    return 0;
}

} // namespace nrvs::cli
