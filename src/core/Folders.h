// Folder records and the folder list: one text line per measured folder,
// exactly the lines of the drive's cache file, parsed on demand.
#pragma once

#include "lib/Sdirlist.h"
#include "lib/Slib.h"

#include <cstdint>
#include <memory>
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
FolderRecord ParseRecord(std::string_view line);
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

// The lines of a drive's cache, as the file has them: their text in one
// buffer without line ends, each line found by one word of offset and
// length. A cache of ten million folders thus holds its text and eight bytes
// a line, and reading it needs no second copy.
class FolderList {
public:
    FolderRecord Current;

    FolderList() = default;
    // Copies share the text until one of them changes: a worker can keep the
    // lines it was given while the window goes on.
    FolderList(const FolderList& other) = default;
    FolderList& operator=(const FolderList& other) = default;
    FolderList(FolderList&& other) noexcept = default;
    FolderList& operator=(FolderList&& other) noexcept = default;

    // First line whose path equals path byte for byte (a line without " > "
    // is all path); -1 when none. Lines after the first in order are
    // searched by halving; a list out of order (a cache edited by hand) by a
    // hash index built on first use.
    int IndexOfPath(std::string_view path);
    // Parses line position into Current; nullptr outside the list. The
    // reference stays valid until the next RecordAt or FindPath.
    const FolderRecord* RecordAt(int position);
    const FolderRecord* FindPath(std::string_view path);

    void Clear();
    void Append(std::string_view line);
    void Delete(int position);
    void InsertFirst(std::string_view line);
    // Case-insensitive order of the whole lines (stable).
    void Sort();
    // The same order when the lines before firstNew are in it already (the
    // kept lines of a cache) and the rest are new: the new ones are sorted
    // and merged in between the kept lines they fall among, the same result
    // as Sort, and the kept ones are not compared again when their order is
    // known. Kept lines out of order (a cache edited by hand) are sorted in
    // full.
    void SortMerged(size_t firstNew);
    int Count() const { return s_ ? static_cast<int>(s_->at.size()) : 0; }
    size_t Size() const { return s_ ? s_->at.size() : 0; }
    // position must be in the list. The view lasts until the list changes.
    std::string_view LineAt(int position) const { return Line(s_->at[static_cast<size_t>(position)]); }
    std::string_view LineAt(size_t position) const { return Line(s_->at[position]); }
    // Every line as a string, and the list made of such lines: for small
    // lists (tests, tools), never for a drive's.
    StringList CopyLines() const;
    void Assign(const StringList& lines);
    // Replaces the line at position (in the list), keeping its place.
    void PutLine(int position, std::string_view line);
    // Bytes of text held, and of the list in all (text, offsets, index).
    size_t TextBytes() const { return s_ ? s_->size : 0; }
    size_t HeldBytes() const;

    // The file's lines (CR LF, LF or CR ends), read into one buffer; false
    // (and empty) when it cannot be read.
    bool Load(const std::string& nativePath);
    // The lines, each followed by CR LF, replacing the file (ReplaceFile).
    bool Save(const std::string& nativePath) const;
    // From text held in memory, as Load reads a file.
    void SetText(std::string_view text);

    // The run of positions [first, last) after line 0 whose lines begin with
    // prefix without regard to case; false when the lines after line 0 are
    // not in order, so that no such run can be told.
    bool PrefixRun(std::string_view prefix, size_t& first, size_t& last);
    // Takes out the lines at the given positions (ascending), giving back
    // their words for Restore; their text stays until the list is compacted.
    std::vector<std::pair<size_t, uint64_t>> TakeOut(const std::vector<size_t>& positions);
    // Puts lines taken out back at their old positions (before anything
    // appended since).
    void Restore(const std::vector<std::pair<size_t, uint64_t>>& taken);

private:
    struct Store {
        Store() = default;
        Store(const Store& other);
        Store& operator=(const Store&) = delete;
        ~Store();
        char* data = nullptr;
        size_t size = 0;
        size_t capacity = 0;
        // Offset << 24 | length; a length of kLong or more is found in
        // longLines by offset.
        std::vector<uint64_t> at;
        std::vector<std::pair<uint64_t, uint64_t>> longLines;
        size_t garbage = 0;  // bytes of text no line refers to
        void Reserve(size_t bytes);
        uint64_t Add(std::string_view line);
        size_t LongLength(uint64_t offset) const;
    };
    static constexpr uint64_t kLong = (uint64_t{1} << 24) - 1;

    std::string_view Line(uint64_t word) const {
        const size_t length = static_cast<size_t>(word & kLong);
        const size_t offset = static_cast<size_t>(word >> 24);
        return {s_->data + offset, length == kLong ? s_->LongLength(offset) : length};
    }
    Store& Own();
    void Changed();
    void Compact();
    void SplitLines();
    // Lines [runFrom_, runTo_) are known to be in order; runFrom_ is 0 or 1
    // (line 0 may be a header). checked_: the run was extended as far as
    // the lines go.
    void ExtendRun();
    bool AfterFirstInOrder();
    bool Less(uint64_t a, uint64_t b) const;
    int FindByHash(std::string_view path);
    void BuildIndex();

    std::shared_ptr<Store> s_;
    size_t runFrom_ = 0;
    size_t runTo_ = 0;
    bool checked_ = true;
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
