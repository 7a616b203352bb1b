// Whole-file access for the program's own files.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Reads the whole file at a native path. False when it cannot be opened or
// read, or is no regular file (a FIFO or device put in its place) or larger
// than any file of the program's own.
bool ReadWholeFile(const std::string& nativePath, std::string& out);

// A file of the program's own read piece by piece, with the checks of
// ReadWholeFile, for files too large to hold twice.
class FileReader {
  public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    // False when the file cannot be opened (missing: errno ENOENT), is no
    // regular file or is larger than any file of the program's own.
    bool Open(const std::string& nativePath);
    // Up to size bytes into buffer: how many, 0 at the end, -1 when reading
    // failed (or the file grew past the limit meanwhile).
    long Read(char* buffer, size_t size);

  private:
    std::intptr_t handle_ = -1;
    unsigned long long read_ = 0;
};

// The first bytes (at most maxBytes) of a regular file; false when it cannot
// be read.
bool ReadFileStart(const std::string& nativePath, size_t maxBytes, std::string& out);

// Replaces the file at a native path with data: writes a temporary file with
// an unguessable name, created exclusively, in the same folder, flushes it,
// then renames it over the old one, keeping the old file's permission bits.
// On failure the temporary file is removed and the old file stays as it was.
// Temporary files of this name left by a killed process are removed.
// Every file written for the user goes through here: a link at the name is
// replaced by the file, never written through, and a name that holds
// anything else than a regular file or a link (a device, a FIFO, a socket,
// a folder) is refused with nothing written.
bool ReplaceFile(const std::string& nativePath, std::string_view data);

// Why the last ReplaceFile* of this thread failed, in words for a message
// ("No space left on device", "not a regular file: ..."); empty after a
// success.
const std::string& LastWriteError();

// The same for a text of lines, each written followed by CR LF, in chunks:
// a large cache never needs a second copy in memory.
bool ReplaceFileWithLines(const std::string& nativePath, const std::vector<std::string>& lines);

// The same for data produced in pieces: produce calls put with each piece
// and returns false to give up (put returns false once a write failed). The
// errno of the first failure is left in errno.
using PutBytes = std::function<bool(std::string_view)>;
bool ReplaceFileStreamed(const std::string& nativePath,
                         const std::function<bool(const PutBytes& put)>& produce);
// The same, but the new file, written and flushed, takes the name only when
// gate() then returns true (gate may wait for another save, or write other
// files first); otherwise it is removed, the old file stays and the result
// is false. gate is called once, only when the file was written.
bool ReplaceFileStreamedGated(const std::string& nativePath,
                              const std::function<bool(const PutBytes& put)>& produce,
                              const std::function<bool()>& gate);

// The same for a file of known length whose parts are produced out of
// order: put writes bytes at an offset (bytes never written read as zeros).
// With gate, the file takes its name only when gate() returns true, as with
// ReplaceFileStreamedGated.
using PutBytesAt = std::function<bool(uint64_t offset, std::string_view)>;
bool ReplaceFilePlaced(const std::string& nativePath, uint64_t length,
                       const std::function<bool(const PutBytesAt& put)>& produce,
                       const std::function<bool()>& gate = {});

// A file without a name in a folder, for data too large to hold in memory
// while it is gathered: nobody else can open it, and it is gone when closed
// or when the process ends, however it ends.
class ScratchFile {
  public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    // False (and nothing made) when the folder takes no file.
    bool Open(const std::string& nativeFolder);
    bool IsOpen() const { return handle_ != -1; }
    bool WriteAt(uint64_t offset, std::string_view bytes);
    // False unless all n bytes were read.
    bool ReadAt(uint64_t offset, void* to, size_t n) const;
    // Why the last write or read failed, in words for a message.
    const std::string& Why() const { return why_; }

  private:
    std::intptr_t handle_ = -1;
    mutable std::string why_;
};

// What identifies one version of a file: device, inode, size and
// modification time; empty when there is no regular file at the path. A
// file replaced by ReplaceFile always gets another stamp.
std::string FileStamp(const std::string& nativePath);

// An exclusive lock held on a file of its own (created when missing, never
// through a link) for as long as the object lives. Processes that lock the
// same name take turns; one that cannot open the lock file goes on without
// it (Held() is false) rather than never saving.
class FileLock {
  public:
    explicit FileLock(const std::string& nativePath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return handle_ != -1; }

  private:
    std::intptr_t handle_ = -1;
};

// Maps a regular file read-only and shared (bytes changed by WriteAt show in
// the map). identity gets the file's device and inode. False when it is
// missing, no regular file (a link is not followed) or empty.
bool MapFileReadOnly(const std::string& nativePath, const void*& data, size_t& length,
                     std::string* identity = nullptr);
void UnmapFile(const void* data, size_t length);
// Maps a regular file read-only for reading its bytes as they are (a large
// cache read in place). Should another program shrink or cut the file
// while it is mapped, the pages past its new end read as zeros instead of
// ending the process. False when it is missing, no regular file (a link at
// the name is refused, as MapFileReadOnly refuses it), empty or
// larger than any file of the program's own, and always on systems where a
// mapped file could not be replaced while mapped (Windows): the caller then
// reads the file instead.
bool MapFileGuarded(const std::string& nativePath, const void*& data, size_t& length);
// MapFileReadOnly (shared, any size, identity) under the same guard: pages
// lost to another program cutting the file short read as zeros, and
// MappingLostPages says so. Where a mapped file cannot be cut short
// (Windows) it is MapFileReadOnly. Unmapped with UnmapFileGuarded.
bool MapFileReadOnlyGuarded(const std::string& nativePath, const void*& data, size_t& length,
                            std::string* identity = nullptr);
void UnmapFileGuarded(const void* data, size_t length);
// Whether the file mapped at data (by MapFileGuarded or
// MapFileReadOnlyGuarded) has been cut short since: the guard covered lost
// pages with zeros, or the file is now shorter than the mapping (the rest
// of its last page reads as zeros without a fault). What was read of it may
// then be zeros in place of the file's bytes.
bool MappingLostPages(const void* data);
// ReplaceFile with the bytes of a mapping from MapFileReadOnly, in pieces
// whose pages are let go once written: copying a large file this way does
// not hold it in the process's memory.
bool ReplaceFileFromMapping(const std::string& nativePath, const void* data, size_t length);
// Writes bytes at an offset inside an existing regular file, never through
// a link and only while it is the file of identity (from MapFileReadOnly):
// a file replaced in the meantime is left alone. False when nothing was
// written.
bool WriteAt(const std::string& nativePath, uint64_t offset, std::string_view bytes,
             const std::string& identity);

// Appends bytes at the end of a regular file of the program's own (created
// when missing, never through a link), flushed to the disk before it returns
// when flush says so. offset gets where they start. A name that holds
// anything else than a regular file is refused. A failed append may leave
// part of the bytes: readers of such files frame what they append. Why it
// failed: LastWriteError.
bool AppendToFile(const std::string& nativePath, std::string_view bytes, bool flush,
                  uint64_t* offset = nullptr);

// Creates a native folder and the ones above it that are missing, with the
// given mode (the umask applies). True when it is a folder afterwards.
bool MakeFolders(const std::string& nativePath, unsigned mode);

// Removes a file of the program's own (a regular file or a link at the
// name; never a folder or anything else). True when it is gone.
bool RemoveOwnFile(const std::string& nativePath);

// 16 random hex digits for names that must not be guessed.
std::string RandomSuffix();

// A second name for a regular file of the program's own, without copying
// it: the temporary name ReplaceFile would use beside target (its leftovers
// are cleared the same way), linked to the file at existing. False (temp
// empty) when existing is no regular file or the system cannot link it
// there; the caller then copies.
bool LinkAsTemporary(const std::string& existing, const std::string& target, std::string& temp);
// Moves a file of the program's own over target in one step. A folder or
// anything else than a regular file or a link at target is refused.
bool RenameOwnFile(const std::string& from, const std::string& target);

// A file opened the way CreateFileA opens it: creation is its disposition
// (1 CREATE_NEW, 2 CREATE_ALWAYS, 3 OPEN_EXISTING, 4 OPEN_ALWAYS,
// 5 TRUNCATE_EXISTING). kNoFileHandle on failure.
constexpr std::intptr_t kNoFileHandle = -1;
std::intptr_t OpenFileHandle(const std::string& nativePath, bool read, bool write,
                             uint32_t creation);
// Writes all bytes; the count written, -1 on failure.
long WriteFileHandle(std::intptr_t handle, const void* bytes, long length);
void CloseFileHandle(std::intptr_t handle);

// Local time of a moment in seconds since 1970 (localtime_r); false when
// the system cannot convert it.
bool LocalTime(int64_t seconds, struct std::tm& out);

} // namespace nrvs::platform
