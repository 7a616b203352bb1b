#include "platform/ProgramLocation.h"

#include "platform/FileAccess.h"
#include "platform/SystemServices.h"
#include "platform/win32/WideApi.h"

#include <io.h>
#include <process.h>
#include <shlobj.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace nrvs::platform {

namespace {

// Read while the program starts: the settings, the drive map and the caches
// are named after it for the whole run.
} // namespace

const std::string& StartExecutablePath() {
    static const std::string path = [] {
        std::wstring buf(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n =
                ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
            if (n == 0) return std::string();
            if (n < buf.size()) {
                buf.resize(n);
                return win::FromSystem(buf);
            }
            buf.resize(buf.size() * 2);
        }
    }();
    return path;
}
namespace {
[[maybe_unused]] const std::string& gStartPath = StartExecutablePath();

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesW(win::LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HoldsProgramFiles(const std::string& dir, const std::string& name) {
    for (const char* ext : {".portable", ".prm", ".drv", ".mdv", ".mfr", ".ept", ".epl"})
        if (Exists(dir + name + ext)) return true;
    WIN32_FIND_DATAW f{};
    HANDLE h = ::FindFirstFileExW((win::LongPath(dir) + L"\\NRVS_?.*").c_str(), FindExInfoBasic, &f,
                                  FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
}

bool Writable(const std::string& dir) {
    const std::string probe = dir + "NRVS_" + RandomSuffix() + ".tmp";
    HANDLE h = ::CreateFileW(win::LongPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

std::string KnownFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return {};
    return win::FromSystem(buf);
}
} // namespace

std::string ExecutablePathOf(const std::string& linkText, const std::string&) {
    return linkText;
}

ProgramFolders ProgramFileFoldersFor(const std::string& exePath, bool chosen) {
    const std::string dir = FolderOf(exePath);
    const std::string base = ExecutableBase(exePath);
    const std::string name = base.substr(
        base.find_last_of("/\\") == std::string::npos ? 0 : base.find_last_of("/\\") + 1);
    ProgramFolders f;
    f.Settings = f.Data = dir;
    if (chosen && !Exists(exePath)) return f;
    if (HoldsProgramFiles(dir, name) && Writable(dir)) return f;
    // Installed (Program Files): settings roam, caches stay on this machine.
    const std::string roaming = KnownFolder(CSIDL_APPDATA),
                      local = KnownFolder(CSIDL_LOCAL_APPDATA);
    if (roaming.empty() || local.empty()) return f;
    f.Installed = true;
    f.Settings = roaming + "/Norvessa/";
    f.Data = local + "/Norvessa/";
    return f;
}

bool PrepareProgramFolderOf(const std::string& nativeFilePath) {
    const ProgramFolders f = ProgramFileFolders();
    const std::string dir = FolderOf(nativeFilePath);
    if (dir == f.Data + "previous/") return MakeFolders(dir.substr(0, dir.size() - 1), 0700);
    if (!f.Installed) return true;
    if (dir != f.Settings && dir != f.Data) return true;
    return MakeFolders(dir.substr(0, dir.size() - 1), 0700);
}

std::string HelpDocumentPath() {
    return ExecutableBase() + ".html";
}

void RaiseOpenFileLimit() {}

void ReturnFreedMemory() {}

std::string HomeFolder() {
    std::string home = KnownFolder(CSIDL_PROFILE);
    while (home.size() > 3 && home.back() == '/')
        home.pop_back();
    return home.empty() ? std::string("C:/") : home;
}

std::string HostName() {
    wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(buf, &n) ? win::Narrow(buf, n) : std::string();
}

std::string LoginName() {
    wchar_t buf[257] = {};
    DWORD n = 257;
    return ::GetUserNameW(buf, &n) && n > 0 ? win::Narrow(buf, n - 1) : std::string();
}

bool IsTerminal(int stream) {
    return ::_isatty(stream) != 0;
}

std::string AbsoluteNativePath(const std::string& given) {
    std::wstring w = win::Wide(given);
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    DWORD n = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return given;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    full.resize(n);
    std::string out = win::FromSystem(full);
    if (out.size() >= 2 && out[1] == ':' && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 32);
    while (out.size() > 3 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string RunInstead(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::wstring> wide;
    for (const auto& a : args)
        wide.push_back(win::Wide(a));
    std::vector<const wchar_t*> argv;
    for (const auto& a : wide)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const intptr_t rc = ::_wspawnv(_P_WAIT, win::Wide(program).c_str(), argv.data());
    if (rc == -1) return "the program cannot be started";
    std::exit(static_cast<int>(rc));
}

} // namespace nrvs::platform
