#include "platform/FileOperations.h"

#include "platform/win32/WideApi.h"

#include <shellapi.h>

namespace nrvs::platform {

namespace {

ShellUi* g_shellUi = nullptr;
std::vector<std::string> g_errors;
uint64_t g_skipped = 0;
bool g_madeSomething = false;

std::string LastReason() {
    const DWORD code = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = n ? win::Narrow(text, n) : std::string();
    if (text) ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return (s.empty() ? std::string("error") : s) + " (" + std::to_string(code) + ")";
}

bool Fail(const std::string& what, const std::string& why) {
    g_errors.push_back(what + ": " + why);
    return false;
}

bool FailLast(const std::string& what) { return Fail(what, LastReason()); }

std::string Join(const std::string& folder, const std::string& name) {
    std::string p = folder;
    if (p.empty() || p.back() != '/') p += '/';
    return p + name;
}

// Folders are walked by name; links and junctions are copied or removed as
// themselves, never followed.
bool IsRealFolder(DWORD a) { return (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT); }

template <typename F>
void ForEachChild(const std::string& folder, F f) {
    WIN32_FIND_DATAW d{};
    HANDLE h = ::FindFirstFileExW((win::LongPath(folder) + L"\\*").c_str(), FindExInfoBasic, &d, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* n = d.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        f(win::Narrow(n, wcslen(n)), d.dwFileAttributes, (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow);
    } while (::FindNextFileW(h, &d));
    ::FindClose(h);
}

void Scan(const std::string& path, DWORD a, uint64_t size, uint64_t& items, uint64_t& bytes) {
    ++items;
    if (!IsRealFolder(a)) {
        bytes += size;
        return;
    }
    ForEachChild(path, [&](const std::string& n, DWORD ca, uint64_t cs) { Scan(Join(path, n), ca, cs, items, bytes); });
}

struct Job {
    ShellUi* ui = nullptr;
    bool replaceAll = false;
    bool cancelled = false;
    int failures = 0;
    uint64_t items = 0, bytes = 0, fileBase = 0;
    std::string current;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                            HANDLE, LPVOID data) {
    Job& job = *static_cast<Job*>(data);
    if (job.ui && !job.ui->Progress(job.current, job.items, job.fileBase + static_cast<uint64_t>(done.QuadPart))) {
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
                ++job.failures;
                FailLast(dst);
                return;
            }
            g_madeSomething = true;
        } else if (!IsRealFolder(there)) {
            ++job.failures;
            Fail(dst, "a file of that name is there");
            return;
        }
        ++job.items;
        ForEachChild(src, [&](const std::string& n, DWORD ca, uint64_t cs) { CopyItem(Join(src, n), ca, cs, Join(dst, n), job); });
        return;
    }
    if (there != INVALID_FILE_ATTRIBUTES && job.ui && !job.replaceAll) {
        switch (job.ui->ConfirmReplace(dst)) {
        case ShellUi::REPLACE_ALL: job.replaceAll = true; break;
        case ShellUi::REPLACE_NO: ++g_skipped; return;
        case ShellUi::REPLACE_CANCEL: job.cancelled = true; return;
        default: break;
        }
    }
    if (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(to.c_str(), there & ~FILE_ATTRIBUTE_READONLY);
    BOOL cancel = FALSE;
    if (!::CopyFileExW(win::LongPath(src).c_str(), to.c_str(), CopyProgress, &job, &cancel,
                       COPY_FILE_COPY_SYMLINK)) {
        if (job.cancelled) return;
        ++job.failures;
        FailLast(src);
        return;
    }
    g_madeSomething = true;
    ++job.items;
    job.fileBase += size;
    // Not every system calls back during a copy (Wine does not): told once
    // a file is done, so that a cancel is seen.
    if (job.ui && !job.ui->Progress(src, job.items, job.fileBase)) job.cancelled = true;
}

bool RemoveItem(const std::string& path, DWORD a, Job& job) {
    if (job.cancelled) return false;
    const std::wstring w = win::LongPath(path);
    if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    if (IsRealFolder(a)) {
        ForEachChild(path, [&](const std::string& n, DWORD ca, uint64_t) { RemoveItem(Join(path, n), ca, job); });
        if (!::RemoveDirectoryW(w.c_str())) return ++job.failures, FailLast(path);
    } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
        if (!::RemoveDirectoryW(w.c_str())) return ++job.failures, FailLast(path);  // a junction itself
    } else if (!::DeleteFileW(w.c_str())) {
        return ++job.failures, FailLast(path);
    }
    ++job.items;
    if (job.ui && !job.ui->Progress(path, job.items, 0)) job.cancelled = true;
    return true;
}

// Lower-cased with '/' for comparing two native paths on a file system that
// ignores case.
std::string Comparable(std::string p) {
    for (auto& c : p) c = c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    while (p.size() > 3 && p.back() == '/') p.pop_back();
    return p;
}

bool CheckRemovable(const ItemPath& path, DWORD& attributes) {
    const std::string what = path.Native();
    if (path.IsRoot()) return Fail(what, "ドライブのルートは削除できません");
    attributes = ::GetFileAttributesW(win::LongPath(what).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FailLast(what);
    return true;
}

} // namespace

void SetShellUi(ShellUi* ui) { g_shellUi = ui; }
const std::vector<std::string>& ShellErrors() { return g_errors; }
void AddShellError(const std::string& line) { g_errors.push_back(line); }
uint64_t ShellSkipped() { return g_skipped; }
bool ShellCopyMadeSomething() { return g_madeSomething; }

// Copies here are made in place by CopyFileExW, which keeps no temporary
// names of its own in the destination.
bool IsCopyTemporaryName(std::string_view) { return false; }

bool ShellCopy(const ItemPath& source, const ItemPath& destFolder, bool confirm) {
    g_errors.clear();
    g_skipped = 0;
    g_madeSomething = false;
    const std::string what = source.Native();
    if (source.IsRoot()) return Fail(what, "ドライブのルートは項目としてコピーできません");
    const std::string dstDir = destFolder.Native();
    WIN32_FILE_ATTRIBUTE_DATA s{}, d{};
    if (!::GetFileAttributesExW(win::LongPath(what).c_str(), GetFileExInfoStandard, &s)) return FailLast(what);
    if (!::GetFileAttributesExW(win::LongPath(dstDir).c_str(), GetFileExInfoStandard, &d) ||
        !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FailLast(dstDir);
    const std::string target = Join(dstDir, source.Names.back());
    const std::string src = Comparable(what), dst = Comparable(dstDir);
    if (Comparable(target) == src) return Fail(what, "項目をそれ自身の上にはコピーできません");
    if (IsRealFolder(s.dwFileAttributes) && (dst == src || dst.rfind(src + "/", 0) == 0))
        return Fail(what, "フォルダをそれ自身の中にはコピーできません");
    Job job;
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        uint64_t items = 0, bytes = 0;
        Scan(what, s.dwFileAttributes, (static_cast<uint64_t>(s.nFileSizeHigh) << 32) | s.nFileSizeLow, items, bytes);
        job.ui->Begin(false, items, bytes);
    }
    CopyItem(what, s.dwFileAttributes, (static_cast<uint64_t>(s.nFileSizeHigh) << 32) | s.nFileSizeLow, target, job);
    return job.failures == 0 && !job.cancelled;
}

bool ShellCanRemove(const ItemPath& path, bool) {
    g_errors.clear();
    DWORD a = 0;
    return CheckRemovable(path, a);
}

bool ShellDelete(const ItemPath& path, bool toTrash, bool confirm) {
    g_errors.clear();
    const std::string what = path.Native();
    DWORD a = 0;
    if (!CheckRemovable(path, a)) return false;
    if (confirm && g_shellUi && !g_shellUi->ConfirmDelete(what, toTrash)) return false;
    if (toTrash) {
        // The shell takes no "\\?\" paths; the list ends with two zeros.
        std::wstring from = win::Wide(what);
        for (auto& c : from)
            if (c == L'/') c = L'\\';
        from.push_back(L'\0');
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        const int rc = ::SHFileOperationW(&op);
        if (rc != 0 || op.fAnyOperationsAborted) return Fail(what, "ごみ箱に移せません (" + std::to_string(rc) + ")");
        return true;
    }
    Job job;
    if (confirm && g_shellUi) {
        job.ui = g_shellUi;
        uint64_t items = 0, bytes = 0;
        Scan(what, a, 0, items, bytes);
        job.ui->Begin(true, items, bytes);
    }
    RemoveItem(what, a, job);
    return job.failures == 0 && !job.cancelled;
}

} // namespace nrvs::platform
