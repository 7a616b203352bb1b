// Folder enumeration and file attributes (FindFirstFileA / FindNextFileA,
// GetFileAttributesA, GetCompressedFileSizeA).
//
// Folders are opened relative to their parent with O_NOFOLLOW, read with large
// getdents64 buffers, and each entry is asked with statx for only the fields
// needed. Symbolic links are never followed: a link is a file of its own
// length. Paths longer than PATH_MAX work because every folder is opened
// relative to an open parent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nrvs::platform {

enum : uint32_t {
    FILE_ATTRIBUTE_READONLY = 0x1,
    FILE_ATTRIBUTE_HIDDEN = 0x2,
    FILE_ATTRIBUTE_SYSTEM = 0x4,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_SPARSE_FILE = 0x200,
    FILE_ATTRIBUTE_COMPRESSED = 0x800,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu,
};

struct FindData {
    std::string_view Name;  // native bytes; valid until the next entry is read
    uint32_t Attributes = 0;
    uint64_t Size = 0;       // 0 for folders, devices, FIFOs and sockets
    uint64_t Allocated = 0;  // bytes the file holds on disk (GetCompressedFileSizeA)
    bool MountRoot = false;  // a folder where another mount begins
    // Names of a regular file (hard links); with more than one, the file's
    // identity, so that it can be counted once.
    uint32_t Links = 1;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    // Last modification, seconds since 1970 (UTC); folders read without
    // statx leave it 0.
    int64_t ModifiedTime = 0;
    // A regular file with an execute bit set.
    bool Executable = false;
};

// An open folder. Closes itself.
class Folder {
public:
    Folder() = default;
    explicit Folder(int fd);
    ~Folder();
    Folder(Folder&& o) noexcept;
    Folder& operator=(Folder&& o) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens a native folder path of any length; a symbolic link as the last
    // name is not followed. Invalid (fd -1) on failure.
    static Folder Open(const std::string& nativePath);
    // Opens the subfolder name of this folder, not following a link.
    Folder OpenChild(std::string_view name) const;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Mount id of the folder (0 when unknown).
    uint64_t MountId() const;

private:
    int fd_ = -1;
};

constexpr size_t kFolderReadBuffer = 64 * 1024;

// Reads the entries of an open folder, "." and ".." left out.
class FolderReader {
public:
    // statDirs: ask statx for folders too (attributes of folder entries);
    // without it a folder entry carries only the directory attribute and the
    // hidden flag of its name, which is all a walk needs.
    FolderReader(const Folder& folder, bool statDirs);
    // Reads into the caller's buffer of kFolderReadBuffer bytes, so that a
    // walk does not allocate one per folder.
    FolderReader(const Folder& folder, bool statDirs, char* buffer);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Next entry; false at the end or when reading fails. An entry that
    // vanished between reading and statx is skipped.
    bool Next(FindData& out);

private:
    bool Fill();
    const Folder& folder_;
    bool statDirs_;
    uint64_t mountId_;
    std::unique_ptr<char[]> own_;
    char* buf_;
    long len_ = 0;
    long pos_ = 0;
    bool end_ = false;
};

// Fills the attributes, size and allocated size of name inside an open folder
// from statx. False when the entry cannot be asked (it vanished).
bool StatEntry(int dirFd, std::string_view name, FindData& out, uint64_t parentMountId);

// Attributes of a native path itself, INVALID_FILE_ATTRIBUTES on failure.
uint32_t GetFileAttributesA(const std::string& nativePath);
// Bytes the file holds on disk; false when it cannot be asked.
bool GetCompressedFileSizeA(const std::string& nativePath, uint64_t& allocated);

} // namespace nrvs::platform
