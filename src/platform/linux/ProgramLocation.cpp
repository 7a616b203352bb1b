#include "platform/ProgramLocation.h"

#include "platform/FileAccess.h"
#include "platform/SystemServices.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <mutex>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform {

namespace {

std::string ReadExeLink(const char* link) {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        ssize_t n = ::readlink(link, buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

// Read while the program starts, before an upgrade can replace the file: the
// settings, the drive map and the caches are named after it for the whole run.
} // namespace

const std::string& StartExecutablePath() {
    static const std::string path =
        ExecutablePathOf(ReadExeLink("/proc/self/exe"), "/proc/self/exe");
    return path;
}
// Reads it while the program's statics are set up, whoever asks first.
namespace {
[[maybe_unused]] const std::string& gStartPath = StartExecutablePath();
} // namespace

std::string ExecutablePathOf(const std::string& linkText, const std::string& runningFile) {
    static const std::string kDeleted = " (deleted)";
    if (linkText.size() <= kDeleted.size() ||
        linkText.compare(linkText.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0)
        return linkText;
    // The kernel marks a replaced or removed file so; a file that really has
    // such a name is the one running.
    struct stat named {
    }, running{};
    if (::stat(linkText.c_str(), &named) == 0 && ::stat(runningFile.c_str(), &running) == 0 &&
        named.st_dev == running.st_dev && named.st_ino == running.st_ino)
        return linkText;
    return linkText.substr(0, linkText.size() - kDeleted.size());
}

namespace {
// The decision of ProgramFileFolders for the executable path it was made for.
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A cache, file index or ranking of a drive: NRVS_X.txt, NRVS_X.idx, <name>_X.rks.
bool IsDriveFileName(const std::string& entry, const std::string& name) {
    auto letterThen = [&](const std::string& head, const char* tail) {
        const std::string t = tail;
        return entry.size() == head.size() + 1 + t.size() &&
               entry.compare(0, head.size(), head) == 0 && entry[head.size()] >= 'A' &&
               entry[head.size()] <= 'Z' && entry.compare(head.size() + 1, t.size(), t) == 0;
    };
    return letterThen("NRVS_", ".txt") || letterThen("NRVS_", ".idx") ||
           letterThen(name + "_", ".rks");
}

bool HoldsProgramFiles(const std::string& dir, const std::string& name) {
    for (const char* ext : {".portable", ".prm", ".drv", ".mdv", ".mfr", ".ept", ".epl"})
        if (Exists(dir + name + ext)) return true;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    bool found = false;
    while (const struct dirent* e = ::readdir(d))
        if (IsDriveFileName(e->d_name, name)) {
            found = true;
            break;
        }
    ::closedir(d);
    return found;
}

// An XDG base folder: the variable when it holds an absolute path (a
// relative one would depend on the folder the program was started in, so it
// is ignored), else the default below home.
std::string XdgFolder(const char* variable, const char* belowHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return WithSlash(value);
    return WithSlash(WithSlash(HomeFolder()) + belowHome);
}
} // namespace

ProgramFolders ProgramFileFoldersFor(const std::string& exePath, bool chosen) {
    const std::string dir = FolderOf(exePath);
    const std::string base = ExecutableBase(exePath);
    const std::string name =
        base.substr(base.find_last_of('/') == std::string::npos ? 0 : base.find_last_of('/') + 1);
    ProgramFolders f;
    f.Settings = f.Data = dir;
    if (chosen && !Exists(exePath)) return f;
    if (::faccessat(AT_FDCWD, dir.c_str(), W_OK, AT_EACCESS) == 0 && HoldsProgramFiles(dir, name))
        return f;
    f.Installed = true;
    f.Settings = XdgFolder("XDG_CONFIG_HOME", ".config") + "norvessa/";
    f.Data = XdgFolder("XDG_DATA_HOME", ".local/share") + "norvessa/";
    return f;
}

bool PrepareProgramFolderOf(const std::string& nativeFilePath) {
    const ProgramFolders f = ProgramFileFolders();
    const std::string dir = FolderOf(nativeFilePath);
    if (dir == f.Data + "previous/") {
        if (f.Installed && !MakeFolders(f.Data.substr(0, f.Data.size() - 1), 0700)) return false;
        const std::string own = dir.substr(0, dir.size() - 1);
        if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return false;
        // Writing through a link planted there would put the files elsewhere.
        struct stat st {};
        return ::lstat(own.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (!f.Installed) return true;
    if (dir != f.Settings && dir != f.Data) return true;
    // The files hold what the user measured: private, as the XDG folders are.
    return MakeFolders(dir.substr(0, dir.size() - 1), 0700);
}

std::string HelpDocumentPath() {
    const std::string beside = ExecutableBase() + ".html";
    if (Exists(beside) || !ProgramFileFolders().Installed) return beside;
    // Installed below a prefix (/usr/bin, /usr/local/bin, or a package
    // unpacked elsewhere): the prefix's share folder, then the system's.
    const std::string file = ExecutableName() + ".html";
    std::string prefix = FolderOf(ExecutablePath());
    prefix = FolderOf(prefix.substr(0, prefix.size() - 1));
    for (const std::string& dir :
         {prefix + "share/norvessa/", prefix + "share/doc/norvessa/",
          std::string("/usr/share/norvessa/"), std::string("/usr/share/doc/norvessa/")})
        if (Exists(dir + file)) return dir + file;
    return beside;
}

void RaiseOpenFileLimit() {
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &rl);
    }
}

void ReturnFreedMemory() {
    ::malloc_trim(0);
}

std::string HostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return std::string(buf);
}

std::string LoginName() {
    uid_t uid = ::geteuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_name)
        return std::string(result->pw_name);
    return {};
}

} // namespace nrvs::platform

namespace nrvs::platform {

std::string HomeFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env == '/') home = env;
    if (home.empty()) {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
        struct passwd pw {};
        struct passwd* result = nullptr;
        if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result &&
            result->pw_dir && *result->pw_dir == '/')
            home = result->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home.empty() ? std::string("/") : home;
}

bool IsTerminal(int stream) {
    return ::isatty(stream) == 1;
}

std::string AbsoluteNativePath(const std::string& given) {
    std::string native = given;
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    size_t slash = native.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    char* real = ::realpath(dir.c_str(), nullptr);
    if (real && name != "." && name != ".." && native != "/") {
        native = std::string(real) + (std::string(real) == "/" ? "" : "/") + name;
    } else if (real || native == "/") {
        char* whole = ::realpath(native.c_str(), nullptr);
        native = whole ? whole : native;
        std::free(whole);
    }
    std::free(real);
    return native;
}

std::string RunInstead(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return std::strerror(errno);
}

} // namespace nrvs::platform
