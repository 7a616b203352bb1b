#include "core/GoneFiles.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/GlobalState.h"
#include "platform/FileAccess.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"

#include <algorithm>

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

bool CountedInIndex(const DriveRecord& drive, const std::string& header, const std::string& path,
                    uint32_t namesBefore, CountedFile& out) {
    FileIndex index;
    if (!index.Open(FileIndexName(drive.RootPath[0]), drive.RootPath[0], header)) return false;
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

bool ForgetInFileIndex(const std::string& programPath) {
    DriveRecord named;
    std::string path;
    if (!DriveOfPath(programPath, named, path)) return false;
    const std::string header = CacheHeaderLine(named);
    if (header.empty()) return false;
    const std::string index = FileIndexName(path[0]);
    // A folder's path from a list row comes without its backslash.
    if (path.back() != '\\' && MarkGoneInIndex(index, nullptr, path, header)) return true;
    return MarkGoneInIndex(index, nullptr, path.back() == '\\' ? path : path + "\\", header);
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

bool ForgetRemoved(const std::string& programPath, uint32_t namesBefore) {
    DriveRecord named;
    std::string path;
    if (!DriveOfPath(programPath, named, path)) return false;
    // A measurement saving the cache and its index waits, and is waited for.
    platform::FileLock lock(CacheLockName(named));
    const std::string header = CacheHeaderLine(named);
    bool changed = false;
    CountedFile file;
    if (!header.empty() && path.back() != '\\' &&
        CountedInIndex(named, header, path, namesBefore, file)) {
        const std::string folder = path.substr(0, path.rfind('\\') + 1);
        changed = ChangeFolderLineInCache(named, folder, [&](std::string_view line) {
            FolderRecord r = ParseRecord(line);
            r.TreeBytes = std::max(0.0, r.TreeBytes - file.Bytes);
            r.TreeOccupied = std::max(0.0, r.TreeOccupied - file.Occupied);
            r.OwnBytes = std::max(0.0, r.OwnBytes - file.Bytes);
            r.OwnOccupied = std::max(0.0, r.OwnOccupied - file.Occupied);
            r.OwnFiles = std::max(0, r.OwnFiles - 1);
            r.TreeFiles = std::max(0, r.TreeFiles - 1);
            return FormatRecord(r);
        });
    } else if (!header.empty()) {
        // A folder (a list row names one without its backslash): its lines
        // go as a measurement that found it gone would take them, and the
        // folders above lose its totals.
        StringList none, replaced;
        changed = MergeIntoCache(named, path.back() == '\\' ? path : path + "\\", header, none,
                                 nullptr, &replaced) &&
                  !replaced.empty();
    }
    ForgetInFileIndex(path);
    return changed;
}

} // namespace nrvs
