#include "core/GoneFiles.h"

#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/GlobalState.h"
#include "platform/FileAccess.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"

#include <algorithm>
#include <map>
#include <set>

namespace nrvs {

namespace {
// The drive of a program path, named by the path's letter (a folder given a
// letter is its own drive), and the path with that letter in upper case.
bool DriveOfPath(const std::string& programPath, DriveRecord& named, std::string& path) {
    if (programPath.size() < 4 || programPath[1] != ':') return false;
    const char letter = static_cast<char>(
        programPath[0] >= 'a' && programPath[0] <= 'z' ? programPath[0] - 32 : programPath[0]);
    if (letter < 'A' || letter > 'Z') return false;
    const DriveRecord* drive = Global().Drives.ByLetter(letter - 'A');
    if (!drive) return false;
    named = *drive;
    named.RootPath = std::string(1, letter) + ":\\";
    path = std::string(1, letter) + programPath.substr(1);
    return true;
}

// What one file counted for its folder, from the index of the cache.
struct CountedFile {
    double Bytes = 0, Occupied = 0;
};

bool CountedInIndex(const FileIndex& index, const std::string& path, uint32_t namesBefore,
                    CountedFile& out) {
    if (!index.IsOpen()) return false;
    const size_t cut = path.rfind('\\');
    const int64_t folder = index.FindFolder(path.substr(0, cut + 1));
    if (folder < 0) return false;
    const std::string name = platform::NativeName(std::string_view(path).substr(cut + 1));
    const uint32_t first = index.FolderFirstFile(static_cast<uint32_t>(folder));
    const uint32_t end = first + index.FolderFileCount(static_cast<uint32_t>(folder));
    for (uint32_t i = first; i < end; ++i) {
        if (index.Name(i) != name) continue;
        const uint8_t flags = index.Flags(i);
        // Taken off already when the program removed it before.
        if (flags & INDEX_FLAG_GONE) return false;
        // A file counted once has its bytes at one name: a further name
        // holds none, and the name that holds them passes them on to a name
        // that stays (where it goes the next measurement says).
        const bool bytesStay =
            (flags & INDEX_FLAG_FURTHER_NAME) || (index.LinksOnce() && namesBefore > 1);
        out.Bytes = bytesStay ? 0 : static_cast<double>(index.Size(i));
        out.Occupied = bytesStay ? 0 : static_cast<double>(index.Occupied(i));
        return index.Intact();
    }
    return false;
}
} // namespace

namespace {
// Marks path gone in the index file, through index when it is open there: a
// folder's path from a list row comes without its backslash.
bool MarkGone(const std::string& indexFile, FileIndex* index, const std::string& path,
              const std::string& header) {
    if (path.back() != '\\' && MarkGoneInIndex(indexFile, index, path, header)) return true;
    return MarkGoneInIndex(indexFile, index, path.back() == '\\' ? path : path + "\\", header);
}
} // namespace

bool ForgetInFileIndex(const std::string& programPath) {
    DriveRecord named;
    std::string path;
    if (!DriveOfPath(programPath, named, path)) return false;
    const std::string header = CacheHeaderLine(named);
    if (header.empty()) return false;
    return MarkGone(FileIndexName(path[0]), nullptr, path, header);
}

uint32_t NamesOfFile(const std::string& programPath) {
    std::string native;
    if (!platform::ToNative(programPath, native)) return 1;
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    const size_t cut = native.rfind('/');
    if (cut == std::string::npos) return 1;
    const platform::Folder parent = platform::Folder::Open(native.substr(0, cut + 1));
    platform::FindData entry;
    if (!parent.Valid() || !platform::StatEntry(parent, native.substr(cut + 1), entry, 0) ||
        (entry.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
        return 1;
    return std::max<uint32_t>(entry.Links, 1);
}

namespace {
// The items from first on that are on the same drive as the first, or the
// first alone when it names no drive; the figures of their files go off the
// cache in one rewrite. Returns where the run ended.
size_t ForgetRunOfOneDrive(const std::vector<RemovedItem>& removed, size_t first, size_t& changed) {
    DriveRecord named;
    std::string path;
    if (!DriveOfPath(removed[first].Path, named, path)) return first + 1;
    size_t end = first + 1;
    std::vector<std::string> paths{path};
    for (DriveRecord other; end < removed.size(); ++end) {
        std::string p;
        if (!DriveOfPath(removed[end].Path, other, p) || p[0] != path[0]) break;
        paths.push_back(std::move(p));
    }
    // A measurement saving the cache and its index waits, and is waited for.
    platform::FileLock lock(CacheLockName(named));
    const std::string header = CacheHeaderLine(named);
    std::set<std::string> seen;
    // The files' figures summed by folder: one change of each folder's line.
    struct Taken {
        CountedFile Sum;
        int Files = 0;
    };
    std::map<std::string, Taken> byFolder;
    std::vector<std::string> folders;
    FileIndex index;
    if (!header.empty()) index.Open(FileIndexName(named.RootPath[0]), named.RootPath[0], header);
    for (size_t i = first; i < end; ++i) {
        const std::string& p = paths[i - first];
        // A folder with or without its backslash is the same folder.
        if (!seen.insert(p.back() == '\\' ? p.substr(0, p.size() - 1) : p).second || header.empty())
            continue;
        CountedFile file;
        if (p.back() != '\\' && CountedInIndex(index, p, removed[i].NamesBefore, file)) {
            Taken& t = byFolder[p.substr(0, p.rfind('\\') + 1)];
            t.Sum.Bytes += file.Bytes;
            t.Sum.Occupied += file.Occupied;
            ++t.Files;
        } else {
            folders.push_back(p.back() == '\\' ? p : p + "\\");
        }
    }
    if (!byFolder.empty()) {
        std::vector<FolderLineChange> changes;
        for (const auto& [folder, t] : byFolder)
            changes.push_back({folder, [&t = t](std::string_view line) {
                                   FolderRecord r = ParseRecord(line);
                                   r.TreeBytes = std::max(0.0, r.TreeBytes - t.Sum.Bytes);
                                   r.TreeOccupied = std::max(0.0, r.TreeOccupied - t.Sum.Occupied);
                                   r.OwnBytes = std::max(0.0, r.OwnBytes - t.Sum.Bytes);
                                   r.OwnOccupied = std::max(0.0, r.OwnOccupied - t.Sum.Occupied);
                                   r.OwnFiles = std::max(0, r.OwnFiles - t.Files);
                                   r.TreeFiles = std::max(0, r.TreeFiles - t.Files);
                                   return FormatRecord(r);
                               }});
        if (ChangeFolderLinesInCache(named, changes))
            for (const FolderLineChange& c : changes)
                if (c.Found) changed += static_cast<size_t>(byFolder[c.Below].Files);
    }
    // A folder (a list row names one without its backslash): its lines go as
    // a measurement that found it gone would take them, and the folders above
    // lose its totals.
    for (const std::string& folder : folders) {
        StringList none, replaced;
        if (MergeIntoCache(named, folder, header, none, nullptr, &replaced) && !replaced.empty())
            ++changed;
    }
    // The index stays the cache's (its header line is kept): the one opened
    // above marks them all.
    if (!header.empty())
        for (const std::string& p : paths)
            MarkGone(FileIndexName(named.RootPath[0]), &index, p, header);
    return end;
}
} // namespace

bool ForgetRemoved(const std::string& programPath, uint32_t namesBefore) {
    return ForgetRemoved(std::vector<RemovedItem>{{programPath, namesBefore}}) == 1;
}

size_t ForgetRemoved(const std::vector<RemovedItem>& removed) {
    size_t changed = 0;
    for (size_t i = 0; i < removed.size();)
        i = ForgetRunOfOneDrive(removed, i, changed);
    return changed;
}

} // namespace nrvs
