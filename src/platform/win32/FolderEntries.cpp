#include "platform/FolderEntries.h"

#include "platform/win32/WideApi.h"

#include <new>

namespace nrvs::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file or folder itself for its attributes, never following a link
// or junction as its last name.
HANDLE OpenItem(const std::string& nativePath, DWORD access) {
    return ::CreateFileW(win::LongPath(nativePath).c_str(), access, kShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}

bool ValidName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

std::string Joined(const std::string& folder, std::string_view name) {
    std::string p = folder;
    if (p.empty() || (p.back() != '/' && p.back() != '\\')) p += '/';
    p += name;
    return p;
}

// A folder that a walk must not enter: a junction or volume mount point.
// Symbolic links to folders are listed as files of their own.
bool IsMountPointData(DWORD attributes, DWORD reparseTag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && reparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

void FolderStatFrom(const BY_HANDLE_FILE_INFORMATION& info, FolderStat& out) {
    out.ReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    // 0 means "unknown" to the walk; a volume serial number of 0 is real.
    out.MountId = static_cast<uint64_t>(info.dwVolumeSerialNumber) + 1;
    out.MountRoot = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.Id.Volume = info.dwVolumeSerialNumber;
    out.Id.Index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

bool StatHandle(HANDLE h, FolderStat& out) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    FolderStatFrom(info, out);
    return true;
}

bool StatItemPath(const std::string& nativePath, FolderStat& out) {
    HANDLE h = OpenItem(nativePath, FILE_READ_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = StatHandle(h, out);
    ::CloseHandle(h);
    return ok;
}

bool IsExecutableName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot + 1));
    for (auto& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return ext == "exe" || ext == "com" || ext == "bat" || ext == "cmd";
}

void FillFrom(const WIN32_FIND_DATAW& f, const std::string& folderPath, std::string_view name,
              FindData& out) {
    const DWORD a = f.dwFileAttributes;
    const bool mountPoint = (a & FILE_ATTRIBUTE_DIRECTORY) && IsMountPointData(a, f.dwReserved0);
    // A symbolic link to a folder is no folder: it is never followed.
    const bool dir =
        (a & FILE_ATTRIBUTE_DIRECTORY) && (!(a & FILE_ATTRIBUTE_REPARSE_POINT) || mountPoint);
    uint32_t attributes = 0;
    if (dir) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    attributes |=
        a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_COMPRESSED);
    out.Attributes = attributes;
    out.Size = dir ? 0 : (static_cast<uint64_t>(f.nFileSizeHigh) << 32) | f.nFileSizeLow;
    out.Allocated = out.Size;
    if (!dir && (a & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE))) {
        uint64_t allocated = 0;
        if (GetCompressedFileSizeA(Joined(folderPath, name), allocated)) out.Allocated = allocated;
    }
    out.MountRoot = mountPoint;
    // Hard links are not told apart here: that would cost an open of every
    // file. Each name counts, as Explorer counts them.
    out.Links = 1;
    out.Device = out.Inode = 0;
    out.ModifiedTime = win::UnixSeconds(f.ftLastWriteTime);
    out.Executable = !dir && IsExecutableName(name);
}

} // namespace

Folder::Folder(std::intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}
Folder::~Folder() {
    if (Valid()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
Folder::Folder(Folder&& o) noexcept : handle_(o.handle_), path_(std::move(o.path_)) {
    o.handle_ = kNoHandle;
}
Folder& Folder::operator=(Folder&& o) noexcept {
    if (this != &o) {
        if (Valid()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = o.handle_;
        path_ = std::move(o.path_);
        o.handle_ = kNoHandle;
    }
    return *this;
}

Folder Folder::Open(const std::string& nativePath) {
    if (nativePath.empty()) return Folder();
    HANDLE h = OpenItem(nativePath, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) return Folder();
    BY_HANDLE_FILE_INFORMATION info{};
    // A link or junction as the last name is not followed; a drive's root
    // may itself be a mount point and opens.
    const bool root = nativePath.size() <= 3;
    if (!::GetFileInformationByHandle(h, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (!root && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        ::CloseHandle(h);
        return Folder();
    }
    return Folder(reinterpret_cast<std::intptr_t>(h), nativePath);
}

Folder Folder::OpenChild(std::string_view name) const {
    if (!Valid() || !ValidName(name)) return Folder();
    return Open(Joined(path_, name));
}

Folder Folder::OpenParent() const {
    if (!Valid()) return Folder();
    std::string p = path_;
    while (p.size() > 3 && (p.back() == '/' || p.back() == '\\'))
        p.pop_back();
    const size_t cut = p.find_last_of("/\\");
    if (cut == std::string::npos || p.size() <= 3) return Folder();
    return Open(p.substr(0, cut == 2 ? 3 : cut));
}

uint64_t Folder::MountId() const {
    FolderStat st;
    return Stat(st) ? st.MountId : 0;
}

bool Folder::Stat(FolderStat& out) const {
    if (!Valid() || !StatHandle(reinterpret_cast<HANDLE>(handle_), out)) return false;
    out.MountRoot = false; // the folder was opened: it is no junction
    return true;
}

bool Folder::StatChild(std::string_view name, FolderStat& out) const {
    if (!Valid() || !ValidName(name)) return false;
    return StatItemPath(Joined(path_, name), out);
}

bool StatFolderPath(const std::string& nativePath, FolderStat& out) {
    return StatItemPath(nativePath, out);
}

size_t DirectPathLength() {
    return 32767;
}

long long DeviceReadBytes() {
    // Windows counts every read of the process, from the cache too: no
    // measure of waiting for the device.
    return -1;
}

FolderReader::FolderReader(const Folder& folder, bool statDirs)
    : FolderReader(folder, statDirs, nullptr) {}

FolderReader::FolderReader(const Folder& folder, bool statDirs, char* buffer)
    : folder_(folder), statDirs_(statDirs), mountId_(0),
      own_(buffer ? nullptr : new char[kFolderReadBuffer]), buf_(buffer ? buffer : own_.get()) {
    end_ = !folder.Valid();
}

FolderReader::~FolderReader() {
    if (search_ != -1) ::FindClose(reinterpret_cast<HANDLE>(search_));
}

bool FolderReader::Fill() {
    return false;
}

bool FolderReader::Next(FindData& out) {
    static_assert(sizeof(WIN32_FIND_DATAW) <= kFolderReadBuffer);
    auto* f = reinterpret_cast<WIN32_FIND_DATAW*>(buf_);
    while (!end_) {
        if (search_ == -1) {
            const std::wstring pattern =
                win::LongPath(folder_.Path()) + (folder_.Path().size() <= 3 ? L"*" : L"\\*");
            HANDLE h =
                ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, f, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
            if (h == INVALID_HANDLE_VALUE) {
                end_ = true;
                return false;
            }
            search_ = reinterpret_cast<std::intptr_t>(h);
        } else if (!::FindNextFileW(reinterpret_cast<HANDLE>(search_), f)) {
            end_ = true;
            return false;
        }
        const wchar_t* n = f->cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        name_ = win::Narrow(n, wcslen(n));
        FillFrom(*f, folder_.Path(), name_, out);
        out.Name = name_;
        return true;
    }
    return false;
}

bool StatEntry(const Folder& folder, std::string_view name, FindData& out, uint64_t) {
    if (!folder.Valid() || !ValidName(name)) return false;
    WIN32_FIND_DATAW f{};
    HANDLE h = ::FindFirstFileExW(win::LongPath(Joined(folder.Path(), name)).c_str(),
                                  FindExInfoBasic, &f, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    FillFrom(f, folder.Path(), name, out);
    out.Name = name;
    return true;
}

uint32_t GetFileAttributesA(const std::string& nativePath) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!::GetFileAttributesExW(win::LongPath(nativePath).c_str(), GetFileExInfoStandard, &d))
        return INVALID_FILE_ATTRIBUTES;
    uint32_t a = d.dwFileAttributes &
                 (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_COMPRESSED);
    if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (!(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || nativePath.size() <= 3))
        a |= FILE_ATTRIBUTE_DIRECTORY;
    return a;
}

bool GetCompressedFileSizeA(const std::string& nativePath, uint64_t& allocated) {
    DWORD high = 0;
    const DWORD low = ::GetCompressedFileSizeW(win::LongPath(nativePath).c_str(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    allocated = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

bool GetItemDetails(const std::string& nativePath, ItemDetails& out) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!::GetFileAttributesExW(win::LongPath(nativePath).c_str(), GetFileExInfoStandard, &d))
        return false;
    out = ItemDetails();
    const bool link = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && nativePath.size() > 3;
    out.Kind = link                                              ? ItemDetails::KIND_LINK
               : (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemDetails::KIND_FOLDER
                                                                 : ItemDetails::KIND_FILE;
    out.Size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    out.Allocated = out.Size;
    if (out.Kind == ItemDetails::KIND_FILE) GetCompressedFileSizeA(nativePath, out.Allocated);
    out.Modified = win::UnixSeconds(d.ftLastWriteTime);
    out.Accessed = win::UnixSeconds(d.ftLastAccessTime);
    out.Created = win::UnixSeconds(d.ftCreationTime);
    out.HasCreated = true;
    return true;
}

} // namespace nrvs::platform
