// The directory lister: one text line per entry of a folder, with attribute
// letters, size and occupied size; and the thin layers over the file
// services that several windows share (attributes, entry counts, a
// sequential writer, copy, move and delete). Paths are in program form.
#pragma once

#include "lib/Text.h"

#include <cstdint>
#include <string>

namespace nrvs {

struct DirEntry {
    std::string Name;  // folders keep their trailing backslash
    int IsDir = 0, IsArchive = 0, IsHidden = 0, IsReadOnly = 0, IsSystem = 0, IsCompressed = 0, IsSparse = 0;
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

// A sequential file writer for the exports. Names are native (they come from
// the save dialog).
enum : uint32_t {
    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    CREATE_NEW = 1,
    CREATE_ALWAYS = 2,
    OPEN_EXISTING = 3,
    OPEN_ALWAYS = 4,
    TRUNCATE_EXISTING = 5,
};
struct OutputFile {
    std::intptr_t Handle = -1;
    std::string FileName;
    uint32_t Access = 0;
};
int OpenOutput(OutputFile& file, const std::string& fileName, uint32_t access, uint32_t share, uint32_t creation);
long WriteOutput(OutputFile& file, const void* bytes, long length);
int CloseOutput(OutputFile& file);

// Copy into a folder, move (copy, then the source into the trash only when
// the copy succeeded) and delete; 1 on success. Program-form paths; a
// trailing backslash on the source is ignored.
int CopyItem(const std::string& source, const std::string& destFolder, int confirm);
int MoveItem(const std::string& source, const std::string& destFolder, int confirm);
int DeleteItem(const std::string& path, int useRecycleBin, int confirm);

} // namespace nrvs
