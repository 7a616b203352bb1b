#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <stdexcept>
#ifndef _WIN32
#include <grp.h>
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

void RemoveTree(const std::string& path) {
    std::error_code ec;
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
