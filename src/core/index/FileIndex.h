// The file index of a drive: every file a measurement counted, with its
// folder, name, size, occupied size, modification time and kind, in a binary
// file beside the drive's cache ("NRVS_X.idx"), read through a memory map
// without parsing. The cache file itself is left exactly as it is.
//
// The format is described in docs/file-index.md.
#pragma once

#include <atomic>
#include <cstring>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

struct DriveRecord;

// Per-file flags.
enum : uint8_t {
    INDEX_FLAG_EXECUTABLE = 1,
    INDEX_FLAG_SPARSE = 2,
    INDEX_FLAG_COMPRESSED = 4,
    // A further name of a file with several names: the measurement counted
    // the file's bytes at another name (the one that owns it).
    INDEX_FLAG_FURTHER_NAME = 8,
    // A link, device, FIFO or socket: counted as a file, but no regular one.
    INDEX_FLAG_NOT_REGULAR = 16,
    // Deleted or moved by the program since the measurement.
    INDEX_FLAG_GONE = 32,
};

// One file as the walk found it. Sizes are as the measurement counted them.
struct IndexedFile {
    uint64_t Size = 0;
    uint64_t Occupied = 0;
    int64_t ModifiedTime = 0;
    uint32_t NameOffset = 0; // where its producer keeps the name (FileRecords keeps its own)
    uint8_t NameLength = 0;
    uint8_t Flags = 0;
};

// The index file of a drive: "NRVS_" + letter + ".idx" beside the executable.
std::string FileIndexName(const DriveRecord& drive);
std::string FileIndexName(char letter);

class FileIndex;
// The index of drive letter when it belongs to the cache whose header line
// is cacheHeader; null (why: one line for the user) otherwise.
std::shared_ptr<const FileIndex> OpenFileIndex(char letter, const std::string& cacheHeader,
                                               std::string* why = nullptr);

// A mapped index file. Every accessor is bounds-checked at Open: a damaged
// file is refused whole, never read past its end.
class FileIndex {
  public:
    FileIndex();
    ~FileIndex();
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    // Maps the index of drive letter, belonging to the cache whose header
    // line is cacheHeader. False, with why (one line for the user), when it
    // is missing, damaged, truncated, of another version, of another drive
    // or of another measurement than the cache.
    bool Open(const std::string& nativePath, char letter, const std::string& cacheHeader,
              std::string* why = nullptr);
    bool IsOpen() const { return base_ != nullptr; }
    void Close();
    // False once another program cut the mapped file short (a cp or an
    // rsync --inplace over it): the pages lost read as zeros, so what was
    // read since is no longer the index. Callers check it after reading
    // and drop what they read, with CutShortText().
    bool Intact() const;
    static const char* CutShortText();

    uint32_t FileCount() const { return files_; }
    uint32_t FolderCount() const { return folders_; }
    bool LinksOnce() const { return linksOnce_; }
    char Letter() const { return letter_; }
    const std::string& CacheHeader() const { return header_; }

    // Folders in pre-order; folder 0 is the drive's root.
    uint32_t FolderParent(uint32_t folder) const;
    std::string_view FolderName(uint32_t folder) const; // native bytes
    uint32_t FolderFirstFile(uint32_t folder) const;
    uint32_t FolderFileCount(uint32_t folder) const;
    uint32_t FolderSubtreeEnd(uint32_t folder) const;
    // The program path of a folder, "X:\a\b\".
    std::string FolderPath(uint32_t folder) const;
    // The folder of a program path (trailing backslash), or -1.
    int64_t FindFolder(const std::string& programPath) const;
    // The child of folder parent named nativeName, or -1: one level of
    // FindFolder, for callers that walk down the tree themselves.
    int64_t ChildFolder(uint32_t parent, std::string_view nativeName) const;
    // The folder holding a file.
    uint32_t FolderOfFile(uint32_t file) const;

    uint64_t Size(uint32_t file) const;
    uint64_t Occupied(uint32_t file) const;
    int64_t ModifiedTime(uint32_t file) const;
    uint8_t Flags(uint32_t file) const;
    std::string_view Name(uint32_t file) const; // native bytes
    // The program path of a file, "X:\a\b.txt".
    std::string FilePath(uint32_t file) const;
    // Where the flags column starts in the file, and the mapped file's
    // device and inode: for marking files gone in place.
    uint64_t FlagsOffset() const { return flagsOffset_; }
    const std::string& Identity() const { return identity_; }

  private:
    const unsigned char* base_ = nullptr;
    size_t length_ = 0;
    uint32_t files_ = 0, folders_ = 0;
    uint64_t poolBytes_ = 0;
    bool linksOnce_ = true;
    char letter_ = 0;
    std::string header_;
    std::string identity_;
    uint64_t flagsOffset_ = 0;
    const unsigned char* folderTable_ = nullptr;
    const uint64_t* size_ = nullptr;
    const uint64_t* occupied_ = nullptr;
    const int64_t* mtime_ = nullptr;
    const uint32_t* nameOffset_ = nullptr;
    const uint8_t* nameLength_ = nullptr;
    const uint8_t* flags_ = nullptr;
    const char* pool_ = nullptr;
};

} // namespace nrvs
