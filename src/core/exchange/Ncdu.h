// Scans made by other disk analyzers, in the JSON export format that ncdu
// writes with -o (and gdu too): imported as a drive letter of their own, and
// written from a measured drive or folder.
//
// An imported letter has a cache file and a file index exactly as a
// measurement of the scanned tree would have written them, and a small file
// "NRVS_X.imp" beside them saying that it is an import and of what. It has
// no root on this machine: the drive map keeps the letter free.
#pragma once

#include "lib/StringList.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace nrvs {

// What an imported letter remembers of its scan.
struct ImportInfo {
    bool Valid = false;   // the letter holds an import
    std::string Root;     // the scanned root path, as the export names it (native bytes)
    std::string Host;     // the machine, when the user named it; empty otherwise
    std::string Program;  // "ncdu 1.18", as the export says; may be empty
    int64_t ScanTime = 0; // seconds since 1970 from the export; 0 when it has none
    int64_t ImportTime = 0;
    std::string Source; // the file it was read from ("-": standard input)
};

// "NRVS_" + letter + ".imp" beside the executable.
std::string ImportInfoName(char letter);
// Read defensively: a missing, damaged or foreign file gives Valid false.
ImportInfo ReadImportInfo(char letter);
bool IsImportedDrive(char letter);

// Room ReadInputDocument leaves behind a document's bytes.
constexpr size_t kNcduPadding = 64;
// Deeper folders are refused: the cache holds every folder's whole path.
constexpr size_t kNcduMaxDepth = 10000;
// Files and folders of one import; more is refused before memory runs out.
constexpr uint64_t kNcduMaxEntries = 30000000;
// Bytes of the names of one import's files and folders: kept in memory
// until the index is written, and placed in it by 32-bit offsets.
constexpr uint64_t kNcduMaxNameBytes = uint64_t{3} << 30;
// Bytes of one document (after unpacking); it is read a block at a time, so
// this bounds the time an import takes, not its memory.
constexpr size_t kNcduMaxBytes = size_t{4} << 30;

struct NcduImportOptions {
    std::string Host;
    std::string Source;
    // What the import keeps, refused beyond these.
    uint64_t MaxEntries = kNcduMaxEntries;
    uint64_t MaxNameBytes = kNcduMaxNameBytes;
};

struct NcduImportReport {
    // Why nothing was written: "line L, column C: reason" for bad input, or
    // the file that could not be written.
    std::string Error;
    // The import failed after its cache took its name: the letter shows the
    // new scan's folders, perhaps without its files or its note.
    bool CacheWritten = false;
    // Program paths of the folders the scan could not read.
    StringList Unreadable;
    std::string Root;
    uint64_t Folders = 0, Files = 0;
    double Bytes = 0, Occupied = 0;
};

// Gives up to capacity bytes of a document into buffer, got 0 at its end;
// false with why (one line for the user) when it cannot be read.
using NcduSource =
    std::function<bool(char* buffer, size_t capacity, size_t& got, std::string& why)>;

// Imports the export read from source as drive letter 'A'..'Z': the cache,
// the file index and the import information are written under the cache
// lock once the whole document has been read. Only what the tree keeps is
// held, never the document. Bad input of any kind writes nothing. False
// with report.Error otherwise.
bool ImportNcdu(const NcduSource& source, char letter, const NcduImportOptions& options,
                NcduImportReport& report);
// The same from a document in memory.
bool ImportNcdu(const std::string& document, char letter, const NcduImportOptions& options,
                NcduImportReport& report);

// Writes the measured tree of folder path ("X:\" or "X:\a\b\") as an
// export (format 1.2) to nativeOut, from the drive's cache and file index.
// False with why when there is no index of the last measurement (its files
// cannot be listed), the folder is not in it, or the file cannot be written.
bool ExportNcdu(const std::string& path, const std::string& nativeOut, std::string& why);

} // namespace nrvs
