// Folder enumeration and file attributes (FindFirstFileA / FindNextFileA,
// GetFileAttributesA, GetCompressedFileSizeA).
//
// Symbolic links (and on Windows junctions and other reparse points) are
// never followed: a link is a file of its own length. Paths of any length
// work. How a system opens and reads folders is its backend's affair
// (linux/FolderEntries.cpp, win32/FolderEntries.cpp).
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
    std::string_view Name; // native bytes; valid until the next entry is read
    uint32_t Attributes = 0;
    uint64_t Size = 0;      // 0 for folders, devices, FIFOs and sockets
    uint64_t Allocated = 0; // bytes the file holds on disk (GetCompressedFileSizeA)
    bool MountRoot = false; // a folder where another mount begins
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

// Which file or folder an entry is, on its volume: two names with the same
// identity are one file.
struct FileId {
    uint64_t Volume = 0;
    uint64_t Index = 0;
    bool operator==(const FileId&) const = default;
};

// What a walk asks of a folder before it enters it.
struct FolderStat {
    bool ReadOnly = false;
    // The mount (Linux) or volume (Windows) the folder lies on; 0 when the
    // system does not say.
    uint64_t MountId = 0;
    // The system marks the folder as the root of another mount, or as a
    // junction or mount point that a walk must not follow.
    bool MountRoot = false;
    FileId Id;
};

// Whether a folder with this stat begins another mount than its parent's.
// Decided by mount, not by device: btrfs subvolumes that are not mounted
// separately belong to their drive.
inline bool IsOtherMount(const FolderStat& st, uint64_t parentMountId) {
    return st.MountRoot || (st.MountId && parentMountId && st.MountId != parentMountId);
}

// An open folder. Closes itself.
class Folder {
  public:
    Folder() = default;
    // Takes over a handle of the backend (a descriptor on Linux, a HANDLE on
    // Windows) and, where the backend needs it, the folder's native path.
    explicit Folder(std::intptr_t handle, std::string path = {});
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
    // Opens the folder above this one (invalid at a root).
    Folder OpenParent() const;

    bool Valid() const { return handle_ != kNoHandle; }
    std::intptr_t Handle() const { return handle_; }
    const std::string& Path() const { return path_; }
    // Mount id of the folder (0 when unknown).
    uint64_t MountId() const;
    // The folder itself; false when it cannot be asked.
    bool Stat(FolderStat& out) const;
    // The entry name inside this folder, asked by name without opening or
    // following it (opening could trigger an automount); false when it
    // cannot be asked.
    bool StatChild(std::string_view name, FolderStat& out) const;

    static constexpr std::intptr_t kNoHandle = -1;

  private:
    std::intptr_t handle_ = kNoHandle;
    std::string path_;
};

// Native paths up to this length open in one call; longer ones are opened
// name by name (PATH_MAX on Linux).
size_t DirectPathLength();

// The folder at a native path itself, not following a link as its last name.
bool StatFolderPath(const std::string& nativePath, FolderStat& out);

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
    // Where the backend keeps a search of its own (Windows), and the name of
    // the entry last returned.
    std::intptr_t search_ = -1;
    std::string name_;
};

// Fills the attributes, size and allocated size of name inside an open
// folder. False when the entry cannot be asked (it vanished).
bool StatEntry(const Folder& folder, std::string_view name, FindData& out, uint64_t parentMountId);

// Attributes of a native path itself, INVALID_FILE_ATTRIBUTES on failure.
uint32_t GetFileAttributesA(const std::string& nativePath);
// Bytes the file holds on disk; false when it cannot be asked.
bool GetCompressedFileSizeA(const std::string& nativePath, uint64_t& allocated);

// What the property dialog shows of one item (stat of the path itself, a
// link not followed).
struct ItemDetails {
    enum Kinds {
        KIND_OTHER,
        KIND_FOLDER,
        KIND_FILE,
        KIND_LINK,
        KIND_FIFO,
        KIND_SOCKET,
        KIND_DEVICE
    };
    Kinds Kind = KIND_OTHER;
    uint64_t Size = 0;
    uint64_t Allocated = 0; // bytes held on disk
    // Seconds since 1970 (UTC).
    int64_t Modified = 0, Accessed = 0, Created = 0;
    bool HasCreated = false;
    // "name (id)", or the id alone when it has no name; empty where the
    // system keeps no such owner.
    std::string Owner, Group;
    // Permission bits in the Unix manner; HasMode false where there are none.
    bool HasMode = false;
    unsigned Mode = 0;
    std::string LinkTarget; // native bytes, for a symbolic link
};
bool GetItemDetails(const std::string& nativePath, ItemDetails& out);

// Bytes this process has had fetched from storage so far; -1 when the system
// does not say. A walk whose files are all in the cache reads nothing.
long long DeviceReadBytes();

} // namespace nrvs::platform
