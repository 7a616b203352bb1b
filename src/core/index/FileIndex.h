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
    FI_EXECUTABLE = 1,
    FI_SPARSE = 2,
    FI_COMPRESSED = 4,
    // A further name of a file with several names: the measurement counted
    // the file's bytes at another name (the one that owns it).
    FI_FURTHER_NAME = 8,
    // A link, device, FIFO or socket: counted as a file, but no regular one.
    FI_NOT_REGULAR = 16,
    // Deleted or moved by the program since the measurement.
    FI_GONE = 32,
};

// One file as the walk found it. Sizes are as the measurement counted them.
struct IndexedFile {
    uint64_t Size = 0;
    uint64_t Occupied = 0;
    int64_t ModifiedTime = 0;
    uint32_t NameOffset = 0;  // where its producer keeps the name (FileRecords keeps its own)
    uint8_t NameLength = 0;
    uint8_t Flags = 0;
};

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
    template <typename Fn>
    void Each(uint64_t begin, uint32_t count, Fn&& fn) const {
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
    static constexpr size_t kHead = 26;  // size, occupied, time, name length, flags
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
    std::string spillFolder_;  // until the first record
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
        uint32_t Parent = UINT32_MAX;  // index in Folders; UINT32_MAX for the walk's start
        uint32_t NameAt = 0, NameLength = 0;  // in FolderNames; the start folder's is empty
        uint32_t Worker = 0, Count = 0;
        uint64_t Begin = 0;            // where its first file is in its worker's stream
        uint32_t NameBytes = 0;        // of its files' names
        uint32_t SubtreeEnd = 0;       // one past the last folder of its subtree
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

// The index file of a drive: "NRVS_" + letter + ".idx" beside the executable.
std::string FileIndexName(const DriveRecord& drive);
std::string FileIndexName(char letter);

class FileIndex;
// The index of drive letter when it belongs to the cache whose header line
// is cacheHeader; null (why: one line for the user) otherwise.
std::shared_ptr<const FileIndex> OpenFileIndex(char letter, const std::string& cacheHeader, std::string* why = nullptr);

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
    bool Open(const std::string& nativePath, char letter, const std::string& cacheHeader, std::string* why = nullptr);
    bool IsOpen() const { return base_ != nullptr; }
    void Close();

    uint32_t FileCount() const { return files_; }
    uint32_t FolderCount() const { return folders_; }
    bool LinksOnce() const { return linksOnce_; }
    char Letter() const { return letter_; }
    const std::string& CacheHeader() const { return header_; }

    // Folders in pre-order; folder 0 is the drive's root.
    uint32_t FolderParent(uint32_t folder) const;
    std::string_view FolderName(uint32_t folder) const;  // native bytes
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
    std::string_view Name(uint32_t file) const;  // native bytes
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

// Writes the index of drive letter for the cache header line. Without old,
// fresh is the whole drive (a drive measurement). With old (the valid index
// of the cache before this measurement), fresh is the subtree of folder
// below and takes the place of that subtree's records in old; false when
// below's parent is not in old. The file is written complete under a
// temporary name and renamed; false with why (file: reason) on failure, the
// old file left as it was.
bool WriteFileIndex(const std::string& nativePath, char letter, const std::string& cacheHeader,
                    const FileIndexData& fresh, const FileIndex* old, const std::string& below,
                    std::string* why = nullptr);

// Marks the files of a program path (a file, or a folder and everything
// below it) as gone in the drive's index on disk and in index when given:
// the program deleted or moved them. False when the index does not hold it.
bool MarkGoneInIndex(const std::string& nativePath, FileIndex* index, const std::string& programPath,
                     const std::string& cacheHeader);

// The same for whatever drive holds programPath, with the index of the
// cache on disk: what the program deleted or moved leaves every list that
// reads the index at once. A file or a folder (with or without its trailing
// backslash). False when there is no such index or it does not hold it.
bool ForgetInFileIndex(const std::string& programPath);

// ---- queries ----

enum FileKey { FK_SIZE = 0, FK_OCCUPIED = 1, FK_MODIFIED = 2 };

struct FileQuery {
    std::string Below;                    // program path of a folder; empty: the whole drive
    FileKey Key = FK_SIZE;
    size_t Top = 100;
    std::vector<std::string> Extensions;  // lower-case, without dots; empty: any
    int64_t MinSize = -1;                 // bytes; -1: any
    int64_t ModifiedBefore = INT64_MAX;   // seconds since 1970, exclusive
    int64_t ModifiedAfter = INT64_MIN;    // exclusive
    std::string Name;                     // search pattern (wildcards * and ?); empty: any
    bool OnPath = false;                  // the pattern is matched against the whole program path
    bool WithFolders = false;             // folders whose name matches are rows too
};

struct FileHit {
    bool IsFolder = false;
    uint32_t Index = 0;  // file, or folder when IsFolder
    std::string Path;    // program path (a folder's ends with a backslash)
    uint64_t Size = 0, Occupied = 0;
    int64_t ModifiedTime = 0;
    uint8_t Flags = 0;
};

// The matching files, the largest first by the key (the newest first by
// modification time), ties in byte order of the path, at most Top of them.
// A file with several names is listed once, at the name that owns it, when
// the measurement counted it once. Gone files never match. cancel: checked
// now and then; a cancelled query returns what it has (callers drop it).
std::vector<FileHit> QueryFiles(const FileIndex& index, const FileQuery& query,
                                const std::atomic<bool>* cancel = nullptr);

// A file's extension: the text after the last dot of its name when that dot
// is neither the first nor the last character; lower-case ASCII.
std::string ExtensionOf(std::string_view name);

// Reads "jpg,PNG, .gif" into {"jpg", "png", "gif"}; false when an entry is empty.
bool ParseExtensionList(std::string_view text, std::vector<std::string>& out);

// The kind column of a file row: the extension's upper-case form with
// "ファイル", or "ファイル" alone; "フォルダ" for a folder.
std::string FileKindText(std::string_view name, bool folder);

} // namespace nrvs
