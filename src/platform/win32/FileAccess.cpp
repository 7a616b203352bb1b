#include "platform/FileAccess.h"

#include "platform/ProgramLocation.h"
#include "platform/ErrorText.h"
#include "platform/win32/WideApi.h"

#include <bcrypt.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace nrvs::platform {

namespace {
// No file of the program's own comes near this; a larger one is not ours and
// must not exhaust memory.
constexpr uint64_t kMaxOwnFile = uint64_t{4} << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Callers read errno, as they do on every system.
void SetErrno() {
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    default:
        errno = EIO;
        break;
    }
}

// Opens an existing regular file for reading; a folder or device is refused.
HANDLE OpenRegular(const std::string& nativePath, DWORD access, uint64_t* size) {
    HANDLE h = ::CreateFileW(win::LongPath(nativePath).c_str(), access, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrno();
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        ::CloseHandle(h);
        errno = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    if (size) *size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return h;
}

bool WriteAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
        DWORD done = 0;
        if (!::WriteFile(h, data.data(), piece, &done, nullptr) || done == 0) {
            SetErrno();
            return false;
        }
        data.remove_prefix(done);
    }
    return true;
}

std::string IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

thread_local std::string t_lastWriteError;

// Writes a temporary file beside the target, flushes it and moves it over
// the target; on any failure the target stays as it was.
template <typename Writer>
bool Replace(const std::string& nativePath, Writer write, const std::function<bool()>& gate = {}) {
    t_lastWriteError.clear();
    const size_t slash = nativePath.find_last_of("/\\");
    if (slash + 1 == nativePath.size()) {
        t_lastWriteError = SystemReason(EISDIR);
        return false;
    }
    PrepareProgramFolderOf(nativePath);
    const std::wstring target = win::LongPath(nativePath);
    const DWORD there = ::GetFileAttributesW(target.c_str());
    if (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)) {
        t_lastWriteError = "a folder is there, not a regular file; nothing was written";
        errno = EEXIST;
        return false;
    }
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"." +
               win::Wide(RandomSuffix());
        h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        SetErrno();
        t_lastWriteError = SystemReason(errno);
        return false;
    }
    bool ok = write(h) && ::FlushFileBuffers(h);
    if (!ok) SetErrno();
    ::CloseHandle(h);
    if (ok && gate && !gate()) {
        ::DeleteFileW(temp.c_str());
        t_lastWriteError = "not saved: what it belongs to was not saved";
        errno = ECANCELED;
        return false;
    }
    t_lastWriteError.clear(); // what the gate wrote meanwhile is not this file's reason
    if (ok && !::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetErrno();
        ok = false;
    }
    if (!ok) {
        const int err = errno;
        ::DeleteFileW(temp.c_str());
        t_lastWriteError = SystemReason(err);
        errno = err;
    }
    return ok;
}
} // namespace

FileReader::~FileReader() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool FileReader::Open(const std::string& nativePath) {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    read_ = 0;
    uint64_t size = 0;
    HANDLE h = OpenRegular(nativePath, GENERIC_READ, &size);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (size > kMaxOwnFile) {
        ::CloseHandle(h);
        errno = EINVAL;
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

long FileReader::Read(char* buffer, size_t size) {
    if (handle_ == -1) return -1;
    DWORD n = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer,
                    static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &n, nullptr))
        return -1;
    read_ += n;
    if (read_ > kMaxOwnFile) return -1;
    return static_cast<long>(n);
}

bool ReadWholeFile(const std::string& nativePath, std::string& out) {
    out.clear();
    FileReader r;
    if (!r.Open(nativePath)) return false;
    char buf[1 << 16];
    for (;;) {
        const long n = r.Read(buf, sizeof buf);
        if (n < 0) {
            out.clear();
            return false;
        }
        if (n == 0) return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

bool ReadFileStart(const std::string& nativePath, size_t maxBytes, std::string& out) {
    out.clear();
    HANDLE h = OpenRegular(nativePath, GENERIC_READ, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    out.resize(maxBytes);
    size_t got = 0;
    bool ok = true;
    while (got < maxBytes) {
        DWORD n = 0;
        if (!::ReadFile(h, out.data() + got,
                        static_cast<DWORD>(std::min<size_t>(maxBytes - got, 1u << 30)), &n,
                        nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) break;
        got += n;
    }
    ::CloseHandle(h);
    out.resize(ok ? got : 0);
    return ok;
}

bool MakeFolders(const std::string& path, unsigned) {
    if (path.empty()) return true;
    const std::wstring w = win::LongPath(path);
    const DWORD a = ::GetFileAttributesW(w.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos && slash > 2 && !MakeFolders(path.substr(0, slash), 0))
        return false;
    return ::CreateDirectoryW(w.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveOwnFile(const std::string& nativePath) {
    const std::wstring w = win::LongPath(nativePath);
    const DWORD a = ::GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return false;
    return ::DeleteFileW(w.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool LinkAsTemporary(const std::string& existing, const std::string& target, std::string& temp) {
    temp.clear();
    const DWORD a = ::GetFileAttributesW(win::LongPath(existing).c_str());
    if (a == INVALID_FILE_ATTRIBUTES ||
        (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !PrepareProgramFolderOf(target))
        return false;
    const std::string name =
        target + ".tmp" + std::to_string(::GetCurrentProcessId()) + "." + RandomSuffix();
    if (!::CreateHardLinkW(win::LongPath(name).c_str(), win::LongPath(existing).c_str(), nullptr))
        return false;
    temp = name;
    return true;
}

bool RenameOwnFile(const std::string& from, const std::string& target) {
    const DWORD a = ::GetFileAttributesW(win::LongPath(target).c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
        t_lastWriteError = "a folder is there, not a regular file; nothing was written";
        return false;
    }
    if (::MoveFileExW(win::LongPath(from).c_str(), win::LongPath(target).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetErrno();
    t_lastWriteError = SystemReason(errno);
    return false;
}

std::string RandomSuffix() {
    unsigned char bytes[8] = {};
    if (!BCRYPT_SUCCESS(
            ::BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        LARGE_INTEGER t{};
        ::QueryPerformanceCounter(&t);
        uint64_t v = static_cast<uint64_t>(t.QuadPart) ^ reinterpret_cast<uintptr_t>(&t);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(v), v >>= 8;
    }
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (unsigned char b : bytes) {
        s += hex[b >> 4];
        s += hex[b & 15];
    }
    return s;
}

const std::string& LastWriteError() {
    return t_lastWriteError;
}

std::string FileStamp(const std::string& nativePath) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!::GetFileAttributesExW(win::LongPath(nativePath).c_str(), GetFileExInfoStandard, &d) ||
        (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    const uint64_t size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    const uint64_t time = (static_cast<uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) |
                          d.ftLastWriteTime.dwLowDateTime;
    return std::to_string(size) + ":" + std::to_string(time);
}

bool MapFileReadOnly(const std::string& nativePath, const void*& data, size_t& length,
                     std::string* identity) {
    data = nullptr;
    length = 0;
    uint64_t size = 0;
    HANDLE h = OpenRegular(nativePath, GENERIC_READ, &size);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    ::GetFileInformationByHandle(h, &info);
    HANDLE m = size > 0 ? ::CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    ::CloseHandle(h);
    if (!m) return false;
    void* p = ::MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
    ::CloseHandle(m); // the view keeps the mapping
    if (!p) return false;
    data = p;
    length = static_cast<size_t>(size);
    if (identity) *identity = IdentityOf(info);
    return true;
}

void UnmapFile(const void* data, size_t) {
    if (data) ::UnmapViewOfFile(data);
}

bool ReplaceFilePlaced(const std::string& nativePath, uint64_t length,
                       const std::function<bool(const PutBytesAt& put)>& produce,
                       const std::function<bool()>& gate) {
    const auto write = [&](HANDLE h) {
        LARGE_INTEGER size;
        size.QuadPart = static_cast<LONGLONG>(length);
        if (!::SetFilePointerEx(h, size, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) {
            SetErrno();
            return false;
        }
        bool failed = false;
        PutBytesAt put = [&](uint64_t offset, std::string_view data) {
            if (failed) return false;
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(offset);
            if (offset + data.size() > length || !::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
                !WriteAll(h, data)) {
                if (offset + data.size() > length) errno = EINVAL;
                failed = true;
                return false;
            }
            return true;
        };
        return produce(put) && !failed;
    };
    return Replace(nativePath, write, gate);
}

ScratchFile::~ScratchFile() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ScratchFile::Open(const std::string& nativeFolder) {
    if (handle_ != -1) return true;
    std::string name = nativeFolder;
    if (!name.empty() && name.back() != '\\' && name.back() != '/') name += '\\';
    name += ".nrvs-scratch." + RandomSuffix();
    HANDLE h = ::CreateFileW(
        win::LongPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool ScratchFile::WriteAt(uint64_t offset, std::string_view bytes) {
    if (handle_ == -1) return false;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !WriteAll(h, bytes)) {
        SetErrno();
        why_ = SystemReason(errno);
        return false;
    }
    return true;
}

bool ScratchFile::ReadAt(uint64_t offset, void* to, size_t n) const {
    if (handle_ == -1) return false;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) {
        SetErrno();
        why_ = SystemReason(errno);
        return false;
    }
    char* p = static_cast<char*>(to);
    while (n > 0) {
        DWORD got = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!::ReadFile(h, p, piece, &got, nullptr) || got == 0) {
            if (got == 0)
                errno = EIO;
            else
                SetErrno();
            why_ = SystemReason(errno);
            return false;
        }
        p += got;
        n -= got;
    }
    return true;
}

bool ReplaceFileFromMapping(const std::string& nativePath, const void* data, size_t length) {
    return Replace(nativePath, [&](HANDLE h) {
        return WriteAll(h, {static_cast<const char*>(data), length});
    });
}

bool WriteAt(const std::string& nativePath, uint64_t offset, std::string_view bytes,
             const std::string& identity) {
    HANDLE h = ::CreateFileW(win::LongPath(nativePath).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    bool ok = ::GetFileInformationByHandle(h, &info) && IdentityOf(info) == identity;
    ok = ok && offset + bytes.size() <=
                   ((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    (void)size;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    ok = ok && ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteAll(h, bytes);
    ::CloseHandle(h);
    return ok;
}

FileLock::FileLock(const std::string& nativePath) {
    PrepareProgramFolderOf(nativePath);
    HANDLE h = ::CreateFileW(win::LongPath(nativePath).c_str(), GENERIC_READ | GENERIC_WRITE,
                             kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED o{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &o)) {
        ::CloseHandle(h);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

FileLock::~FileLock() {
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); // closing lets go of the lock
}

bool ReplaceFileStreamed(const std::string& nativePath,
                         const std::function<bool(const PutBytes& put)>& produce) {
    return ReplaceFileStreamedGated(nativePath, produce, {});
}

bool ReplaceFileStreamedGated(const std::string& nativePath,
                              const std::function<bool(const PutBytes& put)>& produce,
                              const std::function<bool()>& gate) {
    return Replace(
        nativePath,
        [&](HANDLE h) {
            bool failed = false;
            PutBytes put = [&](std::string_view data) {
                if (!failed && !WriteAll(h, data)) failed = true;
                return !failed;
            };
            return produce(put) && !failed;
        },
        gate);
}

std::intptr_t OpenFileHandle(const std::string& nativePath, bool read, bool write,
                             uint32_t creation) {
    const DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING) creation = OPEN_EXISTING;
    HANDLE h = ::CreateFileW(win::LongPath(nativePath).c_str(), access, FILE_SHARE_READ, nullptr,
                             creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoFileHandle : reinterpret_cast<std::intptr_t>(h);
}

long WriteFileHandle(std::intptr_t handle, const void* bytes, long length) {
    if (handle == kNoFileHandle || length < 0) return -1;
    return WriteAll(reinterpret_cast<HANDLE>(handle),
                    {static_cast<const char*>(bytes), static_cast<size_t>(length)})
               ? length
               : -1;
}

void CloseFileHandle(std::intptr_t handle) {
    if (handle != kNoFileHandle) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool LocalTime(int64_t seconds, struct std::tm& out) {
    const __time64_t t = seconds;
    return ::_localtime64_s(&out, &t) == 0;
}

bool AppendToFile(const std::string& nativePath, std::string_view bytes, bool flush,
                  uint64_t* offset) {
    t_lastWriteError.clear();
    PrepareProgramFolderOf(nativePath);
    const DWORD there = ::GetFileAttributesW(win::LongPath(nativePath).c_str());
    if (there != INVALID_FILE_ATTRIBUTES &&
        (there & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        t_lastWriteError = std::string(there & FILE_ATTRIBUTE_DIRECTORY ? "a folder" : "a link") +
                           " is there, not a regular file; nothing was written";
        errno = EEXIST;
        return false;
    }
    HANDLE h = ::CreateFileW(win::LongPath(nativePath).c_str(), FILE_APPEND_DATA, kShareAll,
                             nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrno();
        t_lastWriteError = SystemReason(errno);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = ::GetFileInformationByHandle(h, &info) &&
              !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    if (ok && offset)
        *offset = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    ok = ok && WriteAll(h, bytes) && (!flush || ::FlushFileBuffers(h));
    if (!ok) {
        SetErrno();
        t_lastWriteError = SystemReason(errno);
    }
    ::CloseHandle(h);
    return ok;
}

} // namespace nrvs::platform
