// Folder records and the folder list: one text line per measured folder,
// exactly the lines of the drive's cache file, parsed on demand.
#pragma once

#include "lib/Sdirlist.h"
#include "lib/Slib.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nrvs {

struct FolderRecord {
    std::string Path;
    double TreeBytes = 0;
    double TreeOccupied = 0;
    double OwnBytes = 0;
    double OwnOccupied = 0;
    int32_t OwnFiles = 0;
    int32_t TreeFiles = 0;
    int32_t OwnFolders = 0;
    int32_t TreeFolders = 0;
    int32_t Archive = 0;
    int32_t Hidden = 0;
    int32_t ReadOnly = 0;
    int32_t System = 0;
    std::string Line;
};

// Path, " > ", the twelve numbers joined with ":". Stores the line in the
// record and returns it.
const std::string& FormatRecord(FolderRecord& record);
// The inverse; never fails: missing or bad numbers are 0, and a line without
// " > " is all path. The path ends at the last " > " of the line (the numbers
// never hold one), so a folder named "a > b" keeps its whole path.
FolderRecord ParseRecord(const std::string& line);
// The path part of a line, and whether the line has one at all.
bool PathOfLine(const std::string& line, std::string_view& path);
bool PathOfLine(std::string_view line, std::string_view& path);

// The twelve numbers of a line in field order, read as ParseRecord reads them
// but without copying the line: for callers that walk a million lines.
struct RecordNumbers {
    double Floats[4] = {0, 0, 0, 0};  // TreeBytes, TreeOccupied, OwnBytes, OwnOccupied
    int32_t Ints[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // OwnFiles .. System
};
// False (and all zero) when the line has no " > "; path is then the whole line.
bool ParseNumbers(std::string_view line, std::string_view& path, RecordNumbers& out);

class FolderList {
public:
    StringList Lines;
    FolderRecord Current;

    // First line whose path equals path byte for byte (a line without " > "
    // is all path); -1 when none. Uses an index built on first use after a
    // change, so lookups do not scan the list.
    int IndexOfPath(std::string_view path);
    // Parses line position into Current; nullptr outside the list. The
    // reference stays valid until the next RecordAt or FindPath.
    const FolderRecord* RecordAt(int position);
    const FolderRecord* FindPath(std::string_view path);

    void Clear();
    void Append(std::string line);
    void Delete(int position);
    void InsertFirst(std::string line);
    // Case-insensitive order of the whole lines (stable).
    void Sort();
    // The same order when the lines before firstNew are in it already (the
    // kept lines of a cache) and the rest are new: the new ones are sorted
    // and merged in, the same result as Sort at a fraction of its cost.
    // Kept lines out of order (a cache edited by hand) are sorted in full.
    void SortMerged(size_t firstNew);
    int Count() const { return static_cast<int>(Lines.size()); }
    const std::string& LineAt(int position) const { return Lines[static_cast<size_t>(position)]; }
    // For callers that change Lines directly.
    void Changed() { indexValid_ = false; }

private:
    void BuildIndex();
    struct IndexEntry {
        uint64_t hash;
        int line;
    };
    std::vector<IndexEntry> index_;
    bool indexValid_ = false;
};

// The record the main list shows for one directory entry: the entry's own
// sizes, or the folder's measured record when the list has one.
FolderRecord EntryRecord(const std::string& folderPath, const DirEntry& entry, FolderList& folders);

} // namespace nrvs
