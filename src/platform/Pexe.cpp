#include "platform/Pexe.h"

#include <climits>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace nrvs::platform {

namespace {
std::string& OverridePath() {
    static std::string path;
    return path;
}
} // namespace

std::string ExecutablePath() {
    if (!OverridePath().empty()) return OverridePath();
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
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
