// The per-drive cache files beside the executable: "NRVS_" + letter + ".txt",
// the folder list's lines with a header line of start time and duration.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/cache/Folders.h"

#include <ctime>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

namespace nrvs {

// Native path of the drive's cache file.
std::string CacheFileName(const DriveRecord& drive);
// Clears the list and reads the file; a missing or unreadable file leaves it empty.
void LoadCache(FolderList& list, const DriveRecord& drive);
// Replaces the file atomically. False when it could not be written: the old
// file stays whole and why gets the file's name and the reason.
bool SaveCache(const FolderList& list, const DriveRecord& drive, std::string* why = nullptr);
// The lock file beside the cache that every save of the drive's cache holds,
// in this process and in every other one (windows, the command line).
std::string CacheLockName(const DriveRecord& drive);
// Whether the cache file on disk is another version than the one this
// process last loaded or saved for the drive: another window or process
// saved it since.
bool CacheChangedOnDisk(const DriveRecord& drive);
// The header line of the drive's cache file on disk (its first line), read
// without reading the rest; empty when there is no cache or no header.
std::string CacheHeaderLine(const DriveRecord& drive);
// The same for any file of cache lines.
std::string HeaderLineOf(const std::string& nativePath);
// Whether the first line of a cache is its header: a line that is no
// folder's (no " > ", no drive path at its start). A cache written without
// one starts with a folder's line, perhaps one cut short before its numbers.
bool IsHeaderLine(std::string_view firstLine);

// MergeFolderLines (cache/FolderMerge) on the drive's cache file, read piece by piece and never
// held whole (unless out of order): merges and replaces it. A cache that is there but cannot be
// read is left as it is (false). The caller holds the cache lock (CacheLockName) around it. False
// when it could not be written: the old file stays whole and why gets the file's name and the
// reason. replaced gets the lines taken out, as MergeExtras::Replaced.
bool MergeIntoCache(const DriveRecord& drive, std::string_view below, std::string_view header,
                    StringList& fresh, std::string* why = nullptr, StringList* replaced = nullptr);
struct FolderLineChange;
// ChangeFolderLines (cache/FolderMerge) on the drive's cache file; the
// caller holds the cache lock around it.
bool ChangeFolderLinesInCache(const DriveRecord& drive, std::vector<FolderLineChange>& changes,
                              std::string* why = nullptr);
// Whether the cache settings cover the drive.
int IsCached(const DriveRecord& drive);

// "yyyy/mm/dd hh:nn:ss=hh:nn:ss": local start time, then the duration with
// hours wrapping at 24.
std::string HeaderLine(std::time_t start, std::time_t end);
// The header line a new cache is written with: HeaderLine, a space and 16
// hex digits drawn at random. The file index written with the cache names
// the same line, so that the index of any other measurement, even one of
// the same second, never passes for this cache's. Readers of the date read
// the line's beginning only; a line without the digits (a cache written
// before them) still pairs with the index written with it.
std::string NewHeaderLine(std::time_t start, std::time_t end);
// The duration of a header line ("hh:nn:ss"), without what follows it.
std::string HeaderDuration(const std::string& header);
// The start time at the beginning of a header line; false when it is no date.
bool HeaderStart(const std::string& header, std::time_t& start);
// Whole local calendar days from the header's start time to now (truncated
// toward zero; a day of a clock change counts as one day); false when the
// header is no date.
bool HeaderAgeDays(const std::string& header, std::time_t now, long long& days);

} // namespace nrvs
