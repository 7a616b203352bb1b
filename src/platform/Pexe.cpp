#include "platform/Pexe.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform {

namespace {
std::string& OverridePath() {
    static std::string path;
    return path;
}

std::string ReadExeLink(const char* link) {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        ssize_t n = ::readlink(link, buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

// Read while the program starts, before an upgrade can replace the file: the
// settings, the drive map and the caches are named after it for the whole run.
const std::string& StartPath() {
    static const std::string path = ExecutablePathOf(ReadExeLink("/proc/self/exe"), "/proc/self/exe");
    return path;
}
// Reads it while the program's statics are set up, whoever asks first.
[[maybe_unused]] const std::string& gStartPath = StartPath();
} // namespace

std::string ExecutablePathOf(const std::string& linkText, const std::string& runningFile) {
    static const std::string kDeleted = " (deleted)";
    if (linkText.size() <= kDeleted.size() ||
        linkText.compare(linkText.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0)
        return linkText;
    // The kernel marks a replaced or removed file so; a file that really has
    // such a name is the one running.
    struct stat named{}, running{};
    if (::stat(linkText.c_str(), &named) == 0 && ::stat(runningFile.c_str(), &running) == 0 &&
        named.st_dev == running.st_dev && named.st_ino == running.st_ino)
        return linkText;
    return linkText.substr(0, linkText.size() - kDeleted.size());
}

std::string ExecutablePath() {
    if (!OverridePath().empty()) return OverridePath();
    return StartPath();
}

void SetExecutablePath(const std::string& nativePath) { OverridePath() = nativePath; }

std::string ExecutableBase(const std::string& exePath) {
    size_t slash = exePath.find_last_of("/\\");
    size_t dot = exePath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) return exePath.substr(0, dot);
    return exePath;
}

std::string ExecutableBase() { return ExecutableBase(ExecutablePath()); }

void RaiseOpenFileLimit() {
    struct rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &rl);
    }
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
    struct passwd pw{};
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
    if (home.empty())
        if (const struct passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir == '/') home = pw->pw_dir;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home.empty() ? std::string("/") : home;
}

} // namespace nrvs::platform
