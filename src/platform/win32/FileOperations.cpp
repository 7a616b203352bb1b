#include "platform/FileOperations.h"

#include "platform/Trash.h"
#include "platform/win32/Failures.h"
#include "platform/win32/WideApi.h"

namespace nrvs::platform {

namespace {

using win::Fail;
using win::FailLast;

std::string Join(const std::string& folder, const std::string& name) {
    std::string p = folder;
    if (p.empty() || p.back() != '/') p += '/';
    return p + name;
}

// Folders are walked by name; links and junctions are copied or removed as
// themselves, never followed.
bool IsRealFolder(DWORD a) {
    return (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

template <typename F> void ForEachChild(const std::string& folder, F f) {
    WIN32_FIND_DATAW d{};
    HANDLE h = ::FindFirstFileExW((win::LongPath(folder) + L"\\*").c_str(), FindExInfoBasic, &d,
                                  FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* n = d.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        f(win::Narrow(n, wcslen(n)), d.dwFileAttributes,
          (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow);
    } while (::FindNextFileW(h, &d));
    ::FindClose(h);
}

void Scan(const std::string& path, DWORD a, uint64_t size, uint64_t& items, uint64_t& bytes) {
    ++items;
    if (!IsRealFolder(a)) {
        bytes += size;
        return;
    }
    ForEachChild(path, [&](const std::string& n, DWORD ca, uint64_t cs) {
        Scan(Join(path, n), ca, cs, items, bytes);
    });
}

struct Job {
    FileOperationObserver* observer = nullptr;
    bool replaceAll = false;
    bool cancelled = false;
    bool madeSomething = false;
    uint64_t skipped = 0;
    std::vector<OperationFailure> failures;
    uint64_t items = 0, bytes = 0, fileBase = 0;
    std::string current;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                            DWORD, HANDLE, HANDLE, LPVOID data) {
    Job& job = *static_cast<Job*>(data);
    if (job.observer &&
        !job.observer->Progress(job.current, job.items,
                                job.fileBase + static_cast<uint64_t>(done.QuadPart))) {
        job.cancelled = true;
        return PROGRESS_CANCEL;
    }
    return PROGRESS_CONTINUE;
}

void CopyItem(const std::string& src, DWORD a, uint64_t size, const std::string& dst, Job& job) {
    if (job.cancelled) return;
    job.current = src;
    const std::wstring to = win::LongPath(dst);
    const DWORD there = ::GetFileAttributesW(to.c_str());
    if (IsRealFolder(a)) {
        if (there == INVALID_FILE_ATTRIBUTES) {
            if (!::CreateDirectoryW(to.c_str(), nullptr)) {
                FailLast(job.failures, dst);
                return;
            }
            job.madeSomething = true;
        } else if (!IsRealFolder(there)) {
            Fail(job.failures, dst, "a file of that name is there");
            return;
        }
        ++job.items;
        ForEachChild(src, [&](const std::string& n, DWORD ca, uint64_t cs) {
            CopyItem(Join(src, n), ca, cs, Join(dst, n), job);
        });
        return;
    }
    if (there != INVALID_FILE_ATTRIBUTES && job.observer && !job.replaceAll) {
        switch (job.observer->ConfirmReplace(dst)) {
        case FileOperationObserver::REPLACE_ALL:
            job.replaceAll = true;
            break;
        case FileOperationObserver::REPLACE_NO:
            ++job.skipped;
            return;
        case FileOperationObserver::REPLACE_CANCEL:
            job.cancelled = true;
            return;
        default:
            break;
        }
    }
    if (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(to.c_str(), there & ~FILE_ATTRIBUTE_READONLY);
    BOOL cancel = FALSE;
    if (!::CopyFileExW(win::LongPath(src).c_str(), to.c_str(), CopyProgress, &job, &cancel,
                       COPY_FILE_COPY_SYMLINK)) {
        if (job.cancelled) return;
        FailLast(job.failures, src);
        return;
    }
    job.madeSomething = true;
    ++job.items;
    job.fileBase += size;
    // Not every system calls back during a copy (Wine does not): told once
    // a file is done, so that a cancel is seen.
    if (job.observer && !job.observer->Progress(src, job.items, job.fileBase)) job.cancelled = true;
}

bool RemoveItem(const std::string& path, DWORD a, Job& job) {
    if (job.cancelled) return false;
    const std::wstring w = win::LongPath(path);
    if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    if (IsRealFolder(a)) {
        ForEachChild(path, [&](const std::string& n, DWORD ca, uint64_t) {
            RemoveItem(Join(path, n), ca, job);
        });
        if (!::RemoveDirectoryW(w.c_str())) return FailLast(job.failures, path);
    } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
        if (!::RemoveDirectoryW(w.c_str()))
            return FailLast(job.failures, path); // a junction itself
    } else if (!::DeleteFileW(w.c_str())) {
        return FailLast(job.failures, path);
    }
    ++job.items;
    if (job.observer && !job.observer->Progress(path, job.items, 0)) job.cancelled = true;
    return true;
}

// Lower-cased with '/' for comparing two native paths on a file system that
// ignores case.
std::string Comparable(std::string p) {
    for (auto& c : p)
        c = c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    while (p.size() > 3 && p.back() == '/')
        p.pop_back();
    return p;
}

bool CheckRemovable(const ItemPath& path, DWORD& attributes,
                    std::vector<OperationFailure>& failures) {
    const std::string what = path.Native();
    if (path.IsRoot()) return Fail(failures, what, "ドライブのルートは削除できません");
    attributes = ::GetFileAttributesW(win::LongPath(what).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FailLast(failures, what);
    return true;
}

} // namespace

// Copies here are made in place by CopyFileExW, which keeps no temporary
// names of its own in the destination.
bool IsCopyTemporaryName(std::string_view) {
    return false;
}

FileOperationResult CopyIntoFolder(const ItemPath& source, const ItemPath& destFolder,
                                   FileOperationObserver* observer) {
    FileOperationResult result;
    std::vector<OperationFailure>& failures = result.failures;
    const std::string what = source.Native();
    if (source.IsRoot())
        return Fail(failures, what, "ドライブのルートは項目としてコピーできません"), result;
    const std::string dstDir = destFolder.Native();
    WIN32_FILE_ATTRIBUTE_DATA s{}, d{};
    if (!::GetFileAttributesExW(win::LongPath(what).c_str(), GetFileExInfoStandard, &s))
        return FailLast(failures, what), result;
    if (!::GetFileAttributesExW(win::LongPath(dstDir).c_str(), GetFileExInfoStandard, &d) ||
        !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FailLast(failures, dstDir), result;
    const std::string target = Join(dstDir, source.Names.back());
    const std::string src = Comparable(what), dst = Comparable(dstDir);
    if (Comparable(target) == src)
        return Fail(failures, what, "項目をそれ自身の上にはコピーできません"), result;
    if (IsRealFolder(s.dwFileAttributes) && (dst == src || dst.rfind(src + "/", 0) == 0))
        return Fail(failures, what, "フォルダをそれ自身の中にはコピーできません"), result;
    Job job;
    if (observer) {
        job.observer = observer;
        uint64_t items = 0, bytes = 0;
        Scan(what, s.dwFileAttributes,
             (static_cast<uint64_t>(s.nFileSizeHigh) << 32) | s.nFileSizeLow, items, bytes);
        job.observer->Begin(false, items, bytes);
    }
    CopyItem(what, s.dwFileAttributes,
             (static_cast<uint64_t>(s.nFileSizeHigh) << 32) | s.nFileSizeLow, target, job);
    result.ok = job.failures.empty() && !job.cancelled;
    failures = std::move(job.failures);
    result.skipped = job.skipped;
    result.madeSomething = job.madeSomething;
    return result;
}

FileOperationResult CanDelete(const ItemPath& path, bool) {
    FileOperationResult result;
    DWORD a = 0;
    result.ok = CheckRemovable(path, a, result.failures);
    return result;
}

FileOperationResult DeleteItem(const ItemPath& path, bool toTrash,
                               FileOperationObserver* observer) {
    FileOperationResult result;
    const std::string what = path.Native();
    DWORD a = 0;
    if (!CheckRemovable(path, a, result.failures)) return result;
    if (observer && !observer->ConfirmDelete(what, toTrash)) return result;
    if (toTrash) {
        result.ok = MoveToTrash(Folder(), path.Names.back(), what, result.failures);
        return result;
    }
    Job job;
    if (observer) {
        job.observer = observer;
        uint64_t items = 0, bytes = 0;
        Scan(what, a, 0, items, bytes);
        job.observer->Begin(true, items, bytes);
    }
    RemoveItem(what, a, job);
    result.ok = job.failures.empty() && !job.cancelled;
    result.failures = std::move(job.failures);
    return result;
}

} // namespace nrvs::platform
