// Writing the file index of a drive: the files a walk gathers, held until
// the walk ends, and the index file made of them or marked where the
// program deleted or moved files.
#pragma once

#include "core/index/FileIndex.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

namespace platform {
class ScratchFile;
}

// One worker's files in the order it listed them: each file's record and
// name, one after the other in one stream of bytes. The stream is held in
// blocks that never move (a list that doubled would hold the old and the
// new buffer at once at the measurement's peak) or, once SpillTo found a
// folder for it, in a file without a name there: the files of a drive need
// not be held in memory at all until the index is written.
class FileRecords {
  public:
    FileRecords();
    ~FileRecords();
    FileRecords(FileRecords&&) noexcept;
    FileRecords& operator=(FileRecords&&) noexcept;

    // From now on the stream goes to a scratch file in nativeFolder; it stays
    // in memory when the folder takes none.
    void SpillTo(const std::string& nativeFolder);
    // Whether the stream is in a scratch file (made with the first record).
    bool Spilled() const { return spill_ != nullptr; }
    // Appends a file (f's name fields are not used) and says where its
    // record starts.
    uint64_t Add(const IndexedFile& f, std::string_view name);
    // Where the next record will start; the name bytes so far.
    uint64_t Position() const { return size_; }
    uint64_t NameBytes() const { return nameBytes_; }
    // Writes out what is still held of a spilled stream and lets go of its
    // buffer: for the end of the walk, before the index is put together.
    void Seal();
    // Sets flags on the record at position (from Add) after the walk.
    void AddFlags(uint64_t position, uint8_t flags);
    // Calls fn(file, name) for count records from position begin; file's
    // name fields are not set.
    template <typename Fn> void Each(uint64_t begin, uint32_t count, Fn&& fn) const {
        IndexedFile f;
        char head[kHead];
        char name[256];
        for (uint64_t at = begin; count > 0; --count) {
            Read(at, head, kHead);
            std::memcpy(&f.Size, head, 8);
            std::memcpy(&f.Occupied, head + 8, 8);
            std::memcpy(&f.ModifiedTime, head + 16, 8);
            f.NameLength = static_cast<uint8_t>(head[24]);
            f.Flags = static_cast<uint8_t>(head[25]);
            Read(at + kHead, name, f.NameLength);
            at += kHead + f.NameLength;
            fn(static_cast<const IndexedFile&>(f), std::string_view(name, f.NameLength));
        }
    }
    // Why the stream lost data (its scratch file could not be written or
    // read); empty while it holds everything added.
    const std::string& Failure() const { return failure_; }

  private:
    static constexpr size_t kHead = 26; // size, occupied, time, name length, flags
    static constexpr uint32_t kBlockBits = 18;
    static constexpr uint64_t kBlockSize = uint64_t{1} << kBlockBits;
    void Append(const char* p, size_t n);
    void Read(uint64_t at, char* to, size_t n) const;
    void Fail(const char* what) const;

    std::vector<std::unique_ptr<char[]>> blocks_;
    uint64_t size_ = 0, nameBytes_ = 0;
    // Spilled: the bytes before flushed_ are in the file, the rest in
    // pending_; reads go through a window of the file.
    std::unique_ptr<platform::ScratchFile> spill_;
    std::string spillFolder_; // until the first record
    uint64_t flushed_ = 0;
    std::string pending_;
    mutable std::string window_;
    mutable uint64_t windowAt_ = 0;
    mutable std::string failure_;
};

// What one walk gathered: the files per worker in listing order (a folder's
// files are one range of one worker's stream) and the folders in pre-order,
// so that a folder's subtree is one range of folders and of files.
struct FileIndexData {
    struct Folder {
        uint32_t Parent = UINT32_MAX;        // index in Folders; UINT32_MAX for the walk's start
        uint32_t NameAt = 0, NameLength = 0; // in FolderNames; the start folder's is empty
        uint32_t Worker = 0, Count = 0;
        uint64_t Begin = 0;      // where its first file is in its worker's stream
        uint32_t NameBytes = 0;  // of its files' names
        uint32_t SubtreeEnd = 0; // one past the last folder of its subtree
    };
    std::vector<FileRecords> Files;
    std::vector<Folder> Folders;
    // The folders' names (native bytes) one after the other: no string of
    // its own for each of a million folders.
    std::string FolderNames;
    void SetFolderName(Folder& f, std::string_view name) {
        f.NameAt = static_cast<uint32_t>(FolderNames.size());
        f.NameLength = static_cast<uint32_t>(name.size());
        FolderNames.append(name);
    }
    std::string_view FolderName(const Folder& f) const {
        return std::string_view(FolderNames).substr(f.NameAt, f.NameLength);
    }
    bool LinksOnce = true;
    // Where a walk keeps its files until the index is written; empty: in
    // memory.
    std::string SpillFolder;
};

// Writes the index of drive letter for the cache header line. Without old,
// fresh is the whole drive (a drive measurement). With old (the valid index
// of the cache before this measurement), fresh is the subtree of folder
// below and takes the place of that subtree's records in old; false when
// below's parent is not in old. The file is written complete under a
// temporary name and renamed; false with why (file: reason) on failure, the
// old file left as it was. With gate, the file takes its name only when
// gate() returns true once it is written.
bool WriteFileIndex(const std::string& nativePath, char letter, const std::string& cacheHeader,
                    const FileIndexData& fresh, const FileIndex* old, const std::string& below,
                    std::string* why = nullptr, const std::function<bool()>& gate = {});

// Marks the files of a program path (a file, or a folder and everything
// below it) as gone in the drive's index on disk and in index when given:
// the program deleted or moved them. False when the index does not hold it.
bool MarkGoneInIndex(const std::string& nativePath, FileIndex* index,
                     const std::string& programPath, const std::string& cacheHeader);

} // namespace nrvs
