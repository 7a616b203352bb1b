// The directory lister: one text line per entry of a folder, with attribute
// letters, size and occupied size; and the thin layers over the file
// services that several windows share (attributes, entry counts). Paths are
// in program form. Copy, move and delete are in lib/ItemOperations.h, the
// sequential writer in lib/OutputFile.h.
#pragma once

#include "lib/StringList.h"

#include <cstdint>
#include <string>

namespace nrvs {

struct DirEntry {
    std::string Name; // folders keep their trailing backslash
    int IsDir = 0, IsArchive = 0, IsHidden = 0, IsReadOnly = 0, IsSystem = 0, IsCompressed = 0,
        IsSparse = 0;
    double Size = -1;
    double Occupied = -1;
};

struct DirListing {
    StringList Entries;
    std::string Folder;
    int32_t ClusterSize = 0;
    int32_t FolderCount = 0;
    int32_t FileCount = 0;
    DirEntry CurrentEntry;
};

enum ListKind { LIST_ALL = 0, LIST_FILES = 1, LIST_FOLDERS = 2 };

// pattern: a program-form folder path followed by "*.*". A folder that cannot
// be listed gives an empty listing.
StringList& ListFolder(DirListing& listing, const std::string& pattern, int kind);
void SortListing(DirListing& listing, bool caseSensitive);
const DirEntry* EntryAt(DirListing& listing, int position);
DirEntry ParseEntry(const std::string& line);
// The inverse: name (a folder's ending in a backslash), " > ", the seven
// attribute marks, size ":" occupied size (-1 for none).
std::string EntryLine(std::string_view name, const char (&marks)[8], double size, double occupied);
int CountEntries(const std::string& pattern, int kind);

// Occupied size of an entry: the on-disk size rounded up to whole clusters
// (unchanged when clusterSize <= 0 or the size is not positive).
double RoundToClusters(double onDisk, int32_t clusterSize);

struct PathAttributes {
    int IsDir = 0, IsArchive = 0, IsHidden = 0, IsReadOnly = 0, IsSystem = 0, IsCompressed = 0;
};
// Attributes of a program-form path; all 0 and result 0 on failure.
int ReadAttributes(const std::string& path, PathAttributes& out);

} // namespace nrvs
