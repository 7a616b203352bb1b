// The folder list: one text line per measured folder (cache/FolderLines),
// exactly the lines of the drive's cache file, parsed on demand.
#pragma once

#include "core/cache/FolderLines.h"
#include "lib/DirectoryListing.h"
#include "lib/StringList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nrvs {

// The lines of a drive's cache, as the file has them, each found by one word
// of offset and length. A cache read from a file is read in place where the
// system lets a mapped file be replaced: its text stays the file's, in pages
// the system shares and can take back, and the list holds eight bytes a
// line. Lines added or changed, and a cache read into memory, are kept in
// one buffer of the list's own without line ends; the file's bytes are never
// written.
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
    std::string_view LineAt(int position) const {
        return Line(s_->at[static_cast<size_t>(position)]);
    }
    std::string_view LineAt(size_t position) const { return Line(s_->at[position]); }
    // Every line as a string, and the list made of such lines: for small
    // lists (tests, tools), never for a drive's.
    StringList CopyLines() const;
    void Assign(const StringList& lines);
    // Replaces the line at position (in the list), keeping its place.
    void PutLine(int position, std::string_view line);
    // Bytes of the lines' text, line ends left out (in the list's buffer or
    // in the file read in place), and the bytes the list holds of its own
    // (its buffer, offsets, index; not the pages of a file read in place).
    size_t TextBytes() const { return s_ ? s_->size + s_->mapText : 0; }
    size_t HeldBytes() const;
    // Whether lines are read in place from the file Load was given.
    bool InPlace() const { return s_ && s_->map; }

    // The file's lines (CR LF, LF or CR ends), read in place or into one
    // buffer; false (and empty) when it cannot be read. Should another
    // program cut the file short while it is read in place, the lost part
    // of its lines reads as zero bytes (damaged lines).
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
    // A file read in place, let go when the last list that reads it does.
    struct Mapping {
        const char* bytes = nullptr;
        size_t length = 0;
        Mapping() = default;
        Mapping(const Mapping&) = delete;
        Mapping& operator=(const Mapping&) = delete;
        ~Mapping();
    };
    struct Store {
        Store() = default;
        Store(const Store& other);
        Store& operator=(const Store&) = delete;
        ~Store();
        // Offsets below map->length are the file's bytes; those above are
        // the buffer's, from data.
        std::shared_ptr<const Mapping> map;
        size_t mapLength = 0;
        size_t mapText = 0;    // bytes of line text in the file
        size_t mapGarbage = 0; // of which no line refers to
        char* data = nullptr;
        size_t size = 0;
        size_t capacity = 0;
        // Offset << 24 | length; a length of kLong or more is found in
        // longLines by offset.
        std::vector<uint64_t> at;
        std::vector<std::pair<uint64_t, uint64_t>> longLines;
        size_t garbage = 0; // bytes of text no line refers to
        void Reserve(size_t bytes);
        uint64_t Add(std::string_view line);
        size_t LongLength(uint64_t offset) const;
        // Counts the text of a line no longer referred to, or again.
        void Drop(uint64_t word, size_t length);
        void Undrop(uint64_t word, size_t length);
    };
    static constexpr uint64_t kLong = (uint64_t{1} << 24) - 1;

    std::string_view Line(uint64_t word) const {
        const size_t length = static_cast<size_t>(word & kLong);
        const size_t offset = static_cast<size_t>(word >> 24);
        const char* text =
            offset < s_->mapLength ? s_->map->bytes + offset : s_->data + (offset - s_->mapLength);
        return {text, length == kLong ? s_->LongLength(offset) : length};
    }
    Store& Own();
    void Changed();
    void Compact(bool letFileGo = false);
    void SplitLines();
    void SplitMapped();
    void Split();
    static void PushLine(Store& s, size_t offset, size_t length);
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
