#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <stdexcept>
#include <vector>
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace nrvs::test {

namespace {
// Paths of the tests are UTF-8 on every system; Windows would read a plain
// string in its ANSI code page. A name of bytes that are no UTF-8 (a Linux
// name) is left to that code page.
fs::path PathOf(const std::string& s) {
    try {
        return fs::path(std::u8string(s.begin(), s.end()));
    } catch (const fs::filesystem_error&) {
        return fs::path(s);
    }
}
} // namespace

TempDir::TempDir() {
#ifdef _WIN32
    // Native paths of the program use '/' on Windows too.
    std::random_device random;
    for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
        const fs::path p = fs::temp_directory_path() / ("nrvs-test-" + std::to_string(random()));
        if (fs::create_directory(p)) path_ = p.generic_string() + "/";
    }
    if (path_.empty()) throw std::runtime_error("no temporary folder");
#else
    std::string base = fs::temp_directory_path().string() + "/nrvs-test-XXXXXX";
    if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
    path_ = base + "/";
#endif
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void TempDir::MakeDir(const std::string& relative) const {
    fs::create_directories(PathOf(path_ + relative));
}

void TempDir::Write(const std::string& relative, const std::string& bytes) const {
    fs::path p = PathOf(path_ + relative);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream in(PathOf(path_ + relative), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool TempDir::Exists(const std::string& relative) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(PathOf(path_ + relative), ec));
}

bool AsUnprivileged(const std::function<bool()>& fn) {
#ifdef _WIN32
    return fn();
#else
    if (::geteuid() != 0) return fn();
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(fn() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

#ifndef _WIN32
namespace {
// Removes the files of the open folder fd and returns the names of its
// folders (made writable), without following a link.
std::vector<std::string> EmptyOfFiles(int fd) {
    std::vector<std::string> folders;
    const int copy = ::dup(fd);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0) ::close(copy);
        return folders;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            ::fchmodat(fd, name.c_str(), (st.st_mode & 07777) | S_IRWXU, 0);
            folders.push_back(name);
        } else {
            ::unlinkat(fd, name.c_str(), 0);
        }
    }
    ::closedir(dir);
    return folders;
}
} // namespace
#endif

void RemoveTree(const std::string& path) {
    std::error_code ec;
#ifndef _WIN32
    // Folder by folder through open handles, going back up through "..":
    // a chain of any depth is removed in time linear in its size, where
    // whole paths would cost the square of its depth.
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct Level {
            std::string name;
            std::vector<std::string> folders;
        };
        std::vector<Level> stack{{"", EmptyOfFiles(fd)}};
        while (fd >= 0 && !stack.empty()) {
            Level& top = stack.back();
            if (!top.folders.empty()) {
                std::string name = std::move(top.folders.back());
                top.folders.pop_back();
                const int below =
                    ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (below < 0) continue;
                ::close(fd);
                fd = below;
                stack.push_back({std::move(name), EmptyOfFiles(fd)});
                continue;
            }
            const std::string name = std::move(top.name);
            stack.pop_back();
            if (stack.empty()) break;
            const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = up;
            if (fd >= 0) ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
        }
        if (fd >= 0) ::close(fd);
    }
#endif
    // Whatever is left (and every tree on Windows).
    for (auto it = fs::recursive_directory_iterator(
             path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

} // namespace nrvs::test
